// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "caption.h"
#include "savefile.h"

#include <QImage>
#include <QString>

#include <optional>

// Writes the city map (as MapImage() holds it) to a PNG: one square of scale x scale
// pixels per home in its group's colour, white for an empty home, without smoothing. With
// a caption, its strip follows under the map, which stays the same pixel for pixel. The
// file is written under a temporary name and renamed when complete.
WriteError WriteSnapshot(const QImage &map, const QString &fileName, int scale = 1,
                         const std::optional<MapCaption> &caption = std::nullopt);
