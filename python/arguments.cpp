// SPDX-License-Identifier: GPL-3.0-or-later
#include "arguments.h"

#include "labarguments.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cmath>

namespace Arguments {

namespace {

const QString GroupOrder = QStringLiteral("Blue, Red, Green, Gray and Yellow");
// A text is quoted in a message only this far: a message must stay a line.
constexpr qsizetype QuotedLength = 40;
// More changes than generations in the longest run are certainly a mistake (or an endless
// iterator), and are refused rather than collected.
constexpr qint64 MaxChanges = RunLimits::MaxGenerations;

[[noreturn]] void TypeError(const QString &message)
{
    throw py::type_error(message.toStdString());
}

[[noreturn]] void ValueError(const QString &message)
{
    throw py::value_error(message.toStdString());
}

QString TypeName(py::handle value)
{
    return QString::fromUtf8(Py_TYPE(value.ptr())->tp_name);
}

QString Quoted(const QString &text)
{
    return u'\'' + (text.size() > QuotedLength ? text.left(QuotedLength) + QStringLiteral("...") : text) + u'\'';
}

QString Item(const char *name, qsizetype index)
{
    return QStringLiteral("%1[%2]").arg(QString::fromUtf8(name)).arg(index);
}

bool IsText(py::handle value)
{
    return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) || PyByteArray_Check(value.ptr());
}

// Up to `most` items of any iterable; one more than that tells the caller there are too many.
// An exception raised by the iterable itself is the caller's and goes through unchanged.
std::vector<py::object> FirstItems(py::handle value, qsizetype most, const QString &expected)
{
    if (value.is_none() || IsText(value))
        TypeError(QStringLiteral("%1, not %2").arg(expected, TypeName(value)));
    py::object iterator = py::reinterpret_steal<py::object>(PyObject_GetIter(value.ptr()));
    if (!iterator) {
        PyErr_Clear();
        TypeError(QStringLiteral("%1, not %2").arg(expected, TypeName(value)));
    }
    std::vector<py::object> items;
    while (qsizetype(items.size()) <= most) {
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

double RealNumber(py::handle value, const char *name, double low, double high)
{
    const QString range = QStringLiteral("%1 must be a number from %2 to %3").arg(QString::fromUtf8(name)).arg(low).arg(high);
    if (value.is_none() || PyBool_Check(value.ptr()) || IsText(value))
        TypeError(QStringLiteral("%1, not %2").arg(range, TypeName(value)));
    const double number = PyFloat_AsDouble(value.ptr());
    if (number == -1.0 && PyErr_Occurred()) {
        const bool tooLarge = PyErr_ExceptionMatches(PyExc_OverflowError);
        PyErr_Clear();
        if (tooLarge)
            ValueError(range + QStringLiteral(", not a number of that size"));
        TypeError(QStringLiteral("%1, not %2").arg(range, TypeName(value)));
    }
    if (!(number >= low && number <= high))
        ValueError(QStringLiteral("%1, not %2").arg(range).arg(number));
    return number;
}

} // namespace

qint64 WholeNumber(py::handle value, const char *name, qint64 low, qint64 high)
{
    const QString range = QStringLiteral("%1 must be a whole number from %2 to %3").arg(QString::fromUtf8(name)).arg(low).arg(high);
    if (value.is_none() || PyBool_Check(value.ptr()))
        TypeError(QStringLiteral("%1, not %2").arg(range, TypeName(value)));
    py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index) {
        PyErr_Clear();
        TypeError(QStringLiteral("%1, not %2").arg(range, TypeName(value)));
    }
    int overflow = 0;
    const long long number = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0 || (number == -1 && PyErr_Occurred())) {
        PyErr_Clear();
        ValueError(range + QStringLiteral(", not a number of that size"));
    }
    if (number < low || number > high)
        ValueError(QStringLiteral("%1, not %2").arg(range).arg(number));
    return number;
}

