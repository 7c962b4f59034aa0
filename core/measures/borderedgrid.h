// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "citymeasures.h"
#include "groups.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class GroupGrid;

inline constexpr int LargestRadius = *std::max_element(SpatialRadii.begin(), SpatialRadii.end());

// The grid is copied inside a border of off-grid homes wide enough for the largest square
// and the last partial tract, so that no inner loop tests for an edge.
inline constexpr int Border = std::max(LargestRadius, TractSide - 1);
static_assert(TractSide - 1 <= LargestRadius, "a tract's rows are summed while the sweep keeps them");
inline constexpr std::uint8_t OffGrid = GroupCount + 1;

// A map of groups with a border of off-grid homes around it, one byte a home.
class BorderedGrid
{
public:
    void Assign(const GroupGrid &grid);

    int width() const { return width_; }
    int height() const { return height_; }

    // Row y, -Border to height() - 1 + Border, pointing at column 0; columns -Border to
    // width() - 1 + Border may be read.
    const std::uint8_t *row(int y) const { return cells_.data() + Offset(y); }

private:
    size_t Offset(int y) const { return size_t(y + Border) * stride_ + Border; }

    int width_ = 0;
    int height_ = 0;
    size_t stride_ = 0;
    std::vector<std::uint8_t> cells_;
};

