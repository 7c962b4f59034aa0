#include "choosehome.h"

SlotIndex ChooseHome(GroupIndex group, SlotIndex mover, const PreferenceTable &prefEighths,
                     const NeighbourCountTable &neighbourCount, const HomeTakenTable &homeTaken)
{
    if (group < 0 || group > GroupCount)
        return 0;   // outside both tables; a generation never asks this
    const qint16 threshold = prefEighths[group];

    // First fit, not best fit: the lowest free home that suits wins.
    for (SlotIndex b = 1; b <= MovesPerGeneration; ++b) {
        if (b != mover && !homeTaken[b] && neighbourCount[b][group] >= threshold)
            return b;
    }

    // Strictly greater, so a tie keeps the lower slot.
    qint16 bestCount = 0;
    SlotIndex bestSlot = 0;
    for (SlotIndex b = 1; b <= MovesPerGeneration; ++b) {
        if (b != mover && !homeTaken[b] && neighbourCount[b][group] > bestCount) {
            bestCount = neighbourCount[b][group];
            bestSlot = b;
        }
    }
    if (bestSlot > 0)
        return bestSlot;

    for (SlotIndex b = 1; b <= MovesPerGeneration; ++b) {
        if (b != mover && !homeTaken[b])
            return b;
    }

    // Going back home is the last resort.
    for (SlotIndex b = 1; b <= MovesPerGeneration; ++b) {
        if (!homeTaken[b])
            return b;
    }
    return 0;
}
