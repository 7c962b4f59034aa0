// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymap.h"
#include "citymeasurer.h"
#include "citymeasures.h"
#include "constants.h"
#include "groupgrid.h"
#include "groups.h"
#include "randomsource.h"

#include <benchmark/benchmark.h>

namespace {

constexpr float BenchSeed = 1.0f;
constexpr int BlockSide = 53;                              // 5 x 5 blocks of one group each
constexpr GroupTable<qint16> HalfPreference = {0, 4, 4, 4, 4, 4};

// A city as construction draws it: every home a group with shares 65/13/13/7/2.
GroupGrid RandomCity()
{
    RandomSource random([] { return BenchSeed; });
    GroupGrid grid(MapSize, MapSize);
    for (int y = 0; y < MapSize; ++y) {
        for (int x = 0; x < MapSize; ++x)
            grid.set(x, y, DrawGroup(random.NextSingle(), ConstructionCutoffs));
    }
    return grid;
}

// A strongly segregated city: large blocks, each of one group.
GroupGrid BlockCity()
{
    RandomSource random([] { return BenchSeed; });
    constexpr int Blocks = (MapSize + BlockSide - 1) / BlockSide;
    std::array<GroupIndex, Blocks * Blocks> blockGroup{};
    for (GroupIndex &g : blockGroup)
        g = DrawGroup(random.NextSingle(), ConstructionCutoffs);
    GroupGrid grid(MapSize, MapSize);
    for (int y = 0; y < MapSize; ++y) {
        for (int x = 0; x < MapSize; ++x)
            grid.set(x, y, blockGroup[(y / BlockSide) * Blocks + x / BlockSide]);
    }
    return grid;
}

} // namespace

// Every measure of one 265 x 265 map; arg 0: a freshly built random city, 1: large blocks.
// A measurer keeps its memory from map to map, as a run that samples its city does.
static void BM_Measure(benchmark::State &state)
{
    const GroupGrid grid = state.range(0) == 0 ? RandomCity() : BlockCity();
    CityMeasurer measurer;
    for (auto _ : state)
        benchmark::DoNotOptimize(measurer.Measure(grid, HalfPreference));
    state.SetItemsProcessed(state.iterations() * CellCount);
    state.SetLabel(state.range(0) == 0 ? "random" : "blocks");
}
BENCHMARK(BM_Measure)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same with fresh memory for every map.
static void BM_MeasureOnce(benchmark::State &state)
{
    const GroupGrid grid = state.range(0) == 0 ? RandomCity() : BlockCity();
    for (auto _ : state)
        benchmark::DoNotOptimize(Measure(grid, HalfPreference));
    state.SetItemsProcessed(state.iterations() * CellCount);
    state.SetLabel(state.range(0) == 0 ? "random" : "blocks");
}
BENCHMARK(BM_MeasureOnce)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Reading the groups off the map's colours, which the measures need first.
static void BM_GroupGridFromCityMap(benchmark::State &state)
{
    CityMap map(qRgb(255, 255, 255));
    const GroupGrid grid = RandomCity();
    for (int y = 0; y < MapSize; ++y) {
        for (int x = 0; x < MapSize; ++x)
            map.PlotResident(float(x), float(y), grid.at(x, y));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(GroupGrid::FromCityMap(map));
    state.SetItemsProcessed(state.iterations() * CellCount);
}
BENCHMARK(BM_GroupGridFromCityMap)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
