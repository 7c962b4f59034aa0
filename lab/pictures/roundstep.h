// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A round step near `rough` for the marks along an axis or a scale: 1, 2 or 5 times a power
// of ten, the steps a reader adds up at a glance.
double RoundStep(double rough);
