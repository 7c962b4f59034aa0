// SPDX-License-Identifier: GPL-3.0-or-later
// The `velmora` Python module: the city model, its measures and the Lab's runs, bound as they
// are. Every rule stays in the C++ core; this file reads Python's arguments, releases the
// interpreter lock while the model works, and hands back NumPy arrays, dicts and DataFrames.
#include "arguments.h"
#include "boundrun.h"

#include "calendar.h"
#include "citymeasures.h"
#include "constants.h"
#include "labrun.h"
#include "measurecolumns.h"
#include "measurestable.h"
#include "runplan.h"
#include "runseed.h"
#include "steppedrun.h"
#include "sweepdefinition.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// measures.csv's columns before the measures: generation, date, years, then a preference
// per group.
constexpr int LeadingColumns = 3;

py::object DateObject(Date date)
{
    if (!date.ok())
        return py::none();
    return py::module_::import("datetime").attr("date")(int(date.year()), unsigned(date.month()), unsigned(date.day()));
}

py::tuple Eighths(const GroupTable<std::int16_t> &eighths)
{
    py::tuple tuple(GroupCount);
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        tuple[std::size_t(g - 1)] = py::int_(eighths[std::size_t(g)]);
    return tuple;
}

py::tuple Texts(const std::vector<std::string> &texts)
{
    py::tuple tuple(GroupCount);
    for (std::size_t i = 0; i < std::size_t(GroupCount); ++i)
        tuple[i] = py::str(i < texts.size() ? texts[i] : std::string());
    return tuple;
}

py::dict MeasuresDict(const CityMeasures &measures)
{
    py::dict values;
    for (const MeasureColumn &column : MeasureColumns()) {
        const auto value = column.value(measures);
        values[py::str(column.name)] = value ? py::object(py::float_(*value)) : py::object(py::none());
    }
    return values;
}

py::dict MeasuresOf(const GroupGrid &grid, const GroupTable<std::int16_t> &prefs)
{
    CityMeasures measures;
    {
        py::gil_scoped_release release;
        measures = Measure(grid, prefs);
    }
    return MeasuresDict(measures);
}

py::array_t<std::uint8_t> MapArray(const GroupGrid &grid)
{
    py::array_t<std::uint8_t> map({py::ssize_t(grid.height()), py::ssize_t(grid.width())});
    std::copy_n(grid.cells(), std::size_t(grid.width()) * std::size_t(grid.height()), map.mutable_data());
    return map;
}

// Asked between generations, with the interpreter lock taken for the moment: Ctrl+C (or any
// signal handler's exception) ends the work, and the exception is raised once the model has
// stopped.
class Interruption
{
public:
    bool keepGoing()
    {
        py::gil_scoped_acquire acquire;
        interrupted_ = PyErr_CheckSignals() != 0;
        return !interrupted_;
    }
    void raiseIfInterrupted() const
    {
        if (interrupted_)
            throw py::error_already_set();
    }

private:
    bool interrupted_ = false;
};

[[noreturn]] void Damaged()
{
    throw std::runtime_error("the city map is damaged (an empty home between generations)");
}

