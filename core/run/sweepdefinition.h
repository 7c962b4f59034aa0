// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "groups.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The values one group's preference takes in a sweep, in eighths: ascending, each once.
using PreferenceSet = std::vector<std::int16_t>;

// A sweep: every combination of the groups' preference values, each run with `seeds`
// seeds. Two definitions that expand into the same runs are equal, however their
// preferences were written.
struct SweepDefinition
{
    GroupTable<PreferenceSet> prefSets{};   // entry 0 unused
    std::uint32_t seeds = 1;                // runs per preference vector
    std::uint32_t baseSeed = 0;
    std::int64_t generations = 0;           // every run's horizon
    int every = 0;                          // measures every this many generations, and at the end

    bool operator==(const SweepDefinition &) const = default;

    std::uint64_t runCount() const;
    // One line for a person: "preferences 0..8,4,4,0..8/2,4 in eighths, 10 seeds from base seed 11, ...".
    std::string description() const;
};

// Run ids are 32-bit, so that a run's seed is RunSeed(baseSeed, runId).
namespace SweepLimits {
inline constexpr std::uint64_t MaxRuns = 0xffffffffull;
inline constexpr std::uint32_t MaxSeeds = 1000000;
} // namespace SweepLimits

// One run of a sweep, with the preferences as texts a user would type into the window.
struct SweepRun
{
    std::uint32_t runId = 0;
    std::vector<std::string> prefTexts;        // Blue, Red, Green, Gray, Yellow
    std::uint32_t seed = 0;
    std::uint32_t replicate = 0;               // which of the definition's seeds, from 0
    GroupTable<std::int16_t> prefEighths{};    // what the texts read as; entry 0 unused
};

// The runs in id order, from 0: Blue's values outermost, then Red, Green, Gray, Yellow, and
// the seed index innermost, so that a vector's replicates are neighbours. The seed is
// RunSeed(baseSeed, runId). RunAt gives one run without expanding the others.
std::vector<SweepRun> ExpandRuns(const SweepDefinition &definition);
SweepRun RunAt(const SweepDefinition &definition, std::uint32_t runId);

// The five groups' values from text such as "0..8,50%,50%,0..8/2,25%|75%": one set per group,
// separated by commas; a set is one or more items separated by "|"; an item is a range of
// eighths A..B or A..B/S (whole numbers from 0 to 8, step S), or one preference written as
// for `run` ("50%", ".5"), except a bare whole number from 1 to 8: `run` reads "4" as 4 %
// and "1" as all eight, where a sweep's ranges would make them eighths, so such an item is
// refused for the two readings it has. nullopt with the reason, naming the item, when the
// text is not such a one.
std::optional<GroupTable<PreferenceSet>> ReadPreferenceSets(std::string_view text, std::string *problem);

// The set as --prefs writes it in eighths: "0..8/2", "3", "0|3|8".
std::string PreferenceSetText(const PreferenceSet &values);

// Part i of n of a sweep: the runs whose id is i modulo n.
struct Shard
{
    std::uint32_t index = 0;
    std::uint32_t count = 1;
    bool operator==(const Shard &) const = default;
    bool holds(std::uint32_t runId) const { return runId % count == index; }
    // How many of `runs` runs (ids 0 to runs - 1) it holds.
    std::uint64_t size(std::uint64_t runs) const { return runs / count + (index < runs % count ? 1 : 0); }
};
