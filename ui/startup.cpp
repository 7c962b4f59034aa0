// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include "vorn.h"

std::unique_ptr<Vorn> Main()
{
    auto vorn = std::make_unique<Vorn>();
    // The window and its first texts are on the screen before the long construction.
    vorn->showOnScreen();
    if (vorn->isVisible())   // closed already: nothing to build
        vorn->general().BuildCity();
    return vorn;
}
