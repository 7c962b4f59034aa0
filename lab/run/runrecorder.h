// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gifwriter.h"
#include "labrun.h"
#include "runplan.h"
#include "savefile.h"

#include <QDateTime>
#include <QSaveFile>
#include <QStringList>

#include <memory>
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
};
