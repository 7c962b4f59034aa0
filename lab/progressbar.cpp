// SPDX-License-Identifier: GPL-3.0-or-later
#include "progressbar.h"

#include "runspec.h"

#include <QByteArray>

namespace {
constexpr int BarWidth = 30;
constexpr qint64 RedrawMs = 100;
} // namespace

ProgressBar::ProgressBar(qint64 total, bool enabled, std::FILE *out)
    : total_(total)
    , enabled_(enabled)
    , out_(out)
{
    sinceDrawn_.start();
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
    std::fprintf(out_, "\r[%s] %3d%%  generation %lld of %lld  (year %.1f)", bar.constData(),
                 int(share * 100), static_cast<long long>(done), static_cast<long long>(total_),
                 YearsOfGeneration(done));
    std::fflush(out_);
}

void ProgressBar::Finish()
{
    if (enabled_) {
        std::fputs("\r\033[K", out_);
        std::fflush(out_);
    }
}
