#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual page of velmora-lab from its help texts: the general help as help2man reads it,
# and each command's own help as a section of its own.
# Usage: make-lab-manual.sh <help2man> <velmora-lab> <output .1 file>
set -euo pipefail
help2man=$1
lab=$2
out=$3

include=$(mktemp)
trap 'rm -f "$include"' EXIT
for command in run rerun sweep merge; do
    printf '[%s]\n.nf\n' "COMMAND ${command^^}"
    # Kept as written (no filling); a backslash is roff's escape, and a line that starts
    # with a dot or a quote would be read as a request.
    "$lab" "$command" --help | sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\&\\1/"
    printf '.fi\n'
done >"$include"

"$help2man" --no-info --section=1 --name="run the Velmora city model headless and measure segregation" \
    --include="$include" --output="$out" "$lab"
gzip -9nf "$out"
