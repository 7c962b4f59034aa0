// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchmain.h"

#include <benchmark/benchmark.h>

#include <clocale>

int RunBenchmarks(int argc, char **argv)
{
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
