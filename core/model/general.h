// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar.h"
#include "choosehome.h"
#include "citymap.h"
#include "citywindow.h"
#include "fieldforms.h"
#include "groups.h"
#include "randomsource.h"

#include <cstdint>
#include <string>
#include <string_view>

// The eighths a preference text gives as the window reads it, starting from `current` (kept
// for a negative number), and the text the field then shows, in `forms`.
struct PreferenceReading
{
    std::int16_t eighths;
    std::string display;
};
PreferenceReading ReadPreferenceText(std::string_view text, std::int16_t current, const FieldForms &forms);

// The city model's procedures and the tables they share. One object per main window;
// a test creates a fresh one.
class General
{
public:
    // The window's fields show their numbers and dates in `forms`, which must outlive this.
    General(CityWindow &window, RandomSource &random, const FieldForms &forms);

    // Builds a new random city row by row, resetting the date, counts and shares.
    void BuildCity();

    // Reads the Pref field of one group, sets its preference and rewrites the field.
    void ApplyPreference(int index);

    // One generation: eight days pass and MovesPerGeneration residents move.
    void NextGeneration();

    // Each group's wish for neighbours of its own group, in eighths (0 to 8).
    PreferenceTable PrefEighths{};
    // Cumulative shares of the groups at construction.
    GroupTable<float> GroupShareCutoff{};

    // The generation tables; slots 1 to MovesPerGeneration describe the latest generation.
    SlotTable<float> VacantX{};
    SlotTable<float> VacantY{};
    SlotTable<GroupIndex> MoverGroup{};
    NeighbourCountTable NeighbourCount{};
    HomeTakenTable HomeTaken{};

    const FieldForms &forms() const { return forms_; }

    // ReadPreferenceText in this window's forms.
    PreferenceReading ReadPreference(std::string_view text, std::int16_t current) const;

private:
    void AdvanceDate();
    void IncrementCount(GroupIndex group);
    void ShowRowTotals();

    CityWindow &window_;
    RandomSource &random_;
    const FieldForms &forms_;
    // Where each slot's (VacantX, VacantY) lies in the map, so it is mapped only once.
    SlotTable<CityMap::Home> vacantHome_{};
    std::string lastDateText_;
    Date lastDate_{};
    struct CountText
    {
        std::string text;
        double count = 0;
    };
    GroupTable<CountText> lastCountText_{};
};
