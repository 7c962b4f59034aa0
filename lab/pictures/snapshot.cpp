// SPDX-License-Identifier: GPL-3.0-or-later
#include "snapshot.h"

#include "constants.h"
#include "mappalette.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>

namespace {

// A palette image: a third of the size of a true-colour one and exact by construction.
QImage IndexedPicture(const std::vector<uchar> &indices, int scale)
{
    const int side = MapSize * scale;
    QImage picture(side, side, QImage::Format_Indexed8);
    picture.setColorTable(MapPalette());
    for (int y = 0; y < MapSize; ++y) {
        ScaledRow(indices, y, scale, picture.scanLine(y * scale));
        for (int copy = 1; copy < scale; ++copy)
            std::copy_n(picture.constScanLine(y * scale), side, picture.scanLine(y * scale + copy));
    }
    return picture;
}

} // namespace

WriteError WriteSnapshot(const QImage &map, const QString &fileName, int scale)
{
    if (const auto problem = ScaleProblem(scale))
        return CannotWrite(fileName, *problem);
    QString reason;
    const auto indices = PaletteIndices(map, &reason);
    if (!indices)
        return CannotWrite(fileName, reason);

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(IndexedPicture(*indices, scale)))
        return CannotWrite(fileName, writer.errorString());
    return SaveWhole(fileName, png);
}
