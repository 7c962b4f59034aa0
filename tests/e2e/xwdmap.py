#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads window dumps made by xwd and reports on the map and the notice of Velmora's main window.

Only the standard library is used, so that the end-to-end check needs nothing beyond
Debian's X tools and python3.

  xwdmap.py census DUMP      counts of the five group colours, anything else and the
                             window face in the map area, and whether the city is ready
  xwdmap.py diff DUMP DUMP   how many map pixels differ between two dumps
  xwdmap.py notice DUMP [REF]
                             whether the notice shown while a city is built is whole:
                             framed, filled and its text centred; with REF, a dump known
                             to show the notice, also whether DUMP shows the notice at all
                             and whether its area is the same as in REF
  xwdmap.py png DUMP OUT     the whole dump as a PNG, for a person to look at
  xwdmap.py pixel DUMP X Y   the colour at client (X, Y)
"""

import struct
import sys
import zlib
from array import array
from collections import Counter

# The 265 x 265 drawing area: the Map control sits at (16, 8), inside a 2-pixel border.
MAP_LEFT, MAP_TOP, MAP_SIZE = 18, 10, 265
CELLS = MAP_SIZE * MAP_SIZE

GROUPS = [
    ("blue", (0, 0, 255)),
    ("red", (255, 0, 0)),
    ("green", (0, 255, 0)),
    ("gray", (128, 128, 128)),
    ("yellow", (255, 255, 0)),
]

# A point left of the map that only the window's background covers, and a point inside
# the notice shown during construction but between the buttons that replace it.
FACE_POINT = (4, 4)
NOTICE_POINT = (306, 235)

# The notice's box, left, top, right and bottom inclusive, and the four buttons it covers.
NOTICE_BOX = (304, 233, 568, 305)
BUTTONS = [(312, 240, 376, 264), (384, 240, 560, 264), (312, 272, 376, 296), (384, 272, 560, 296)]
# Points inside the box and outside every button, and points near a corner of a button,
# clear of the button's caption and of the notice's text.
GAP_POINTS = [(306, 235), (566, 303), (380, 243), (306, 303), (566, 235), (436, 300)]
BUTTON_POINTS = [(315, 262), (387, 262), (315, 294), (557, 294)]
# How far the notice's text may lie from the middle of the box, in pixels.
CENTRE_TOLERANCE = 2


class Dump:
    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        fields = struct.unpack(">25I", data[:100])
        (header_size, version, pixmap_format, _depth, width, height, _xoffset, byte_order,
         _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, _visual, red_mask,
         green_mask, blue_mask, _bits_per_rgb, _entries, ncolors) = fields[:20]
        if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
            raise SystemExit(f"{path}: not a 24- or 32-bit ZPixmap dump (version {version}, "
                             f"format {pixmap_format}, {bits_per_pixel} bits per pixel)")
        self.width, self.height = width, height
        start = header_size + 12 * ncolors
        pixels = array("I")
        if pixels.itemsize != 4:
            raise SystemExit("array('I') is not 32 bits wide here")
        if bits_per_pixel == 32:
            rows = [data[start + y * bytes_per_line:start + y * bytes_per_line + 4 * width]
                    for y in range(height)]
            pixels.frombytes(b"".join(rows))
            if (byte_order == 1) != (sys.byteorder == "big"):
                pixels.byteswap()
        else:
            # xwd writes three bytes a pixel when windows of other visuals overlap the one
            # it dumps (an open message box's frame does).
            order = "big" if byte_order == 1 else "little"
            for y in range(height):
                row = data[start + y * bytes_per_line:start + y * bytes_per_line + 3 * width]
                pixels.extend(int.from_bytes(row[i:i + 3], order) for i in range(0, 3 * width, 3))
        self.pixels = pixels
        self.masks = (red_mask, green_mask, blue_mask)
        self.shifts = tuple((m & -m).bit_length() - 1 for m in self.masks)

    def rgb(self, value):
        return tuple((value & m) >> s for m, s in zip(self.masks, self.shifts))

    def at(self, x, y):
        return self.rgb(self.pixels[y * self.width + x])

    def map_values(self):
        if self.width < MAP_LEFT + MAP_SIZE or self.height < MAP_TOP + MAP_SIZE:
            raise SystemExit(f"dump of {self.width} x {self.height} pixels is too small for the map")
        colour_bits = self.masks[0] | self.masks[1] | self.masks[2]
        values = []
        for y in range(MAP_TOP, MAP_TOP + MAP_SIZE):
            row = y * self.width + MAP_LEFT
            values.extend(v & colour_bits for v in self.pixels[row:row + MAP_SIZE])
        return values


def census(path):
    dump = Dump(path)
    tally = Counter(dump.rgb(v) for v in dump.map_values())
    face = dump.at(*FACE_POINT)
    counts = {name: tally.get(colour, 0) for name, colour in GROUPS}
    groups = sum(counts.values())
    other = CELLS - groups
    face_count = tally.get(face, 0)
    # Built: every cell shows a group, and the notice has given way to the buttons.
    ready = int(other == 0 and dump.at(*NOTICE_POINT) == face)
    strange = ", ".join(f"{r},{g},{b}:{n}" for (r, g, b), n in tally.most_common()
                        if (r, g, b) not in dict(GROUPS).values())[:200]
    print(" ".join(f"{name}={n}" for name, n in counts.items())
          + f" groups={groups} other={other} face={face_count} ready={ready}"
          + (f" (other colours {strange})" if strange else ""))


def box_pixels(dump, box):
    left, top, right, bottom = box
    return [dump.at(x, y) for y in range(top, bottom + 1) for x in range(left, right + 1)]


def notice(path, reference_path=None):
    dump = Dump(path)
    left, top, right, bottom = NOTICE_BOX
    border = {dump.at(x, y) for x in range(left, right + 1) for y in (top, bottom)}
    border |= {dump.at(x, y) for y in range(top, bottom + 1) for x in (left, right)}
    face = dump.at(*FACE_POINT)
    framed = len(border) == 1 and face not in border
    inside = {dump.at(*p) for p in BUTTON_POINTS}
    gaps = {dump.at(*p) for p in GAP_POINTS}
    filled = len(inside) == 1 and gaps == inside and face not in gaps
    # The text: whatever differs from the notice's background inside the frame.
    background = dump.at(*GAP_POINTS[0])
    text = [(x, y) for y in range(top + 1, bottom) for x in range(left + 1, right)
            if dump.at(x, y) != background]
    centred = False
    if text:
        xs = [x for x, _ in text]
        ys = [y for _, y in text]
        off_x = (min(xs) + max(xs)) / 2 - (left + right) / 2
        off_y = (min(ys) + max(ys)) / 2 - (top + bottom) / 2
        centred = abs(off_x) <= CENTRE_TOLERANCE and abs(off_y) <= CENTRE_TOLERANCE
    report = f"framed={int(framed)} filled={int(filled)} centred={int(centred)}"
    if reference_path:
        reference = Dump(reference_path)
        # Shown: where the buttons would be, the notice's background shows instead.
        shown = all(dump.at(*p) == reference.at(*p) for p in BUTTON_POINTS)
        same = box_pixels(dump, NOTICE_BOX) == box_pixels(reference, NOTICE_BOX)
        report += f" shown={int(shown)} same={int(same)}"
    print(report)


def diff(path_a, path_b):
    a, b = Dump(path_a).map_values(), Dump(path_b).map_values()
    print(sum(1 for x, y in zip(a, b) if x != y))


def png(path, out):
    dump = Dump(path)
    raw = bytearray()
    for y in range(dump.height):
        raw.append(0)
        for v in dump.pixels[y * dump.width:(y + 1) * dump.width]:
            raw.extend(dump.rgb(v))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(out, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", dump.width, dump.height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 6)))
        f.write(chunk(b"IEND", b""))


def main(argv):
    if len(argv) == 3 and argv[1] == "census":
        census(argv[2])
    elif len(argv) in (3, 4) and argv[1] == "notice":
        notice(*argv[2:])
    elif len(argv) == 4 and argv[1] == "diff":
        diff(argv[2], argv[3])
    elif len(argv) == 4 and argv[1] == "png":
        png(argv[2], argv[3])
    elif len(argv) == 5 and argv[1] == "pixel":
        print("%d,%d,%d" % Dump(argv[2]).at(int(argv[3]), int(argv[4])))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
