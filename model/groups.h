// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRgb>
#include <QString>

#include <array>

// 1 Blue, 2 Red, 3 Green, 4 Gray, 5 Yellow; 0 is no group (empty, unknown colour, off the map).
using GroupIndex = qint32;

inline constexpr GroupIndex NoGroup = 0;
inline constexpr int GroupCount = 5;

// Tables indexed by group keep entry 0 so that a group's index is its row.
template <typename T>
using GroupTable = std::array<T, GroupCount + 1>;

struct GroupInfo
{
    const char *name;   // the row heading in the main window
    QRgb colour;        // the colour of its homes on the map; the map's only record of them
};

inline constexpr GroupTable<GroupInfo> Groups = {{
    {"", qRgb(255, 255, 255)},   // white: an empty home
    {"Blue", qRgb(0, 0, 255)},
    {"Red", qRgb(255, 0, 0)},
    {"Green", qRgb(0, 255, 0)},
    {"Gray", qRgb(128, 128, 128)},
    {"Yellow", qRgb(255, 255, 0)},
}};

// Cumulative shares at construction: 65, 13, 13, 7 and the remaining 2 per cent.
inline constexpr GroupTable<float> ConstructionCutoffs = {0.0f, 0.65f, 0.78f, 0.91f, 0.98f, 0.0f};

// Picks a group from one uniform number in [0, 1): the first of groups 1 to 4 whose
// cutoff lies above r, else group 5.
GroupIndex DrawGroup(float r, const GroupTable<float> &cutoff);

// White for anything that is not a group.
QRgb ColourOf(GroupIndex group);

// Exact match only: a colour that is not one of the five groups' is no group.
GroupIndex GroupOfColour(QRgb colour);

QString GroupName(GroupIndex group);
