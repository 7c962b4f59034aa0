// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "groups.h"
#include "sweepdefinition.h"

#include <QString>

// What `velmora-lab sweep` is asked to do.
struct SweepSettings
{
    SweepDefinition definition;
    bool baseSeedPicked = false;   // chosen by the program; a resume takes the recorded one
    Shard shard;
    int jobs = 1;                  // runs at once
    QString outDir;
    bool list = false;             // print the run table and run nothing
    bool resume = false;
    bool quiet = false;
};

// What `velmora-lab merge` is asked to do.
struct MergeSettings
{
    QString folder;
    QString chartMeasure;          // a measure column; empty for no chart
    GroupIndex x = NoGroup;        // the groups on the chart's axes; NoGroup: the first swept
    GroupIndex y = NoGroup;
    bool quiet = false;
};
