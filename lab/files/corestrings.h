// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

// The core's texts are UTF-8 std::strings, the Lab's files and command line Qt's: the two
// meet here.
inline QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

inline QByteArray ToBytes(std::string_view text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

inline std::string ToStd(const QString &text)
{
    return text.toStdString();
}

inline QStringList ToQStringList(const std::vector<std::string> &texts)
{
    QStringList list;
    for (const std::string &text : texts)
        list << ToQString(text);
    return list;
}

inline std::vector<std::string> ToStdList(const QStringList &list)
{
    std::vector<std::string> texts;
    for (const QString &text : list)
        texts.push_back(text.toStdString());
    return texts;
}

inline QDate ToQDate(Date date)
{
    return date.ok() ? QDate(int(date.year()), int(unsigned(date.month())), int(unsigned(date.day()))) : QDate();
}
