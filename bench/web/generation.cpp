// SPDX-License-Identifier: GPL-3.0-or-later
// The generation loop, a construction and one measuring of the city, timed the same way natively and in
// WebAssembly (under Node), so that bench/bench_web.py can set the two side by side. Plain
// <chrono> rather than Google Benchmark, which does not build for WebAssembly here.
//
// Prints one line per case: its name and the median microseconds of one call, over
// batches of at least a tenth of a second each.
#include "citymeasurer.h"
#include "constants.h"
#include "groupgrid.h"
#include "headlesscity.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double BatchSeconds = 0.1;
constexpr int Batches = 9;   // odd, so the median is one of them
constexpr std::uint32_t Seed = 7;
// Enough generations that the city has begun to sort itself, as on the page after a while.
constexpr int WarmUpGenerations = 460;

double MedianMicroseconds(const std::function<void()> &work)
{
    // Calls per batch: doubled until a batch takes long enough to time well.
    long calls = 1;
    for (;;) {
        const auto start = Clock::now();
        for (long i = 0; i < calls; ++i)
            work();
        if (std::chrono::duration<double>(Clock::now() - start).count() >= BatchSeconds)
            break;
        calls *= 2;
    }
    std::vector<double> perCall;
    for (int b = 0; b < Batches; ++b) {
        const auto start = Clock::now();
        for (long i = 0; i < calls; ++i)
            work();
        perCall.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / double(calls));
    }
    std::nth_element(perCall.begin(), perCall.begin() + Batches / 2, perCall.end());
    return perCall[Batches / 2];
}

void BuildWithPreference(HeadlessCity &city, const char *text)
{
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        city.setText(CityWindow::Field::Pref, g, text);
    city.general().BuildCity();
    for (int i = 0; i < WarmUpGenerations; ++i)
        city.general().NextGeneration();
}

} // namespace

int main(int argc, char **argv)
{
    // The cases to run, by name; all of them without arguments.
    const std::vector<std::string> wanted(argv + 1, argv + argc);
    auto runs = [&](const std::string &name) {
        return wanted.empty() || std::find(wanted.begin(), wanted.end(), name) != wanted.end();
    };

    if (runs("construction")) {
        HeadlessCity city(Seed);
        std::printf("construction\t%.3f\n", MedianMicroseconds([&] { city.general().BuildCity(); }));
        std::fflush(stdout);
    }
    // Every group's preference in eighths: 0 takes the first free home, 8 scans them all.
    const struct { const char *name; const char *text; } preferences[] = {
        {"generation/0", "0"}, {"generation/4", "50%"}, {"generation/8", "100%"}};
    for (const auto &p : preferences) {
        if (!runs(p.name))
            continue;
        HeadlessCity city(Seed);
        BuildWithPreference(city, p.text);
        std::printf("%s\t%.3f\n", p.name, MedianMicroseconds([&] { city.general().NextGeneration(); }));
        std::fflush(stdout);
    }
    if (runs("measures")) {
        HeadlessCity city(Seed);
        BuildWithPreference(city, "50%");
        CityMeasurer measurer;
        const auto prefs = city.general().PrefEighths;
        std::printf("measures\t%.3f\n", MedianMicroseconds([&] {
                        const CityMeasures m = measurer.Measure(GroupGrid::FromCityMap(city.map()), prefs);
                        if (!m.sameShareAll)
                            std::abort();   // keeps the work from being optimised away
                    }));
    }
    return 0;
}
