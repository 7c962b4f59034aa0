// SPDX-License-Identifier: GPL-3.0-or-later
#include "arguments.h"

#include "preferencetext.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace Arguments {

namespace {

const std::string GroupOrder = "Blue, Red, Green, Gray and Yellow";
// The module still reads a preference as the window reads a typed one, as it always has: any
// text that begins with a number that is not negative.
// More changes than generations in the longest run are certainly a mistake (or an endless
// iterator), and are refused rather than collected.
constexpr std::int64_t MaxChanges = RunLimits::MaxGenerations;

[[noreturn]] void TypeError(const std::string &message)
{
    throw py::type_error(message);
}

[[noreturn]] void ValueError(const std::string &message)
{
    throw py::value_error(message);
}

std::string TypeName(py::handle value)
{
    return Py_TYPE(value.ptr())->tp_name;
}

std::string Item(std::string_view name, std::size_t index)
{
    return std::string(name) + '[' + std::to_string(index) + ']';
}

bool IsText(py::handle value)
{
    return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) || PyByteArray_Check(value.ptr());
}

// Up to `most` items of any iterable; one more than that tells the caller there are too many.
// An exception raised by the iterable itself is the caller's and goes through unchanged.
std::vector<py::object> FirstItems(py::handle value, std::int64_t most, const std::string &expected)
{
    if (value.is_none() || IsText(value))
        TypeError(expected + ", not " + TypeName(value));
    py::object iterator = py::reinterpret_steal<py::object>(PyObject_GetIter(value.ptr()));
    if (!iterator) {
        PyErr_Clear();
        TypeError(expected + ", not " + TypeName(value));
    }
    std::vector<py::object> items;
    while (std::int64_t(items.size()) <= most) {
        py::object item = py::reinterpret_steal<py::object>(PyIter_Next(iterator.ptr()));
        if (!item) {
            if (PyErr_Occurred())
                throw py::error_already_set();
            break;
        }
        items.push_back(std::move(item));
    }
    return items;
}

double RealNumber(py::handle value, std::string_view name, double low, double high)
{
    const std::string range = std::string(name) + " must be a number from " + Shown(low) + " to " + Shown(high);
    if (value.is_none() || PyBool_Check(value.ptr()) || IsText(value))
        TypeError(range + ", not " + TypeName(value));
    const double number = PyFloat_AsDouble(value.ptr());
    if (number == -1.0 && PyErr_Occurred()) {
        const bool tooLarge = PyErr_ExceptionMatches(PyExc_OverflowError);
        PyErr_Clear();
        if (tooLarge)
            ValueError(range + ", not a number of that size");
        TypeError(range + ", not " + TypeName(value));
    }
    if (!(number >= low && number <= high))
        ValueError(range + ", not " + Shown(number));
    return number;
}

// Exactly one item a group, or a ValueError saying what was expected and what came.
std::vector<py::object> FiveItems(py::handle value, const std::string &expected)
{
    auto items = FirstItems(value, GroupCount, expected);
    if (items.size() != std::size_t(GroupCount))
        ValueError(expected + "; got " + (items.size() > std::size_t(GroupCount) ? "more" : std::to_string(items.size())));
    return items;
}

} // namespace

std::string Shown(double number)
{
    // C writes a NaN with its sign bit as "-nan"; a NaN has no sign worth showing.
    if (std::isnan(number))
        return "nan";
    char text[32];
    std::snprintf(text, sizeof text, "%g", number);
    return text;
}

std::string Quoted(std::string_view utf8)
{
    // Bytes a character takes and UTF-16 code units it counts for, by its first byte; a stray
    // continuation byte counts as a character of its own.
    auto bytesOf = [](unsigned char lead) -> std::size_t {
        return lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1;
    };
    std::size_t units = 0;
    std::size_t cut = utf8.size();
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t bytes = std::min(bytesOf((unsigned char)utf8[at]), utf8.size() - at);
        units += bytes == 4 ? 2 : 1;
        if (units > QuotedLength && cut == utf8.size())
            cut = at;
        at += bytes;
    }
    if (units <= QuotedLength)
        return '\'' + std::string(utf8) + '\'';
    return '\'' + std::string(utf8.substr(0, cut)) + "...'";
}

std::int64_t WholeNumber(py::handle value, std::string_view name, std::int64_t low, std::int64_t high)
{
    const std::string range = std::string(name) + " must be a whole number from " + std::to_string(low) + " to "
        + std::to_string(high);
    if (value.is_none() || PyBool_Check(value.ptr()))
        TypeError(range + ", not " + TypeName(value));
    py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index) {
        PyErr_Clear();
        TypeError(range + ", not " + TypeName(value));
    }
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0 || (number == -1 && PyErr_Occurred())) {
        PyErr_Clear();
        ValueError(range + ", not a number of that size");
    }
    if (number < low || number > high)
        ValueError(range + ", not " + std::to_string(number));
    return number;
}

std::string Text(py::handle value, std::string_view name)
{
    if (!PyUnicode_Check(value.ptr()))
        TypeError(std::string(name) + " must be a text such as '50%' or '.5', not " + TypeName(value));
    Py_ssize_t size = 0;
    const char *utf8 = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
    if (!utf8) {
        PyErr_Clear();
        ValueError(std::string(name) + " is not valid text (it holds a lone surrogate)");
    }
    return std::string(utf8, std::size_t(size));
}

std::uint32_t Seed(py::handle value, std::string_view name)
{
    return std::uint32_t(WholeNumber(value, name, 0, std::numeric_limits<std::uint32_t>::max()));
}

std::vector<std::string> FiveTexts(py::handle value, std::string_view name)
{
    const std::string expected = std::string(name) + " must be five texts, for " + GroupOrder + ", such as ['50%'] * 5";
    const auto items = FiveItems(value, expected);
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < items.size(); ++i)
        texts.push_back(Text(items[i], Item(name, i)));
    return texts;
}

