// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"
#include "sweepdefinition.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

// A measure at the end of a sweep's runs, averaged over the seeds and over the preferences
// not on the axes, for each pair of values of two groups' preferences.
struct HeatMap
{
    QString measure;                          // a measure column
    QString description;                      // what the measure is, one line
    GroupIndex x = NoGroup;
    GroupIndex y = NoGroup;
    PreferenceSet xValues;
    PreferenceSet yValues;
    std::vector<std::optional<double>> means; // row by row from the lowest y value; nullopt: undefined in every run
    std::vector<quint64> counts;              // the runs with a value in each cell
    quint64 runsPerCell = 0;
    double years = 0;                         // when the runs end
    quint32 seeds = 0;
    quint32 baseSeed = 0;

    std::optional<double> mean(size_t xi, size_t yi) const { return means[yi * xValues.size() + xi]; }
};

// The two axes: the groups given, else the first groups whose preference takes several
// values, else any.
std::pair<GroupIndex, GroupIndex> HeatMapAxes(const SweepDefinition &definition, GroupIndex x, GroupIndex y);

// From a merged runs.csv of the sweep; the reason when the file is not such a table.
std::variant<HeatMap, QString> ReadHeatMap(const QString &runsFile, const SweepDefinition &definition,
                                           const QString &measure, GroupIndex x, GroupIndex y);

// "heatmap-same_share_all-blue-red.png"
QString HeatMapFileName(const HeatMap &map);

// The colour scale spans the means drawn, from the lowest to the highest, whatever the
// measure, so that the colours tell the cells of one map apart. Its ticks, from the lowest:
// a value and its text; the ends are the lowest and highest means, written as the cells write
// them, and those between are round. nullopt when no cell has a value.
struct HeatMapScale
{
    double low = 0;
    double high = 0;
    std::vector<std::pair<double, QString>> ticks;
};
std::optional<HeatMapScale> ColourScaleOf(const HeatMap &map);

// A measure in words ("Same-group share of neighbours (all residents)"); one without words
// of its own is named by its description, else its column.
QString MeasureInWords(const QString &measure, const QString &description);
// The picture's title: its measure in words.
QString HeatMapTitle(const HeatMap &map);

// Where the picture's parts go. It is as large as they need, with a margin around them.
struct HeatMapLayout
{
    QSize size;
    QRect title;
    QRect notes;
    QRect grid;
    int cell = 0;        // the side of a cell
    QRect yTitle;        // the y axis' title, before it is turned to read upwards
    QRect bar;           // the colour bar; null when no cell has a value
    QRect xTitle;
    QRect footer;        // the note on undefined cells; null when there are none
};
// Needs a QGuiApplication for its fonts.
HeatMapLayout HeatMapPlaces(const HeatMap &map);

// Draws the cells with their values, the axes with the preferences in eighths and the colour
// scale. Needs a QGuiApplication for its fonts (on the offscreen platform without a display);
// written under a temporary name and renamed.
WriteError WriteHeatMapPng(const HeatMap &map, const QString &fileName);
