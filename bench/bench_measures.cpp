// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchmain.h"
#include "citymap.h"
#include "citymeasurer.h"
#include "citymeasures.h"
#include "constants.h"
#include "groupgrid.h"
#include "groups.h"
#include "headlesscity.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

constexpr std::uint32_t BenchSeed = 7;
constexpr int HundredYears = 4566;   // generations
constexpr GroupTable<std::int16_t> HalfPreference = {0, 4, 4, 4, 4, 4};

// The city of the seed as built (arg 0), or after 100 years at the default preferences
// (arg 1), when enclaves have formed.
GroupGrid CityAfter(std::int64_t arg)
{
    HeadlessCity city(BenchSeed);
    city.general().BuildCity();
    const int generations = arg == 0 ? 0 : HundredYears;
    for (int i = 0; i < generations; ++i)
        city.general().NextGeneration();
    return GroupGrid::FromCityMap(city.map());
}

const char *LabelOf(std::int64_t arg)
{
    return arg == 0 ? "fresh" : "100 years";
}

} // namespace

// Every measure of the 265 x 265 city, with a measurer kept from map to map as a run keeps it.
static void BM_Measure(benchmark::State &state)
{
    const GroupGrid grid = CityAfter(state.range(0));
    CityMeasurer measurer;
    for (auto _ : state)
        benchmark::DoNotOptimize(measurer.Measure(grid, HalfPreference));
    state.SetItemsProcessed(state.iterations() * CellCount);
    state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_Measure)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same with fresh memory for every map.
static void BM_MeasureOnce(benchmark::State &state)
{
    const GroupGrid grid = CityAfter(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(Measure(grid, HalfPreference));
    state.SetItemsProcessed(state.iterations() * CellCount);
    state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_MeasureOnce)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Reading the groups off the map, which the measures need first.
static void BM_GroupGridFromCityMap(benchmark::State &state)
{
    HeadlessCity city(BenchSeed);
    city.general().BuildCity();
    for (auto _ : state)
        benchmark::DoNotOptimize(GroupGrid::FromCityMap(city.map()));
    state.SetItemsProcessed(state.iterations() * CellCount);
}
BENCHMARK(BM_GroupGridFromCityMap)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv);
}
