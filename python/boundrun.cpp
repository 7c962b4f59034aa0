// SPDX-License-Identifier: GPL-3.0-or-later
#include "boundrun.h"

#include <string>

namespace BoundRun {

namespace {

// Where pybind11 keeps the run of this Python object, and whether it has one.
py::detail::value_and_holder Holder(const Self &self)
{
    static const auto *const type = py::detail::get_type_info(typeid(SteppedRun));
    return reinterpret_cast<py::detail::instance *>(self.ptr())->get_value_and_holder(type);
}

std::string AlreadyBuilt(const SteppedRun &run)
{
    return "__init__ called again on a velmora.Run that is built already (seed " + std::to_string(run.seed())
        + "): a run is built once; make a new velmora.Run(seed, prefs) for another city";
}

} // namespace

bool IsRun(PyObject *object)
{
    return py::isinstance<SteppedRun>(py::handle(object));
}

SteppedRun *Find(const Self &self)
{
    if (!Holder(self).holder_constructed())
        return nullptr;
    return &self.cast<SteppedRun &>();
}

SteppedRun &Built(const Self &self)
{
    if (SteppedRun *run = Find(self))
        return *run;
    throw py::type_error("this velmora.Run was made without __init__ (by Run.__new__, or a subclass that never "
                         "called it), so it holds no city: make one with velmora.Run(seed, prefs)");
}

void DefineInit(py::class_<SteppedRun> &type, const char *doc, Build build)
{
    // pybind11 takes a function named "__init__" for a constructor and silently skips a second
    // call of it. Under this name it is a method like the others, and Python still reads the
    // signature from the docstring, which it matches against the name after the last dot.
    type.attr("__init__") = py::cpp_function(
        [build = std::move(build)](const Self &self, py::handle seed, py::handle prefs) {
            if (const SteppedRun *run = Find(self))
                throw py::type_error(AlreadyBuilt(*run));
            std::unique_ptr<SteppedRun> run = build(seed, prefs);
            // Another thread may have built this Run while `build` let go of the interpreter.
            if (const SteppedRun *other = Find(self))
                throw py::type_error(AlreadyBuilt(*other));
            py::detail::value_and_holder holder = Holder(self);
            py::detail::initimpl::construct<py::class_<SteppedRun>>(holder, std::move(run), false);
        },
        py::name("Run.__init__"), py::is_method(type), doc, py::arg("seed"), py::arg("prefs") = py::none());
}

} // namespace BoundRun
