// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"

#include <QByteArray>
#include <QString>

// Writes the bytes to standard output and flushes them; when they do not all get there
// (a full disk, /dev/full, a closed output), one line saying that `what` could not be
// written to standard output, and why.
WriteError WriteStandardOutput(const QByteArray &bytes, const QString &what);

// A program started with standard input, output or error closed would hand that number to
// the next file it opens, and write its table or messages into it. Each closed one gets
// /dev/null, opened for reading only, so that writing to it still fails.
void KeepStandardStreamsTaken();
