// SPDX-License-Identifier: GPL-3.0-or-later
#include "snapshot.h"

#include "constants.h"
#include "mappalette.h"
#include "savepng.h"

#include <algorithm>

namespace {

// A palette image: a third of the size of a true-colour one and exact by construction.
QImage IndexedPicture(const std::vector<uchar> &indices, int scale, const std::vector<uchar> &strip)
{
    const int side = MapSize * scale;
    const int stripRows = int(strip.size()) / side;
    QImage picture(side, side + stripRows, QImage::Format_Indexed8);
    picture.setColorTable(strip.empty() ? MapPalette() : CaptionPalette());
    for (int y = 0; y < MapSize; ++y) {
        ScaledRow(indices, y, scale, picture.scanLine(y * scale));
        for (int copy = 1; copy < scale; ++copy)
            std::copy_n(picture.constScanLine(y * scale), side, picture.scanLine(y * scale + copy));
    }
    for (int row = 0; row < stripRows; ++row)
        std::copy_n(strip.data() + std::size_t(row) * std::size_t(side), side, picture.scanLine(side + row));
    return picture;
}

} // namespace

WriteError WriteSnapshot(const QImage &map, const QString &fileName, int scale, const std::optional<MapCaption> &caption)
{
    if (const auto problem = ScaleProblem(scale))
        return CannotWrite(fileName, *problem);
    QString reason;
    const auto indices = PaletteIndices(map, &reason);
    if (!indices)
        return CannotWrite(fileName, reason);
    std::vector<uchar> strip;
    if (caption) {
        auto drawn = CaptionIndices(*caption, scale, &reason);
        if (!drawn)
            return CannotWrite(fileName, reason);
        strip = std::move(*drawn);
    }

    return SavePng(IndexedPicture(*indices, scale, strip), fileName);
}
