// SPDX-License-Identifier: GPL-3.0-or-later
#include "runplanjson.h"

#include "corestrings.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Names of the fields of run.json's "parameters"; one spelling for writing and reading.
namespace Key {
const QLatin1String Seed("seed");
const QLatin1String SeedPicked("seed_picked");
const QLatin1String Prefs("prefs");
const QLatin1String Changes("set");
const QLatin1String Generation("generation");
const QLatin1String Generations("generations");
const QLatin1String Every("every");
const QLatin1String Snapshots("snapshots");
const QLatin1String Scale("scale");
const QLatin1String Gif("gif");
const QLatin1String GifEvery("gif_every");
const QLatin1String Chart("chart");
const QLatin1String Captions("captions");
} // namespace Key

QJsonArray TextArray(const std::vector<std::string> &texts)
{
    QJsonArray array;
    for (const std::string &text : texts)
        array.append(ToQString(text));
    return array;
}

std::optional<std::vector<std::string>> FivePreferenceTexts(const QJsonValue &value)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != GroupCount)
        return std::nullopt;
    std::vector<std::string> texts;
    for (const QJsonValue &text : array) {
        if (!text.isString())
            return std::nullopt;
        texts.push_back(ToStd(text.toString()));
    }
    return texts;
}

} // namespace

std::optional<qint64> JsonWholeNumber(const QJsonValue &value, qint64 low, qint64 high)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!(d >= double(low) && d <= double(high)) || d != std::floor(d))
        return std::nullopt;
    return qint64(d);
}

QJsonObject RunPlanToJson(const RunPlan &plan)
{
    QJsonArray changeList;
    for (const PreferenceChange &change : plan.changes)
        changeList.append(QJsonObject{{Key::Generation, double(change.generation)},
                                      {Key::Prefs, TextArray(change.texts)}});
    return {
        {Key::Seed, double(plan.seed)},
        {Key::SeedPicked, plan.seedPicked},
        {Key::Prefs, TextArray(plan.prefTexts)},
        {Key::Changes, changeList},
        {Key::Generations, double(plan.generations)},
        {Key::Every, plan.every},
        {Key::Snapshots, plan.snapshotEvery},
        {Key::Scale, plan.scale},
        {Key::Gif, plan.gif},
        {Key::GifEvery, plan.gifEvery},
        {Key::Chart, plan.chart},
        {Key::Captions, plan.captions},
    };
}

std::optional<RunPlan> RunPlanFromJson(const QJsonObject &object, QString *reason)
{
    auto fail = [&](const QString &what) {
        *reason = what;
        return std::nullopt;
    };
    RunPlan plan;
    const auto seed = JsonWholeNumber(object[Key::Seed], 0, 0xffffffffLL);
    if (!seed)
        return fail(QStringLiteral("\"seed\" is not a 32-bit unsigned integer"));
    plan.seed = std::uint32_t(*seed);
    plan.seedPicked = object[Key::SeedPicked].toBool();
    const auto prefs = FivePreferenceTexts(object[Key::Prefs]);
    if (!prefs)
        return fail(QStringLiteral("\"prefs\" is not a list of five texts"));
    plan.prefTexts = *prefs;
    const auto generations = JsonWholeNumber(object[Key::Generations], 0, RunLimits::MaxGenerations);
    if (!generations)
        return fail(QStringLiteral("\"generations\" is not a whole number from 0 to %1").arg(RunLimits::MaxGenerations));
    plan.generations = *generations;
    if (!object[Key::Changes].isArray())
        return fail(QStringLiteral("\"set\" is not a list"));
    for (const QJsonValue &value : object[Key::Changes].toArray()) {
        const QJsonObject change = value.toObject();
        const auto generation = JsonWholeNumber(change[Key::Generation], 1, plan.generations);
        const auto texts = FivePreferenceTexts(change[Key::Prefs]);
        if (!generation || !texts)
            return fail(QStringLiteral("an entry of \"set\" is not a generation from 1 to %1 with five texts")
                            .arg(plan.generations));
        plan.changes.push_back({*generation, *texts});
    }
    const auto every = JsonWholeNumber(object[Key::Every], 1, RunLimits::MaxGenerations);
    const auto snapshots = JsonWholeNumber(object[Key::Snapshots], 0, RunLimits::MaxGenerations);
    const auto scale = JsonWholeNumber(object[Key::Scale], 1, RunLimits::MaxScale);
    const auto gifEvery = JsonWholeNumber(object[Key::GifEvery], 0, RunLimits::MaxGenerations);
    if (!every || !snapshots || !scale || !gifEvery || !object[Key::Gif].isBool() || !object[Key::Chart].isBool())
        return fail(QStringLiteral("\"every\", \"snapshots\", \"scale\", \"gif\", \"gif_every\" or \"chart\" is missing or out of range"));
    plan.every = int(*every);
    plan.snapshotEvery = int(*snapshots);
    plan.scale = int(*scale);
    plan.gif = object[Key::Gif].toBool();
    plan.gifEvery = int(*gifEvery);
    if (plan.gif && plan.gifEvery < 1)
        return fail(QStringLiteral("\"gif_every\" must be at least 1 when \"gif\" is true"));
    plan.chart = object[Key::Chart].toBool();
    // Records from before captions drew the map alone.
    plan.captions = object[Key::Captions].toBool(false);
    return plan;
}

namespace {
// A run records its command line and its plan, both growing with its --set changes, which a
// command line holds at most a few MiB of: far beyond this is no record of a run.
constexpr qint64 MostRecordBytes = qint64(64) << 20;
} // namespace

std::variant<RunPlan, QString> ReadRunRecord(const QString &fileName)
{
    // Not blocking, and a file only: a pipe or a terminal would wait for a writer for ever.
    const int handle = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return QStringLiteral("cannot read it (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat status;
    QFile file;
    if (fstat(handle, &status) != 0 || !S_ISREG(status.st_mode)
        || !file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        return QStringLiteral("cannot read it (it is not a file)");
    }
    if (file.size() > MostRecordBytes)
        return QStringLiteral("not a run.json written by velmora-lab: it is %1 MiB, and a run's record is at most a "
                              "few MiB")
            .arg(file.size() >> 20);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(MostRecordBytes), &parseError);
    const QJsonObject run = document.object();
    if (document.isNull() || run[QLatin1String("program")].toString() != QLatin1String("velmora-lab")
        || run[QLatin1String("format")].toInt() != 1)
        return QStringLiteral("not a run.json written by velmora-lab");
    QString reason;
    const auto plan = RunPlanFromJson(run[QLatin1String("parameters")].toObject(), &reason);
    if (!plan)
        return QStringLiteral("not a run.json written by velmora-lab (%1)").arg(reason);
    return *plan;
}
