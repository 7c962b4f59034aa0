// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

// Counts that neighbouring homes or labels would raise one after another are kept in Lanes
// copies, one for each in turn, and added up at the end: otherwise each increment of a run of
// one count waits for the one before to be stored.
inline constexpr std::size_t Lanes = 4;

// Calls step(i, lane) for every i from `from` to `to` - 1 in order, Lanes at a time with the
// lanes 0 to Lanes - 1 as constants; the last few take lane 0.
template <typename Step>
[[gnu::always_inline]] inline void ForEachInLanes(int from, int to, Step step)
{
    int i = from;
    for (; i + int(Lanes) <= to; i += int(Lanes)) {
#pragma GCC unroll 4
        for (std::size_t lane = 0; lane < Lanes; ++lane)
            step(i + int(lane), lane);
    }
    for (; i < to; ++i)
        step(i, std::size_t(0));
}
