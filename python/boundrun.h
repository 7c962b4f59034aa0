// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "steppedrun.h"

#include <pybind11/pybind11.h>

#include <functional>
#include <memory>

// velmora.Run as Python holds it. A Run can exist with no city in it: made by Run.__new__
// alone, or by a subclass that never calls __init__. pybind11 would hand such a Run's
// methods uninitialised memory and ignore a second __init__ without a word, so the methods
// take the Python object itself and ask whether a city was built, and __init__ is one that
// refuses to build twice.
namespace BoundRun {

namespace py = pybind11;

bool IsRun(PyObject *object);

// A velmora.Run (or a subclass), built or not; pybind11 turns anything else away before a
// method runs, naming the type as velmora.Run.
class Self : public py::object
{
public:
    PYBIND11_OBJECT_DEFAULT(Self, py::object, IsRun)
};

// The run, or nullptr when its __init__ never ran.
SteppedRun *Find(const Self &self);
// The run, or a TypeError saying that it was never built.
SteppedRun &Built(const Self &self);

// Builds the run from __init__'s arguments, with or without the interpreter lock.
using Build = std::function<std::unique_ptr<SteppedRun>(py::handle seed, py::handle prefs)>;
// Run.__init__(self, seed, prefs=None): builds once, and raises TypeError on a Run built already.
void DefineInit(py::class_<SteppedRun> &type, const char *doc, Build build);

} // namespace BoundRun

template <>
struct pybind11::detail::handle_type_name<BoundRun::Self>
{
    static constexpr auto name = const_name("velmora.Run");
};
