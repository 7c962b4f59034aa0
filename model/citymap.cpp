// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymap.h"

CityMap::CityMap(QRgb background, Picture picture)
    : cells_(size_t(Stride * Stride), NoGroup)
    , background_(background)
    , picture_(picture)
    , image_(MapSize, MapSize, QImage::Format_RGB32)
{
    for (int row = 0; row < MapSize; ++row) {
        for (int column = 0; column < MapSize; ++column)
            cells_[size_t(HomeOfCell(column, row))] = Unbuilt;
    }
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
            for (int column = 0; column < MapSize; ++column) {
                const quint8 cell = cells_[size_t(HomeOfCell(column, row))];
                line[column] = cell == Unbuilt ? background_ : ColourOf(cell);
            }
        }
        imageStale_ = false;
    }
    return image_;
}
