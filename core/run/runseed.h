// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The seed of run `runId` of a sweep: a function of the sweep's base seed and the run's id
// alone, never of the shard, the job or the clock, so a run gives the same city however the
// sweep is split, and can be repeated alone with `velmora-lab run --seed`. It is the high
// half of SplitMix64's output (Steele, Lea and Flood, 2014) for the 64-bit value
// base * 2^32 + runId, so that neighbouring ids get unrelated seeds.
constexpr std::uint32_t RunSeed(std::uint32_t baseSeed, std::uint32_t runId)
{
    std::uint64_t z = (std::uint64_t(baseSeed) << 32 | runId) + 0x9e3779b97f4a7c15ull;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z = z ^ (z >> 31);
    return std::uint32_t(z >> 32);
}
