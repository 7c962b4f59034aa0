# SPDX-License-Identifier: GPL-3.0-or-later
"""The Dask example gives the merged results of velmora-lab sweep for the same definition."""

import math
import os
import sys

import pandas as pd
import pytest
from dask.distributed import Client

sys.path.insert(0, os.environ.get("VELMORA_EXAMPLES", ""))
import dask_sweep  # noqa: E402  (from the examples folder)

import velmora  # noqa: E402
from conftest import read_measures_csv  # noqa: E402

PREFS, SEEDS, BASE_SEED, GENERATIONS, EVERY = "0..8/4,50%,25%|75%,50%,.5", 2, 11, 60, 25


@pytest.fixture(scope="module")
def lab_sweep(lab, tmp_path_factory):
    folder = tmp_path_factory.mktemp("sweep")
    lab("sweep", "--prefs", PREFS, "--seeds", SEEDS, "--base-seed", BASE_SEED, "--generations", GENERATIONS,
        "--every", EVERY, "--jobs", 1, "--out", folder)
    lab("merge", folder)
    return read_measures_csv(folder / "measures.csv")


def test_the_run_table_is_the_one_velmora_lab_lists(lab):
    listed = lab("sweep", "--prefs", PREFS, "--seeds", SEEDS, "--base-seed", BASE_SEED, "--list").stdout.split()
    ours = [f"{r.run_id},{r.replicate},{r.seed}," + ",".join(map(str, r.pref_eighths))
            for r in velmora.sweep_runs(PREFS, seeds=SEEDS, base_seed=BASE_SEED)]
    assert ours == listed[1:]


def test_a_sweep_on_a_local_cluster_gives_velmora_labs_merged_measures(lab_sweep):
    with dask_sweep.local_cluster(workers=2) as cluster, Client(cluster) as client:
        table = dask_sweep.sweep(client, PREFS, SEEDS, BASE_SEED, every=EVERY, generations=GENERATIONS)
    assert list(table.columns) == list(lab_sweep)
    assert table["run_id"].nunique() == 3 * 2 * SEEDS
    for name, expected in lab_sweep.items():
        ours = table[name].dt.strftime("%Y-%m-%d") if name == "date" else table[name]
        assert len(ours) == len(expected), name
        assert all(a == b or (isinstance(b, float) and math.isnan(a) and math.isnan(b))
                   for a, b in zip(ours, expected)), name


def test_the_example_writes_the_table_from_its_command_line(tmp_path, lab_sweep):
    out = tmp_path / "sweep.csv"
    assert dask_sweep.main(["--prefs", PREFS, "--seeds", str(SEEDS), "--base-seed", str(BASE_SEED),
                            "--generations", str(GENERATIONS), "--every", str(EVERY), "--workers", "1",
                            "--out", str(out)]) == 0
    written = pd.read_csv(out, float_precision="round_trip")
    assert list(written["run_id"]) == lab_sweep["run_id"]
    assert list(written["same_share_all"]) == lab_sweep["same_share_all"]
