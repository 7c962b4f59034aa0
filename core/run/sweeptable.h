// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "labrun.h"
#include "sweepdefinition.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The two tables of a sweep, one header row each, in the number format of measures.csv:
// runs (one row per run: its id, replicate and seed, its last sample, and when the overall
// same-group share first reached each threshold) and measures (one row per run and sample:
// the run id, then measures.csv's columns).
namespace SweepTable {

// The overall same-group shares whose first crossing each run records, with their columns.
struct Threshold
{
    double share;
    const char *column;
};
inline constexpr std::array<Threshold, 3> Thresholds = {{
    {0.6, "years_to_same_share_all_0_6"},
    {0.7, "years_to_same_share_all_0_7"},
    {0.8, "years_to_same_share_all_0_8"},
}};
// The years of the first sample at which the share had reached each threshold; nullopt
// for one it never reached.
using FirstYears = std::array<std::optional<double>, Thresholds.size()>;

std::vector<std::string> RunsHeader();
std::vector<std::string> MeasuresHeader();
std::string RunsHeaderLine();
std::string MeasuresHeaderLine();

std::string RunsLine(const SweepRun &run, const Sample &last, const FirstYears &firstYears);
std::string MeasuresLine(std::uint32_t runId, const Sample &sample);

// The generations a run of the sweep is measured at, in order.
std::vector<std::int64_t> MeasuredGenerations(const SweepDefinition &definition);

// The --list table: run_id, replicate, seed and the five preferences in eighths.
std::string ListHeaderLine();
std::string ListLine(const SweepRun &run);

} // namespace SweepTable
