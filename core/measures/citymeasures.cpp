// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymeasures.h"

#include "citymeasurer.h"

CityMeasures Measure(const GroupGrid &grid, const GroupTable<std::int16_t> &prefEighths)
{
    return CityMeasurer().Measure(grid, prefEighths);
}
