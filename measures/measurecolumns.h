// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "citymeasures.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// One measure as a column of data: the one place its name is spelled, for the CSV files,
// the bindings and the documentation alike.
struct MeasureColumn
{
    QString name;          // snake_case
    QString description;   // one line
    std::function<std::optional<double>(const CityMeasures &)> value;
};

// Every measure, in the order of the columns.
const QList<MeasureColumn> &MeasureColumns();
