# SPDX-License-Identifier: GPL-3.0-or-later
"""A run from Python is velmora-lab's run: the same city, home by home, and the same numbers."""

import math
import sys

import numpy as np
import pytest

import velmora
from conftest import read_map_png, read_measures_csv

# (seed, preference texts, generations, every, {generation: texts typed before it})
CASES = {
    "seed 7, 50% each, 10 years": (7, ["50%"] * 5, 457, 46, {}),
    "seed 0, every way of writing a preference": (0, ["0", ".25", "50", "75%", "100%"], 230, 50, {}),
    "seed 2^32-1, relaxed at generation 120": (4294967295, [".5"] * 5, 200, 23, {120: ["0"] * 5}),
}


def lab_options(seed, prefs, generations, every, changes):
    options = ["--seed", seed, "--prefs", ",".join(prefs), "--generations", generations, "--every", every]
    for generation, texts in changes.items():
        options += ["--set", f"{generation}:{','.join(texts)}"]
    return options


def same_values(ours, theirs):
    ours, theirs = list(ours), list(theirs)
    def same(a, b):
        return a == b or (isinstance(a, float) and math.isnan(a) and math.isnan(b))
    return len(ours) == len(theirs) and all(same(a, b) for a, b in zip(ours, theirs))


@pytest.mark.parametrize("case", CASES.values(), ids=CASES.keys())
def test_simulate_gives_the_measures_csv_of_velmora_lab(case, lab, tmp_path, monkeypatch):
    seed, prefs, generations, every, changes = case
    lab("run", *lab_options(*case), "--out", tmp_path)
    expected = read_measures_csv(tmp_path / "measures.csv")

    frame = velmora.simulate(seed, prefs, generations=generations, every=every, set=changes)
    assert list(frame.columns) == list(expected) == list(velmora.COLUMNS)
    # Without pandas, the same columns as a dict of NumPy arrays.
    with monkeypatch.context() as without_pandas:
        without_pandas.setitem(sys.modules, "pandas", None)
        table = velmora.simulate(seed, prefs, generations=generations, every=every, set=changes)
    assert isinstance(table, dict) and list(table) == list(expected)

    for name, column in expected.items():
        from_frame = frame[name].dt.strftime("%Y-%m-%d") if name == "date" else frame[name]
        from_dict = np.datetime_as_string(table[name]) if name == "date" else table[name]
        assert same_values(list(from_frame), column), name
        assert same_values(list(from_dict), column), name


@pytest.mark.parametrize("case", CASES.values(), ids=CASES.keys())
def test_run_builds_and_moves_the_city_of_velmora_lab(case, lab, tmp_path):
    seed, prefs, generations, every, changes = case
    lab("run", *lab_options(*case), "--snapshots", generations, "--out", tmp_path)
    built, palette = read_map_png(tmp_path / "map-000000.png")
    final, _ = read_map_png(tmp_path / f"map-{generations:06d}.png")
    last_row = {name: column[-1] for name, column in read_measures_csv(tmp_path / "measures.csv").items()}
    # The Lab's pictures index their palette by group number, in the groups' own colours.
    assert palette[:len(velmora.GROUP_COLOURS)] == list(velmora.GROUP_COLOURS)

    run = velmora.Run(seed=seed, prefs=prefs)
    # The map is the snapshot's top rows, over the strip of its caption.
    assert np.array_equal(run.map(), built[:len(run.map())])
    for generation, texts in sorted(changes.items()):
        run.advance(generations=generation - 1 - run.generation)
        run.set_prefs(texts)
    run.advance(generations=generations - run.generation)
    assert np.array_equal(run.map(), final[:len(run.map())])
    assert run.generation == last_row["generation"]
    assert run.date.isoformat() == last_row["date"]
    assert list(run.prefs) == [last_row[f"pref_{name.lower()}_eighths"] for name in velmora.GROUP_NAMES[1:]]
    measures = run.measures()
    assert same_values([math.nan if v is None else v for v in measures.values()],
                       [last_row[name] for name in measures])
