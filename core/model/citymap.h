// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "constants.h"
#include "groups.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

// The city: one home per cell of a 265 x 265 grid, each holding the group of its resident.
// The picture of it, one pixel per home in the group's colour, is what the Map control
// shows; every write goes to both, so the picture always shows exactly who lives where.
class CityMap
{
public:
    // Whether the picture is painted along with every home (a window showing it) or drawn
    // from the homes only when asked for (a run that is measured and seldom pictured).
    enum class Picture { Kept, OnRequest };

    // Before the first city is built the picture shows the window's own colour.
    explicit CityMap(Rgb background, Picture picture = Picture::Kept);

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

    // A home's place in the grid. The grid has a ring of never-occupied places around it,
    // so the eight neighbours of any home, at Home + NeighbourStep, can be read without a
    // test for the edge and read as no group off the map.
    using Home = int;
    static constexpr int Stride = MapSize + 2;
    static constexpr Home HomeOfCell(int column, int row) { return (row + 1) * Stride + column + 1; }
    static std::optional<Home> HomeAt(float x, float y)
    {
        const auto column = CellOf(x);
        const auto row = CellOf(y);
        if (!column || !row)
            return std::nullopt;
        return HomeOfCell(*column, *row);
    }
    // The place one unit away in x and y: for every coordinate a generation draws, x + 1.0
    // maps onto the next column (or off the map), so this is the home read at (x + dx, y + dy).
    static constexpr int NeighbourStep(int dx, int dy) { return dy * Stride + dx; }

    // Paints the home at (x, y) in the group's colour, white for anything not a group.
    // A point off the map changes nothing.
    void PlotResident(float x, float y, GroupIndex group)
    {
        if (const auto home = HomeAt(x, y))
            PlotResidentIn(*home, group);
    }
    void PlotResidentIn(Home home, GroupIndex group)
    {
        const std::uint8_t cell = group >= 1 && group <= GroupCount ? std::uint8_t(group) : std::uint8_t(NoGroup);
        cells_[size_t(home)] = cell;
        if (picture_ == Picture::Kept)
            paint(home, cell);
        else
            imageStale_ = true;
    }

    // The group living at (x, y); 0 for an empty home, one never built, or a point off the map.
    GroupIndex GroupAt(float x, float y) const
    {
        const auto home = HomeAt(x, y);
        return home ? GroupIn(*home) : NoGroup;
    }
    // The group at a whole-number column and row of the map (0 to 264), for reading it whole.
    GroupIndex GroupOfCell(int column, int row) const
    {
        if (column < 0 || column >= MapSize || row < 0 || row >= MapSize)
            return NoGroup;
        return GroupIn(HomeOfCell(column, row));
    }
    GroupIndex GroupIn(Home home) const { return cells_[size_t(home)]; }
    // The groups of a whole row of the map (0 to 264), MapSize of them from column 0, as
    // GroupOfCell gives them.
    const std::uint8_t *GroupsOfRow(int row) const
    {
        return cells_.data() + HomeOfCell(0, std::clamp(row, 0, MapSize - 1));
    }

    // The picture, 265 x 265 pixels row by row in the group colours (white for an empty
    // home), each 0xffRRGGBB as a 32-bit image holds it. Drawn on request, it shows a home
    // never built as empty too; painted along, in the background colour until its resident
    // arrives.
    const Rgb *picture() const;

private:
    void paint(Home home, std::uint8_t cell)
    {
        const int row = home / Stride - 1;
        const int column = home % Stride - 1;
        pixels_[std::size_t(row * MapSize + column)] = ColourOf(cell);
    }

    std::vector<std::uint8_t> cells_;
    Picture picture_;
    mutable std::vector<Rgb> pixels_;
    mutable bool imageStale_ = false;
};
