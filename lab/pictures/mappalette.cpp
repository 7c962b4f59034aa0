// SPDX-License-Identifier: GPL-3.0-or-later
#include "mappalette.h"

#include "constants.h"

#include <QColor>

#include <algorithm>

QList<QRgb> MapPalette()
{
    QList<QRgb> palette;
    for (GroupIndex g = 0; g < PaletteSize; ++g)
        palette.append(ColourOf(g) | ~RGB_MASK);
    return palette;
}

std::optional<std::vector<uchar>> PaletteIndices(const QImage &map, QString *reason)
{
    if (map.width() != MapSize || map.height() != MapSize) {
        *reason = QStringLiteral("the map is %1 x %2 pixels instead of %3 x %3")
                      .arg(map.width()).arg(map.height()).arg(MapSize);
        return std::nullopt;
    }
    const QImage rgb = map.format() == QImage::Format_RGB32
        ? map : map.convertToFormat(QImage::Format_RGB32);
    const QRgb white = ColourOf(NoGroup) & RGB_MASK;

    std::vector<uchar> indices(static_cast<std::size_t>(CellCount));
    auto out = indices.begin();
    for (int y = 0; y < MapSize; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < MapSize; ++x) {
            const GroupIndex g = GroupOfColour(line[x]);
            // Guessing the nearest group would draw a city that never existed.
            if (g == NoGroup && (line[x] & RGB_MASK) != white) {
                *reason = QStringLiteral("the map has a home of colour %1 at (%2, %3), "
                                         "which is no group's colour")
                              .arg(QColor(line[x]).name()).arg(x).arg(y);
                return std::nullopt;
            }
            *out++ = uchar(g);
        }
    }
    return indices;
}

std::optional<QString> ScaleProblem(int scale)
{
    if (scale >= PictureScales.smallest && scale <= PictureScales.largest)
        return std::nullopt;
    return QStringLiteral("the scale %1 is not a whole number from %2 to %3")
        .arg(scale).arg(PictureScales.smallest).arg(PictureScales.largest);
}

void ScaledRow(const std::vector<uchar> &indices, int y, int scale, uchar *out)
{
    const uchar *row = indices.data() + std::size_t(y) * MapSize;
    for (int x = 0; x < MapSize; ++x)
        out = std::fill_n(out, scale, row[x]);
}

QImage MapImage(const CityMap &map)
{
    // 0xffRRGGBB is Qt's RGB32; the copy outlives the map's own pixels.
    return QImage(reinterpret_cast<const uchar *>(map.picture()), MapSize, MapSize, MapSize * int(sizeof(Rgb)),
                  QImage::Format_RGB32)
        .copy();
}
