// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"

#include <QImage>
#include <QString>

// Writes the city map (as MapImage() holds it) to a PNG: one square of scale x scale
// pixels per home in its group's colour, white for an empty home, without smoothing. The
// file is written under a temporary name and renamed when complete.
WriteError WriteSnapshot(const QImage &map, const QString &fileName, int scale = 1);
