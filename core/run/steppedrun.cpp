// SPDX-License-Identifier: GPL-3.0-or-later
#include "steppedrun.h"

SteppedRun::SteppedRun(std::uint32_t seed, const std::vector<std::string> &prefTexts)
    : city_(seed)
{
    // Construction reads the preference fields itself, as after a user typed them.
    for (GroupIndex g = 1; g <= GroupCount && std::size_t(g) <= prefTexts.size(); ++g)
        city_.setText(CityWindow::Field::Pref, g, prefTexts[std::size_t(g - 1)]);
    city_.general().BuildCity();
}

SteppedRun::Advance SteppedRun::AdvanceBy(std::int64_t generations, const std::function<bool()> &keepGoing)
{
    Advance advance;
    while (advance.done < generations) {
        if (advance.done % CheckEvery == 0 && advance.done > 0 && keepGoing && !keepGoing())
            break;
        city_.general().NextGeneration();
        if (city_.damaged()) {
            advance.damaged = true;
            break;
        }
        ++advance.done;
        ++generation_;
    }
    return advance;
}

void SteppedRun::TypePreferences(const std::vector<std::string> &texts)
{
    for (GroupIndex g = 1; g <= GroupCount && std::size_t(g) <= texts.size(); ++g)
        city_.TypePreference(g, texts[std::size_t(g - 1)]);
}

std::vector<std::string> SteppedRun::prefTexts() const
{
    std::vector<std::string> texts;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        texts.push_back(city_.text(CityWindow::Field::Pref, g));
    return texts;
}
