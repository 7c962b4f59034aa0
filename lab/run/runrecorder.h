// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "caption.h"
#include "gifwriter.h"
#include "labrun.h"
#include "runplan.h"
#include "savefile.h"

#include <QDateTime>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

// What one run leaves in its folder: measures.csv, the snapshots, the animation, the chart
// and run.json. Each file appears under its name only once it is complete. run.json is
// written first, saying that the run is going and every file it may write, so that whatever
// it leaves is on record even after a kill; it is written again when the run ends: finished,
// interrupted (with what was done so far) or failed.
class RunRecorder
{
public:
    RunRecorder(const RunPlan &plan, const QStringList &commandLine);

    // Records the run as going and opens the files that grow during it.
    WriteError Begin();
    // At every generation; writes what is due.
    WriteError Visit(qint64 generation, const HeadlessCity &city);
    // Writes what is left and names the files; run.json last, as the record of a whole run.
    WriteError Finish();
    // After a stop between two generations: measures.csv with the rows taken so far, the
    // animation and the chart of them, and run.json saying the last generation run. No row is
    // added for that generation, so the rows are the first ones of the whole run's.
    WriteError Interrupt();
    // After a failure: run.json says so and lists the files that are complete; best effort,
    // as the failure may well stop this too.
    void Fail(const QString &reason);

    const std::vector<Sample> &samples() const { return samples_; }
    qint64 lastGeneration() const { return lastGeneration_; }

    // The files a run of this plan writes, in the order run.json lists them (not run.json).
    static QStringList PlannedFiles(const RunPlan &plan);
    // Whether some run could write a file of this name (run.json included).
    static bool IsRunFileName(const QString &name);

    static QString SnapshotName(qint64 generation);
    static constexpr const char *MeasuresFile = "measures.csv";
    static constexpr const char *RunFile = "run.json";
    static constexpr const char *GifFile = "map.gif";
    static constexpr const char *ChartPngFile = "chart.png";
    static constexpr const char *ChartSvgFile = "chart.svg";

    // What run.json's "state" says.
    static constexpr const char *Running = "running";
    static constexpr const char *Finished = "finished";
    static constexpr const char *Interrupted = "interrupted";
    static constexpr const char *Failed = "failed";

private:
    QString path(const QString &name) const;
    std::optional<MapCaption> caption(qint64 generation, const HeadlessCity &city) const;
    WriteError flushCsv();
    WriteError completeFiles();
    WriteError writeChart() const;
    WriteError writeRunJson(const char *state, const QString &failure = QString()) const;

    RunPlan plan_;
    QStringList commandLine_;
    QDateTime started_;
    CityMeasurer measurer_;
    std::vector<Sample> samples_;
    qint64 lastGeneration_ = -1;
    std::unique_ptr<SaveFile> csv_;
    QByteArray csvPending_;
    GifWriter gif_;
    QStringList written_;
    std::size_t nextChange_ = 0;
    // Where the plan's changes took effect, with the preferences from then on, for the chart.
    std::vector<std::pair<qint64, GroupTable<std::int16_t>>> changed_;
};
