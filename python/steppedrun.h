// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "groupgrid.h"
#include "headlesscity.h"

#include <QDate>
#include <QStringList>

#include <functional>
#include <mutex>

// A run that a caller advances a few generations at a time and looks at in between, where
// LabRun goes through a whole RunPlan in one go. It starts the way LabRun does (the
// preferences typed, then the city built from the seed), so a seed gives the Lab's city.
class SteppedRun
{
public:
    // Empty `prefs` leaves the window's starting preferences.
    SteppedRun(quint32 seed, const QStringList &prefs);

    // Runs `generations` generations, asking `keepGoing` every CheckEvery generations whether
    // to go on: how many ran, and whether the map was found damaged (which ends the run).
    struct Advance
    {
        qint64 done = 0;
        bool damaged = false;
    };
    Advance AdvanceBy(qint64 generations, const std::function<bool()> &keepGoing);

    // Types five preference texts into the fields, as a user would.
    void TypePreferences(const QStringList &texts);

    quint32 seed() const { return city_.seed(); }
    qint64 generation() const { return generation_; }
    QDate date() const { return city_.date(); }
    GroupTable<qint16> prefEighths() const { return city_.general().PrefEighths; }
    QStringList prefTexts() const;
    GroupGrid grid() const { return GroupGrid::FromCityMap(city_.map()); }

    // Held by whoever works on the run: a run is one city, and two threads must not move
    // its residents at once.
    std::mutex &busy() { return busy_; }

    // How many generations run between two calls of keepGoing.
    static constexpr qint64 CheckEvery = 256;

private:
    HeadlessCity city_;
    qint64 generation_ = 0;
    std::mutex busy_;
};
