// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"

#include <QColor>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

// One line of a chart: a value for every x value of the chart, nullopt where the measure
// is undefined, which leaves a gap in the line. The series of a panel take dash patterns in
// turn, the first solid, so that two lines that coincide both show.
struct ChartSeries
{
    QString name;                                // its entry in the panel's legend
    QColor colour;
    int panel = 0;                               // index into ChartData::panels
    std::vector<std::optional<double>> values;
};

// One plot of the picture, with its own y axis; panels are stacked top to bottom.
struct ChartPanel
{
    QString title;
    QString yTitle;                              // what the y axis shows, with its unit
    double yMin = 0.0;
    double yMax = 1.0;
};

// Something that happened at one x value: a line across every panel, its label in the first.
struct ChartMark
{
    double x = 0;
    QString label;
};

// Measures over the years of a run. The x axis of every panel is "Years".
struct ChartData
{
    QString title;                               // above all panels; may be empty
    QString subtitle;                            // under the title, smaller; may be empty
    std::vector<double> years;
    std::vector<ChartPanel> panels;
    std::vector<ChartSeries> series;
    std::vector<ChartMark> marks;                // those outside the years are left out
};

// Draw the chart with Qt Charts. They need a QApplication (QtWidgets): the caller must have
// created one, on the offscreen platform where there is no display; without one these
// return an error and draw nothing. Written under a temporary name and renamed.
WriteError WriteChartPng(const ChartData &chart, const QString &fileName);
WriteError WriteChartSvg(const ChartData &chart, const QString &fileName);

// How many series a panel can hold with a dash pattern each; more repeat the patterns.
int DashPatternCount();

// The runs of consecutive values that are present (not nullopt, and finite), as half-open
// index ranges [first, last): each is drawn as a line of its own, so a missing value is a
// gap and never a zero.
std::vector<std::pair<int, int>> PresentRuns(const std::vector<std::optional<double>> &values);
