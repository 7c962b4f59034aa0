// SPDX-License-Identifier: GPL-3.0-or-later
#include "choosehome.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void NeighbourCountTable::forgetSets() const
{
    atLeastOf_.fill(NotDrawn);
    byCountDrawn_.fill(false);
    setsValid_ = true;
}

void NeighbourCountTable::drawAtLeast(GroupIndex group, int n) const
{
    const CountSets &byCount = slotsByCount(group);
    SlotSet found;
    for (int count = std::clamp(n, 0, MaxNeighbourCount + 1); count <= MaxNeighbourCount; ++count)
        found |= byCount[count];
    atLeast_[group] = found;
    atLeastOf_[group] = n;
}

void NeighbourCountTable::drawByCount(GroupIndex group) const
{
    const SlotTable<std::int16_t> &counts = counts_[group];
    CountSets &sets = byCount_[group];
    for (SlotIndex first = 1; first <= MovesPerGeneration; first += SlotSet::WordBits) {
        std::array<std::uint64_t, MaxNeighbourCount + 1> flags{};
#if defined(__SSE2__)
        // Sixteen slots at a time: each count, held within 0 to 8, against each n.
        static_assert(SlotSet::WordBits % 16 == 0 && MovesPerGeneration % SlotSet::WordBits == 0);
        const __m128i low = _mm_setzero_si128();
        const __m128i high = _mm_set1_epi16(MaxNeighbourCount);
        for (int k = 0; k < SlotSet::WordBits; k += 16) {
            const auto *at = reinterpret_cast<const __m128i *>(&counts[first + k]);
            const __m128i a = _mm_min_epi16(_mm_max_epi16(_mm_loadu_si128(at), low), high);
            const __m128i b = _mm_min_epi16(_mm_max_epi16(_mm_loadu_si128(at + 1), low), high);
            for (int n = 0; n <= MaxNeighbourCount; ++n) {
                const __m128i value = _mm_set1_epi16(std::int16_t(n));
                const __m128i same = _mm_packs_epi16(_mm_cmpeq_epi16(a, value), _mm_cmpeq_epi16(b, value));
                flags[n] |= std::uint64_t(std::uint32_t(_mm_movemask_epi8(same))) << k;
            }
        }
#else
        for (int k = 0; k < SlotSet::WordBits && first + k <= MovesPerGeneration; ++k)
            flags[std::clamp(int(counts[first + k]), 0, MaxNeighbourCount)] |= std::uint64_t(1) << k;
#endif
        for (int n = 0; n <= MaxNeighbourCount; ++n)
            sets[n].setWord(first, flags[n]);
    }
    byCountDrawn_[group] = true;
}

SlotSet HomeTakenTable::freeSlots() const
{
    static constexpr SlotSet All = SlotSet::AllSlots();
    return All - taken_;
}

SlotIndex ChooseHome(GroupIndex group, SlotIndex mover, const PreferenceTable &prefEighths,
                     const NeighbourCountTable &neighbourCount, const HomeTakenTable &homeTaken)
{
    if (group < 0 || group > GroupCount)
        return 0;   // outside both tables; a generation never asks this
    const int threshold = prefEighths[group];

    // Every rule looks at the free homes other than the mover's own, lowest slot first.
    const SlotSet free = homeTaken.freeSlots();
    SlotSet others = free;
    others.erase(mover);

    // First fit, not best fit: the lowest free home that suits.
    const SlotSet suiting = threshold <= 0 ? others : others & neighbourCount.slotsWithAtLeast(group, threshold);
    if (!suiting.empty())
        return suiting.lowest();
    // The most neighbours of the group, a tie going to the lower slot; none is no choice.
    const NeighbourCountTable::CountSets &byCount = neighbourCount.slotsByCount(group);
    for (int n = MaxNeighbourCount; n >= 1; --n) {
        const SlotSet best = others & byCount[n];
        if (!best.empty())
            return best.lowest();
    }
    if (!others.empty())
        return others.lowest();
    // Going back home is the last resort; nothing else is free by now.
    return free.contains(mover) ? mover : 0;
}
