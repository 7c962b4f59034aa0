// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

class Vorn;

// Puts the main window on the screen and builds the first city; the event loop does the rest.
std::unique_ptr<Vorn> Main();
