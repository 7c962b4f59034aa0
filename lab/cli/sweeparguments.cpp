// SPDX-License-Identifier: GPL-3.0-or-later
#include "sweeparguments.h"

#include "corestrings.h"
#include "measurecolumns.h"
#include "readers.h"

#include <QRegularExpression>

namespace {

// Runs at once: far above any machine's processors, low enough that a typo is not taken
// for a request of millions of threads.
constexpr int MaxJobs = 1024;
const QString DefaultPreferences = QStringLiteral(".5,.5,.5,.5,.5");   // the window's own start texts
const QLatin1String FinalPrefix("final:");
const QLatin1String SlurmShard("slurm");

const CommandSpec Sweep{
    "sweep",
    "Usage: velmora-lab sweep [OPTION]...",
    "Runs every combination of the groups' preference values, each with several seeds,\n"
    "on all cores, and writes each run's rows as soon as it finishes. A run's results do\n"
    "not depend on how the sweep is split, on the number of jobs, or on a resume.",
    {
        {"prefs", "SETS", "five sets of preference values, for Blue, Red, Green, Gray and\n"
                          "Yellow, separated by commas (default .5 each); see below"},
        {"seeds", "N", "runs with different seeds for each preference vector (default 1)"},
        {"base-seed", "N", "the sweep's base seed, from 0 to 4294967295; without it one is\n"
                           "picked, printed and recorded. Run R's seed is RunSeed(N, R)"},
        YearsOption("each run lasts Y years (default 10), or"),
        GenerationsOption("N generations of eight days"),
        EveryOption(),
        {"out", "DIR", "the sweep's folder; shard I of N writes DIR/shards/shard-I-of-N.*"},
        {"list", nullptr, "print the run table (run_id, replicate, seed, preferences in\n"
                          "eighths; the shard's runs only, with --shard) and run nothing"},
        {"jobs", "N", "runs at once (default: the processors this process may use)"},
        {"shard", "I/N", "only the runs whose id is I modulo N (0 <= I < N), so that N\n"
                         "tasks cover the sweep once; --shard slurm takes I and N from a\n"
                         "Slurm job array (SLURM_ARRAY_TASK_ID - SLURM_ARRAY_TASK_MIN and\n"
                         "SLURM_ARRAY_TASK_COUNT; the array must be a plain range)"},
        {"resume", nullptr, "go on with the sweep in DIR: drop an unfinished run's rows and\n"
                            "run only the runs that no shard in DIR holds yet; without\n"
                            "--base-seed it takes the recorded one. Rows that the sweep would\n"
                            "not have written (an edited number, date or seed) stop it,\n"
                            "naming the file and line"},
        {"quiet", nullptr, "no progress bar and no summary"},
        {"help", nullptr, "show this help and exit"},
    },
    0,
    0,
    nullptr,
    "A set is one or more items separated by |. An item is a range of eighths A..B, or\n"
    "A..B/S with a step S (whole numbers from 0 to 8), or one preference written as for\n"
    "`run`: \"50%\", \".5\" and \"50\" are four eighths. A bare whole number from 1 to 8 is\n"
    "refused, as it could mean eighths or what the window reads (\"4\" is 4 % there, and\n"
    "\"1\" all eight): write 4..4 or 4%. Each value may appear once in a set.\n"
    "\n"
    "One process writes a shard at a time, and one split of the sweep is written at a\n"
    "time: a second one is refused at once, naming the first (its pid and host). The\n"
    "locks, in DIR/shards, go with the process however it ends; on a file system shared\n"
    "by several nodes they need its locks to work across nodes (NFS with its lock\n"
    "manager, Lustre mounted with -o flock). Memory does not grow with the run table.\n"
    "\n"
    "Runs are numbered from 0 with Blue's values outermost, then Red, Green, Gray and\n"
    "Yellow, and the seed index innermost. Run R with seed S and preferences P can be\n"
    "repeated alone: velmora-lab run --seed S --prefs P --generations G --every K.\n"
    "\n"
    "Examples:\n"
    "  velmora-lab sweep --prefs \"0..8,50%,50%,0..8/2,50%\" --seeds 10 --base-seed 11 --years 20 \\\n"
    "                    --list\n"
    "  velmora-lab sweep --prefs \"0..8,50%,50%,0..8/2,50%\" --seeds 10 --base-seed 11 --years 20 \\\n"
    "                    --out sweep1 --jobs 2\n"
    "  velmora-lab sweep ... --out sweep1 --shard 3/8     # one eighth of the runs\n"
    "  velmora-lab sweep ... --out sweep1 --resume        # after a crash or a kill\n"
    "  velmora-lab sweep --prefs \"25%|75%,0|100%,.5,.5,.5\" --seeds 4 --base-seed 1 --out small\n"
    "  velmora-lab merge sweep1\n"
    "\n"
    "Exit status: 0 when done, 1 when writing failed (what was written stays valid for\n"
    "--resume) or the folder gives no locks, 130 for Ctrl+C, 2 for a bad command line, a\n"
    "folder of another sweep, or a shard or split that another process is writing.\n",
};

const CommandSpec Merge{
    "merge",
    "Usage: velmora-lab merge DIR [--chart final:MEASURE [--x GROUP] [--y GROUP]]",
    "Checks that the shards in DIR/shards belong to one sweep and hold each of its runs\n"
    "exactly once, each row as the sweep wrote it (numbers in the program's form, dates\n"
    "and years that follow from the generation, final measures equal to the run's last\n"
    "measures row), then writes DIR/runs.csv and DIR/measures.csv sorted by run id (the\n"
    "same bytes however the sweep was split or interrupted) and DIR/sweep.json.",
    {
        {"chart", "final:MEASURE", "also a heat map of a measure at the end of the runs,\n"
                                   "averaged over the seeds and over the other swept preferences,\n"
                                   "against two swept preferences: DIR/heatmap-MEASURE-X-Y.png, its\n"
                                   "colours spanning the lowest to the highest mean drawn"},
        {"x", "GROUP", "the group whose preference runs along the x axis; --y the one up\n"
                       "the y axis (default: the first two groups with several values)"},
        {"y", "GROUP", "the group whose preference runs up the y axis"},
        {"quiet", nullptr, "no summary"},
        {"help", nullptr, "show this help and exit"},
    },
    1,
    1,
    "one sweep folder",
    "Examples:\n"
    "  velmora-lab merge sweep1\n"
    "  velmora-lab merge sweep1 --chart final:same_share_all --x blue --y gray\n"
    "\n"
    "Exit status: 0 when done, 1 when runs are missing, a row is not as the sweep wrote\n"
    "it (naming the file and line) or writing failed, 2 for a bad command line or shards\n"
    "of different sweeps in one folder.\n",
};

const QString AcceptedShard = QStringLiteral(
    "give I/N with whole numbers 0 <= I < N (the runs whose id is I modulo N), or slurm for the task of a job array");

std::variant<Shard, UsageError> SlurmArrayShard(const QProcessEnvironment &environment)
{
    auto number = [&](const char *name) {
        return WholeNumberArgument(environment.value(QLatin1String(name)), 0, MaxSeed);
    };
    const auto task = number("SLURM_ARRAY_TASK_ID");
    const auto count = number("SLURM_ARRAY_TASK_COUNT");
    const auto first = environment.contains(QStringLiteral("SLURM_ARRAY_TASK_MIN")) ? number("SLURM_ARRAY_TASK_MIN")
                                                                                    : std::optional<qint64>(0);
    const auto step = environment.contains(QStringLiteral("SLURM_ARRAY_TASK_STEP")) ? number("SLURM_ARRAY_TASK_STEP")
                                                                                    : std::optional<qint64>(1);
    if (!task || !count || !first || *count < 1)
        return BadArgument(QStringLiteral("shard"), SlurmShard,
                           QStringLiteral("SLURM_ARRAY_TASK_ID and SLURM_ARRAY_TASK_COUNT are not both set: run it as "
                                          "a task of a job array (sbatch --array=0-7), or give I/N"));
    if (step != 1 || *task < *first || *task - *first >= *count)
        return BadArgument(QStringLiteral("shard"), SlurmShard,
                           QStringLiteral("the job array is not a plain range such as --array=0-7 (task %1, first %2, "
                                          "%3 tasks, step %4): give the array as FIRST-LAST, or give I/N")
                               .arg(*task)
                               .arg(*first)
                               .arg(*count)
                               .arg(environment.value(QStringLiteral("SLURM_ARRAY_TASK_STEP"), QStringLiteral("1"))));
    return Shard{quint32(*task - *first), quint32(*count)};
}

std::variant<Shard, UsageError> ReadShard(const QString &text, const QProcessEnvironment &environment)
{
    if (text == SlurmShard)
        return SlurmArrayShard(environment);
    static const QRegularExpression form(QStringLiteral("^(\\d{1,10})/(\\d{1,10})$"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return BadArgument(QStringLiteral("shard"), text, AcceptedShard);
    const auto index = WholeNumberArgument(match.captured(1), 0, MaxSeed);
    const auto count = WholeNumberArgument(match.captured(2), 1, MaxSeed);
    if (!index || !count || *index >= *count)
        return BadArgument(QStringLiteral("shard"), text, AcceptedShard);
    return Shard{quint32(*index), quint32(*count)};
}

std::optional<GroupIndex> GroupNamed(const QString &name)
{
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        if (name.compare(ToQString(GroupName(g)), Qt::CaseInsensitive) == 0)
            return g;
    }
    return std::nullopt;
}

} // namespace

const CommandSpec &SweepCommand()
{
    return Sweep;
}

const CommandSpec &MergeCommand()
{
    return Merge;
}

std::variant<Invocation, UsageError> ParseSweep(const QStringList &arguments, quint32 pickedSeed,
                                                const QProcessEnvironment &environment,
                                                const std::vector<const CommandSpec *> &commands)
{
    auto read = ReadCommand(Sweep, arguments, commands);
    if (const auto *done = std::get_if<CommandOutcome>(&read))
        return *done;
    const ParsedOptions &options = std::get<ParsedOptions>(read);
    Invocation invocation;
    invocation.command = Invocation::Command::Sweep;
    SweepSettings &settings = invocation.sweep;
    SweepDefinition &definition = settings.definition;
    settings.quiet = options.has("quiet");
    settings.list = options.has("list");
    settings.resume = options.has("resume");

    const QString prefs = options.has("prefs") ? options.value("prefs") : DefaultPreferences;
    std::string problem;
    const auto sets = ReadPreferenceSets(ToStd(prefs), &problem);
    if (!sets)
        return BadArgument(QStringLiteral("prefs"), prefs, ToQString(problem));
    definition.prefSets = *sets;

    if (options.has("seeds")) {
        const auto seeds = WholeNumberArgument(options.value("seeds"), 1, SweepLimits::MaxSeeds);
        if (!seeds)
            return BadArgument(QStringLiteral("seeds"), options.value("seeds"),
                               QStringLiteral("give a number of seeds per preference vector from 1 to %1")
                                   .arg(SweepLimits::MaxSeeds));
        definition.seeds = quint32(*seeds);
    }
    if (definition.runCount() > SweepLimits::MaxRuns)
        return UsageError{QStringLiteral("--prefs and --seeds give %1 runs; a sweep has at most %2 (run ids are 32-bit): "
                                         "split it into several sweeps")
                              .arg(definition.runCount())
                              .arg(SweepLimits::MaxRuns)};

    if (options.has("base-seed")) {
        const auto seed = ReadSeed("base-seed", options.value("base-seed"));
        if (const auto *error = std::get_if<UsageError>(&seed))
            return *error;
        definition.baseSeed = std::get<quint32>(seed);
    } else {
        definition.baseSeed = pickedSeed;
        settings.baseSeedPicked = true;
    }

    const auto horizon = ReadHorizon(options);
    if (const auto *error = std::get_if<UsageError>(&horizon))
        return *error;
    definition.generations = std::get<Horizon>(horizon).generations;
    definition.every = std::get<Horizon>(horizon).every;

    settings.jobs = AvailableCores();
    if (options.has("jobs")) {
        const auto jobs = WholeNumberArgument(options.value("jobs"), 1, MaxJobs);
        if (!jobs)
            return BadArgument(QStringLiteral("jobs"), options.value("jobs"),
                               QStringLiteral("give a number of runs at once from 1 to %1").arg(MaxJobs));
        settings.jobs = int(*jobs);
    }
    if (options.has("shard")) {
        const auto shard = ReadShard(options.value("shard"), environment);
        if (const auto *error = std::get_if<UsageError>(&shard))
            return *error;
        settings.shard = std::get<Shard>(shard);
    }

    settings.outDir = options.value("out");
    if (options.has("out") && settings.outDir.isEmpty())
        return BadArgument(QStringLiteral("out"), settings.outDir, QStringLiteral("give a folder"));
    if (!settings.list) {
        if (settings.outDir.isEmpty())
            return UsageError{QStringLiteral("a sweep writes its runs into a folder: give --out DIR (or --list to "
                                             "print its run table)")};
        if (const auto problem = FolderProblem(settings.outDir))
            return BadArgument(QStringLiteral("out"), settings.outDir, *problem);
    }
    return invocation;
}

std::variant<Invocation, UsageError> ParseMerge(const QStringList &arguments,
                                                const std::vector<const CommandSpec *> &commands)
{
    auto read = ReadCommand(Merge, arguments, commands);
    if (const auto *done = std::get_if<CommandOutcome>(&read))
        return *done;
    const ParsedOptions &options = std::get<ParsedOptions>(read);
    Invocation invocation;
    invocation.command = Invocation::Command::Merge;
    MergeSettings &settings = invocation.merge;
    settings.folder = options.words().front();
    settings.quiet = options.has("quiet");

    if (options.has("chart")) {
        const QString chart = options.value("chart");
        const QString measure = chart.startsWith(FinalPrefix) ? chart.mid(FinalPrefix.size()) : QString();
        QStringList names;
        for (const MeasureColumn &column : MeasureColumns())
            names << ToQString(column.name);
        if (!names.contains(measure))
            return BadArgument(QStringLiteral("chart"), chart,
                               QStringLiteral("give final:MEASURE, a measure at the end of the runs, one of %1")
                                   .arg(names.join(QStringLiteral(", "))));
        settings.chartMeasure = measure;
    }
    for (const auto &[name, group] : {std::pair{"x", &settings.x}, std::pair{"y", &settings.y}}) {
        if (!options.has(name))
            continue;
        if (!options.has("chart"))
            return UsageError{QStringLiteral("--%1 places a group on the chart's axis: give --chart too").arg(QLatin1String(name))};
        const auto g = GroupNamed(options.value(name));
        if (!g)
            return BadArgument(QLatin1String(name), options.value(name),
                               QStringLiteral("give a group: blue, red, green, gray or yellow"));
        *group = *g;
    }
    if (settings.x != NoGroup && settings.x == settings.y)
        return UsageError{QStringLiteral("--x and --y name the same group: give two groups")};
    return invocation;
}
