// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymap.h"

CityMap::CityMap(QRgb background, Picture picture)
    : cells_(size_t(Stride * Stride), NoGroup)
    , picture_(picture)
    , image_(MapSize, MapSize, QImage::Format_RGB32)
{
    image_.fill(background);
}

void CityMap::paint(Home home, quint8 cell)
{
    const int row = home / Stride - 1;
    const int column = home % Stride - 1;
    reinterpret_cast<QRgb *>(image_.scanLine(row))[column] = ColourOf(cell);
}

const QImage &CityMap::image() const
{
    if (imageStale_) {
        for (int row = 0; row < MapSize; ++row) {
            auto *line = reinterpret_cast<QRgb *>(image_.scanLine(row));
            for (int column = 0; column < MapSize; ++column)
                line[column] = ColourOf(cells_[size_t(HomeOfCell(column, row))]);
        }
        imageStale_ = false;
    }
    return image_;
}
