// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar.h"
#include "citymap.h"
#include "constants.h"

#include <QDate>
#include <QImage>
#include <QString>

// The core's plain values as the Qt types the tests compare and print.
namespace QtBridge {

// A copy of the map's picture.
inline QImage Picture(const CityMap &map)
{
    return QImage(reinterpret_cast<const uchar *>(map.picture()), MapSize, MapSize, MapSize * int(sizeof(Rgb)),
                  QImage::Format_RGB32)
        .copy();
}

inline QDate ToQDate(Date date)
{
    if (!date.ok())
        return {};
    return QDate(int(date.year()), int(unsigned(date.month())), int(unsigned(date.day())));
}

inline Date FromQDate(QDate date)
{
    return Date{std::chrono::year{date.year()}, std::chrono::month{unsigned(date.month())},
                std::chrono::day{unsigned(date.day())}};
}

inline QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace QtBridge
