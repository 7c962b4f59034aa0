// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QSize>

// Window geometry is kept in twips (1/1440 inch), the unit the layout was drawn in, and
// converted at 15 twips per pixel (96 dots per inch). Every layout is absolute.

inline constexpr int TwipsPerPixel = 15;

struct TwipRect
{
    int left;
    int top;
    int width;
    int height;

    constexpr QRect pixels() const
    {
        return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel,
                     height / TwipsPerPixel);
    }
};

struct TwipSize
{
    int width;
    int height;

    constexpr QSize pixels() const { return QSize(width / TwipsPerPixel, height / TwipsPerPixel); }
};

// "MS Sans Serif", 8.25 points: 11 pixels at 96 dots per inch, so text keeps to the
// fixed boxes whatever the screen's resolution.
inline constexpr int DefaultFontPixels = 11;
// 12 points, the heading of the information window.
inline constexpr int HeadingFontPixels = 16;

namespace VornLayout {

inline constexpr TwipSize Client{8580, 4695};

inline constexpr TwipRect Map{240, 120, 4035, 4035};
inline constexpr int MapBorderPixels = 2;   // sunken 3D border around the 265 x 265 drawing area
inline constexpr TwipRect MapTitle{120, 4320, 4335, 255};   // Label4
inline constexpr TwipRect DateLabel{5640, 120, 615, 255};   // Label3
inline constexpr TwipRect Dayt{6360, 120, 975, 285};

inline constexpr TwipRect GroupHeading{4800, 720, 615, 255};       // Clab(0)
inline constexpr TwipRect NumberHeading{5640, 720, 735, 255};      // Label2
inline constexpr TwipRect ProportionHeading{6480, 720, 975, 255};  // Label1
inline constexpr TwipRect PreferenceHeading{7560, 720, 975, 255};  // Label5

// Rows of the group table: row g starts at FirstRowTop + RowPitch * (g - 1).
inline constexpr int FirstRowTop = 1080;
inline constexpr int RowPitch = 360;
inline constexpr int LabelHeight = 255;
inline constexpr int FieldHeight = 285;
inline constexpr TwipRect GroupName{4800, 0, 615, LabelHeight};   // Clab(g), top from the row
inline constexpr TwipRect Kount{5640, 0, 735, FieldHeight};
inline constexpr TwipRect Prop{6600, 0, 735, FieldHeight};
inline constexpr TwipRect Pref{7680, 0, 735, FieldHeight};

constexpr TwipRect InRow(TwipRect column, int group)
{
    return {column.left, FirstRowTop + RowPitch * (group - 1), column.width, column.height};
}

inline constexpr TwipRect PopulationLabel{4560, 3000, 975, 255};   // Clab(6)
inline constexpr TwipRect Population{5640, 3000, 735, 285};

inline constexpr TwipRect PauseIt{4680, 3600, 975, 375};
inline constexpr TwipRect StartOver{5760, 3600, 2655, 375};
inline constexpr TwipRect ContinueIt{4680, 4080, 975, 375};
inline constexpr TwipRect DisplayMore{5760, 4080, 2655, 375};
// Covers exactly the block of the four buttons, which it replaces while a city is built.
inline constexpr TwipRect PleaseWait{4560, 3495, 3975, 1095};

} // namespace VornLayout
