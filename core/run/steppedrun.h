// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar.h"
#include "groupgrid.h"
#include "headlesscity.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// A run that a caller advances a few generations at a time and looks at in between, where
// LabRun goes through a whole RunPlan in one go. It starts the way LabRun does (the
// preferences typed, then the city built from the seed), so a seed gives the Lab's city.
class SteppedRun
{
public:
    // Empty `prefTexts` leaves the window's starting preferences.
    SteppedRun(std::uint32_t seed, const std::vector<std::string> &prefTexts);

    // Runs `generations` generations, asking `keepGoing` every CheckEvery generations whether
    // to go on: how many ran, and whether the map was found damaged (which ends the run).
    struct Advance
    {
        std::int64_t done = 0;
        bool damaged = false;
    };
    Advance AdvanceBy(std::int64_t generations, const std::function<bool()> &keepGoing);

    // Types five preference texts into the fields, as a user would.
    void TypePreferences(const std::vector<std::string> &texts);
    // Types one text into group g's field and confirms it.
    void TypePreference(int group, const std::string &text) { city_.TypePreference(group, text); }

    std::uint32_t seed() const { return city_.seed(); }
    std::int64_t generation() const { return generation_; }
    Date date() const { return city_.date(); }
    GroupTable<std::int16_t> prefEighths() const { return city_.general().PrefEighths; }
    std::vector<std::string> prefTexts() const;
    GroupGrid grid() const { return GroupGrid::FromCityMap(city_.map()); }
    const HeadlessCity &city() const { return city_; }

    // Held by whoever works on the run: a run is one city, and two threads must not move
    // its residents at once.
    std::mutex &busy() { return busy_; }

    // How many generations run between two calls of keepGoing.
    static constexpr std::int64_t CheckEvery = 256;

private:
    HeadlessCity city_;
    std::int64_t generation_ = 0;
    std::mutex busy_;
};
