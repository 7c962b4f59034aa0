// SPDX-License-Identifier: GPL-3.0-or-later
#include "labarguments.h"

#include "corestrings.h"
#include "numbertext.h"
#include "preferencetext.h"
#include "runplanjson.h"
#include "sweeparguments.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>

namespace {

const QString AcceptedPreferences = QStringLiteral(
    "five preferences for Blue, Red, Green, Gray and Yellow, separated by commas, e.g. 50%,50%,50%,50%,50%");
const char *const DefaultPreference = ".5";   // the window's own start text
constexpr quint32 MaxSeed = 0xffffffffu;

// The options of `run`, and the output options `rerun` shares with it.
struct Options
{
    QCommandLineOption seed{QStringLiteral("seed"), QString(), QStringLiteral("N")};
    QCommandLineOption prefs{QStringLiteral("prefs"), QString(), QStringLiteral("P,P,P,P,P")};
    QCommandLineOption set{QStringLiteral("set"), QString(), QStringLiteral("GEN:P,P,P,P,P")};
    QCommandLineOption years{QStringLiteral("years"), QString(), QStringLiteral("Y")};
    QCommandLineOption generations{QStringLiteral("generations"), QString(), QStringLiteral("N")};
    QCommandLineOption every{QStringLiteral("every"), QString(), QStringLiteral("K")};
    QCommandLineOption out{QStringLiteral("out"), QString(), QStringLiteral("DIR")};
    QCommandLineOption snapshots{QStringLiteral("snapshots"), QString(), QStringLiteral("K")};
    QCommandLineOption scale{QStringLiteral("scale"), QString(), QStringLiteral("S")};
    QCommandLineOption gif{QStringLiteral("gif")};
    QCommandLineOption gifEvery{QStringLiteral("gif-every"), QString(), QStringLiteral("K")};
    QCommandLineOption chart{QStringLiteral("chart")};
    QCommandLineOption bare{QStringLiteral("bare")};
    QCommandLineOption force{QStringLiteral("force")};
    QCommandLineOption quiet{QStringLiteral("quiet")};
    QCommandLineOption help{QStringLiteral("help")};
};

UsageError Bad(const QString &option, const QString &value, const QString &accepted)
{
    return {QStringLiteral("--%1 '%2': %3").arg(option, value, accepted)};
}

// A whole number in [low, high], decimal digits only.
std::optional<qint64> WholeNumber(const QString &text, qint64 low, qint64 high)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,12}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const qint64 value = text.toLongLong();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<std::vector<std::string>> FivePreferenceTexts(const QString &list, QString *problem)
{
    const QStringList texts = list.split(u',');
    if (texts.size() != GroupCount) {
        *problem = QStringLiteral("%1 given; expected %2").arg(texts.size()).arg(AcceptedPreferences);
        return std::nullopt;
    }
    for (const QString &text : texts) {
        if (const auto why = PreferenceProblem(ToStd(text))) {
            *problem = QStringLiteral("'%1' %2").arg(text, ToQString(*why));
            return std::nullopt;
        }
    }
    return ToStdList(texts);
}

std::optional<UsageError> ReadOutputOptions(const QCommandLineParser &parser, const Options &o, RunPlan &plan)
{
    plan.outDir = ToStd(parser.value(o.out));
    if (parser.isSet(o.out) && plan.outDir.empty())
        return Bad(QStringLiteral("out"), parser.value(o.out), QStringLiteral("give a folder"));
    if (parser.isSet(o.snapshots)) {
        const auto k = WholeNumber(parser.value(o.snapshots), 1, RunLimits::MaxGenerations);
        if (!k)
            return Bad(QStringLiteral("snapshots"), parser.value(o.snapshots),
                       QStringLiteral("give a number of generations from 1 to %1").arg(RunLimits::MaxGenerations));
        plan.snapshotEvery = int(*k);
    }
    if (parser.isSet(o.scale)) {
        const auto s = WholeNumber(parser.value(o.scale), 1, RunLimits::MaxScale);
        if (!s)
            return Bad(QStringLiteral("scale"), parser.value(o.scale),
                       QStringLiteral("give a whole number of pixels per home from 1 to %1").arg(RunLimits::MaxScale));
        plan.scale = int(*s);
    }
    if (parser.isSet(o.gif))
        plan.gif = true;
    if (parser.isSet(o.gifEvery)) {
        const auto k = WholeNumber(parser.value(o.gifEvery), 1, RunLimits::MaxGenerations);
        if (!k)
            return Bad(QStringLiteral("gif-every"), parser.value(o.gifEvery),
                       QStringLiteral("give a number of generations from 1 to %1").arg(RunLimits::MaxGenerations));
        plan.gif = true;
        plan.gifEvery = int(*k);
    }
    if (plan.gif && plan.gifEvery == 0)
        plan.gifEvery = plan.every;
    if (parser.isSet(o.chart))
        plan.chart = true;
    if (parser.isSet(o.bare))
        plan.captions = false;
    if (plan.outDir.empty() && (plan.snapshotEvery > 0 || plan.gif || plan.chart))
        return UsageError{QStringLiteral("--snapshots, --gif and --chart write files: give the folder with --out DIR")};
    if (!plan.outDir.empty()) {
        if (const auto problem = FolderProblem(ToQString(plan.outDir)))
            return Bad(QStringLiteral("out"), ToQString(plan.outDir), *problem);
    }
    return std::nullopt;
}

