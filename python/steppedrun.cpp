// SPDX-License-Identifier: GPL-3.0-or-later
#include "steppedrun.h"

SteppedRun::SteppedRun(quint32 seed, const QStringList &prefs)
    : city_(seed)
{
    // Construction reads the preference fields itself, as after a user typed them.
    for (GroupIndex g = 1; g <= GroupCount && g <= prefs.size(); ++g)
        city_.setText(CityWindow::Field::Pref, g, prefs[g - 1]);
    city_.general().BuildCity();
}

SteppedRun::Advance SteppedRun::AdvanceBy(qint64 generations, const std::function<bool()> &keepGoing)
{
    Advance advance;
    while (advance.done < generations) {
        if (advance.done % CheckEvery == 0 && advance.done > 0 && !keepGoing())
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

void SteppedRun::TypePreferences(const QStringList &texts)
{
    for (GroupIndex g = 1; g <= GroupCount && g <= texts.size(); ++g)
        city_.TypePreference(g, texts[g - 1]);
}

QStringList SteppedRun::prefTexts() const
{
    QStringList texts;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        texts << city_.text(CityWindow::Field::Pref, g);
    return texts;
}
