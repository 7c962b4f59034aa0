#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks that every part of the source leans only on the parts below it.

The core (model, measures, runs) uses the C++ standard library alone and knows no front
end; each front end uses the core; within the Lab, files < pictures < run < sweep < cli.
Prints every include that reaches up or sideways and exits 1 if there is one."""

import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2])

# Each part, in the order of the floors, with the parts it may include from.
CORE = ["core/model", "core/measures", "core/run"]
LAB = ["lab/files", "lab/pictures", "lab/run", "lab/sweep", "lab/cli"]
ALLOWED = {}
for floor, part in enumerate(CORE):
    ALLOWED[part] = CORE[: floor + 1]
for floor, part in enumerate(LAB):
    ALLOWED[part] = CORE + LAB[: floor + 1]
ALLOWED["ui"] = CORE + ["ui"]
ALLOWED["python"] = CORE + ["python"]
ALLOWED["web/glue"] = CORE + ["web/glue"]

# The C++ standard library's headers (C++20), and the C ones it carries.
STANDARD = set("""
algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv chrono cinttypes
climits clocale cmath codecvt compare complex concepts condition_variable coroutine csetjmp csignal cstdarg
cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque exception execution filesystem format
forward_list fstream functional future initializer_list iomanip ios iosfwd iostream istream iterator latch
limits list locale map memory memory_resource mutex new numbers numeric optional ostream queue random ranges
ratio regex scoped_allocator semaphore set shared_mutex source_location span sstream stack stdexcept stop_token
streambuf string string_view syncstream system_error thread tuple type_traits typeindex typeinfo
unordered_map unordered_set utility valarray variant vector version
""".split())
# Headers of the platform that the core may use where the standard leaves a gap.
CORE_PLATFORM = {"emmintrin.h"}   # SSE2, behind a test of __SSE2__

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def part_of(path):
    relative = path.relative_to(ROOT).as_posix()
    for part in sorted(ALLOWED, key=len, reverse=True):
        if relative.startswith(part + "/"):
            return part
    return None


def main():
    headers = {}
    for part in ALLOWED:
        for header in (ROOT / part).rglob("*.h"):
            headers.setdefault(header.name, []).append(part)
    problems = []
    for part in ALLOWED:
        for source in sorted((ROOT / part).rglob("*")):
            if source.suffix not in (".h", ".cpp"):
                continue
            for kind, name in INCLUDE.findall(source.read_text(encoding="utf-8")):
                where = source.relative_to(ROOT)
                if kind == '"':
                    homes = headers.get(pathlib.PurePath(name).name, [])
                    if not homes:
                        problems.append(f"{where}: \"{name}\" is in no part of the source")
                    elif not any(home in ALLOWED[part] for home in homes):
                        problems.append(f"{where}: \"{name}\" is in {homes[0]}, above or beside {part}")
                elif part.startswith("core/") and name not in STANDARD and name not in CORE_PLATFORM:
                    problems.append(f"{where}: <{name}> is not the C++ standard library")
    for problem in problems:
        print(problem)
    print(f"{len(problems)} includes reach up or out" if problems else "every part leans only on those below it")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
