#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the licence a Velmora package states against the sources it was built from.

Usage: check-licence.py UNPACKED-ROOT SOURCE-DIR VERSION

- usr/share/doc/velmora/copyright is in Debian's machine-readable format (read strictly),
  every licence it names has its text, and the program's sources are GPL-3.0-or-later;
- every source file's SPDX line names the licence the copyright file gives that file;
- the AppStream metainfo names the same licences, and its newest release is VERSION.

Debian's python3 is named on the first line: python3-debian installs for it alone.
"""

import os
import sys
import xml.etree.ElementTree as ElementTree

from debian.copyright import Copyright

PROGRAM_LICENCE = "GPL-3.0-or-later"
SOURCE_DIRS = ["model", "ui", "tests", "bench", "fuzz", "scripts", "packaging"]
SPDX = "SPDX-License-Identifier:"
METAINFO = "usr/share/metainfo/org.example.Velmora.metainfo.xml"
METAINFO_SOURCE = "packaging/org.example.Velmora.metainfo.xml"


def spdx_lines(source):
    """(path from the source root, SPDX identifier) of every source file that has one."""
    for top in SOURCE_DIRS + ["CMakeLists.txt"]:
        walk = os.walk(os.path.join(source, top)) if top in SOURCE_DIRS else [(source, [], [top])]
        for folder, _, files in walk:
            for name in files:
                path = os.path.join(folder, name)
                try:
                    with open(path, encoding="utf-8") as f:
                        head = [next(f, "") for _ in range(3)]
                except UnicodeDecodeError:
                    continue   # images and other binary files
                for line in head:
                    if SPDX in line:
                        yield os.path.relpath(path, source), line.split(SPDX, 1)[1].strip()


def main(root, source, version):
    problems = []
    with open(os.path.join(root, "usr/share/doc/velmora/copyright"), encoding="utf-8") as f:
        copyright = Copyright(f, strict=True)

    texts = {p.license.synopsis for p in copyright.all_license_paragraphs() if p.license.text.strip()}
    for paragraph in copyright.all_files_paragraphs():
        licence = paragraph.license
        if not licence.text.strip() and licence.synopsis not in texts:
            problems.append(f"no text for the licence {licence.synopsis} of {' '.join(paragraph.files)}")

    def licence_of(path):
        paragraph = copyright.find_files_paragraph(path)
        return paragraph.license.synopsis if paragraph else None

    if licence_of("ui/main.cpp") != PROGRAM_LICENCE:
        problems.append(f"the program's licence is {licence_of('ui/main.cpp')}, not {PROGRAM_LICENCE}")
    checked = 0
    for path, identifier in spdx_lines(source):
        checked += 1
        if licence_of(path) != identifier:
            problems.append(f"{path} says {identifier}, the copyright file {licence_of(path)}")
    if checked == 0:
        problems.append(f"no source file with an SPDX line under {source}")

    metainfo = ElementTree.parse(os.path.join(root, METAINFO)).getroot()
    for tag, expected in (("project_license", licence_of("ui/main.cpp")),
                          ("metadata_license", licence_of(METAINFO_SOURCE))):
        if metainfo.findtext(tag) != expected:
            problems.append(f"the metainfo's {tag} is {metainfo.findtext(tag)}, not {expected}")
    releases = metainfo.findall("releases/release")
    if not releases or releases[0].get("version") != version:
        newest = releases[0].get("version") if releases else "missing"
        problems.append(f"the metainfo's newest release is {newest}, not {version}")

    for problem in problems:
        print(f"FAIL: {problem}", file=sys.stderr)
    if not problems:
        print(f"Licence: {PROGRAM_LICENCE}, {checked} SPDX lines agree, release {version} listed")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    sys.exit(main(*sys.argv[1:]))