std::variant<Invocation, UsageError> ParseRun(const QStringList &arguments, quint32 pickedSeed)
{
    Options o;
    QCommandLineParser parser;
    parser.addOptions({o.seed, o.prefs, o.set, o.years, o.generations, o.every, o.out, o.snapshots,
                       o.scale, o.gif, o.gifEvery, o.chart, o.bare, o.force, o.quiet, o.help});
    if (!parser.parse(QStringList{QStringLiteral("velmora-lab run")} + arguments))
        return UsageError{parser.errorText()};
    Invocation run;
    if (parser.isSet(o.help)) {
        run.text = RunHelp();
        return run;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError{QStringLiteral("'%1': run takes options only (see velmora-lab run --help)")
                              .arg(parser.positionalArguments().first())};
    run.command = Invocation::Command::Run;
    run.quiet = parser.isSet(o.quiet);
    run.force = parser.isSet(o.force);
    RunPlan &plan = run.plan;

    if (parser.isSet(o.seed)) {
        const auto seed = WholeNumber(parser.value(o.seed), 0, MaxSeed);
        if (!seed)
            return Bad(QStringLiteral("seed"), parser.value(o.seed),
                       QStringLiteral("give a whole number from 0 to %1").arg(MaxSeed));
        plan.seed = quint32(*seed);
    } else {
        plan.seed = pickedSeed;
        plan.seedPicked = true;
    }

    plan.prefTexts = std::vector<std::string>(GroupCount, DefaultPreference);
    if (parser.isSet(o.prefs)) {
        QString problem;
        const auto texts = FivePreferenceTexts(parser.value(o.prefs), &problem);
        if (!texts)
            return Bad(QStringLiteral("prefs"), parser.value(o.prefs), problem);
        plan.prefTexts = *texts;
    }

    const auto horizon = ReadHorizon(parser, o.years, o.generations, o.every);
    if (const auto *error = std::get_if<UsageError>(&horizon))
        return *error;
    plan.generations = std::get<Horizon>(horizon).generations;
    plan.every = std::get<Horizon>(horizon).every;

    for (const QString &value : parser.values(o.set)) {
        const qsizetype colon = value.indexOf(u':');
        const auto generation = WholeNumber(value.left(colon), 1, std::max<qint64>(plan.generations, 1));
        if (colon < 0 || !generation || plan.generations == 0)
            return Bad(QStringLiteral("set"), value,
                       QStringLiteral("give GEN:P,P,P,P,P with GEN a generation from 1 to %1, the run's last")
                           .arg(plan.generations));
        QString problem;
        const auto texts = FivePreferenceTexts(value.mid(colon + 1), &problem);
        if (!texts)
            return Bad(QStringLiteral("set"), value, problem);
        plan.changes.push_back({*generation, *texts});
    }
    // Changes for the same generation are typed in the order they were given.
    std::stable_sort(plan.changes.begin(), plan.changes.end(),
                     [](const PreferenceChange &a, const PreferenceChange &b) { return a.generation < b.generation; });

    if (auto error = ReadOutputOptions(parser, o, plan))
        return *error;
    return run;
}

std::variant<Invocation, UsageError> ParseRerun(const QStringList &arguments)
{
    Options o;
    QCommandLineParser parser;
    parser.addOptions({o.out, o.force, o.quiet, o.help});
    if (!parser.parse(QStringList{QStringLiteral("velmora-lab rerun")} + arguments))
        return UsageError{parser.errorText()};
    Invocation rerun;
    if (parser.isSet(o.help)) {
        rerun.text = RerunHelp();
        return rerun;
    }
    if (parser.positionalArguments().size() != 1)
        return UsageError{QStringLiteral("rerun takes one run.json file (see velmora-lab rerun --help)")};
    rerun.command = Invocation::Command::Rerun;
    rerun.quiet = parser.isSet(o.quiet);
    rerun.force = parser.isSet(o.force);
    rerun.runFile = parser.positionalArguments().first();

    QFile file(rerun.runFile);
    if (!file.open(QIODevice::ReadOnly))
        return UsageError{QStringLiteral("'%1': cannot read it (%2)").arg(rerun.runFile, file.errorString())};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(1 << 20), &parseError);
    const QJsonObject run = document.object();
    if (document.isNull() || run[QLatin1String("program")].toString() != QLatin1String("velmora-lab")
        || run[QLatin1String("format")].toInt() != 1)
        return UsageError{QStringLiteral("'%1': not a run.json written by velmora-lab").arg(rerun.runFile)};
    QString reason;
    const auto plan = RunPlanFromJson(run[QLatin1String("parameters")].toObject(), &reason);
    if (!plan)
        return UsageError{QStringLiteral("'%1': not a run.json written by velmora-lab (%2)").arg(rerun.runFile, reason)};
    rerun.plan = *plan;
    std::vector<std::string> allTexts = plan->prefTexts;
    for (const PreferenceChange &change : plan->changes)
        allTexts.insert(allTexts.end(), change.texts.begin(), change.texts.end());
    for (const std::string &text : allTexts) {
        if (const auto why = RecordedPreferenceProblem(text))
            return UsageError{QStringLiteral("'%1': preference '%2' %3").arg(rerun.runFile, ToQString(text), ToQString(*why))};
    }
    // Where the files go is the rerun's own choice; what they are is the run's.
    rerun.plan.outDir.clear();
    if (auto error = ReadOutputOptions(parser, o, rerun.plan))
        return *error;
    return rerun;
}

} // namespace

