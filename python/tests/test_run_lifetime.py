# SPDX-License-Identifier: GPL-3.0-or-later
"""A Run is built once, by __init__, and lives until the calendar's end: every other way of
using one is a clear exception that leaves it as it was."""

import datetime
import threading

import numpy as np
import pytest

import velmora

LAST_GENERATION = 365014  # 31 December 9999, where the Lab's runs end too
NEAR_THE_END = 365000


@pytest.fixture(scope="module")
def old_run():
    """A run 14 generations before the calendar's end (a few seconds' work, done once)."""
    run = velmora.Run(seed=5, prefs=["37.5%"] * 5)
    run.advance(generations=NEAR_THE_END)
    return run


def state(run):
    return run.generation, run.date, run.years, run.prefs, run.map().tobytes()


# name: the advance's arguments (14 generations are left; years=0.3 is 14 and 0.31 is 15)
PAST_THE_END = {
    "one generation too many": dict(generations=15),
    "years one generation too many": dict(years=0.31),
    "a year": dict(years=1),
    "the longest run": dict(generations=LAST_GENERATION),
    "the most years": dict(years=7994.8),
}


@pytest.mark.parametrize("advance", PAST_THE_END.values(), ids=PAST_THE_END.keys())
def test_advancing_past_the_calendar_is_refused_and_runs_nothing(old_run, advance):
    before = state(old_run)
    with pytest.raises(ValueError, match=r"end of the calendar \(31 December 9999\).* at generation 365000 "
                                         r"and can advance 14 more \(to generation 365014 at most\)"):
        old_run.advance(**advance)
    assert state(old_run) == before


def test_a_run_goes_to_the_calendars_last_day_and_no_further():
    run = velmora.Run(seed=5, prefs=["37.5%"] * 5)
    run.advance(generations=LAST_GENERATION - 46)
    run.advance(years=1)  # 46 generations: exactly to the end
    assert (run.generation, run.date) == (LAST_GENERATION, datetime.date(9999, 12, 31))
    run.advance(generations=0)
    with pytest.raises(ValueError, match="can advance 0 more"):
        run.advance(generations=1)
    with pytest.raises(ValueError, match="can advance 0 more"):
        run.advance(years=1e-9)
    assert (run.generation, run.date) == (LAST_GENERATION, datetime.date(9999, 12, 31))


class Relaxed(velmora.Run):
    def __init__(self, seed):
        super().__init__(seed, ["0"] * 5)


# name: (how the run is made, generations it runs first, the second __init__)
BUILT_TWICE = {
    "again with another seed": (velmora.Run, 0, lambda run: run.__init__(4)),
    "again with the same arguments": (velmora.Run, 0, lambda run: run.__init__(3)),
    "again with other prefs": (velmora.Run, 0, lambda run: run.__init__(3, ["100%"] * 5)),
    "through the class": (velmora.Run, 0, lambda run: velmora.Run.__init__(run, seed=8)),
    "after advancing": (velmora.Run, 2, lambda run: run.__init__(3)),
    "a subclass, by its own __init__": (Relaxed, 0, lambda run: run.__init__(3)),
    "a subclass, by Run's": (Relaxed, 1, lambda run: velmora.Run.__init__(run, 9)),
}


@pytest.mark.parametrize("make, generations, again", BUILT_TWICE.values(), ids=BUILT_TWICE.keys())
def test_init_on_a_built_run_raises_and_keeps_the_city(make, generations, again):
    run = make(3)
    run.advance(generations=generations)
    before = state(run)
    with pytest.raises(TypeError, match=r"__init__ called again on a velmora\.Run that is built already "
                                        r"\(seed 3\): a run is built once"):
        again(run)
    assert state(run) == before and run.seed == 3


def unbuilt():
    return velmora.Run.__new__(velmora.Run)


class Forgetful(velmora.Run):
    """A subclass whose __init__ leaves Run's out; pybind11 refuses to make one."""
    def __init__(self):
        pass


# name: what is asked of a Run that __init__ never built
UNBUILT_USES = {
    "map": lambda run: run.map(),
    "measures": lambda run: run.measures(),
    "advance": lambda run: run.advance(generations=1),
    "advance with bad arguments": lambda run: run.advance(),
    "set_prefs": lambda run: run.set_prefs(["50%"] * 5),
    "seed": lambda run: run.seed,
    "generation": lambda run: run.generation,
    "years": lambda run: run.years,
    "date": lambda run: run.date,
    "prefs": lambda run: run.prefs,
    "pref_texts": lambda run: run.pref_texts,
}


@pytest.mark.parametrize("use", UNBUILT_USES.values(), ids=UNBUILT_USES.keys())
def test_a_run_made_without_init_raises_a_type_error_naming_that(use):
    with pytest.raises(TypeError, match=r"this velmora\.Run was made without __init__ .* holds no city"):
        use(unbuilt())


def test_a_run_made_without_init_shows_so_and_can_still_be_built():
    run = unbuilt()
    assert repr(run) == "<velmora.Run, not built: made without __init__>"
    run.__init__(11, ["25%"] * 5)
    built = velmora.Run(11, ["25%"] * 5)
    assert state(run) == state(built) and run.seed == 11
    with pytest.raises(TypeError, match="must be called when overriding __init__"):
        Forgetful()


def test_two_threads_building_one_run_build_it_once():
    run = unbuilt()
    start = threading.Barrier(2)
    outcomes = []

    def build(seed):
        start.wait()
        try:
            run.__init__(seed)
            outcomes.append(("built", seed))
        except TypeError as error:
            outcomes.append(("refused", str(error)))

    threads = [threading.Thread(target=build, args=(seed,)) for seed in (21, 22)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    built = [seed for kind, seed in outcomes if kind == "built"]
    assert len(built) == 1 and [kind for kind, _ in outcomes].count("refused") == 1, outcomes
    assert run.seed == built[0]
    assert np.array_equal(run.map(), velmora.Run(built[0]).map())
