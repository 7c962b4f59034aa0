// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "labrun.h"

#include <QByteArray>
#include <QStringList>

#include <optional>

// measures.csv: one header row, then one row per sampled generation, keyed by generation,
// with the date, the years, the preferences in force and every measure. Numbers are the
// shortest text that reads back as the same double; an undefined measure is an empty field.
namespace MeasuresTable {

QStringList Header();
QByteArray HeaderLine();
QByteArray Line(const Sample &sample);

// The shortest decimal text that reads back as exactly this number.
QByteArray Number(double value);
QByteArray Number(const std::optional<double> &value);

} // namespace MeasuresTable