std::variant<Horizon, UsageError> ReadHorizon(const QCommandLineParser &parser, const QCommandLineOption &years,
                                              const QCommandLineOption &generations, const QCommandLineOption &every)
{
    if (parser.isSet(years) && parser.isSet(generations))
        return UsageError{QStringLiteral("--years and --generations both give the length of a run: give one")};
    Horizon horizon{GenerationsForYears(RunLimits::DefaultYears), RunLimits::DefaultEvery};
    if (parser.isSet(years)) {
        bool ok = false;
        const double y = parser.value(years).toDouble(&ok);
        if (!ok || !std::isfinite(y) || y < 0 || y > MaxYears())
            return Bad(QStringLiteral("years"), parser.value(years),
                       QStringLiteral("give a number of years from 0 to %1 (the calendar ends on 31 December 9999)")
                           .arg(std::floor(MaxYears() * 10) / 10));
        horizon.generations = GenerationsForYears(y);
    } else if (parser.isSet(generations)) {
        const auto n = WholeNumber(parser.value(generations), 0, RunLimits::MaxGenerations);
        if (!n)
            return Bad(QStringLiteral("generations"), parser.value(generations),
                       QStringLiteral("give a whole number from 0 to %1 (the calendar ends on 31 December 9999)")
                           .arg(RunLimits::MaxGenerations));
        horizon.generations = *n;
    }
    if (parser.isSet(every)) {
        const auto k = WholeNumber(parser.value(every), 1, RunLimits::MaxGenerations);
        if (!k)
            return Bad(QStringLiteral("every"), parser.value(every),
                       QStringLiteral("give a number of generations from 1 to %1").arg(RunLimits::MaxGenerations));
        horizon.every = int(*k);
    }
    return horizon;
}

std::optional<qint64> WholeNumberArgument(const QString &text, qint64 low, qint64 high)
{
    return WholeNumber(text, low, high);
}

UsageError BadArgument(const QString &option, const QString &value, const QString &accepted)
{
    return Bad(option, value, accepted);
}

std::optional<QString> FolderProblem(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return QStringLiteral("is a file, not a folder");
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder");
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".velmora-lab-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("cannot write in the folder (%1)").arg(probe.errorString());
    return std::nullopt;
}

std::variant<Invocation, UsageError> ParseArguments(const QStringList &arguments, quint32 pickedSeed)
{
    const QString first = arguments.value(0);
    if (arguments.isEmpty() || first == QLatin1String("--help") || first == QLatin1String("-h")
        || first == QLatin1String("help")) {
        Invocation help;
        help.text = GeneralHelp();
        return help;
    }
    if (first == QLatin1String("--version")) {
        Invocation version;
        version.command = Invocation::Command::Version;
        return version;
    }
    if (first == QLatin1String("run"))
        return ParseRun(arguments.mid(1), pickedSeed);
    if (first == QLatin1String("rerun"))
        return ParseRerun(arguments.mid(1));
    if (first == QLatin1String("sweep"))
        return ParseSweep(arguments.mid(1), pickedSeed);
    if (first == QLatin1String("merge"))
        return ParseMerge(arguments.mid(1));
    return UsageError{QStringLiteral("'%1' is not a command: give run, rerun, sweep or merge (see velmora-lab --help)")
                          .arg(first)};
}

