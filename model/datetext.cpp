// SPDX-License-Identifier: GPL-3.0-or-later
#include "datetext.h"

namespace {

bool ReadsBack(const QLocale &locale, const QString &format)
{
    for (QDate date : {QDate(2005, 1, 1), QDate(2023, 11, 28), QDate(9999, 12, 31)}) {
        if (locale.toDate(locale.toString(date, format), format) != date)
            return false;
    }
    return true;
}

} // namespace

DateText::DateText(const QLocale &locale)
    : locale_(locale)
    , format_(FourDigitYearFormat(locale))
{
    // Qt writes the digits of some locales (those outside the Basic Multilingual Plane,
    // such as Chakma's) but cannot read them back; the clock would then start again at
    // every generation. Such a locale keeps its date order, in Latin digits.
    if (!ReadsBack(locale_, format_))
        locale_ = QLocale::c();
}

QString DateText::Write(QDate date) const
{
    return locale_.toString(date, format_);
}

QDate DateText::Read(const QString &text) const
{
    return locale_.toDate(text, format_);
}

QString DateText::FourDigitYearFormat(const QLocale &locale)
{
    const QString shortForm = locale.dateFormat(QLocale::ShortFormat);
    QString widened;
    bool inQuote = false;
    for (qsizetype i = 0; i < shortForm.size();) {
        const QChar c = shortForm[i];
        if (c == QLatin1Char('\'')) {
            inQuote = !inQuote;
            widened += c;
            ++i;
        } else if (!inQuote && c == QLatin1Char('y')) {
            while (i < shortForm.size() && shortForm[i] == QLatin1Char('y'))
                ++i;
            widened += QLatin1String("yyyy");
        } else {
            widened += c;
            ++i;
        }
    }
    return widened;
}