QString Text(py::handle value, const QString &name)
{
    if (!PyUnicode_Check(value.ptr()))
        TypeError(QStringLiteral("%1 must be a text such as '50%' or '.5', not %2").arg(name, TypeName(value)));
    Py_ssize_t size = 0;
    const char *utf8 = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
    if (!utf8) {
        PyErr_Clear();
        ValueError(QStringLiteral("%1 is not valid text (it holds a lone surrogate)").arg(name));
    }
    return QString::fromUtf8(utf8, size);
}

quint32 Seed(py::handle value, const char *name)
{
    return quint32(WholeNumber(value, name, 0, std::numeric_limits<quint32>::max()));
}

// Exactly one item a group, or a ValueError saying what was expected and what came.
std::vector<py::object> FiveItems(py::handle value, const QString &expected)
{
    auto items = FirstItems(value, GroupCount, expected);
    if (items.size() != size_t(GroupCount))
        ValueError(QStringLiteral("%1; got %2").arg(expected, items.size() > size_t(GroupCount)
                                                             ? QStringLiteral("more")
                                                             : QString::number(items.size())));
    return items;
}

QStringList FiveTexts(py::handle value, const char *name)
{
    const QString expected = QStringLiteral("%1 must be five texts, for %2, such as ['50%'] * 5")
                                 .arg(QString::fromUtf8(name), GroupOrder);
    const auto items = FiveItems(value, expected);
    QStringList texts;
    for (size_t i = 0; i < items.size(); ++i)
        texts << Text(items[i], Item(name, qsizetype(i)));
    return texts;
}

QStringList PreferenceTexts(py::handle value, const char *name)
{
    if (value.is_none())
        return {};
    const QStringList texts = FiveTexts(value, name);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (const auto problem = PreferenceProblem(texts[i]))
            ValueError(QStringLiteral("%1 %2 %3").arg(Item(name, i), Quoted(texts[i]), *problem));
    }
    return texts;
}

GroupTable<qint16> Eighths(py::handle value, const char *name)
{
    const QString expected = QStringLiteral("%1 must be five preferences in eighths, 0 to 8, for %2, such as Run.prefs")
                                 .arg(QString::fromUtf8(name), GroupOrder);
    const auto items = FiveItems(value, expected);
    GroupTable<qint16> eighths{};
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        const py::object &item = items[size_t(g - 1)];
        const QByteArray itemName = Item(name, g - 1).toUtf8();
        if (IsText(item))
            TypeError(QStringLiteral("%1 is a text: here preferences are eighths, 0 to 8 (4 is 50 %); "
                                     "texts such as '50%' are for Run and simulate").arg(Item(name, g - 1)));
        eighths[g] = qint16(WholeNumber(item, itemName.constData(), 0, 8));
    }
    return eighths;
}

qint64 Horizon(py::handle years, py::handle generations, std::optional<double> fallbackYears)
{
    const bool byYears = !years.is_none();
    const bool byGenerations = !generations.is_none();
    if (byYears && byGenerations)
        ValueError(QStringLiteral("years and generations both give the length: give one"));
    if (byGenerations)
        return WholeNumber(generations, "generations", 0, RunLimits::MaxGenerations);
    const double maxYears = YearsOfGeneration(RunLimits::MaxGenerations);
    if (byYears)
        return GenerationsForYears(RealNumber(years, "years", 0, std::floor(maxYears * 10) / 10));
    if (!fallbackYears)
        ValueError(QStringLiteral("give the length as years=... or generations=..."));
    return GenerationsForYears(*fallbackYears);
}

