// SPDX-License-Identifier: GPL-3.0-or-later
#include "localeforms.h"

#include "numbertext.h"

#include <QDate>

namespace {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QDate ToQDate(Date date)
{
    return QDate(int(date.year()), int(unsigned(date.month())), int(unsigned(date.day())));
}

bool ReadsBack(const QLocale &locale, const QString &format)
{
    for (QDate date : {QDate(2005, 1, 1), QDate(2023, 11, 28), QDate(9999, 12, 31)}) {
        if (locale.toDate(locale.toString(date, format), format) != date)
            return false;
    }
    return true;
}

} // namespace

LocaleForms::LocaleForms(const QLocale &locale)
    : locale_(locale)
    , dateLocale_(locale)
    , dateFormat_(FourDigitYearFormat(locale))
{
    // Qt writes the digits of some locales (those outside the Basic Multilingual Plane,
    // such as Chakma's) but cannot read them back; the clock would then start again at
    // every generation. Such a locale keeps its date order, in Latin digits.
    if (!ReadsBack(dateLocale_, dateFormat_))
        dateLocale_ = QLocale::c();
}

QLocale LocaleForms::UserLocale()
{
    return UserLocaleFor(QLocale::system());
}

QLocale LocaleForms::UserLocaleFor(const QLocale &system)
{
    if (system.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return system;
}

QString LocaleForms::FourDigitYearFormat(const QLocale &locale)
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

std::string LocaleForms::FormatCount(double value) const
{
    const qint64 whole = qRound64(value);
    if (whole == 0)
        return {};
    return locale_.toString(whole).toStdString();
}

std::string LocaleForms::FormatPercent(double fraction) const
{
    return (locale_.toString(fraction * 100.0, 'f', 2) + QLatin1Char('%')).toStdString();
}

std::string LocaleForms::FormatPreference(double fraction) const
{
    // Latin digits in every locale: the field is read back with ReadLeadingNumber, and
    // its whole part alone already gives back the same eighths.
    QString text = QString::number(fraction * 100.0, 'f', 1);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    text.replace(QLatin1Char('.'), locale_.decimalPoint());
    return (text + QLatin1Char('%')).toStdString();
}

std::optional<double> LocaleForms::ReadNumber(std::string_view text) const
{
    bool ok = false;
    const double value = locale_.toDouble(FromUtf8(text).trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::string LocaleForms::WriteDate(Date date) const
{
    return dateLocale_.toString(ToQDate(date), dateFormat_).toStdString();
}

std::optional<Date> LocaleForms::ReadDate(std::string_view text) const
{
    const QDate date = dateLocale_.toDate(FromUtf8(text), dateFormat_);
    if (!date.isValid())
        return std::nullopt;
    return Date{std::chrono::year{date.year()}, std::chrono::month{unsigned(date.month())},
                std::chrono::day{unsigned(date.day())}};
}
