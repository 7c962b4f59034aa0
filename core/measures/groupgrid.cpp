// SPDX-License-Identifier: GPL-3.0-or-later
#include "groupgrid.h"

#include "citymap.h"
#include "constants.h"

#include <algorithm>

GroupGrid::GroupGrid(int width, int height)
    : width_(std::clamp(width, 1, MaxSide))
    , height_(std::clamp(height, 1, MaxSide))
    , cells_(size_t(width_) * size_t(height_), std::uint8_t(NoGroup))
{
}

GroupGrid GroupGrid::FromCityMap(const CityMap &map)
{
    GroupGrid grid(MapSize, MapSize);
    for (int y = 0; y < MapSize; ++y)
        std::copy_n(map.GroupsOfRow(y), MapSize, grid.cells_.data() + size_t(y) * MapSize);
    return grid;
}

GroupIndex GroupGrid::at(int x, int y) const
{
    if (!contains(x, y))
        return NoGroup;
    return cells_[size_t(y) * size_t(width_) + size_t(x)];
}

void GroupGrid::set(int x, int y, GroupIndex group)
{
    if (!contains(x, y))
        return;
    const bool isGroup = group >= 1 && group <= GroupCount;
    cells_[size_t(y) * size_t(width_) + size_t(x)] = std::uint8_t(isGroup ? group : NoGroup);
}
