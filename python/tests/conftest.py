# SPDX-License-Identifier: GPL-3.0-or-later
"""What the tests share: the built velmora-lab, and readers for the files it writes."""

import csv
import math
import os
import struct
import subprocess
import zlib

import numpy as np
import pytest


@pytest.fixture(scope="session")
def lab():
    """Runs the built velmora-lab with the given arguments; fails on any exit status but 0."""
    program = os.environ.get("VELMORA_LAB")
    if not program:
        pytest.fail("VELMORA_LAB names no velmora-lab to compare with (run the tests through ctest)")

    def run(*arguments):
        done = subprocess.run([program, *map(str, arguments), "--quiet"], capture_output=True, text=True)
        assert done.returncode == 0, f"velmora-lab {' '.join(map(str, arguments))}: {done.stderr}"
        return done

    return run


def read_measures_csv(path):
    """measures.csv as {column: list}: whole numbers as int, dates as text, empty fields as NaN."""
    with open(path, newline="") as file:
        rows = list(csv.DictReader(file))
    def value(name, text):
        if name == "date":
            return text
        if name in ("generation", "run_id") or name.startswith("pref_"):
            return int(text)
        return float(text) if text else math.nan
    return {name: [value(name, row[name]) for row in rows] for name in rows[0]}


def read_map_png(path):
    """A palette PNG as velmora-lab writes its snapshots: the palette indices, row by row, and
    the palette as (r, g, b) tuples. Only what such a file holds is read: 8-bit indices,
    no interlacing, any of the five row filters."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG"
    at, chunks = 8, {}
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks[kind] = chunks.get(kind, b"") + data[at + 8:at + 8 + length]
        at += 12 + length
    width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", chunks[b"IHDR"])
    assert (depth, colour_type, interlace) == (8, 3, 0), f"{path}: not an 8-bit palette PNG"
    raw = zlib.decompress(chunks[b"IDAT"])
    rows, previous = [], bytearray(width)
    for y in range(height):
        start = y * (width + 1)
        kind, row = raw[start], bytearray(raw[start + 1:start + 1 + width])
        for x in range(width):
            left = row[x - 1] if x else 0
            up, up_left = previous[x], previous[x - 1] if x else 0
            if kind == 1:
                row[x] = (row[x] + left) & 0xFF
            elif kind == 2:
                row[x] = (row[x] + up) & 0xFF
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - up_left
                nearest = min((abs(p - left), 0, left), (abs(p - up), 1, up), (abs(p - up_left), 2, up_left))
                row[x] = (row[x] + nearest[2]) & 0xFF
        rows.append(bytes(row))
        previous = row
    palette = chunks[b"PLTE"]
    colours = [tuple(palette[i:i + 3]) for i in range(0, len(palette), 3)]
    return np.frombuffer(b"".join(rows), dtype=np.uint8).reshape(height, width), colours