// A table keyed by measures.csv's column names: a pandas DataFrame when pandas can be
// imported, else a dict of NumPy arrays. Dates are datetime64[D]; an undefined measure is NaN.
py::object SamplesTable(const std::vector<Sample> &samples)
{
    const std::vector<std::string> names = MeasuresTable::Header();
    const std::vector<MeasureColumn> &measureColumns = MeasureColumns();
    const auto rows = py::ssize_t(samples.size());

    py::array_t<std::int64_t> generation(rows);
    py::array_t<std::int64_t> days(rows);
    py::array_t<double> years(rows);
    std::vector<py::array_t<std::int64_t>> prefs;
    for (int g = 0; g < GroupCount; ++g)
        prefs.emplace_back(rows);
    std::vector<py::array_t<double>> measures;
    for (std::size_t c = 0; c < measureColumns.size(); ++c)
        measures.emplace_back(rows);

    for (py::ssize_t r = 0; r < rows; ++r) {
        const Sample &sample = samples[std::size_t(r)];
        generation.mutable_at(r) = sample.generation;
        days.mutable_at(r) = DayNumber(sample.date);
        years.mutable_at(r) = sample.years;
        for (GroupIndex g = 1; g <= GroupCount; ++g)
            prefs[std::size_t(g - 1)].mutable_at(r) = sample.prefEighths[std::size_t(g)];
        for (std::size_t c = 0; c < measureColumns.size(); ++c) {
            const auto value = measureColumns[c].value(sample.measures);
            measures[c].mutable_at(r) = value ? *value : std::numeric_limits<double>::quiet_NaN();
        }
    }

    py::dict table;
    table[py::str(names.at(0))] = generation;
    table[py::str(names.at(1))] = days.attr("view")("datetime64[D]");
    table[py::str(names.at(2))] = years;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        table[py::str(names.at(std::size_t(LeadingColumns + g - 1)))] = prefs[std::size_t(g - 1)];
    for (std::size_t c = 0; c < measureColumns.size(); ++c)
        table[py::str(names.at(LeadingColumns + GroupCount + c))] = measures[c];

    py::module_ pandas;
    try {
        pandas = py::module_::import("pandas");
    } catch (py::error_already_set &error) {
        if (!error.matches(PyExc_ImportError))
            throw;
        return table;
    }
    return pandas.attr("DataFrame")(table);
}

py::object Simulate(py::handle seed, py::handle prefs, py::handle years, py::handle generations,
                    py::handle every, py::handle set)
{
    RunPlan plan;
    plan.seed = Arguments::Seed(seed);
    plan.prefTexts = Arguments::PreferenceTexts(prefs);
    plan.generations = Arguments::Horizon(years, generations, RunLimits::DefaultYears);
    plan.every = int(Arguments::WholeNumber(every, "every", 1, RunLimits::MaxGenerations));
    plan.changes = Arguments::Changes(set, plan.generations);

    std::vector<Sample> samples;
    Interruption interruption;
    LabRun::End end;
    {
        py::gil_scoped_release release;
        LabRun run(plan);
        end = run.Execute([&](std::int64_t g, const HeadlessCity &city) {
            if (plan.measuredAt(g))
                samples.push_back(TakeSample(city, g));
            return g == 0 || g % SteppedRun::CheckEvery != 0 || interruption.keepGoing();
        });
    }
    interruption.raiseIfInterrupted();
    if (end == LabRun::End::Damaged)
        Damaged();
    return SamplesTable(samples);
}

// The run's own lock, taken without the interpreter lock, so that a thread advancing a run
// (which takes the interpreter lock now and then) and a thread waiting for it never wait on
// each other.
template <typename Work>
auto WithRun(SteppedRun &run, Work &&work)
{
    py::gil_scoped_release release;
    std::lock_guard lock(run.busy());
    return work();
}

// The Lab refuses a run beyond the calendar's last day, where the window's date would wrap
// back to 2005; a run here stops there too.
[[noreturn]] void PastTheCalendar(std::int64_t from, std::int64_t count)
{
    throw py::value_error("advancing " + std::to_string(count) + (count == 1 ? " generation" : " generations")
                          + " would pass the end of the calendar (31 December 9999): this run is at generation "
                          + std::to_string(from) + " and can advance "
                          + std::to_string(RunLimits::MaxGenerations - from) + " more (to generation "
                          + std::to_string(RunLimits::MaxGenerations) + " at most)");
}

void Advance(const BoundRun::Self &self, py::handle years, py::handle generations)
{
    SteppedRun &run = BoundRun::Built(self);
    const std::int64_t count = Arguments::Horizon(years, generations, std::nullopt);
    Interruption interruption;
    // Checked under the run's lock: another thread may be advancing the same run.
    std::int64_t from = 0;
    const auto advance = WithRun(run, [&] {
        from = run.generation();
        if (count > RunLimits::MaxGenerations - from)
            return std::optional<SteppedRun::Advance>();
        return std::optional(run.AdvanceBy(count, [&] { return interruption.keepGoing(); }));
    });
    if (!advance)
        PastTheCalendar(from, count);
    interruption.raiseIfInterrupted();
    if (advance->damaged)
        Damaged();
}

