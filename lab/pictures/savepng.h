// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"

#include <QImage>
#include <QString>

// Encodes the picture as PNG in memory and saves it whole, through a temporary name, so that
// a picture that cannot be encoded leaves nothing behind either.
WriteError SavePng(const QImage &image, const QString &fileName);
