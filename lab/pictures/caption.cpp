// SPDX-License-Identifier: GPL-3.0-or-later
#include "caption.h"

#include "constants.h"
#include "mappalette.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The strip in pixels at scale 1, where it must stay legible on 265 pixels: four lines,
// the date over what the groups want, over the legend in three columns.
struct StripLayout
{
    int rule;            // the line between the map and the strip
    int top;             // from the rule to the first line
    int lineHeight;
    int lines;
    int bottom;
    int margin;          // left and right
    int textPixels;      // the font's height
    int swatch;          // the side of a colour's square in the legend
    int swatchBorder;    // its dark edge, so that yellow and white show on white
    int swatchGap;       // between a square and its name
    int legendColumns;
    int gap;             // least room between two texts on one line
};
constexpr StripLayout Strip = {1, 3, 13, 4, 3, 4, 10, 9, 1, 3, 3, 8};

enum Line { DateLine, WantLine, FirstLegendLine };

// Text is drawn in ink and kept as so many shades between white and ink: enough for smooth
// edges, few enough that the palette stays small (sixteen entries with the map's six).
constexpr QRgb Ink = qRgb(30, 30, 30);
constexpr int InkShades = 10;
constexpr int InkIndex = PaletteSize + InkShades - 1;
static_assert(PaletteSize + InkShades <= 256, "a GIF palette holds 256 colours at most");

// The legend: each group, then white for an empty home.
constexpr std::array<GroupIndex, GroupCount + 1> LegendOrder = {1, 2, 3, 4, 5, NoGroup};

uchar ShadeIndex(int alpha)
{
    const int shade = (alpha * InkShades + 127) / 255;
    return uchar(shade == 0 ? NoGroup : PaletteSize + shade - 1);
}

QFont StripFont(int scale, bool bold = false)
{
    QFont font;
    font.setPixelSize(Strip.textPixels * scale);
    font.setBold(bold);
    // Grey edges only: coloured fringes would need colours the palette does not have.
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    return font;
}

// A square of the legend, straight into the indices: its colour inside a border of ink.
void DrawSwatch(std::vector<uchar> &indices, int width, QRect square, int border, GroupIndex group)
{
    for (int y = square.top(); y <= square.bottom(); ++y) {
        for (int x = square.left(); x <= square.right(); ++x) {
            const bool edge = x < square.left() + border || x > square.right() - border
                || y < square.top() + border || y > square.bottom() - border;
            indices[std::size_t(y) * std::size_t(width) + std::size_t(x)] = uchar(edge ? InkIndex : group);
        }
    }
}

} // namespace

QList<QRgb> CaptionPalette()
{
    QList<QRgb> palette = MapPalette();
    const QRgb white = ColourOf(NoGroup);
    for (int k = 1; k <= InkShades; ++k) {
        const auto mix = [k](int paper, int ink) {
            return int(std::lround(paper + double(ink - paper) * k / InkShades));
        };
        palette.append(qRgb(mix(qRed(white), qRed(Ink)), mix(qGreen(white), qGreen(Ink)),
                            mix(qBlue(white), qBlue(Ink))));
    }
    return palette;
}

int CaptionHeight(int scale)
{
    return (Strip.rule + Strip.top + Strip.lines * Strip.lineHeight + Strip.bottom) * scale;
}

