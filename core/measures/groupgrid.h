// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "groups.h"

#include <cstdint>

#include <vector>

class CityMap;

// Homes by group, row-major, for the measures: a map of any size, read once from the
// city's colours so that no measure looks at a pixel.
class GroupGrid
{
public:
    // Keeps the cell count within what the measures' whole-number sums hold.
    static constexpr int MaxSide = 1 << 15;

    // All homes empty. Each side is held within 1 to MaxSide.
    GroupGrid(int width, int height);

    static GroupGrid FromCityMap(const CityMap &map);

    int width() const { return width_; }
    int height() const { return height_; }

    // 0 for a point off the grid.
    GroupIndex at(int x, int y) const;
    // A value that is not a group stores 0; a point off the grid changes nothing.
    void set(int x, int y, GroupIndex group);

    // Row-major, width() homes per row, each 0 to GroupCount.
    const std::uint8_t *cells() const { return cells_.data(); }

private:
    bool contains(int x, int y) const { return x >= 0 && x < width_ && y >= 0 && y < height_; }

    int width_;
    int height_;
    std::vector<std::uint8_t> cells_;
};
