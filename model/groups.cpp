// SPDX-License-Identifier: GPL-3.0-or-later
#include "groups.h"

GroupIndex DrawGroup(float r, const GroupTable<float> &cutoff)
{
    for (GroupIndex i = 1; i <= GroupCount - 1; ++i) {
        if (r < cutoff[i])
            return i;
    }
    return GroupCount;
}

QRgb ColourOf(GroupIndex group)
{
    if (group >= 1 && group <= GroupCount)
        return Groups[group].colour;
    return Groups[NoGroup].colour;
}

GroupIndex GroupOfColour(QRgb colour)
{
    const QRgb rgb = colour & RGB_MASK;
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        if ((Groups[g].colour & RGB_MASK) == rgb)
            return g;
    }
    return NoGroup;
}

QString GroupName(GroupIndex group)
{
    if (group >= 1 && group <= GroupCount)
        return QString::fromLatin1(Groups[group].name);
    return {};
}
