// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "groupgrid.h"
#include "groups.h"

#include <array>
#include <optional>

// Radii, in homes, of the square local environments of the spatial information index:
// a small profile of segregation by scale.
inline constexpr std::array<int, 3> SpatialRadii = {1, 2, 4};

// Side, in homes, of the tracts of the dissimilarity, Theil, isolation and exposure indices:
// 53 x 53 tracts on the city's 265 x 265 homes.
inline constexpr int TractSide = 5;

// Every measure of one map. An empty optional is a measure the map leaves undefined (a group
// with no residents, fewer than two groups); it is never replaced by a number. Tables by
// group leave entry 0 empty. Definitions, ranges and references in docs/measures.md.
struct CityMeasures
{
    std::optional<double> sameShareAll;
    GroupTable<std::optional<double>> sameShare{};
    std::optional<double> dissatisfiedAll;
    GroupTable<std::optional<double>> dissatisfied{};
    GroupTable<int> clusters{};
    GroupTable<std::optional<double>> largestClusterShare{};
    std::optional<double> dissimilarity;
    std::optional<double> theilH;
    GroupTable<std::optional<double>> isolation{};   // xPx over the same tracts
    std::optional<double> exposureP;                 // normalized exposure over the same tracts
    std::array<std::optional<double>, SpatialRadii.size()> spatialH{};   // by SpatialRadii
    std::optional<double> interfaceDensity;
};

// All measures of the grid. prefEighths[g] is group g's preference in eighths: a resident
// with fewer neighbours of its group is dissatisfied. A CityMeasurer does the same, reusing
// its memory from one map to the next.
CityMeasures Measure(const GroupGrid &grid, const GroupTable<std::int16_t> &prefEighths);