std::string Repr(const BoundRun::Self &self)
{
    SteppedRun *run = BoundRun::Find(self);
    if (!run)
        return "<velmora.Run, not built: made without __init__>";
    return WithRun(*run, [&] {
        std::string prefs;
        for (GroupIndex g = 1; g <= GroupCount; ++g)
            prefs += (g > 1 ? ", " : "") + std::to_string(run->prefEighths()[std::size_t(g)]);
        return "<velmora.Run seed=" + std::to_string(run->seed()) + " generation=" + std::to_string(run->generation())
            + " date=" + IsoDate(run->date()) + " prefs=(" + prefs + ") eighths>";
    });
}

py::tuple GroupNames()
{
    py::tuple names(GroupCount + 1);
    for (GroupIndex g = 0; g <= GroupCount; ++g)
        names[std::size_t(g)] = py::str(Groups[std::size_t(g)].name);
    return names;
}

py::tuple GroupColours()
{
    py::tuple colours(GroupCount + 1);
    for (GroupIndex g = 0; g <= GroupCount; ++g) {
        const Rgb colour = Groups[std::size_t(g)].colour;
        colours[std::size_t(g)] = py::make_tuple(int(colour >> 16 & 0xff), int(colour >> 8 & 0xff), int(colour & 0xff));
    }
    return colours;
}

py::dict MeasureDescriptions()
{
    py::dict descriptions;
    for (const MeasureColumn &column : MeasureColumns())
        descriptions[py::str(column.name)] = py::str(column.description);
    return descriptions;
}

py::tuple Columns()
{
    const std::vector<std::string> names = MeasuresTable::Header();
    py::tuple columns(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        columns[i] = py::str(names[i]);
    return columns;
}

// The definition of a sweep's run table, read as velmora-lab sweep reads --prefs, --seeds
// and --base-seed.
SweepDefinition SweepOf(py::handle prefs, py::handle seeds, py::handle baseSeed)
{
    std::string text;
    if (PyUnicode_Check(prefs.ptr())) {
        text = Arguments::Text(prefs, "prefs");
    } else {
        // Five sets given one by one: a set's items are separated by "|", never by commas.
        const std::vector<std::string> sets = Arguments::FiveTexts(prefs, "prefs");
        for (std::size_t i = 0; i < sets.size(); ++i)
            text += (i > 0 ? "," : "") + sets[i];
    }
    SweepDefinition definition;
    std::string problem;
    const auto sets = ReadPreferenceSets(text, &problem);
    if (!sets)
        throw py::value_error("prefs: " + problem);
    definition.prefSets = *sets;
    definition.seeds = std::uint32_t(Arguments::WholeNumber(seeds, "seeds", 1, SweepLimits::MaxSeeds));
    definition.baseSeed = Arguments::Seed(baseSeed, "base_seed");
    if (definition.runCount() > SweepLimits::MaxRuns)
        throw py::value_error("prefs and seeds give " + std::to_string(definition.runCount())
                              + " runs; a sweep has at most " + std::to_string(SweepLimits::MaxRuns)
                              + " (run ids are 32-bit)");
    return definition;
}

py::object SweepRunTuple(const py::object &type, const SweepRun &run)
{
    return type(run.runId, run.replicate, run.seed, Texts(run.prefTexts), Eighths(run.prefEighths));
}

// The docstrings begin with a signature in the form inspect.signature() reads.
const char *const ModuleDoc = R"(The Velmora city model, its segregation measures and its runs, from Python.

A thin binding of the same C++ model and measures that `velmora` and `velmora-lab` use: a run
with a seed here is the city `velmora-lab run --seed` builds, with the same numbers.

    import velmora
    run = velmora.Run(seed=7, prefs=["50%"] * 5)
    run.advance(years=10)
    grid = run.map()                               # 265 x 265 NumPy array of groups 1 to 5
    m = velmora.measures(grid, prefs=run.prefs)    # dict of the measures
    df = velmora.simulate(7, ["50%"] * 5, years=20, every=46)

Preferences are texts, read as the window reads a typed one, in a form whose reading is what
it says: a fraction from 0 to 1 with its point (".5", "0.375") or a percentage up to 100
("50%", and "50" without the sign), as `velmora-lab run` takes them; "4" (eighths, or 4 %?),
"0.5%" (read as a half) or "150%" are refused. The groups are numbered 1 Blue, 2 Red,
3 Green, 4 Gray, 5 Yellow; 0 is an empty home.

The model works without the interpreter lock, so runs in several threads go on at once.
)";

