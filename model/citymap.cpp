// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymap.h"

#include "constants.h"


CityMap::CityMap(QRgb background)
    : image_(MapSize, MapSize, QImage::Format_RGB32)
{
    image_.fill(background);
}

void CityMap::PlotResident(float x, float y, GroupIndex group)
{
    const auto column = CellOf(x);
    const auto row = CellOf(y);
    if (!column || !row)
        return;
    reinterpret_cast<QRgb *>(image_.scanLine(*row))[*column] = ColourOf(group);
}

GroupIndex CityMap::GroupAt(float x, float y) const
{
    const auto column = CellOf(x);
    const auto row = CellOf(y);
    if (!column || !row)
        return NoGroup;
    return GroupOfColour(reinterpret_cast<const QRgb *>(image_.constScanLine(*row))[*column]);
}
