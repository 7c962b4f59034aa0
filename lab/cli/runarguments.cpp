// SPDX-License-Identifier: GPL-3.0-or-later
#include "runarguments.h"

#include "corestrings.h"
#include "preferencetext.h"
#include "readers.h"
#include "runplanjson.h"

#include <algorithm>

namespace {

const QString AcceptedPreferences = QStringLiteral(
    "five preferences for Blue, Red, Green, Gray and Yellow, separated by commas, e.g. 50%,50%,50%,50%,50%");
const char *const DefaultPreference = ".5";   // the window's own start text

// Where a run's files go and what they are, as `run` and `rerun` both take them.
const std::vector<OptionSpec> OutputOptions = {
    {"out", "DIR", "write measures.csv and run.json into DIR (created if missing)"},
    {"snapshots", "K", "also a PNG of the map every K generations (map-GGGGGG.png)"},
    {"scale", "S", "pixels per home in the snapshots and the animation, 1 to 16 (default 1)"},
    {"gif", nullptr, "also an animated map.gif, a frame every --every generations, or"},
    {"gif-every", "K", "a frame every K generations"},
    {"chart", nullptr, "also chart.png and chart.svg of the measures over the years, with the\n"
                       "seed, the preferences and the generations where they changed"},
    {"bare", nullptr, "the snapshots and the animation show the map alone, without the\n"
                      "strip under it that gives the date, the years, the seed, the\n"
                      "preferences and the colours"},
    {"force", nullptr, "replace the run already in the --out folder: remove the files its\n"
                       "run.json lists first (a folder holding a run is refused without it)"},
};

std::vector<OptionSpec> RunOptions()
{
    std::vector<OptionSpec> options = {
        {"seed", "N", "seed the random source with N, a whole number from 0 to 4294967295;\n"
                      "without it a seed is picked, printed and recorded"},
        {"prefs", "P,P,P,P,P", "the preferences of Blue, Red, Green, Gray and Yellow (default .5 each)"},
        {"set", "GEN:P,P,P,P,P", "type these preferences before generation GEN (1 is the first);\n"
                                  "may be given several times", true},
        YearsOption("run until Y years (of 365.25 days) have passed (default 10), or"),
        GenerationsOption("run N generations of eight days (46 are about a year)"),
        EveryOption(),
    };
    options.insert(options.end(), OutputOptions.begin(), OutputOptions.end());
    options.push_back({"quiet", nullptr, "no progress bar (there is none when standard error is not a terminal)"});
    options.push_back({"help", nullptr, "show this help and exit"});
    return options;
}

const CommandSpec Run{
    "run",
    "Usage: velmora-lab run [OPTION]...",
    "Builds a city from a seed, runs its generations and measures it every K generations\n"
    "and at the end. Without --out it prints the final measures as a table.",
    RunOptions(),
    0,
    0,
    nullptr,
    "A preference is read as the window reads a typed one, in one of the forms whose reading\n"
    "is what it says: a fraction from 0 to 1 with its point (\".5\", \"0.375\", \"1.0\"), or a\n"
    "percentage up to 100 (\"50%\", \"12.5%\"; \"50\" without the sign is 50 % too). The window\n"
    "reads \"4\" as 4 % and \"1\" as all eight, \"1/2\" as all, \"0.5%\" as a half and \"150%\" as\n"
    "all; run refuses such texts, and any with more after the number than a % sign or more\n"
    "than four decimals. A preference is rounded to the nearest eighth; numbers are read\n"
    "with \".\" as the decimal point.\n"
    "\n"
    "Examples:\n"
    "  velmora-lab run --seed 7 --prefs 50%,50%,50%,50%,50% --years 10 --every 46 --out run7\n"
    "  velmora-lab run --seed 7 --prefs 0,0,0,0,75% --years 20         # one group only\n"
    "  velmora-lab run --seed 7 --years 60 --set 2283:0,0,0,0,0 --out relax --gif --chart\n"
    "  velmora-lab run --seed 7 --years 5 --every 1 --snapshots 46 --scale 2 --out steps\n"
    "\n"
    "In DIR a file is only ever replaced, never written through a link, and a folder, device\n"
    "or pipe under one of the run's names is refused. Files a run.json of velmora-lab does\n"
    "not list under those names (measures.csv, run.json, chart.png, ...) are never removed,\n"
    "so a folder holding them is refused, --force or not.\n"
    "\n"
    "Ctrl+C stops the run between two generations and keeps what was done: measures.csv\n"
    "with the rows taken so far, the chart and map.gif of them, and run.json saying so and\n"
    "giving the last generation run (\"state\": \"interrupted\", \"generations_run\").\n"
    "\n"
    "The columns of measures.csv are described in docs/measures.md.\n",
};

std::vector<OptionSpec> RerunOptions()
{
    std::vector<OptionSpec> options;
    for (const OptionSpec &option : OutputOptions) {
        if (option.name == std::string_view("out") || option.name == std::string_view("force"))
            options.push_back(option);
    }
    options.push_back({"quiet", nullptr, "no progress bar (there is none when standard error is not a terminal)"});
    options.push_back({"help", nullptr, "show this help and exit"});
    return options;
}

const CommandSpec Rerun{
    "rerun",
    "Usage: velmora-lab rerun RUN.JSON [--out DIR] [--force] [--quiet]",
    "Runs again the run that RUN.JSON records: the same seed, preferences, changes, length\n"
    "and outputs. Its measures.csv is the same, byte for byte. Without --out it prints the\n"
    "final measures as a table (a run with pictures needs --out). Of a run that was\n"
    "interrupted or failed it runs the whole run that was planned, not the rest of it.",
    RerunOptions(),
    1,
    1,
    "one run.json file",
    "Example:\n"
    "  velmora-lab rerun run7/run.json --out run7-again\n",
};

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

std::optional<UsageError> ReadOutputOptions(const ParsedOptions &options, RunPlan &plan)
{
    const QString out = options.value("out");
    plan.outDir = ToStd(out);
    if (options.has("out") && out.isEmpty())
        return BadArgument(QStringLiteral("out"), out, QStringLiteral("give a folder"));
    auto generationsOption = [&](const char *name, int &target) -> std::optional<UsageError> {
        if (!options.has(name))
            return std::nullopt;
        const auto k = WholeNumberArgument(options.value(name), 1, RunLimits::MaxGenerations);
        if (!k)
            return BadArgument(QLatin1String(name), options.value(name),
                               QStringLiteral("give a number of generations from 1 to %1").arg(RunLimits::MaxGenerations));
        target = int(*k);
        return std::nullopt;
    };
    if (auto error = generationsOption("snapshots", plan.snapshotEvery))
        return error;
    if (options.has("scale")) {
        const auto s = WholeNumberArgument(options.value("scale"), 1, RunLimits::MaxScale);
        if (!s)
            return BadArgument(QStringLiteral("scale"), options.value("scale"),
                               QStringLiteral("give a whole number of pixels per home from 1 to %1").arg(RunLimits::MaxScale));
        plan.scale = int(*s);
    }
    plan.gif = plan.gif || options.has("gif") || options.has("gif-every");
    if (auto error = generationsOption("gif-every", plan.gifEvery))
        return error;
    if (plan.gif && plan.gifEvery == 0)
        plan.gifEvery = plan.every;
    plan.chart = plan.chart || options.has("chart");
    if (options.has("bare"))
        plan.captions = false;
    if (plan.outDir.empty() && (plan.snapshotEvery > 0 || plan.gif || plan.chart))
        return UsageError{QStringLiteral("--snapshots, --gif and --chart write files: give the folder with --out DIR")};
    // The folder is checked, and made, by the run itself (RunFolder), not while reading.
    return std::nullopt;
}

std::optional<UsageError> ReadChanges(const ParsedOptions &options, RunPlan &plan)
{
    for (const QString &value : options.values("set")) {
        const qsizetype colon = value.indexOf(u':');
        const auto generation = WholeNumberArgument(value.left(colon), 1, std::max<qint64>(plan.generations, 1));
        if (colon < 0 || !generation || plan.generations == 0)
            return BadArgument(QStringLiteral("set"), value,
                               QStringLiteral("give GEN:P,P,P,P,P with GEN a generation from 1 to %1, the run's last")
                                   .arg(plan.generations));
        QString problem;
        const auto texts = FivePreferenceTexts(value.mid(colon + 1), &problem);
        if (!texts)
            return BadArgument(QStringLiteral("set"), value, problem);
        plan.changes.push_back({*generation, *texts});
    }
    // Changes for the same generation are typed in the order they were given.
    std::stable_sort(plan.changes.begin(), plan.changes.end(),
                     [](const PreferenceChange &a, const PreferenceChange &b) { return a.generation < b.generation; });
    return std::nullopt;
}

} // namespace