const char *const RunDoc = R"(Run(seed, prefs=None): one city, built from a seed and advanced generation by generation.

seed: a whole number from 0 to 4294967295; the same seed builds the same city as
    `velmora-lab run --seed`.
prefs: five preference texts for Blue, Red, Green, Gray and Yellow, such as ["50%"] * 5,
    typed before the city is built; None keeps the window's starting ".5".

A generation is eight days in which 192 residents move; 46 generations are about a year.
)";

const char *const RunInitDoc = R"(__init__(self, seed, prefs=None)
--

Builds the city of `seed` after typing `prefs` (five texts) into the preference fields.
)";

const char *const AdvanceDoc = R"(advance(self, *, years=None, generations=None)
--

Runs the city on by a number of years (of 365.25 days, rounded up to whole generations of
eight days) or of generations; give one of them. Ctrl+C stops between generations and raises
KeyboardInterrupt, leaving the run at the generation it reached. The calendar ends on
31 December 9999, generation 365014: a step beyond it raises ValueError and runs nothing.
)";

const char *const MapDoc = R"(map(self)
--

The city as a new NumPy array of uint8, 265 x 265, indexed [row, column] (row 0 at the top,
as the window shows it): each home's group, 1 Blue, 2 Red, 3 Green, 4 Gray, 5 Yellow.
)";

const char *const RunMeasuresDoc = R"(measures(self)
--

The measures of the city now, with the preferences in force: velmora.measures(run.map(),
prefs=run.prefs).
)";

const char *const SetPrefsDoc = R"(set_prefs(self, prefs)
--

Types five preference texts into the fields, as a user would; they govern the generations
that follow. Each is read as the window reads it, in the forms `velmora-lab run` takes
("50%", ".5" and "50" are four eighths).
)";

const char *const MeasuresDoc = R"(measures(grid, prefs)
--

The segregation measures of a map, as the columns of velmora-lab's measures.csv: a dict from
column name to a float, or None where the map leaves a measure undefined (such as a group
with no residents).

grid: a 2-D array of whole numbers, 0 for an empty home and 1 to 5 for a group, of any size
    up to 32768 a side; rows first, as Run.map() gives it.
prefs: five preferences in eighths, 0 to 8 (such as Run.prefs), which decide who is
    dissatisfied.

velmora.MEASURES describes each column.
)";

const char *const SimulateDoc = R"(simulate(seed, prefs=None, *, years=None, generations=None, every=46, set=None)
--

One whole run, measured as `velmora-lab run` measures it: the city as built (generation 0),
then every `every` generations and at the end. Returns a pandas DataFrame with the columns of
measures.csv (velmora.COLUMNS) when pandas can be imported, else a dict of NumPy arrays. Dates
are datetime64; undefined measures are NaN.

seed, prefs: as for Run.
years, generations: the length of the run; give at most one (10 years when neither).
every: measure every this many generations (46: about a year).
set: preference changes typed before a generation, as {generation: prefs} or pairs
    (generation, prefs), like velmora-lab's --set GEN:prefs; generation 1 is the first.

The same arguments give the same numbers as velmora-lab with the same options.
)";

const char *const RunSeedDoc = R"(run_seed(base_seed, run_id)
--

The seed of run `run_id` of a sweep with base seed `base_seed`, as velmora-lab's sweeps
compute it: a function of the two numbers alone (both 0 to 4294967295).
)";