QString GeneralHelp()
{
    return QStringLiteral(
        "Usage: velmora-lab COMMAND [OPTION]...\n"
        "Runs the Velmora city model without a window, from a recorded seed, and measures\n"
        "how segregated the city becomes.\n"
        "\n"
        "Commands:\n"
        "  run      run the model and write its measures (velmora-lab run --help)\n"
        "  rerun    run again what a run.json records (velmora-lab rerun --help)\n"
        "  sweep    run many runs over preferences and seeds (velmora-lab sweep --help)\n"
        "  merge    join a sweep's shards into one table (velmora-lab merge --help)\n"
        "\n"
        "  --help     show this help and exit\n"
        "  --version  show the version and exit\n"
        "\n"
        "Examples:\n"
        "  velmora-lab run --seed 7 --prefs 50%,50%,50%,50%,50% --years 10 --every 46 --out run7\n"
        "  velmora-lab run --seed 7 --years 60 --set 2283:0,0,0,0,0 --out relax --gif --chart\n"
        "  velmora-lab rerun run7/run.json --out run7-again\n"
        "  velmora-lab sweep --prefs 0..8,50%,50%,0..8/2,50% --seeds 10 --base-seed 11 --out sweep1\n"
        "  velmora-lab merge sweep1 --chart final:same_share_all --x blue --y gray\n"
        "\n"
        "Exit status: 0 when done, 1 when writing failed or the run was interrupted (130 for\n"
        "Ctrl+C), 2 for a bad command line.\n");
}

QString RunHelp()
{
    return QStringLiteral(
        "Usage: velmora-lab run [OPTION]...\n"
        "Builds a city from a seed, runs its generations and measures it every K generations\n"
        "and at the end. Without --out it prints the final measures as a table.\n"
        "\n"
        "  --seed N          seed the random source with N, a whole number from 0 to 4294967295;\n"
        "                    without it a seed is picked, printed and recorded\n"
        "  --prefs P,P,P,P,P the preferences of Blue, Red, Green, Gray and Yellow (default .5 each)\n"
        "  --set GEN:P,P,P,P,P  type these preferences before generation GEN (1 is the first);\n"
        "                    may be given several times\n"
        "  --years Y         run until Y years (of 365.25 days) have passed (default 10), or\n"
        "  --generations N   run N generations of eight days (46 are about a year)\n"
        "  --every K         measure every K generations (default 46), and at the end\n"
        "  --out DIR         write measures.csv and run.json into DIR (created if missing)\n"
        "  --snapshots K     also a PNG of the map every K generations (map-GGGGGG.png)\n"
        "  --scale S         pixels per home in the snapshots and the animation, 1 to 16 (default 1)\n"
        "  --gif             also an animated map.gif, a frame every --every generations, or\n"
        "  --gif-every K     a frame every K generations\n"
        "  --chart           also chart.png and chart.svg of the measures over the years, with the\n"
        "                    seed, the preferences and the generations where they changed\n"
        "  --bare            the snapshots and the animation show the map alone, without the\n"
        "                    strip under it that gives the date, the years, the seed, the\n"
        "                    preferences and the colours\n"
        "  --force           replace the run already in the --out folder\n"
        "  --quiet           no progress bar (there is none when standard error is not a terminal)\n"
        "  --help            show this help and exit\n"
        "\n"
        "A preference is read as the window reads a typed one: \"50%\", \".5\" and \"50\" all mean\n"
        "half the neighbours (four eighths); a number above 1 is a percentage, so \"4\" means 4 %\n"
        "(nothing), and \"1\" means all eight. It is rounded to the nearest eighth; it must begin\n"
        "with a number that is not negative. Numbers are read with \".\" as the decimal point.\n"
        "\n"
        "Examples:\n"
        "  velmora-lab run --seed 7 --prefs 50%,50%,50%,50%,50% --years 10 --every 46 --out run7\n"
        "  velmora-lab run --seed 7 --prefs 0,0,0,0,75% --years 20         # one group only\n"
        "  velmora-lab run --seed 7 --years 60 --set 2283:0,0,0,0,0 --out relax --gif --chart\n"
        "  velmora-lab run --seed 7 --years 5 --every 1 --snapshots 46 --scale 2 --out steps\n"
        "\n"
        "The columns of measures.csv are described in docs/measures.md.\n");
}

QString RerunHelp()
{
    return QStringLiteral(
        "Usage: velmora-lab rerun RUN.JSON [--out DIR] [--force] [--quiet]\n"
        "Runs again the run that RUN.JSON records: the same seed, preferences, changes, length\n"
        "and outputs. Its measures.csv is the same, byte for byte. Without --out it prints the\n"
        "final measures as a table (a run with pictures needs --out).\n"
        "\n"
        "Example:\n"
        "  velmora-lab rerun run7/run.json --out run7-again\n");
}
