// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "citymeasures.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// One measure as a column of data: the one place its name is spelled, for the CSV files,
// the bindings and the documentation alike.
struct MeasureColumn
{
    std::string name;          // snake_case
    std::string description;   // one line
    std::function<std::optional<double>(const CityMeasures &)> value;
};

// Every measure, in the order of the columns.
const std::vector<MeasureColumn> &MeasureColumns();
