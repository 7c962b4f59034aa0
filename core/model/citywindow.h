// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

class CityMap;

// What the model needs of the main window. The counts, shares, population and date live
// only as the texts of its fields, and the city only in its map. The desktop window
// implements this in ui/, a run without a window in HeadlessCity; tests use a small
// in-memory stand-in. Texts are UTF-8.
class CityWindow
{
public:
    enum class Field { Dayt, Kount, Prop, Pref, Population };
    // The notice shown while a city is built, and the four command buttons.
    enum class Control { PleaseWait, DisplayMore, PauseIt, ContinueIt, StartOver };

    virtual ~CityWindow() = default;

    // Kount, Prop and Pref take a group index 1 to 5; Dayt and Population ignore it.
    virtual std::string text(Field field, int index = 0) const = 0;
    virtual void setText(Field field, int index, std::string_view text) = 0;

    virtual void setControlVisible(Control control, bool visible) = 0;
    virtual void giveFocus(Control control) = 0;

    // Bring the screen up to date now, without handling any event.
    virtual void repaintWindow() = 0;
    virtual void repaintMap() = 0;

    virtual CityMap &map() = 0;

    // The generation clock; 0 delivers no ticks.
    virtual void setTimerInterval(int milliseconds) = 0;

    // Show the window without blocking; nothing changes if it is already shown.
    virtual void showWindow() = 0;

    // The map is damaged beyond use: end the program at once.
    virtual void endAtOnce() = 0;
};
