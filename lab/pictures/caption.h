// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar.h"
#include "groups.h"

#include <QList>
#include <QRgb>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// What a picture of the map shows, for the strip under it: a frame pasted into slides
// still says when it is, which city and what each group wanted.
struct MapCaption
{
    Date date{};
    double years = 0;
    GroupTable<std::int16_t> prefEighths{};   // the preferences in force
    std::uint32_t seed = 0;
};

// The palette of a captioned picture: the map's palette (so a pixel of the map keeps its
// group's index), then shades from white to ink for the strip's antialiased text.
QList<QRgb> CaptionPalette();

// The strip's rows at a scale. Every length of the strip grows with the scale, so that a
// picture looks the same at every scale, only sharper.
int CaptionHeight(int scale);

// The strip as palette indices into CaptionPalette(), row by row, MapSize * scale wide.
// Fonts need a QGuiApplication on the application's thread; without one, nullopt and the
// reason.
std::optional<std::vector<uchar>> CaptionIndices(const MapCaption &caption, int scale, QString *reason);

// "3/8": a preference as the eighths of the neighbours it asks to be alike.
QString EighthsText(std::int16_t eighths);
// "4/8 for every group", or "Blue 4/8, Red 2/8, Green 2/8, Gray 4/8, Yellow 0/8".
QString PreferencesInWords(const GroupTable<std::int16_t> &eighths);
