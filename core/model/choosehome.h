// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "constants.h"
#include "groups.h"
#include "slotset.h"

#include <array>
#include <cstdint>

// The tables of one generation, indexed by mover slot 1 to MovesPerGeneration (slot 0 unused).
// Slot i holds mover i and the home mover i vacated.
template <typename T>
using SlotTable = std::array<T, MovesPerGeneration + 1>;

// A home has eight neighbours, so a count is 0 to 8.
inline constexpr int MaxNeighbourCount = NeighbourReads;

// How many of the eight neighbours of each vacated home showed each group (0: empty or off
// the map) when the home was vacated; read and written as (slot, group). Home choice asks
// it for sets of slots by count, which it draws up from the counts when first asked after
// a change and keeps until the next change.
class NeighbourCountTable
{
public:
    using Census = GroupTable<std::int16_t>;

    std::int16_t &operator()(SlotIndex slot, GroupIndex group)
    {
        setsValid_ = false;
        return counts_[group][slot];
    }
    std::int16_t operator()(SlotIndex slot, GroupIndex group) const { return counts_[group][slot]; }
    bool operator==(const NeighbourCountTable &other) const { return counts_ == other.counts_; }

    // The counts of one vacated home, all groups at once.
    void RecordCensus(SlotIndex slot, const Census &census)
    {
        setsValid_ = false;
        for (GroupIndex g = 0; g <= GroupCount; ++g)
            counts_[g][slot] = census[g];
    }

    // The slots whose count of the group is at least n.
    const SlotSet &slotsWithAtLeast(GroupIndex group, int n) const
    {
        forgetChangedSets();
        if (atLeastOf_[group] != n)
            drawAtLeast(group, n);
        return atLeast_[group];
    }
    // The slots by their exact count of the group, 0 to 8. A count outside 0 to 8, which no
    // census gives, is taken as the nearest of them, here and in home choice.
    using CountSets = std::array<SlotSet, MaxNeighbourCount + 1>;
    const CountSets &slotsByCount(GroupIndex group) const
    {
        forgetChangedSets();
        if (!byCountDrawn_[group])
            drawByCount(group);
        return byCount_[group];
    }

private:
    void forgetChangedSets() const
    {
        if (!setsValid_)
            forgetSets();
    }
    void forgetSets() const;
    void drawAtLeast(GroupIndex group, int n) const;
    void drawByCount(GroupIndex group) const;

    GroupTable<SlotTable<std::int16_t>> counts_{};

    // Drawn up on demand, per group: the threshold asked last and its slots, and the slots
    // by exact count.
    static constexpr int NotDrawn = -1;
    mutable bool setsValid_ = false;
    mutable GroupTable<int> atLeastOf_{};
    mutable GroupTable<SlotSet> atLeast_{};
    mutable GroupTable<bool> byCountDrawn_{};
    mutable GroupTable<CountSets> byCount_{};
};

// Which vacated homes a mover of this generation has been given.
class HomeTakenTable
{
public:
    class Reference
    {
    public:
        Reference &operator=(bool taken)
        {
            table_.set(slot_, taken);
            return *this;
        }
        operator bool() const { return table_.taken_.contains(slot_); }

    private:
        friend class HomeTakenTable;
        Reference(HomeTakenTable &table, SlotIndex slot) : table_(table), slot_(slot) {}
        HomeTakenTable &table_;
        SlotIndex slot_;
    };

    bool operator[](SlotIndex slot) const { return taken_.contains(slot); }
    Reference operator[](SlotIndex slot) { return Reference(*this, slot); }
    void set(SlotIndex slot, bool taken)
    {
        if (taken)
            taken_.insert(slot);
        else
            taken_.erase(slot);
    }
    // Slots 1 to MovesPerGeneration not taken.
    SlotSet freeSlots() const;
    bool operator==(const HomeTakenTable &) const = default;

private:
    SlotSet taken_;
};

using PreferenceTable = GroupTable<std::int16_t>;

// Picks the vacated home for the mover in slot `mover` of group `group` (1 to 5): the first
// free home that meets the group's preference, else the free home with most neighbours of
// the group, else any free home, leaving the mover's own home for last. 0 when none is free.
SlotIndex ChooseHome(GroupIndex group, SlotIndex mover, const PreferenceTable &prefEighths,
                     const NeighbourCountTable &neighbourCount, const HomeTakenTable &homeTaken);
