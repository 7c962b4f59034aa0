// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "constants.h"
#include "groups.h"

#include <array>

// The tables of one generation, indexed by mover slot 1 to MovesPerGeneration (slot 0 unused).
// Slot i holds mover i and the home mover i vacated.
using SlotIndex = qint32;
template <typename T>
using SlotTable = std::array<T, MovesPerGeneration + 1>;

// How many of the eight neighbours of each vacated home showed each group (0: empty or off
// the map) when the home was vacated; read and written as (slot, group). Each group's counts
// are stored together so that home choice can scan them as one contiguous row.
class NeighbourCountTable
{
public:
    qint16 &operator()(SlotIndex slot, GroupIndex group) { return counts_[group][slot]; }
    qint16 operator()(SlotIndex slot, GroupIndex group) const { return counts_[group][slot]; }
    const SlotTable<qint16> &ofGroup(GroupIndex group) const { return counts_[group]; }
    bool operator==(const NeighbourCountTable &) const = default;

private:
    GroupTable<SlotTable<qint16>> counts_{};
};
using HomeTakenTable = SlotTable<bool>;
using PreferenceTable = GroupTable<qint16>;

// Picks the vacated home for the mover in slot `mover` of group `group` (1 to 5): the first
// free home that meets the group's preference, else the free home with most neighbours of
// the group, else any free home, leaving the mover's own home for last. 0 when none is free.
SlotIndex ChooseHome(GroupIndex group, SlotIndex mover, const PreferenceTable &prefEighths,
                     const NeighbourCountTable &neighbourCount, const HomeTakenTable &homeTaken);