const CommandSpec &RunCommand()
{
    return Run;
}

const CommandSpec &RerunCommand()
{
    return Rerun;
}

std::variant<Invocation, UsageError> ParseRun(const QStringList &arguments, quint32 pickedSeed,
                                              const std::vector<const CommandSpec *> &commands)
{
    auto read = ReadCommand(Run, arguments, commands);
    if (const auto *done = std::get_if<CommandOutcome>(&read))
        return *done;
    const ParsedOptions &options = std::get<ParsedOptions>(read);
    Invocation run;
    run.command = Invocation::Command::Run;
    run.quiet = options.has("quiet");
    run.force = options.has("force");
    RunPlan &plan = run.plan;

    if (options.has("seed")) {
        const auto seed = ReadSeed("seed", options.value("seed"));
        if (const auto *error = std::get_if<UsageError>(&seed))
            return *error;
        plan.seed = std::get<quint32>(seed);
    } else {
        plan.seed = pickedSeed;
        plan.seedPicked = true;
    }

    plan.prefTexts = std::vector<std::string>(GroupCount, DefaultPreference);
    if (options.has("prefs")) {
        QString problem;
        const auto texts = FivePreferenceTexts(options.value("prefs"), &problem);
        if (!texts)
            return BadArgument(QStringLiteral("prefs"), options.value("prefs"), problem);
        plan.prefTexts = *texts;
    }

    const auto horizon = ReadHorizon(options);
    if (const auto *error = std::get_if<UsageError>(&horizon))
        return *error;
    plan.generations = std::get<Horizon>(horizon).generations;
    plan.every = std::get<Horizon>(horizon).every;

    if (auto error = ReadChanges(options, plan))
        return *error;
    if (auto error = ReadOutputOptions(options, plan))
        return *error;
    return run;
}

