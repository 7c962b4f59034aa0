# SPDX-License-Identifier: GPL-3.0-or-later
"""The module stands on the plain C++ core: importing and running it loads no Qt library."""

import subprocess
import sys

import velmora

USE_THE_MODULE = """
import velmora
run = velmora.Run(seed=7, prefs=["50%"] * 5)
run.advance(generations=3)
run.measures()
velmora.simulate(7, generations=2, every=1)
print(open("/proc/self/maps").read())
"""


def test_the_module_loads_no_qt_library():
    done = subprocess.run([sys.executable, "-c", USE_THE_MODULE], capture_output=True, text=True, check=True)
    mapped = {line.split()[-1] for line in done.stdout.splitlines() if "/" in line}
    assert velmora.__file__ in mapped, "the maps read are not those of a process that imported the module"
    assert not [path for path in mapped if "libQt" in path]
