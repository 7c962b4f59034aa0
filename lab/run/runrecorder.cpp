// SPDX-License-Identifier: GPL-3.0-or-later
#include "runrecorder.h"

#include "chart.h"
#include "corestrings.h"
#include "mappalette.h"
#include "measurestable.h"
#include "runplanjson.h"
#include "snapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

// Rows are gathered and written a block at a time, each write checked.
constexpr qsizetype CsvBlock = 1 << 16;

// A snapshot's name carries its generation with enough digits for the whole calendar, so
// the files sort in the order of the run.
constexpr int GenerationDigits = 6;

QColor GroupColour(GroupIndex g)
{
    return QColor::fromRgb(ColourOf(g));
}

} // namespace

RunRecorder::RunRecorder(const RunPlan &plan, const QStringList &commandLine)
    : plan_(plan)
    , commandLine_(commandLine)
    , started_(QDateTime::currentDateTimeUtc())
{
}

QString RunRecorder::path(const QString &name) const
{
    return QDir(ToQString(plan_.outDir)).filePath(name);
}

QString RunRecorder::SnapshotName(qint64 generation)
{
    return QStringLiteral("map-%1.png").arg(generation, GenerationDigits, 10, QLatin1Char('0'));
}

QStringList RunRecorder::PlannedFiles(const RunPlan &plan)
{
    QStringList files{QLatin1String(MeasuresFile)};
    if (plan.snapshotEvery > 0) {
        for (qint64 g = 0; g <= plan.generations; ++g) {
            if (plan.snapshotAt(g))
                files << SnapshotName(g);
        }
    }
    if (plan.gif)
        files << QLatin1String(GifFile);
    if (plan.chart)
        files << QLatin1String(ChartPngFile) << QLatin1String(ChartSvgFile);
    return files;
}

bool RunRecorder::IsRunFileName(const QString &name)
{
    static const QRegularExpression snapshot(QStringLiteral("^map-[0-9]{%1}\\.png$").arg(GenerationDigits));
    for (const char *fixed : {MeasuresFile, RunFile, GifFile, ChartPngFile, ChartSvgFile}) {
        if (name == QLatin1String(fixed))
            return true;
    }
    return snapshot.match(name).hasMatch();
}

WriteError RunRecorder::Begin()
{
    // On record before any other file, so that nothing the run leaves is unaccounted for.
    if (auto error = writeRunJson(Running))
        return error;
    csv_ = std::make_unique<SaveFile>(path(QLatin1String(MeasuresFile)));
    if (!OpenForWriting(*csv_))
        return CannotWrite(csv_->fileName(), csv_->errorString());
    csvPending_ = ToBytes(MeasuresTable::HeaderLine());
    if (plan_.gif) {
        if (auto error = gif_.Open(path(QLatin1String(GifFile)), plan_.scale, GifWriter::DefaultFrameDelay,
                                   plan_.captions ? GifWriter::Strip::Caption : GifWriter::Strip::None))
            return error;
    }
    return std::nullopt;
}

WriteError RunRecorder::flushCsv()
{
    if (!csv_)
        return CannotWrite(path(QLatin1String(MeasuresFile)), QStringLiteral("it was never opened"));
    if (!WriteAll(*csv_, csvPending_))
        return CannotWrite(csv_->fileName(), csv_->errorString());
    csvPending_.clear();
    return std::nullopt;
}

std::optional<MapCaption> RunRecorder::caption(qint64 generation, const HeadlessCity &city) const
{
    if (!plan_.captions)
        return std::nullopt;
    return MapCaption{city.date(), YearsOfGeneration(generation), city.general().PrefEighths, plan_.seed};
}

WriteError RunRecorder::Visit(qint64 generation, const HeadlessCity &city)
{
    lastGeneration_ = generation;
    // Changes are typed before the generation they name, so its visit is the first under them.
    bool changed = false;
    for (; generation > 0 && nextChange_ < plan_.changes.size() && plan_.changes[nextChange_].generation <= generation;
         ++nextChange_)
        changed = true;
    if (changed)
        changed_.emplace_back(generation, city.general().PrefEighths);

    if (plan_.measuredAt(generation)) {
        samples_.push_back(TakeSample(city, generation, measurer_));
        csvPending_ += ToBytes(MeasuresTable::Line(samples_.back()));
        if (csvPending_.size() >= CsvBlock) {
            if (auto error = flushCsv())
                return error;
        }
    }
    if (plan_.snapshotAt(generation)) {
        const QString name = SnapshotName(generation);
        if (auto error = WriteSnapshot(MapImage(city.map()), path(name), plan_.scale, caption(generation, city)))
            return error;
        written_ << name;
    }
    if (plan_.frameAt(generation)) {
        if (auto error = gif_.AddFrame(MapImage(city.map()), caption(generation, city)))
            return error;
    }
    return std::nullopt;
}

