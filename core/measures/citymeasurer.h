// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "citymeasures.h"
#include "groupgrid.h"
#include "groups.h"

#include <memory>

// Measures maps one after another, keeping its working memory from one map to the next: a
// run that samples its city often allocates nothing after the first map.
class CityMeasurer
{
public:
    CityMeasurer();
    ~CityMeasurer();
    CityMeasurer(const CityMeasurer &) = delete;
    CityMeasurer &operator=(const CityMeasurer &) = delete;

    // All measures of the grid. prefEighths[g] is group g's preference in eighths: a resident
    // with fewer neighbours of its group is dissatisfied.
    CityMeasures Measure(const GroupGrid &grid, const GroupTable<std::int16_t> &prefEighths);

private:
    struct Workspace;
    std::unique_ptr<Workspace> workspace_;
};
