// SPDX-License-Identifier: GPL-3.0-or-later
#include "progressbar.h"

#include "runplan.h"

#include <QByteArray>

namespace {
constexpr int BarWidth = 30;
constexpr qint64 RedrawMs = 100;
constexpr qint64 MsPerSecond = 1000;
constexpr qint64 MsPerMinute = 60 * MsPerSecond;
} // namespace

ProgressBar::ProgressBar(qint64 total, bool enabled, std::FILE *out, Counting counting)
    : total_(total)
    , enabled_(enabled)
    , out_(out)
    , counting_(counting)
{
    sinceDrawn_.start();
    sinceStart_.start();
    if (enabled_)
        draw(0);
}

void ProgressBar::Update(qint64 done)
{
    if (enabled_ && sinceDrawn_.elapsed() >= RedrawMs) {
        draw(done);
        sinceDrawn_.restart();
    }
}

void ProgressBar::draw(qint64 done)
{
    const double share = total_ > 0 ? double(done) / double(total_) : 1.0;
    const int filled = int(share * BarWidth);
    const QByteArray bar = QByteArray(filled, '#') + QByteArray(BarWidth - filled, '-');
    if (counting_ == Counting::Generations) {
        std::fprintf(out_, "\r[%s] %3d%%  generation %lld of %lld  (year %.1f)", bar.constData(),
                     int(share * 100), static_cast<long long>(done), static_cast<long long>(total_),
                     YearsOfGeneration(done));
    } else {
        // The runs so far at the pace so far; nothing until one is done.
        const qint64 leftMs = done > 0 ? sinceStart_.elapsed() * (total_ - done) / done : -1;
        const QByteArray left = leftMs < 0 ? QByteArray()
            : leftMs < MsPerMinute ? QByteArray::number(leftMs / MsPerSecond) + " s left"
                                   : QByteArray::number(leftMs / MsPerMinute) + " min left";
        std::fprintf(out_, "\r[%s] %3d%%  run %lld of %lld  %s\033[K", bar.constData(), int(share * 100),
                     static_cast<long long>(done), static_cast<long long>(total_), left.constData());
    }
    std::fflush(out_);
}

void ProgressBar::Finish()
{
    if (enabled_) {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
    }
}
