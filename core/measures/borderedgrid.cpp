// SPDX-License-Identifier: GPL-3.0-or-later
#include "borderedgrid.h"

#include "groupgrid.h"

void BorderedGrid::Assign(const GroupGrid &grid)
{
    width_ = grid.width();
    height_ = grid.height();
    stride_ = size_t(width_) + 2 * Border;
    cells_.assign(stride_ * (size_t(height_) + 2 * Border), OffGrid);
    for (int y = 0; y < height_; ++y)
        std::copy_n(grid.cells() + size_t(y) * size_t(width_), width_, cells_.data() + Offset(y));
}