WriteError RunRecorder::completeFiles()
{
    if (auto error = flushCsv())
        return error;
    if (!csv_->commit())
        return CannotWrite(csv_->fileName(), csv_->errorString());
    written_.prepend(QLatin1String(MeasuresFile));
    if (gif_.isOpen()) {
        if (auto error = gif_.Finish())
            return error;
        written_ << QLatin1String(GifFile);
    }
    if (plan_.chart && !samples_.empty()) {
        if (auto error = writeChart())
            return error;
        written_ << QLatin1String(ChartPngFile) << QLatin1String(ChartSvgFile);
    }
    return std::nullopt;
}

WriteError RunRecorder::Finish()
{
    if (auto error = completeFiles())
        return error;
    return writeRunJson(Finished);
}

WriteError RunRecorder::Interrupt()
{
    if (auto error = completeFiles())
        return error;
    return writeRunJson(Interrupted);
}

void RunRecorder::Fail(const QString &reason)
{
    writeRunJson(Failed, reason);
}

WriteError RunRecorder::writeChart() const
{
    ChartData chart;
    chart.title = QStringLiteral("Velmora: segregation over the years");
    if (!samples_.empty())
        chart.subtitle = QStringLiteral("Seed %1; the share of like neighbours each group wants: %2%3")
                             .arg(plan_.seed)
                             .arg(PreferencesInWords(samples_.front().prefEighths),
                                  changed_.empty() ? QString() : QStringLiteral(" at first"));
    for (const auto &[generation, eighths] : changed_)
        chart.marks.push_back({YearsOfGeneration(generation), QStringLiteral("Generation %1: preferences set to %2")
                                                                  .arg(generation)
                                                                  .arg(PreferencesInWords(eighths))});
    chart.panels = {{QStringLiteral("Same-group share of neighbours"), QStringLiteral("Share (0 to 1)"), 0.0, 1.0},
                    {QStringLiteral("City-wide segregation indices"), QStringLiteral("Index (0 to 1)"), 0.0, 1.0}};
    auto series = [&](const QString &name, QColor colour, int panel, auto value) {
        ChartSeries line{name, colour, panel, {}};
        for (const Sample &sample : samples_)
            line.values.push_back(value(sample.measures));
        chart.series.push_back(std::move(line));
    };
    for (const Sample &sample : samples_)
        chart.years.push_back(sample.years);

    series(QStringLiteral("All residents"), Qt::black, 0, [](const CityMeasures &m) { return m.sameShareAll; });
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        series(ToQString(GroupName(g)), GroupColour(g), 0, [g](const CityMeasures &m) { return m.sameShare[g]; });

    // Colours apart from the groups' own, so no index is read as a group.
    series(QStringLiteral("Dissimilarity D"), QColor(0x6a, 0x3d, 0x9a), 1, [](const CityMeasures &m) { return m.dissimilarity; });
    series(QStringLiteral("Theil H"), QColor(0xe6, 0x7e, 0x22), 1, [](const CityMeasures &m) { return m.theilH; });
    const QColor spatial[] = {QColor(0x00, 0x7a, 0x7a), QColor(0xb0, 0x30, 0x60), QColor(0x8c, 0x5a, 0x2b)};
    for (size_t i = 0; i < SpatialRadii.size(); ++i)
        series(QStringLiteral("Spatial H, radius %1").arg(SpatialRadii[i]), spatial[i], 1,
               [i](const CityMeasures &m) { return m.spatialH[i]; });
    series(QStringLiteral("Interface density"), Qt::black, 1, [](const CityMeasures &m) { return m.interfaceDensity; });

    if (auto error = WriteChartPng(chart, path(QLatin1String(ChartPngFile))))
        return error;
    return WriteChartSvg(chart, path(QLatin1String(ChartSvgFile)));
}

WriteError RunRecorder::writeRunJson(const char *state, const QString &failure) const
{
    const bool running = qstrcmp(state, Running) == 0;
    QJsonArray arguments;
    for (const QString &argument : commandLine_)
        arguments.append(argument);
    QJsonArray files;
    for (const QString &file : running ? PlannedFiles(plan_) : written_)
        files.append(file);
    QJsonObject run{
        {QStringLiteral("program"), QStringLiteral("velmora-lab")},
        {QStringLiteral("format"), 1},
        {QStringLiteral("version"), QCoreApplication::applicationVersion()},
        {QStringLiteral("command_line"), arguments},
        {QStringLiteral("started"), started_.toString(Qt::ISODateWithMs)},
        {QStringLiteral("state"), QLatin1String(state)},
        {QStringLiteral("seed"), double(plan_.seed)},
        {QStringLiteral("generations_run"), double(std::max<qint64>(lastGeneration_, 0))},
        {QStringLiteral("first_date"), samples_.empty() ? QString() : ToQString(IsoDate(samples_.front().date))},
        {QStringLiteral("last_date"), samples_.empty() ? QString() : ToQString(IsoDate(samples_.back().date))},
        {QStringLiteral("rows"), double(samples_.size())},
        {QStringLiteral("files"), files},
        {QStringLiteral("parameters"), RunPlanToJson(plan_)},
    };
    if (!running)
        run.insert(QStringLiteral("finished"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    if (!failure.isEmpty())
        run.insert(QStringLiteral("failure"), failure);
    return SaveWhole(path(QLatin1String(RunFile)), QJsonDocument(run).toJson(QJsonDocument::Indented));
}
