// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "labrun.h"

#include <optional>
#include <string>
#include <vector>

// measures.csv: one header row, then one row per sampled generation, keyed by generation,
// with the date, the years, the preferences in force and every measure. Numbers are the
// shortest text that reads back as the same double; an undefined measure is an empty field.
namespace MeasuresTable {

std::vector<std::string> Header();
std::string HeaderLine();
std::string Line(const Sample &sample);

// The column of a group's preference in eighths: "pref_blue_eighths".
std::string PreferenceColumn(GroupIndex group);

// The shortest decimal text that reads back as exactly this number, as std::to_chars
// writes it ("0.1", "1e-05", "123456"); empty for an infinity or NaN.
std::string Number(double value);
std::string Number(const std::optional<double> &value);
// The same worked out with printf and strtod alone, for standard libraries whose to_chars
// takes no double; Number uses it there.
std::string PortableNumber(double value);

// The names joined by commas, and a newline.
std::string JoinedLine(const std::vector<std::string> &names);

} // namespace MeasuresTable
