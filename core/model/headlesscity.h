// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar.h"
#include "citymap.h"
#include "citywindow.h"
#include "general.h"
#include "randomsource.h"
#include "usenglishforms.h"

#include <cstdint>
#include <string>
#include <string_view>

// The city without a window, for runs that are measured rather than watched: the field
// texts are plain strings, repaints and visibility do nothing, and every construction is
// seeded with one fixed 32-bit seed. The model's procedures are the same ones the window
// runs, so a seed builds the city the window would show had its clock given that seed.
class HeadlessCity : public CityWindow
{
public:
    // Numbers are read and written as in US English, whatever the user's locale, so that a
    // run reads its preferences and reproduces the same way on every machine.
    explicit HeadlessCity(std::uint32_t seed);
    HeadlessCity(const HeadlessCity &) = delete;
    HeadlessCity &operator=(const HeadlessCity &) = delete;

    General &general() { return general_; }
    const General &general() const { return general_; }
    std::uint32_t seed() const { return seed_; }

    // Types the text into group g's preference field and confirms it, as a user would.
    void TypePreference(int group, std::string_view text);
    // The date the Dayt field shows; only the model writes it, so it always reads back.
    Date date() const;
    bool damaged() const { return damaged_; }

    // CityWindow
    std::string text(Field field, int index = 0) const override;
    void setText(Field field, int index, std::string_view text) override;
    void setControlVisible(Control, bool) override {}
    void giveFocus(Control) override {}
    void repaintWindow() override {}
    void repaintMap() override {}
    CityMap &map() override { return map_; }
    const CityMap &map() const { return map_; }
    void setTimerInterval(int) override {}
    void showWindow() override {}
    // No process is ended for a headless city: the run sees damaged() and stops.
    void endAtOnce() override { damaged_ = true; }

private:
    std::string *slot(Field field, int index);
    const std::string *slot(Field field, int index) const
    {
        return const_cast<HeadlessCity *>(this)->slot(field, index);
    }

    std::uint32_t seed_;
    UsEnglishForms forms_;
    CityMap map_;
    RandomSource random_;
    General general_;
    bool damaged_ = false;

    std::string dayt_;
    std::string population_;
    GroupTable<std::string> kount_;
    GroupTable<std::string> prop_;
    GroupTable<std::string> pref_;
};
