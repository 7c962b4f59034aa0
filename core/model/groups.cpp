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

Rgb ColourOf(GroupIndex group)
{
    if (group >= 1 && group <= GroupCount)
        return Groups[group].colour;
    return Groups[NoGroup].colour;
}

GroupIndex GroupOfColour(Rgb colour)
{
    const Rgb rgb = colour & RgbMask;
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        if ((Groups[g].colour & RgbMask) == rgb)
            return g;
    }
    return NoGroup;
}

std::string GroupName(GroupIndex group)
{
    if (group >= 1 && group <= GroupCount)
        return Groups[group].name;
    return {};
}

std::string GroupKey(GroupIndex group)
{
    std::string key = GroupName(group);
    for (char &c : key) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return key;
}
