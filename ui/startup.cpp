#include "startup.h"

#include "vorn.h"

std::unique_ptr<Vorn> Main()
{
    auto vorn = std::make_unique<Vorn>();
    vorn->show();
    // The window and its first texts are on the screen before the long construction.
    vorn->repaint();
    vorn->general().BuildCity();
    return vorn;
}