std::optional<std::vector<uchar>> CaptionIndices(const MapCaption &caption, int scale, QString *reason)
{
    const QCoreApplication *app = QCoreApplication::instance();
    if (!qobject_cast<const QGuiApplication *>(app)) {
        *reason = QStringLiteral("drawing the caption under the map needs a QGuiApplication, and there is none");
        return std::nullopt;
    }
    if (QThread::currentThread() != app->thread()) {
        *reason = QStringLiteral("the caption under the map can only be drawn on the application's main thread");
        return std::nullopt;
    }
    if (const auto problem = ScaleProblem(scale)) {
        *reason = *problem;
        return std::nullopt;
    }
    const int width = MapSize * scale;
    const int height = CaptionHeight(scale);
    const auto at = [scale](int pixels) { return pixels * scale; };
    const int lineHeight = at(Strip.lineHeight);
    const auto lineTop = [&](int line) { return at(Strip.rule + Strip.top) + line * lineHeight; };
    const int inner = width - 2 * at(Strip.margin);

    // The text alone, as coverage: its alpha becomes a shade of ink.
    QImage text(width, height, QImage::Format_ARGB32_Premultiplied);
    text.fill(Qt::transparent);
    QPainter painter(&text);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    // Every text is cut short with an ellipsis rather than run into its neighbour, whatever
    // font the system gives.
    const auto write = [&](const QFont &font, QRect box, const QString &words, Qt::Alignment side) {
        painter.setFont(font);
        const QString fitted = QFontMetrics(font, &text).elidedText(words, Qt::ElideRight, box.width());
        painter.drawText(box, side | Qt::AlignVCenter, fitted);
    };

    const QString seed = QStringLiteral("seed %1").arg(caption.seed);
    const int seedWidth = QFontMetrics(StripFont(scale), &text).horizontalAdvance(seed);
    const QString when = QStringLiteral("%1 (%2 years)")
                             .arg(QString::fromStdString(IsoDate(caption.date)))
                             .arg(caption.years, 0, 'f', 1);
    write(StripFont(scale, true), QRect(at(Strip.margin), lineTop(DateLine), inner - seedWidth - at(Strip.gap), lineHeight),
          when, Qt::AlignLeft);
    write(StripFont(scale), QRect(at(Strip.margin), lineTop(DateLine), inner, lineHeight), seed, Qt::AlignRight);
    write(StripFont(scale), QRect(at(Strip.margin), lineTop(WantLine), inner, lineHeight),
          QStringLiteral("Share of like neighbours each group wants:"), Qt::AlignLeft);

    const double columnWidth = double(inner) / Strip.legendColumns;
    const auto columnLeft = [&](int column) { return at(Strip.margin) + int(std::lround(column * columnWidth)); };
    const int swatch = at(Strip.swatch);
    std::vector<QRect> swatches;
    for (std::size_t entry = 0; entry < LegendOrder.size(); ++entry) {
        const GroupIndex group = LegendOrder[entry];
        const int column = int(entry) % Strip.legendColumns;
        const int top = lineTop(FirstLegendLine + int(entry) / Strip.legendColumns);
        const int left = columnLeft(column);
        swatches.emplace_back(left, top + (lineHeight - swatch) / 2, swatch, swatch);
        const int textLeft = left + swatch + at(Strip.swatchGap);
        const QString name = group == NoGroup
            ? QStringLiteral("empty")
            : QStringLiteral("%1 %2").arg(QString::fromStdString(GroupName(group)),
                                          EighthsText(caption.prefEighths[std::size_t(group)]));
        write(StripFont(scale), QRect(textLeft, top, columnLeft(column + 1) - textLeft - at(Strip.gap) / 2, lineHeight),
              name, Qt::AlignLeft);
    }
    painter.end();

    std::vector<uchar> indices(std::size_t(width) * std::size_t(height), uchar(NoGroup));
    for (int y = 0; y < height; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(text.constScanLine(y));
        uchar *out = indices.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x)
            out[x] = y < at(Strip.rule) ? uchar(InkIndex) : ShadeIndex(qAlpha(line[x]));
    }
    for (std::size_t entry = 0; entry < LegendOrder.size(); ++entry)
        DrawSwatch(indices, width, swatches[entry], at(Strip.swatchBorder), LegendOrder[entry]);
    return indices;
}

QString EighthsText(std::int16_t eighths)
{
    return QStringLiteral("%1/8").arg(eighths);
}

QString PreferencesInWords(const GroupTable<std::int16_t> &eighths)
{
    if (std::all_of(eighths.begin() + 1, eighths.end(), [&](std::int16_t e) { return e == eighths[1]; }))
        return QStringLiteral("%1 for every group").arg(EighthsText(eighths[1]));
    QStringList each;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        each << QStringLiteral("%1 %2").arg(QString::fromStdString(GroupName(g)), EighthsText(eighths[std::size_t(g)]));
    return each.join(QStringLiteral(", "));
}
