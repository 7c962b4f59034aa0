// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runplan.h"
#include "sweepsettings.h"

#include <QString>

// What the command line asks for, read and checked in full before any work is done.
struct Invocation
{
    enum class Command { Help, Version, Run, Rerun, Sweep, Merge };
    Command command = Command::Help;
    QString text;          // for Help: the text to print
    RunPlan plan;          // for Run and Rerun
    QString runFile;       // for Rerun: the run.json it came from
    bool quiet = false;    // no progress bar
    bool force = false;    // for Run and Rerun: replace the run already in the output folder
    SweepSettings sweep;   // for Sweep
    MergeSettings merge;   // for Merge
};
