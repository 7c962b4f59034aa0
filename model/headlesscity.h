// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "citymap.h"
#include "citywindow.h"
#include "general.h"
#include "randomsource.h"

#include <QDate>
#include <QString>

#include <array>

// The city without a window, for runs that are measured rather than watched: the field
// texts are plain strings, repaints and visibility do nothing, and every construction is
// seeded with one fixed 32-bit seed. The model's procedures are the same ones the window
// runs, so a seed builds the city the window would show had its clock given that seed.
class HeadlessCity : public CityWindow
{
public:
    // Numbers are read and written as in US English, whatever the user's locale, so that a
    // run reads its preferences and reproduces the same way on every machine.
    explicit HeadlessCity(quint32 seed);

    General &general() { return general_; }
    const General &general() const { return general_; }
    quint32 seed() const { return seed_; }

    // Types the text into group g's preference field and confirms it, as a user would.
    void TypePreference(int group, const QString &text);
    QDate date() const;
    bool damaged() const { return damaged_; }

    // CityWindow
    QString text(Field field, int index = 0) const override;
    void setText(Field field, int index, const QString &text) override;
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
    QString *slot(Field field, int index);

    quint32 seed_;
    CityMap map_;
    RandomSource random_;
    General general_;
    bool damaged_ = false;

    QString dayt_;
    QString population_;
    GroupTable<QString> kount_;
    GroupTable<QString> prop_;
    GroupTable<QString> pref_;
};
