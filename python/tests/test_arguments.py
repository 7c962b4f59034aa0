# SPDX-License-Identifier: GPL-3.0-or-later
"""Whatever is passed, a bad argument is an ordinary exception that names it; nothing crashes."""

import itertools

import numpy as np
import pytest

import velmora

FIVE = ["50%"] * 5
GRID = np.ones((4, 4), dtype=np.uint8)
RUN = velmora.Run(seed=1)  # built once: the bad calls must leave it usable

# name of the row: (the call, the exception, a piece of its message)
BAD_CALLS = {
    "seed None": (lambda: velmora.Run(seed=None), TypeError, "seed must be a whole number"),
    "seed -1": (lambda: velmora.Run(seed=-1), ValueError, "from 0 to 4294967295, not -1"),
    "seed 2^32": (lambda: velmora.Run(seed=2**32), ValueError, "not 4294967296"),
    "seed 10^100": (lambda: velmora.Run(seed=10**100), ValueError, "not a number of that size"),
    "seed 7.0": (lambda: velmora.Run(seed=7.0), TypeError, "not float"),
    "seed '7'": (lambda: velmora.Run(seed="7"), TypeError, "not str"),
    "seed True": (lambda: velmora.Run(seed=True), TypeError, "not bool"),
    "seed NaN": (lambda: velmora.Run(seed=float("nan")), TypeError, "not float"),
    "prefs one text": (lambda: velmora.Run(1, "50%"), TypeError, "prefs must be five texts"),
    "prefs four": (lambda: velmora.Run(1, FIVE[:4]), ValueError, "got 4"),
    "prefs six": (lambda: velmora.Run(1, FIVE + ["1"]), ValueError, "got more"),
    "prefs endless": (lambda: velmora.Run(1, itertools.repeat("50%")), ValueError, "got more"),
    "prefs 0.5": (lambda: velmora.Run(1, [0.5] * 5), TypeError, "prefs[0] must be a text"),
    "prefs None inside": (lambda: velmora.Run(1, FIVE[:4] + [None]), TypeError, "prefs[4] must be a text"),
    "prefs 'abc'": (lambda: velmora.Run(1, ["abc"] + FIVE[1:]), ValueError, "prefs[0] 'abc' has no number"),
    "prefs '-1'": (lambda: velmora.Run(1, FIVE[:2] + ["-1"] + FIVE[3:]), ValueError, "prefs[2] '-1' is negative"),
    # Only texts whose reading is what they say, as velmora-lab run takes them.
    "prefs '4'": (lambda: velmora.Run(1, ["4"] + FIVE[1:]), ValueError, "prefs[0] '4' could be eighths"),
    "prefs '1/2'": (lambda: velmora.Run(1, ["1/2"] + FIVE[1:]), ValueError, "'1/2' has more after the number"),
    "prefs '0.5%'": (lambda: velmora.Run(1, ["0.5%"] + FIVE[1:]), ValueError, "'0.5%' is a fraction with a % sign"),
    "prefs '150%'": (lambda: velmora.Run(1, ["150%"] + FIVE[1:]), ValueError, "'150%' is above 100 %"),
    "set_prefs '1'": (lambda: RUN.set_prefs(["1"] + FIVE[1:]), ValueError, "prefs[0] '1' could be eighths"),
    "simulate '0.18749'": (lambda: velmora.simulate(1, ["0.18749"] + FIVE[1:], generations=1), ValueError,
                           "more than four decimals"),
    "prefs lone surrogate": (lambda: velmora.Run(1, ["5\ud800"] + FIVE[1:]), ValueError, "not valid text"),
    "prefs 42": (lambda: velmora.Run(1, 42), TypeError, "not int"),
    "set_prefs None": (lambda: RUN.set_prefs(None), TypeError, "not None"),
    "advance neither": (lambda: RUN.advance(), ValueError, "give the length"),
    "advance both": (lambda: RUN.advance(years=1, generations=1), ValueError, "give one"),
    "advance years NaN": (lambda: RUN.advance(years=float("nan")), ValueError, "years must be a number from 0"),
    "advance years inf": (lambda: RUN.advance(years=float("inf")), ValueError, "not inf"),
    "advance years -1": (lambda: RUN.advance(years=-1), ValueError, "not -1"),
    "advance years 1e12": (lambda: RUN.advance(years=1e12), ValueError, "not 1e+12"),
    "advance years 123456.789": (lambda: RUN.advance(years=123456.789), ValueError, "7994.8, not 123457"),
    "advance years -NaN": (lambda: RUN.advance(years=-float("nan")), ValueError, "7994.8, not nan"),
    "advance years 10^400": (lambda: RUN.advance(years=10**400), ValueError, "not a number of that size"),
    "advance years '1'": (lambda: RUN.advance(years="1"), TypeError, "not str"),
    "advance generations 1.5": (lambda: RUN.advance(generations=1.5), TypeError, "not float"),
    "advance generations 10^30": (lambda: RUN.advance(generations=10**30), ValueError, "not a number of that size"),
    "advance positional": (lambda: RUN.advance(1), TypeError, "incompatible function arguments"),
    "measures grid None": (lambda: velmora.measures(None, prefs=[4] * 5), TypeError, "grid must be a 2-D array"),
    "measures grid 1-D": (lambda: velmora.measures(np.ones(9, int), prefs=[4] * 5), ValueError, "not a 1-D one"),
    "measures grid 3-D": (lambda: velmora.measures(np.ones((2, 2, 2), int), prefs=[4] * 5), ValueError, "3-D"),
    "measures grid float": (lambda: velmora.measures(GRID * 1.0, prefs=[4] * 5), TypeError, "float64"),
    "measures grid bool": (lambda: velmora.measures(GRID > 0, prefs=[4] * 5), TypeError, "bool"),
    "measures grid with a text": (lambda: velmora.measures([[1, "a"]], prefs=[4] * 5), TypeError, "<U21"),
    "measures grid of objects": (lambda: velmora.measures(np.array([[None]]), prefs=[4] * 5), TypeError, "object"),
    "measures grid ragged": (lambda: velmora.measures([[1, 2], [3]], prefs=[4] * 5), ValueError, "grid must be"),
    "measures grid 0 x 5": (lambda: velmora.measures(np.ones((0, 5), int), prefs=[4] * 5), ValueError, "0 x 5"),
    "measures grid 1 x 40000": (lambda: velmora.measures(np.ones((1, 40000), int), prefs=[4] * 5), ValueError,
                                "1 to 32768 homes a side"),
    "measures grid holds 6": (lambda: velmora.measures([[1, 2], [6, 1]], prefs=[4] * 5), ValueError, "grid[1, 0] is 6"),
    "measures grid holds -1": (lambda: velmora.measures(np.array([[-1]]), prefs=[4] * 5), ValueError, "is -1"),
    "measures grid 2^64-1": (lambda: velmora.measures(np.array([[2**64 - 1]], np.uint64), prefs=[4] * 5), ValueError,
                             "is 18446744073709551615"),
    "measures prefs texts": (lambda: velmora.measures(GRID, prefs=FIVE), TypeError, "prefs[0] is a text"),
    "measures prefs 9": (lambda: velmora.measures(GRID, prefs=[4, 4, 9, 4, 4]), ValueError, "prefs[2] must be"),
    "measures prefs missing": (lambda: velmora.measures(GRID), TypeError, "incompatible function arguments"),
    "simulate every 0": (lambda: velmora.simulate(1, every=0), ValueError, "every must be a whole number from 1"),
    "simulate set generation 0": (lambda: velmora.simulate(1, generations=5, set={0: FIVE}), ValueError,
                                  "set[0]: the generation must be a whole number from 1 to 5, not 0"),
    "simulate set past the end": (lambda: velmora.simulate(1, generations=5, set={6: FIVE}), ValueError, "not 6"),
    "simulate set in a run of 0": (lambda: velmora.simulate(1, generations=0, set={1: FIVE}), ValueError,
                                   "a run of 0 generations"),
    "simulate set not a pair": (lambda: velmora.simulate(1, generations=5, set=[(1, FIVE, 2)]), ValueError,
                                "set[0] must be a pair"),
    "simulate set prefs None": (lambda: velmora.simulate(1, generations=5, set={1: None}), TypeError, "not None"),
    "simulate set 7": (lambda: velmora.simulate(1, generations=5, set=7), TypeError, "set must be"),
    "simulate unknown option": (lambda: velmora.simulate(1, yeras=2), TypeError, "incompatible function arguments"),
    "run_seed run_id -1": (lambda: velmora.run_seed(1, -1), ValueError, "run_id must be a whole number"),
    "sweep_runs range past 8": (lambda: velmora.sweep_runs("0..9,.5,.5,.5,.5", base_seed=1), ValueError,
                                "'0..9' goes beyond 8 eighths"),
    "sweep_runs bare 4": (lambda: velmora.sweep_runs("0..8,4,.5,.5,.5", base_seed=1), ValueError,
                          "Red: '4' could be 4/8"),
    "sweep_runs four sets": (lambda: velmora.sweep_runs(["0..8"] * 4, base_seed=1), ValueError, "got 4"),
    "sweep_runs seeds 0": (lambda: velmora.sweep_runs("0..8,.5,.5,.5,.5", seeds=0, base_seed=1), ValueError,
                           "seeds must be a whole number from 1"),
    "sweep_runs 9^5 x 10^6 runs": (lambda: velmora.sweep_runs(["0..8"] * 5, seeds=10**6, base_seed=1), ValueError,
                                   "at most 4294967295"),
    "sweep_runs no base_seed": (lambda: velmora.sweep_runs("0..8,.5,.5,.5,.5"), TypeError, "incompatible function"),
    "sweep_runs index 9": (lambda: velmora.sweep_runs("0..8,.5,.5,.5,.5", base_seed=1)[9], IndexError, "has 9 runs"),
    "sweep_runs index -10": (lambda: velmora.sweep_runs("0..8,.5,.5,.5,.5", base_seed=1)[-10], IndexError, "out of range"),
    "sweep_runs index '0'": (lambda: velmora.sweep_runs("0..8,.5,.5,.5,.5", base_seed=1)["0"], TypeError, "not str"),
}


