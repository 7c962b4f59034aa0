// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymap.h"
#include "constants.h"
#include "general.h"

using Field = CityWindow::Field;
using Control = CityWindow::Control;

namespace {
// The command buttons, in the order in which construction hides and shows them.
constexpr Control Buttons[] = {Control::DisplayMore, Control::PauseIt, Control::ContinueIt,
                               Control::StartOver};
} // namespace

void General::BuildCity()
{
    window_.setControlVisible(Control::PleaseWait, true);
    for (Control button : Buttons)
        window_.setControlVisible(button, false);

    window_.setText(Field::Dayt, 0, forms_.WriteDate(FirstDay));

    for (GroupIndex g = 1; g <= GroupCount - 1; ++g)
        GroupShareCutoff[g] = ConstructionCutoffs[g];

    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        ApplyPreference(g);
        window_.setText(Field::Kount, g, "0");
    }

    random_.ReseedFromTimeOfDay();
    window_.showWindow();

    CityMap &map = window_.map();
    for (float y = 0; y <= float(LastCell); ++y) {
        for (float x = 0; x <= float(LastCell); ++x) {
            const GroupIndex g = DrawGroup(random_.NextSingle(), GroupShareCutoff);
            map.PlotResident(x, y, g);
            IncrementCount(g);
        }
        window_.repaintMap();
        ShowRowTotals();
        window_.repaintWindow();
    }

    window_.setControlVisible(Control::PleaseWait, false);
    for (Control button : Buttons)
        window_.setControlVisible(button, true);
    window_.giveFocus(Control::PauseIt);
}

// The counts are kept only as the field texts, so each one is read back and rewritten.
// Reading a number text is slow; the text written last reads back as the count it was
// written from, so that one is remembered.
void General::IncrementCount(GroupIndex group)
{
    const std::string text = window_.text(Field::Kount, group);
    CountText &last = lastCountText_[group];
    const double count = text == last.text ? last.count : forms_.ReadNumber(text).value_or(0.0);
    last = {forms_.FormatCount(count + 1.0), count + 1.0};
    window_.setText(Field::Kount, group, last.text);
}

void General::ShowRowTotals()
{
    float total = 0;
    GroupTable<double> count{};
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        count[g] = forms_.ReadNumber(window_.text(Field::Kount, g)).value_or(0.0);
        total += float(count[g]);
    }
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        window_.setText(Field::Prop, g, forms_.FormatPercent(count[g] / total));
    window_.setText(Field::Population, 0, forms_.FormatCount(total));
}
