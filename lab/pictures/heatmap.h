// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"
#include "sweepdefinition.h"

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

// Draws the cells with their values, the axes with the preferences in eighths and a colour
// scale. Needs a QGuiApplication for its fonts (on the offscreen platform without a display);
// written under a temporary name and renamed.
WriteError WriteHeatMapPng(const HeatMap &map, const QString &fileName);
