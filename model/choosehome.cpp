// SPDX-License-Identifier: GPL-3.0-or-later
#include "choosehome.h"

#include <cstring>

namespace {

// Eight slots' counts side by side (GCC and Clang vector extensions).
constexpr int LaneCount = 8;
using Lanes = qint16 __attribute__((vector_size(LaneCount * sizeof(qint16))));
using TakenBytes = char __attribute__((vector_size(LaneCount)));
static_assert(MovesPerGeneration % LaneCount == 0);
static_assert(sizeof(bool) == 1);

constexpr qint16 NotFree = -1;   // below any threshold and any count

bool Any(Lanes mask)
{
    quint64 words[2];
    std::memcpy(words, &mask, sizeof words);
    return (words[0] | words[1]) != 0;
}

} // namespace

SlotIndex ChooseHome(GroupIndex group, SlotIndex mover, const PreferenceTable &prefEighths,
                     const NeighbourCountTable &neighbourCount, const HomeTakenTable &homeTaken)
{
    if (group < 0 || group > GroupCount)
        return 0;   // outside both tables; a generation never asks this
    const qint16 threshold = prefEighths[group];

    // One upward scan serves the first three rules: it stops at the first free home that
    // suits (first fit, not best fit), and meanwhile remembers the free home with most
    // neighbours of the group (strictly more, so a tie keeps the lower slot) and the
    // lowest free home, for when none suits. It looks at eight slots at once, with the
    // unusable homes folded into the counts as -1, and only goes slot by slot within a
    // block where something is found.
    const SlotTable<qint16> &counts = neighbourCount.ofGroup(group);
    const qint16 own = mover >= 1 && mover <= MovesPerGeneration ? qint16(mover) : qint16(0);
    constexpr Lanes Offsets = {0, 1, 2, 3, 4, 5, 6, 7};
    qint16 bestCount = 0;
    SlotIndex bestSlot = 0;
    SlotIndex firstFree = 0;
    for (SlotIndex base = 1; base <= MovesPerGeneration; base += LaneCount) {
        Lanes n;
        std::memcpy(&n, &counts[base], sizeof n);
        TakenBytes taken;
        std::memcpy(&taken, &homeTaken[base], sizeof taken);
        const Lanes slot = qint16(base) + Offsets;
        n |= (__builtin_convertvector(taken, Lanes) != 0) | (slot == own);

        if (Any(n >= threshold)) {
            for (int k = 0; k < LaneCount; ++k) {
                if (n[k] >= threshold)
                    return base + k;
            }
        }
        if (Any(n > bestCount)) {
            for (int k = 0; k < LaneCount; ++k) {
                if (n[k] > bestCount) {
                    bestCount = n[k];
                    bestSlot = base + k;
                }
            }
        }
        if (firstFree == 0 && Any(n != NotFree)) {
            for (int k = 0; k < LaneCount && firstFree == 0; ++k)
                firstFree = n[k] != NotFree ? base + k : 0;
        }
    }
    if (bestSlot > 0)
        return bestSlot;
    if (firstFree > 0)
        return firstFree;

    // Going back home is the last resort; nothing else is free by now.
    if (mover >= 1 && mover <= MovesPerGeneration && !homeTaken[mover])
        return mover;
    return 0;
}
