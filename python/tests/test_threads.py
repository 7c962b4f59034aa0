# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs in threads at once give what they give one after another: they share nothing."""

from concurrent.futures import ThreadPoolExecutor

import numpy as np

import velmora

SEEDS = [3, 5, 8, 13]
PREFS = ["0", "25%", "50%", "62.5%", "100%"]


def finished_map(seed):
    run = velmora.Run(seed=seed, prefs=PREFS)
    run.advance(generations=300)
    return run.map()


def measured(seed):
    return velmora.simulate(seed, PREFS, generations=300, every=100)


def test_runs_in_threads_give_the_maps_and_measures_of_runs_in_turn():
    in_turn = [(finished_map(seed), measured(seed)) for seed in SEEDS]
    with ThreadPoolExecutor(max_workers=len(SEEDS)) as pool:
        maps = list(pool.map(finished_map, SEEDS))
        tables = list(pool.map(measured, SEEDS))
    for (map_in_turn, table_in_turn), map_at_once, table_at_once in zip(in_turn, maps, tables):
        assert np.array_equal(map_at_once, map_in_turn)
        assert table_at_once.equals(table_in_turn)
    # Different seeds, different cities: the comparison above could fail.
    assert not np.array_equal(maps[0], maps[1])


def test_one_run_advanced_from_several_threads_takes_the_steps_one_at_a_time():
    shared = velmora.Run(seed=21)
    with ThreadPoolExecutor(max_workers=4) as pool:
        list(pool.map(lambda _: shared.advance(generations=100), range(4)))
    alone = velmora.Run(seed=21)
    alone.advance(generations=400)
    assert shared.generation == 400
    assert np.array_equal(shared.map(), alone.map())
