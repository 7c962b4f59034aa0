// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "borderedgrid.h"
#include "groups.h"

#include <cstdint>
#include <memory>

// The 8-connected clusters of each group's residents: how many, and the residents of the largest.
struct Clusters
{
    GroupTable<int> count{};
    GroupTable<std::int32_t> largest{};
};

// Finds the clusters of maps one after another, keeping its working memory. A mixed map is
// labelled home by home, one in which enclaves have formed run by run along its rows.
class ClusterFinder
{
public:
    ClusterFinder();
    ~ClusterFinder();
    ClusterFinder(const ClusterFinder &) = delete;
    ClusterFinder &operator=(const ClusterFinder &) = delete;

    Clusters Find(const BorderedGrid &grid);

private:
    class ByHomes;
    class ByRuns;
    std::unique_ptr<ByHomes> byHomes_;
    std::unique_ptr<ByRuns> byRuns_;
};
