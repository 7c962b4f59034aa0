#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A sweep of Velmora runs on a Dask cluster, with the numbers of `velmora-lab sweep`.

The run table (run ids, preferences, seeds) comes from velmora.sweep_runs, the same expansion
velmora-lab uses; each run is one task, and a run's results depend on its seed alone, so they
are the same on any number of workers and machines. The result is velmora-lab's merged
measures.csv as a DataFrame: one row per run and sampled generation, sorted by run id.

    python3 dask_sweep.py --prefs "0..8,50%,50%,0..8/2,50%" --seeds 10 --base-seed 11 \\
        --years 20 --out sweep.csv                           # a LocalCluster on this machine
    python3 dask_sweep.py ... --scheduler tcp://host:8786    # a cluster already running

Every worker needs the velmora module (the python3-velmora package, or PYTHONPATH).
"""

import argparse
import sys

import pandas as pd
from dask.distributed import Client, LocalCluster

import velmora


def measure_run(run, every, years=None, generations=None):
    """One run of the sweep on a worker: velmora-lab's measures.csv with the run id in front."""
    table = velmora.simulate(run.seed, run.prefs, years=years, generations=generations, every=every)
    table.insert(0, "run_id", run.run_id)
    return table


def sweep(client, prefs, seeds, base_seed, every=46, years=None, generations=None):
    """Every run of the sweep as one task on the cluster; their tables in run id order. The
    length is in years or generations, as for velmora-lab (10 years when neither is given)."""
    runs = list(velmora.sweep_runs(prefs, seeds=seeds, base_seed=base_seed))
    futures = client.map(measure_run, runs, every=every, years=years, generations=generations, pure=False)
    tables = client.gather(futures)
    return pd.concat(tables, ignore_index=True).sort_values(["run_id", "generation"], ignore_index=True)


def local_cluster(workers):
    """Worker processes on this machine, one thread each, reached over the loopback only."""
    return LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                        dashboard_address=None)


def main(arguments=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--prefs", required=True, help='five sets of preference values, as velmora-lab sweep takes them')
    parser.add_argument("--seeds", type=int, default=1, help="runs with different seeds per preference vector")
    parser.add_argument("--base-seed", type=int, required=True, help="the sweep's base seed")
    length = parser.add_mutually_exclusive_group()
    length.add_argument("--years", type=float, help="each run's length in years (default 10)")
    length.add_argument("--generations", type=int, help="each run's length in generations")
    parser.add_argument("--every", type=int, default=46, help="measure every this many generations (default 46)")
    parser.add_argument("--workers", type=int, default=2, help="worker processes of the local cluster")
    parser.add_argument("--scheduler", help="the address of a running Dask scheduler, instead of a local cluster")
    parser.add_argument("--out", required=True, help="the CSV file to write")
    options = parser.parse_args(arguments)

    # The definition is checked here, before a cluster is started for it.
    velmora.sweep_runs(options.prefs, seeds=options.seeds, base_seed=options.base_seed)
    length = {"every": options.every, "years": options.years, "generations": options.generations}
    if options.scheduler:
        with Client(options.scheduler) as client:
            table = sweep(client, options.prefs, options.seeds, options.base_seed, **length)
    else:
        with local_cluster(options.workers) as cluster, Client(cluster) as client:
            table = sweep(client, options.prefs, options.seeds, options.base_seed, **length)
    table.to_csv(options.out, index=False, date_format="%Y-%m-%d")
    print(f"{table['run_id'].nunique()} runs, {len(table)} rows: {options.out}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
