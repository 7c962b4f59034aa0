// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "headlesscity.h"
#include "preferencetext.h"

#include "benchmain.h"

#include <benchmark/benchmark.h>


// The model's headless path, as a recorded run uses it: no window, texts in plain strings.

static void BM_HeadlessBuildCity(benchmark::State &state)
{
    HeadlessCity city(7);
    for (auto _ : state)
        city.general().BuildCity();
    state.SetItemsProcessed(state.iterations() * CellCount);
}
BENCHMARK(BM_HeadlessBuildCity)->Unit(benchmark::kMillisecond);

// arg: every group's preference in eighths. 0 takes the first free home, 8 scans them all.
static void BM_HeadlessGeneration(benchmark::State &state)
{
    HeadlessCity city(7);
    const std::string preference = PreferenceText(std::int16_t(state.range(0)));
    for (int g = 1; g <= GroupCount; ++g)
        city.setText(CityWindow::Field::Pref, g, preference);
    city.general().BuildCity();
    for (auto _ : state)
        city.general().NextGeneration();
    state.SetItemsProcessed(state.iterations() * MovesPerGeneration);
}
BENCHMARK(BM_HeadlessGeneration)->Arg(0)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv);
}
