// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "groupgrid.h"
#include "groups.h"
#include "runplan.h"

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Python's values read into the model's, checked before any work starts: a wrong type is a
// TypeError and a value out of range a ValueError, each naming the argument and the form
// it takes. Nothing here trusts a value's size, length or type. Texts are UTF-8.
namespace Arguments {

namespace py = pybind11;

// An int, or anything that stands for one (a NumPy integer), within [low, high]. No bool.
std::int64_t WholeNumber(py::handle value, std::string_view name, std::int64_t low, std::int64_t high);

std::uint32_t Seed(py::handle value, std::string_view name = "seed");

// A str, in UTF-8.
std::string Text(py::handle value, std::string_view name);
// Five texts, one per group, whatever they say.
std::vector<std::string> FiveTexts(py::handle value, std::string_view name);

// Five preference texts, each read as the window reads a typed one, and each beginning with a
// number that is not negative (as the Lab required before it took only plain texts). None gives
// none: the window's starting texts.
std::vector<std::string> PreferenceTexts(py::handle value, std::string_view name = "prefs");

// Five preferences in eighths, 0 to 8, as Run.prefs gives them.
GroupTable<std::int16_t> Eighths(py::handle value, std::string_view name = "prefs");

// The length of a run: exactly one of years and generations, or `fallbackYears` when neither
// is given (nullopt: one must be given).
std::int64_t Horizon(py::handle years, py::handle generations, std::optional<double> fallbackYears);

// Preference changes: {generation: prefs} or pairs (generation, prefs), each generation from 1
// to `generations`, in the order they apply (changes for one generation in the order given).
std::vector<PreferenceChange> Changes(py::handle value, std::int64_t generations, std::string_view name = "set");

// Any 2-D array of group numbers (0 for an empty home, 1 to 5): a NumPy array of integers or
// anything NumPy reads as one, such as a list of lists.
GroupGrid Grid(py::handle value, std::string_view name = "grid");

// A number in a message as C's "%g" writes it ("7994.8", "1e+12", "nan").
std::string Shown(double number);

// A text in a message, in single quotes, and when longer than `QuotedLength` UTF-16 code
// units (a character beyond the BMP counts two), cut there with "..." after it; a character
// that the cut would split is left out whole.
inline constexpr std::size_t QuotedLength = 40;
std::string Quoted(std::string_view utf8);

} // namespace Arguments
