// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "labrun.h"

#include <QString>

// The measures of one sample as a short table for a terminal: the measures by group in
// columns, then the city-wide ones; "-" for a measure the map leaves undefined.
QString MeasuresReport(const Sample &sample, quint32 seed);
