// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "constants.h"
#include "groups.h"

#include <QImage>

#include <optional>

// The city: one pixel per home, the pixel's colour is the resident's group. This
// persistent image is the only record of who lives where; the Map control shows it.
class CityMap
{
public:
    // Before the first city is built the image shows the window's own colour.
    explicit CityMap(QRgb background);

    // The one mapping from a real coordinate to a column or row, used for both writing
    // and reading: rounded to the nearest whole number, or nullopt off the map. Rounding
    // (rather than truncating) reaches every home from draws in [0, 264), and keeps
    // "x + 1" on the adjacent home for every coordinate a generation can draw.
    static std::optional<int> CellOf(float coordinate)
    {
        // Exact in double precision; for a non-negative sum truncation is rounding down,
        // and NaN fails the range test.
        const double shifted = double(coordinate) + 0.5;
        if (!(shifted >= 0.0 && shifted < double(MapSize)))
            return std::nullopt;
        return int(shifted);
    }

    // Paints the home at (x, y) in the group's colour, white for anything not a group.
    // A point off the map changes nothing.
    void PlotResident(float x, float y, GroupIndex group);

    // The group living at (x, y); 0 for an empty home, an unknown colour or a point off the map.
    GroupIndex GroupAt(float x, float y) const;

    const QImage &image() const { return image_; }

private:
    QImage image_;
};
