// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "choosehome.h"
#include "citymap.h"
#include "citywindow.h"
#include "datetext.h"
#include "groups.h"
#include "numbertext.h"
#include "randomsource.h"

// The city model's procedures and the tables they share. One object per main window;
// a test creates a fresh one.
class General
{
public:
    General(CityWindow &window, RandomSource &random, const QLocale &locale = NumberText::UserLocale());

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

    // The date one generation after `today`: eight days on, or back to the first day when
    // eight more days would pass 31 December 9999.
    static QDate DateAfterGeneration(QDate today);

    const NumberText &numberText() const { return numbers_; }
    const DateText &dateText() const { return dates_; }

    // The eighths a preference text gives, starting from `current` (kept for a negative
    // number), and the text the field then shows.
    struct PreferenceReading
    {
        qint16 eighths;
        QString display;
    };
    PreferenceReading ReadPreference(const QString &text, qint16 current) const;

private:
    void AdvanceDate();
    void IncrementCount(GroupIndex group);
    void ShowRowTotals();

    CityWindow &window_;
    RandomSource &random_;
    NumberText numbers_;
    DateText dates_;
    // Where each slot's (VacantX, VacantY) lies in the map, so it is mapped only once.
    SlotTable<CityMap::Home> vacantHome_{};
    QString lastDateText_;
    QDate lastDate_;
    struct CountText
    {
        QString text;
        double count = 0;
    };
    GroupTable<CountText> lastCountText_{};
};