const char *const SweepRunsDoc = R"(sweep_runs(prefs, *, seeds=1, base_seed)
--

The run table of a sweep, as `velmora-lab sweep` expands it: a sequence of SweepRun(run_id,
replicate, seed, prefs, pref_eighths), in run id order from 0, computed one by one as they
are asked for. Run each with simulate(run.seed, run.prefs, ...) to get the sweep's results.

prefs: five sets of preference values, for Blue, Red, Green, Gray and Yellow, as one text
    separated by commas ("0..8,50%,50%,0..8/2,50%") or as five texts. A set is one or more
    items separated by "|": a range of eighths A..B or A..B/S, or one preference written as
    for Run ("50%", ".5") but for a bare whole number from 1 to 8, which a sweep refuses as
    it could mean eighths or a percentage.
seeds: runs with different seeds for each preference vector, the seed index innermost.
base_seed: the sweep's base seed; run R's seed is run_seed(base_seed, R).
)";

const char *const SweepRunDoc = R"(One run of a sweep: its id, which of the vector's seeds it is (replicate, from 0), its seed,
the preference texts to type (prefs) and what they read as, in eighths (pref_eighths).)";

} // namespace

PYBIND11_MODULE(velmora, m)
{
    py::options options;
    options.disable_function_signatures();

    m.doc() = ModuleDoc;
    m.attr("__version__") = VELMORA_VERSION;
    m.attr("MAP_SIZE") = MapSize;
    m.attr("GROUP_NAMES") = GroupNames();
    m.attr("GROUP_COLOURS") = GroupColours();
    m.attr("COLUMNS") = Columns();
    m.attr("MEASURES") = MeasureDescriptions();

    using BoundRun::Self;
    using BoundRun::Built;
    py::class_<SteppedRun> run(m, "Run", RunDoc);
    BoundRun::DefineInit(run, RunInitDoc, [](py::handle seed, py::handle prefs) {
        const std::uint32_t s = Arguments::Seed(seed);
        const std::vector<std::string> texts = Arguments::PreferenceTexts(prefs);
        py::gil_scoped_release release;
        return std::make_unique<SteppedRun>(s, texts);
    });
    run.def("advance", &Advance, AdvanceDoc, py::kw_only(), "years"_a = py::none(), "generations"_a = py::none())
        .def("map", [](const Self &self) {
                SteppedRun &run = Built(self);
                return MapArray(WithRun(run, [&] { return run.grid(); }));
            },
            MapDoc)
        .def("measures",
             [](const Self &self) {
                 SteppedRun &run = Built(self);
                 const auto [grid, prefs] = WithRun(run, [&] { return std::pair(run.grid(), run.prefEighths()); });
                 return MeasuresOf(grid, prefs);
             },
             RunMeasuresDoc)
        .def("set_prefs",
             [](const Self &self, py::handle prefs) {
                 SteppedRun &run = Built(self);
                 if (prefs.is_none())
                     throw py::type_error("prefs must be five texts, not None");
                 const std::vector<std::string> texts = Arguments::PreferenceTexts(prefs);
                 WithRun(run, [&] {
                     run.TypePreferences(texts);
                     return 0;
                 });
             },
             SetPrefsDoc, "prefs"_a)
        .def_property_readonly(
            "seed", [](const Self &self) { return Built(self).seed(); }, "The seed the city was built from.")
        .def_property_readonly(
            "generation",
            [](const Self &self) {
                SteppedRun &run = Built(self);
                return WithRun(run, [&] { return run.generation(); });
            },
            "Generations run since the city was built.")
        .def_property_readonly(
            "years",
            [](const Self &self) {
                SteppedRun &run = Built(self);
                return WithRun(run, [&] { return YearsOfGeneration(run.generation()); });
            },
            "Years (of 365.25 days) since the city was built.")
        .def_property_readonly(
            "date",
            [](const Self &self) {
                SteppedRun &run = Built(self);
                return DateObject(WithRun(run, [&] { return run.date(); }));
            },
            "The simulated date, a datetime.date (the city is built on 1 January 2005).")
        .def_property_readonly(
            "prefs",
            [](const Self &self) {
                SteppedRun &run = Built(self);
                return Eighths(WithRun(run, [&] { return run.prefEighths(); }));
            },
            "The preferences in force, in eighths (0 to 8), Blue to Yellow: what measures() takes.")
        .def_property_readonly(
            "pref_texts",
            [](const Self &self) {
                SteppedRun &run = Built(self);
                return Texts(WithRun(run, [&] { return run.prefTexts(); }));
            },
            "The preference fields' texts as the window would show them, such as '50.0%'.")
        .def("__repr__", &Repr);

    m.def(
        "measures",
        [](py::handle grid, py::handle prefs) {
            const GroupGrid g = Arguments::Grid(grid);
            return MeasuresOf(g, Arguments::Eighths(prefs));
        },
        MeasuresDoc, "grid"_a, "prefs"_a);

    m.def("simulate", &Simulate, SimulateDoc, "seed"_a, "prefs"_a = py::none(), py::kw_only(),
          "years"_a = py::none(), "generations"_a = py::none(), "every"_a = RunLimits::DefaultEvery,
          "set"_a = py::none());

    // A named tuple pickles by name, so Dask and multiprocessing hand SweepRun to workers as it is.
    const py::object sweepRunType = py::module_::import("collections").attr("namedtuple")(
        "SweepRun", py::make_tuple("run_id", "replicate", "seed", "prefs", "pref_eighths"), "module"_a = "velmora");
    sweepRunType.attr("__doc__") = SweepRunDoc;
    m.attr("SweepRun") = sweepRunType;

    py::class_<SweepDefinition>(m, "SweepRuns", "The run table of a sweep; see sweep_runs().")
        .def("__len__", [](const SweepDefinition &sweep) { return sweep.runCount(); })
        .def("__getitem__",
             [sweepRunType](const SweepDefinition &sweep, py::handle index) {
                 const auto count = std::int64_t(sweep.runCount());
                 std::int64_t i = Arguments::WholeNumber(index, "a run index", std::numeric_limits<std::int64_t>::min(),
                                                         std::numeric_limits<std::int64_t>::max());
                 if (i < 0)
                     i += count;
                 if (i < 0 || i >= count)
                     throw py::index_error("run index out of range: the sweep has " + std::to_string(count) + " runs");
                 return SweepRunTuple(sweepRunType, RunAt(sweep, std::uint32_t(i)));
             })
        .def_property_readonly("seeds", [](const SweepDefinition &sweep) { return sweep.seeds; })
        .def_property_readonly("base_seed", [](const SweepDefinition &sweep) { return sweep.baseSeed; })
        .def_property_readonly(
            "pref_sets",
            [](const SweepDefinition &sweep) {
                py::tuple sets(GroupCount);
                for (GroupIndex g = 1; g <= GroupCount; ++g) {
                    const PreferenceSet &set = sweep.prefSets[std::size_t(g)];
                    py::tuple values(set.size());
                    for (std::size_t i = 0; i < set.size(); ++i)
                        values[i] = py::int_(set[i]);
                    sets[std::size_t(g - 1)] = values;
                }
                return sets;
            },
            "Each group's preference values in the sweep, in eighths.")
        .def("__repr__", [](const SweepDefinition &sweep) {
            return "<velmora.SweepRuns of " + std::to_string(sweep.runCount()) + " runs, base seed "
                + std::to_string(sweep.baseSeed) + ">";
        });

    m.def("sweep_runs", &SweepOf, SweepRunsDoc, "prefs"_a, py::kw_only(), "seeds"_a = 1, "base_seed"_a);

    m.def(
        "run_seed",
        [](py::handle baseSeed, py::handle runId) {
            return RunSeed(Arguments::Seed(baseSeed, "base_seed"), Arguments::Seed(runId, "run_id"));
        },
        RunSeedDoc, "base_seed"_a, "run_id"_a);
}