std::vector<PreferenceChange> Changes(py::handle value, qint64 generations, const char *name)
{
    if (value.is_none())
        return {};
    const QString expected = QStringLiteral("%1 must be {generation: prefs} or pairs (generation, prefs)")
                                 .arg(QString::fromUtf8(name));
    py::handle entries = value;
    py::object items;
    if (PyDict_Check(value.ptr())) {
        items = value.attr("items")();
        entries = items;
    }
    const auto list = FirstItems(entries, MaxChanges, expected);
    if (qint64(list.size()) > MaxChanges)
        ValueError(QStringLiteral("%1, at most %2 of them").arg(expected).arg(MaxChanges));
    std::vector<PreferenceChange> changes;
    for (size_t i = 0; i < list.size(); ++i) {
        const QString entryName = Item(name, qsizetype(i));
        const auto pair = FirstItems(list[i], 2, QStringLiteral("%1 must be a pair (generation, prefs)").arg(entryName));
        if (pair.size() != 2)
            ValueError(QStringLiteral("%1 must be a pair (generation, prefs)").arg(entryName));
        if (generations == 0)
            ValueError(QStringLiteral("%1: a run of 0 generations takes no preference changes").arg(entryName));
        const QByteArray generationName = (entryName + QStringLiteral(": the generation")).toUtf8();
        const QByteArray prefsName = (entryName + QStringLiteral(": prefs")).toUtf8();
        const qint64 generation = WholeNumber(pair[0], generationName.constData(), 1, generations);
        QStringList texts = PreferenceTexts(pair[1], prefsName.constData());
        if (texts.isEmpty())
            TypeError(QStringLiteral("%1 must be five texts, not None").arg(QString::fromUtf8(prefsName)));
        changes.push_back({generation, texts});
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const PreferenceChange &a, const PreferenceChange &b) { return a.generation < b.generation; });
    return changes;
}

GroupGrid Grid(py::handle value, const char *name)
{
    const QString what = QStringLiteral("%1 must be a 2-D array of group numbers (0 for an empty home, 1 to %2)")
                             .arg(QString::fromUtf8(name)).arg(GroupCount);
    if (value.is_none() || IsText(value))
        TypeError(QStringLiteral("%1, not %2").arg(what, TypeName(value)));
    const py::module_ numpy = py::module_::import("numpy");
    py::array array;
    try {
        array = numpy.attr("asarray")(value);
    } catch (py::error_already_set &error) {
        if (!error.matches(PyExc_ValueError) && !error.matches(PyExc_TypeError))
            throw;
        ValueError(QStringLiteral("%1 (%2)").arg(what, QString::fromUtf8(error.what())));
    }
    const char kind = array.dtype().kind();
    if (kind != 'i' && kind != 'u')
        TypeError(QStringLiteral("%1, not an array of %2").arg(what, QString::fromStdString(py::str(array.dtype()))));
    if (array.ndim() != 2)
        ValueError(QStringLiteral("%1, not a %2-D one").arg(what).arg(array.ndim()));
    const py::ssize_t rows = array.shape(0);
    const py::ssize_t columns = array.shape(1);
    if (rows < 1 || columns < 1 || rows > GroupGrid::MaxSide || columns > GroupGrid::MaxSide)
        ValueError(QStringLiteral("%1 with 1 to %2 homes a side, not %3 x %4")
                       .arg(what).arg(GroupGrid::MaxSide).arg(rows).arg(columns));
    const py::object outside = numpy.attr("logical_or")(numpy.attr("less")(array, 0),
                                                         numpy.attr("greater")(array, GroupCount));
    if (outside.attr("any")().cast<bool>()) {
        const py::tuple at = numpy.attr("argwhere")(outside)[py::int_(0)].attr("tolist")();
        ValueError(QStringLiteral("%1: %2[%3, %4] is %5")
                       .arg(what, QString::fromUtf8(name), QString::fromStdString(py::str(at[0])),
                            QString::fromStdString(py::str(at[1])),
                            QString::fromStdString(py::str(array[at]))));
    }
    const auto cells = py::array_t<quint8, py::array::c_style>::ensure(array.attr("astype")(numpy.attr("uint8")));
    if (!cells)
        throw std::runtime_error("could not copy the grid into bytes");
    GroupGrid grid{int(columns), int(rows)};
    const quint8 *cell = cells.data();
    for (int y = 0; y < int(rows); ++y)
        for (int x = 0; x < int(columns); ++x)
            grid.set(x, y, *cell++);
    return grid;
}

} // namespace Arguments
