// SPDX-License-Identifier: GPL-3.0-or-later
#include "labarguments.h"

#include "runarguments.h"
#include "sweeparguments.h"


namespace {

const QStringList CommandNames = {QStringLiteral("run"), QStringLiteral("rerun"), QStringLiteral("sweep"),
                                  QStringLiteral("merge")};

} // namespace

std::variant<Invocation, UsageError> ParseArguments(const QStringList &arguments, quint32 pickedSeed)
{
    const QString first = arguments.value(0);
    if (arguments.isEmpty())
        return UsageError{QStringLiteral("give a command: run, rerun, sweep or merge")};
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        Invocation help;
        help.text = GeneralHelp();
        return help;
    }
    if (first == QLatin1String("--version")) {
        Invocation version;
        version.command = Invocation::Command::Version;
        return version;
    }
    const QStringList rest = arguments.mid(1);
    const std::vector<const CommandSpec *> commands = {&RunCommand(), &RerunCommand(), &SweepCommand(),
                                                       &MergeCommand()};
    if (first == QLatin1String("run"))
        return ParseRun(rest, pickedSeed, commands);
    if (first == QLatin1String("rerun"))
        return ParseRerun(rest, commands);
    if (first == QLatin1String("sweep"))
        return ParseSweep(rest, pickedSeed, QProcessEnvironment::systemEnvironment(), commands);
    if (first == QLatin1String("merge"))
        return ParseMerge(rest, commands);
    QString message = first.startsWith(u'-')
        ? QStringLiteral("'%1' comes before a command: give the command first, as in velmora-lab run %1").arg(first)
        : QStringLiteral("'%1' is not a command: give run, rerun, sweep or merge").arg(first);
    if (const QString nearest = NearestName(first, CommandNames); !nearest.isEmpty() && !first.startsWith(u'-'))
        message += QStringLiteral(" (did you mean %1?)").arg(nearest);
    return UsageError{message};
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
        "Exit status: 0 when done, 1 when writing failed (to a file or to standard output) or\n"
        "the run was interrupted (130 for Ctrl+C), 2 for a bad command line or an --out folder\n"
        "that cannot be used as it is (nothing is written then).\n");
}