std::variant<Invocation, UsageError> ParseRerun(const QStringList &arguments,
                                                const std::vector<const CommandSpec *> &commands)
{
    auto read = ReadCommand(Rerun, arguments, commands);
    if (const auto *done = std::get_if<CommandOutcome>(&read))
        return *done;
    const ParsedOptions &options = std::get<ParsedOptions>(read);
    Invocation rerun;
    rerun.command = Invocation::Command::Rerun;
    rerun.quiet = options.has("quiet");
    rerun.force = options.has("force");
    rerun.runFile = options.words().front();

    const auto record = ReadRunRecord(rerun.runFile);
    if (const auto *problem = std::get_if<QString>(&record))
        return UsageError{QStringLiteral("'%1': %2").arg(rerun.runFile, *problem)};
    rerun.plan = std::get<RunPlan>(record);
    std::vector<std::string> allTexts = rerun.plan.prefTexts;
    for (const PreferenceChange &change : rerun.plan.changes)
        allTexts.insert(allTexts.end(), change.texts.begin(), change.texts.end());
    for (const std::string &text : allTexts) {
        if (const auto why = RecordedPreferenceProblem(text))
            return UsageError{QStringLiteral("'%1': preference '%2' %3").arg(rerun.runFile, ToQString(text), ToQString(*why))};
    }
    // Where the files go is the rerun's own choice; what they are is the run's.
    rerun.plan.outDir.clear();
    if (auto error = ReadOutputOptions(options, rerun.plan))
        return *error;
    return rerun;
}
