// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymap.h"

CityMap::CityMap(Rgb background, Picture picture)
    : cells_(std::size_t(Stride * Stride), NoGroup)
    , picture_(picture)
    , pixels_(std::size_t(CellCount), background)
{
}

const Rgb *CityMap::picture() const
{
    if (imageStale_) {
        Rgb *pixel = pixels_.data();
        for (int row = 0; row < MapSize; ++row) {
            for (int column = 0; column < MapSize; ++column)
                *pixel++ = ColourOf(cells_[std::size_t(HomeOfCell(column, row))]);
        }
        imageStale_ = false;
    }
    return pixels_.data();
}
