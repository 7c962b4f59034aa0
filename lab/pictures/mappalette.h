// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "citymap.h"
#include "groups.h"

#include <QImage>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// Every picture of the map uses one palette: entry 0 white (an empty home), entries 1 to 5
// the groups' colours, so a pixel's palette index is its resident's GroupIndex.
inline constexpr int PaletteSize = GroupCount + 1;

// Whole enlargement factors of a picture: each home becomes a square of scale x scale pixels.
struct ScaleRange
{
    int smallest;
    int largest;
};
inline constexpr ScaleRange PictureScales = {1, 16};   // 16: 4,240 pixels a side

QList<QRgb> MapPalette();

// The map's picture, one pixel per home in the group colours, as an image of its own.
QImage MapImage(const CityMap &map);

// The palette indices of the map, row by row, one byte per home; nullopt and the reason
// when the image is not a map: the wrong size, or a colour that is no group's and not white.
std::optional<std::vector<uchar>> PaletteIndices(const QImage &map, QString *reason);

// The reason a scale cannot be used, or nullopt.
std::optional<QString> ScaleProblem(int scale);

// One row of a picture at the given scale: each home of map row y repeated scale times.
void ScaledRow(const std::vector<uchar> &indices, int y, int scale, uchar *out);
