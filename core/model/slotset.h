// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "constants.h"

#include <array>
#include <bit>
#include <cstdint>

using SlotIndex = std::int32_t;

// A set of mover slots (1 to MovesPerGeneration), one bit each, so that home choice can ask
// "the lowest free slot with n neighbours of the group" a word at a time.
class SlotSet
{
public:
    static constexpr int WordBits = 64;
    static constexpr int WordCount = (MovesPerGeneration + WordBits - 1) / WordBits;

    constexpr bool contains(SlotIndex slot) const
    {
        return inRange(slot) && (words_[word(slot)] >> bit(slot) & 1u);
    }
    constexpr void insert(SlotIndex slot)
    {
        if (inRange(slot))
            words_[word(slot)] |= std::uint64_t(1) << bit(slot);
    }
    constexpr void erase(SlotIndex slot)
    {
        if (inRange(slot))
            words_[word(slot)] &= ~(std::uint64_t(1) << bit(slot));
    }
    constexpr bool empty() const
    {
        std::uint64_t any = 0;
        for (std::uint64_t w : words_)
            any |= w;
        return any == 0;
    }
    // The lowest slot in the set; 0 when it is empty (slot 0 is never used).
    constexpr SlotIndex lowest() const
    {
        for (int i = 0; i < WordCount; ++i) {
            if (words_[i] != 0)
                return i * WordBits + std::countr_zero(words_[i]) + 1;
        }
        return 0;
    }

    constexpr SlotSet operator&(const SlotSet &other) const
    {
        SlotSet both;
        for (int i = 0; i < WordCount; ++i)
            both.words_[i] = words_[i] & other.words_[i];
        return both;
    }
    constexpr SlotSet &operator|=(const SlotSet &other)
    {
        for (int i = 0; i < WordCount; ++i)
            words_[i] |= other.words_[i];
        return *this;
    }
    // The slots of this set that are not in the other.
    constexpr SlotSet operator-(const SlotSet &other) const
    {
        SlotSet rest;
        for (int i = 0; i < WordCount; ++i)
            rest.words_[i] = words_[i] & ~other.words_[i];
        return rest;
    }
    bool operator==(const SlotSet &) const = default;

    // Slots 1 to MovesPerGeneration.
    static constexpr SlotSet AllSlots()
    {
        SlotSet all;
        for (SlotIndex s = 1; s <= MovesPerGeneration; ++s)
            all.insert(s);
        return all;
    }

    // Exactly the slots first, first + 1, ... first + 63 whose flag is set, of those 64;
    // `first` is 1 plus a multiple of 64.
    constexpr void setWord(SlotIndex first, std::uint64_t flags) { words_[word(first)] = flags; }

private:
    static constexpr bool inRange(SlotIndex slot) { return slot >= 1 && slot <= MovesPerGeneration; }
    static constexpr int word(SlotIndex slot) { return (slot - 1) / WordBits; }
    static constexpr int bit(SlotIndex slot) { return (slot - 1) % WordBits; }

    std::array<std::uint64_t, WordCount> words_{};
};
