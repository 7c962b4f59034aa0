// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>

// 1 Blue, 2 Red, 3 Green, 4 Gray, 5 Yellow; 0 is no group (empty, unknown colour, off the map).
using GroupIndex = std::int32_t;

inline constexpr GroupIndex NoGroup = 0;
inline constexpr int GroupCount = 5;

// Tables indexed by group keep entry 0 so that a group's index is its row.
template <typename T>
using GroupTable = std::array<T, GroupCount + 1>;

// A colour as a 32-bit pixel holds it: 0xffRRGGBB, opaque.
using Rgb = std::uint32_t;
constexpr Rgb RgbOf(int red, int green, int blue)
{
    return 0xff000000u | Rgb(red & 0xff) << 16 | Rgb(green & 0xff) << 8 | Rgb(blue & 0xff);
}
inline constexpr Rgb RgbMask = 0x00ffffffu;   // the colour without its opacity

struct GroupInfo
{
    const char *name;   // the row heading in the main window
    Rgb colour;         // the colour of its homes on the map
};

inline constexpr GroupTable<GroupInfo> Groups = {{
    {"", RgbOf(255, 255, 255)},   // white: an empty home
    {"Blue", RgbOf(0, 0, 255)},
    {"Red", RgbOf(255, 0, 0)},
    {"Green", RgbOf(0, 255, 0)},
    {"Gray", RgbOf(128, 128, 128)},
    {"Yellow", RgbOf(255, 255, 0)},
}};

// Cumulative shares at construction: 65, 13, 13, 7 and the remaining 2 per cent.
inline constexpr GroupTable<float> ConstructionCutoffs = {0.0f, 0.65f, 0.78f, 0.91f, 0.98f, 0.0f};

// Picks a group from one uniform number in [0, 1): the first of groups 1 to 4 whose
// cutoff lies above r, else group 5.
GroupIndex DrawGroup(float r, const GroupTable<float> &cutoff);

// White for anything that is not a group.
Rgb ColourOf(GroupIndex group);

// Exact match only: a colour that is not one of the five groups' is no group.
GroupIndex GroupOfColour(Rgb colour);

// "Blue" to "Yellow"; empty for anything that is not a group.
std::string GroupName(GroupIndex group);
// The same in lower case, as column names and options spell it.
std::string GroupKey(GroupIndex group);