std::vector<std::string> PreferenceTexts(py::handle value, std::string_view name)
{
    if (value.is_none())
        return {};
    const std::vector<std::string> texts = FiveTexts(value, name);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (const auto problem = PreferenceProblem(texts[i]))
            ValueError(Item(name, i) + ' ' + Quoted(texts[i]) + ' ' + *problem);
    }
    return texts;
}

GroupTable<std::int16_t> Eighths(py::handle value, std::string_view name)
{
    const std::string expected = std::string(name) + " must be five preferences in eighths, 0 to 8, for " + GroupOrder
        + ", such as Run.prefs";
    const auto items = FiveItems(value, expected);
    GroupTable<std::int16_t> eighths{};
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        const py::object &item = items[std::size_t(g - 1)];
        const std::string itemName = Item(name, std::size_t(g - 1));
        if (IsText(item))
            TypeError(itemName + " is a text: here preferences are eighths, 0 to 8 (4 is 50 %); "
                                 "texts such as '50%' are for Run and simulate");
        eighths[std::size_t(g)] = std::int16_t(WholeNumber(item, itemName, 0, 8));
    }
    return eighths;
}

std::int64_t Horizon(py::handle years, py::handle generations, std::optional<double> fallbackYears)
{
    const bool byYears = !years.is_none();
    const bool byGenerations = !generations.is_none();
    if (byYears && byGenerations)
        ValueError("years and generations both give the length: give one");
    if (byGenerations)
        return WholeNumber(generations, "generations", 0, RunLimits::MaxGenerations);
    if (byYears)
        return GenerationsForYears(RealNumber(years, "years", 0, MaxYearsStated()));
    if (!fallbackYears)
        ValueError("give the length as years=... or generations=...");
    return GenerationsForYears(*fallbackYears);
}

std::vector<PreferenceChange> Changes(py::handle value, std::int64_t generations, std::string_view name)
{
    if (value.is_none())
        return {};
    const std::string expected = std::string(name) + " must be {generation: prefs} or pairs (generation, prefs)";
    py::handle entries = value;
    py::object items;
    if (PyDict_Check(value.ptr())) {
        items = value.attr("items")();
        entries = items;
    }
    const auto list = FirstItems(entries, MaxChanges, expected);
    if (std::int64_t(list.size()) > MaxChanges)
        ValueError(expected + ", at most " + std::to_string(MaxChanges) + " of them");
    std::vector<PreferenceChange> changes;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string entryName = Item(name, i);
        const std::string pairForm = entryName + " must be a pair (generation, prefs)";
        const auto pair = FirstItems(list[i], 2, pairForm);
        if (pair.size() != 2)
            ValueError(pairForm);
        if (generations == 0)
            ValueError(entryName + ": a run of 0 generations takes no preference changes");
        const std::string prefsName = entryName + ": prefs";
        const std::int64_t generation = WholeNumber(pair[0], entryName + ": the generation", 1, generations);
        std::vector<std::string> texts = PreferenceTexts(pair[1], prefsName);
        if (texts.empty())
            TypeError(prefsName + " must be five texts, not None");
        changes.push_back({generation, std::move(texts)});
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const PreferenceChange &a, const PreferenceChange &b) { return a.generation < b.generation; });
    return changes;
}

GroupGrid Grid(py::handle value, std::string_view name)
{
    const std::string what = std::string(name) + " must be a 2-D array of group numbers (0 for an empty home, 1 to "
        + std::to_string(GroupCount) + ")";
    if (value.is_none() || IsText(value))
        TypeError(what + ", not " + TypeName(value));
    const py::module_ numpy = py::module_::import("numpy");
    py::array array;
    try {
        array = numpy.attr("asarray")(value);
    } catch (py::error_already_set &error) {
        if (!error.matches(PyExc_ValueError) && !error.matches(PyExc_TypeError))
            throw;
        ValueError(what + " (" + error.what() + ")");
    }
    const char kind = array.dtype().kind();
    if (kind != 'i' && kind != 'u')
        TypeError(what + ", not an array of " + std::string(py::str(array.dtype())));
    if (array.ndim() != 2)
        ValueError(what + ", not a " + std::to_string(array.ndim()) + "-D one");
    const py::ssize_t rows = array.shape(0);
    const py::ssize_t columns = array.shape(1);
    if (rows < 1 || columns < 1 || rows > GroupGrid::MaxSide || columns > GroupGrid::MaxSide)
        ValueError(what + " with 1 to " + std::to_string(GroupGrid::MaxSide) + " homes a side, not "
                   + std::to_string(rows) + " x " + std::to_string(columns));
    const py::object outside = numpy.attr("logical_or")(numpy.attr("less")(array, 0),
                                                         numpy.attr("greater")(array, GroupCount));
    if (outside.attr("any")().cast<bool>()) {
        const py::tuple at = numpy.attr("argwhere")(outside)[py::int_(0)].attr("tolist")();
        ValueError(what + ": " + std::string(name) + '[' + std::string(py::str(at[0])) + ", "
                   + std::string(py::str(at[1])) + "] is " + std::string(py::str(array[at])));
    }
    const auto cells = py::array_t<std::uint8_t, py::array::c_style>::ensure(array.attr("astype")(numpy.attr("uint8")));
    if (!cells)
        throw std::runtime_error("could not copy the grid into bytes");
    GroupGrid grid{int(columns), int(rows)};
    const std::uint8_t *cell = cells.data();
    for (int y = 0; y < int(rows); ++y)
        for (int x = 0; x < int(columns); ++x)
            grid.set(x, y, *cell++);
    return grid;
}

} // namespace Arguments
