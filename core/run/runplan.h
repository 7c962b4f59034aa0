// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "groups.h"

#include <cstdint>
#include <string>
#include <vector>

// Preferences typed into the five fields before a generation, as a user would type them.
struct PreferenceChange
{
    std::int64_t generation = 0;      // applied before this generation runs (1 is the first)
    std::vector<std::string> texts;   // Blue, Red, Green, Gray, Yellow
    bool operator==(const PreferenceChange &) const = default;
};

// Everything that decides what a run computes and writes. The same plan with the same
// seed gives the same files, byte for byte (but for run.json's times and command line).
struct RunPlan
{
    std::uint32_t seed = 0;
    bool seedPicked = false;          // chosen by the program, not given
    std::vector<std::string> prefTexts;   // typed before the city is built
    std::vector<PreferenceChange> changes;   // in the order they apply
    std::int64_t generations = 0;     // the horizon
    int every = 0;                    // measures every this many generations, and at the end
    int snapshotEvery = 0;            // a PNG of the map every this many generations; 0: none
    int scale = 1;                    // pixels per home in the pictures
    bool gif = false;
    int gifEvery = 0;                 // frames of the animation every this many generations
    bool chart = false;
    bool captions = true;             // a strip under each picture of the map saying what it shows
    std::string outDir;               // empty: a table on standard output instead of files

    bool operator==(const RunPlan &) const = default;

    // Whether generation g (0: the city as built) is measured, pictured or animated.
    bool measuredAt(std::int64_t g) const { return dueAt(g, every); }
    bool snapshotAt(std::int64_t g) const { return snapshotEvery > 0 && dueAt(g, snapshotEvery); }
    bool frameAt(std::int64_t g) const { return gif && dueAt(g, gifEvery); }

private:
    bool dueAt(std::int64_t g, int step) const { return step > 0 && (g % step == 0 || g == generations); }
};

// The defaults and limits of a run's parameters, in one place for the help and the checks.
namespace RunLimits {
inline constexpr double DaysPerYear = 365.25;
// The calendar ends on 31 December 9999: 365,014 generations from 1 January 2005.
inline constexpr std::int64_t MaxGenerations = 365014;
inline constexpr double DefaultYears = 10;
inline constexpr int DefaultEvery = 46;   // 368 days, about a year
inline constexpr int MaxScale = 16;
} // namespace RunLimits

// The first generation on or after `years` years (of 365.25 days) from the start.
std::int64_t GenerationsForYears(double years);
double YearsOfGeneration(std::int64_t generation);
// The most years a run can last: the calendar's end.
double MaxYears();
// The same rounded down to a tenth: the limit that messages state, itself a length that runs.
double MaxYearsStated();
