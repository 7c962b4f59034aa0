// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "layout.h"

#include <QFont>
#include <QIcon>

// The program's face: "MS Sans Serif" where it exists, else the closest sans serif.
QFont VelmoraFont(bool bold, int pixelSize = DefaultFontPixels);

// The icon of both windows.
QIcon VelmoraIcon();
