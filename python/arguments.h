// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "groupgrid.h"
#include "groups.h"
#include "runplan.h"

#include <pybind11/pybind11.h>

#include <QStringList>

#include <optional>

// Python's values read into the model's, checked before any work starts: a wrong type is a
// TypeError and a value out of range a ValueError, each naming the argument and the form
// it takes. Nothing here trusts a value's size, length or type.
namespace Arguments {

namespace py = pybind11;

// An int, or anything that stands for one (a NumPy integer), within [low, high]. No bool.
qint64 WholeNumber(py::handle value, const char *name, qint64 low, qint64 high);

quint32 Seed(py::handle value, const char *name = "seed");

// A str, as UTF-8 would hold it.
QString Text(py::handle value, const QString &name);
// Five texts, one per group, whatever they say.
QStringList FiveTexts(py::handle value, const char *name);

// Five preference texts, each read as the window reads a typed one, and each beginning with a
// number that is not negative (as the Lab requires). None gives the window's starting texts.
QStringList PreferenceTexts(py::handle value, const char *name = "prefs");

// Five preferences in eighths, 0 to 8, as Run.prefs gives them.
GroupTable<qint16> Eighths(py::handle value, const char *name = "prefs");

// The length of a run: exactly one of years and generations, or `fallbackYears` when neither
// is given (nullopt: one must be given).
qint64 Horizon(py::handle years, py::handle generations, std::optional<double> fallbackYears);

// Preference changes: {generation: prefs} or pairs (generation, prefs), each generation from 1
// to `generations`, in the order they apply (changes for one generation in the order given).
std::vector<PreferenceChange> Changes(py::handle value, qint64 generations, const char *name = "set");

// Any 2-D array of group numbers (0 for an empty home, 1 to 5): a NumPy array of integers or
// anything NumPy reads as one, such as a list of lists.
GroupGrid Grid(py::handle value, const char *name = "grid");

} // namespace Arguments
