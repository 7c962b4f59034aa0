// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "citymap.h"
#include "citywindow.h"

#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

// An in-memory main window: field texts, visibility and focus as plain values, and a
// log of the calls in the order the model made them.
class FakeCityWindow : public CityWindow
{
public:
    QHash<QPair<int, int>, QString> texts;
    QHash<int, bool> visible;
    int focused = -1;
    int windowRepaints = 0;
    int mapRepaints = 0;
    int interval = 10;
    int endings = 0;
    QStringList log;
    CityMap cityMap{RgbOf(240, 240, 240)};   // a window-face grey, no group's colour

    FakeCityWindow()
    {
        texts[key(Field::Dayt, 0)] = QStringLiteral("1/1/96");
        texts[key(Field::Population, 0)] = QStringLiteral("0");
        for (int g = 1; g <= 5; ++g) {
            texts[key(Field::Kount, g)] = QStringLiteral("0");
            texts[key(Field::Prop, g)] = QStringLiteral("0");
            texts[key(Field::Pref, g)] = QStringLiteral(".5");
        }
        for (int c = 0; c <= int(Control::StartOver); ++c)
            visible[c] = true;
    }

    static QPair<int, int> key(Field field, int index)
    {
        const bool single = field == Field::Dayt || field == Field::Population;
        return {int(field), single ? 0 : index};
    }

    // The field as a QString, for comparisons in tests.
    QString field(Field field, int index = 0) const { return texts.value(key(field, index)); }
    void setField(Field field, int index, const QString &text) { texts[key(field, index)] = text; }

    std::string text(Field field, int index = 0) const override { return texts.value(key(field, index)).toStdString(); }
    void setText(Field field, int index, std::string_view text) override
    {
        texts[key(field, index)] = QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    void setControlVisible(Control control, bool shown) override
    {
        visible[int(control)] = shown;
        log << QStringLiteral("%1 %2").arg(shown ? "show" : "hide").arg(int(control));
    }
    void giveFocus(Control control) override
    {
        focused = int(control);
        log << QStringLiteral("focus %1").arg(int(control));
    }
    void repaintWindow() override { ++windowRepaints; }
    void repaintMap() override { ++mapRepaints; }
    CityMap &map() override { return cityMap; }
    void setTimerInterval(int milliseconds) override { interval = milliseconds; }
    void showWindow() override { log << QStringLiteral("showWindow"); }
    void endAtOnce() override { ++endings; }

    bool isVisible(Control control) const { return visible.value(int(control)); }
};
