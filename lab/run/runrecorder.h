// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "caption.h"
#include "gifwriter.h"
#include "labrun.h"
#include "runplan.h"
#include "savefile.h"

#include <QDateTime>
#include <QSaveFile>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// What one run leaves in its folder: measures.csv, the snapshots, the animation, the chart
// and run.json. Each file appears under its name only once it is complete; a run that is
// stopped or fails leaves its finished snapshots and nothing half-written.
class RunRecorder
{
public:
    RunRecorder(const RunPlan &plan, const QStringList &commandLine);

    // Opens the files that grow during the run.
    WriteError Begin();
    // At every generation; writes what is due.
    WriteError Visit(qint64 generation, const HeadlessCity &city);
    // Writes what is left and names the files; run.json last, as the record of a whole run.
    WriteError Finish();

    const std::vector<Sample> &samples() const { return samples_; }

    static QString SnapshotName(qint64 generation);
    static constexpr const char *MeasuresFile = "measures.csv";
    static constexpr const char *RunFile = "run.json";
    static constexpr const char *GifFile = "map.gif";
    static constexpr const char *ChartPngFile = "chart.png";
    static constexpr const char *ChartSvgFile = "chart.svg";

private:
    QString path(const QString &name) const;
    std::optional<MapCaption> caption(qint64 generation, const HeadlessCity &city) const;
    WriteError flushCsv();
    WriteError writeChart() const;
    WriteError writeRunJson() const;

    RunPlan plan_;
    QStringList commandLine_;
    QDateTime started_;
    CityMeasurer measurer_;
    std::vector<Sample> samples_;
    std::unique_ptr<QSaveFile> csv_;
    QByteArray csvPending_;
    GifWriter gif_;
    QStringList written_;
    std::size_t nextChange_ = 0;
    // Where the plan's changes took effect, with the preferences from then on, for the chart.
    std::vector<std::pair<qint64, GroupTable<std::int16_t>>> changed_;
};
