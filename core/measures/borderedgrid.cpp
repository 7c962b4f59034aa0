// SPDX-License-Identifier: GPL-3.0-or-later
#include "borderedgrid.h"

#include "groupgrid.h"

void BorderedGrid::Assign(const GroupGrid &grid)
{
    // A map of the size before keeps the border it has: only the homes inside change.
    if (grid.width() != width_ || grid.height() != height_) {
        width_ = grid.width();
        height_ = grid.height();
        stride_ = size_t(width_) + 2 * Border;
        cells_.assign(stride_ * (size_t(height_) + 2 * Border), OffGrid);
    }
    for (int y = 0; y < height_; ++y)
        std::copy_n(grid.cells() + size_t(y) * size_t(width_), width_, cells_.data() + Offset(y));
}