@pytest.mark.parametrize("call, error, message", BAD_CALLS.values(), ids=BAD_CALLS.keys())
def test_bad_argument_raises_an_ordinary_exception_naming_it(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert message in str(raised.value)
    assert RUN.generation == 0 and RUN.prefs == (4, 4, 4, 4, 4)


# A text in a message is cut after 40 UTF-16 code units, as the Lab cuts it; a character
# beyond the BMP counts two, and one the cut would split is left out whole.
# name: (preference text, what the message quotes)
QUOTED = {
    "40 letters": ("a" * 40, "'" + "a" * 40 + "'"),
    "41 letters": ("a" * 41, "'" + "a" * 40 + "...'"),
    "accented letters": ("é" * 50, "'" + "é" * 40 + "...'"),
    "20 emoji": ("\U0001F600" * 20, "'" + "\U0001F600" * 20 + "'"),
    "21 emoji": ("\U0001F600" * 21, "'" + "\U0001F600" * 20 + "...'"),
    "an emoji split by the cut": ("a" * 39 + "\U0001F600b", "'" + "a" * 39 + "...'"),
    "three-byte characters": ("\u20ac" * 41, "'" + "\u20ac" * 40 + "...'"),
}


@pytest.mark.parametrize("text, quoted", QUOTED.values(), ids=QUOTED.keys())
def test_a_long_text_is_quoted_cut_in_a_message(text, quoted):
    with pytest.raises(ValueError) as raised:
        velmora.Run(1, [text] + FIVE[1:])
    assert str(raised.value) == f"prefs[0] {quoted} has no number in it: give a fraction from 0 to 1 with its " \
                                "point (0, .5, 0.375), or a percentage up to 100 (12.5%, 50%, 100%)"


# One map written in different ways: each must give the measures of the first.
MAP = np.random.default_rng(5).integers(0, 6, size=(7, 11))
SAME_MAP = {
    "int64": MAP,
    "list of lists": MAP.tolist(),
    "uint8": MAP.astype(np.uint8),
    "int16 in column order": np.asfortranarray(MAP.astype(np.int16)),
    "uint64 strided": np.repeat(MAP.astype(np.uint64), 2, axis=1)[:, ::2],
}


@pytest.mark.parametrize("grid", SAME_MAP.values(), ids=SAME_MAP.keys())
def test_a_map_gives_the_same_measures_however_it_is_stored(grid):
    prefs = [np.int8(3), 4, 5, 6, 7]
    assert velmora.measures(grid, prefs=prefs) == velmora.measures(MAP, prefs=[3, 4, 5, 6, 7])


def test_a_measure_a_map_leaves_undefined_is_none():
    measures = velmora.measures(np.ones((3, 3), int), prefs=[4] * 5)
    assert list(measures) == list(velmora.MEASURES)
    # Red has no residents: no share of red neighbours, no largest red cluster.
    assert measures["same_share_red"] is None and measures["largest_cluster_share_red"] is None
    assert measures["same_share_blue"] == 1.0
