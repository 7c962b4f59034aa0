// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fieldforms.h"

#include <QLocale>
#include <QString>

// The fields' forms in the user's locale: counts with its thousands separator, shares with
// its decimal point, the date in its short form (always with a four-digit year, so that
// every date up to 31 December 9999 reads back as itself).
class LocaleForms final : public FieldForms
{
public:
    explicit LocaleForms(const QLocale &locale = UserLocale());

    // The user's locale; a C/POSIX system locale is read as US English, so counts show
    // as 1,234 and the population as 70,225 there too.
    static QLocale UserLocale();
    static QLocale UserLocaleFor(const QLocale &system);

    // The locale's short date form with any two-digit year widened to four digits.
    static QString FourDigitYearFormat(const QLocale &locale);

    std::string FormatCount(double value) const override;
    std::string FormatPercent(double fraction) const override;
    std::string FormatPreference(double fraction) const override;
    std::optional<double> ReadNumber(std::string_view text) const override;
    std::string WriteDate(Date date) const override;
    std::optional<Date> ReadDate(std::string_view text) const override;

    const QLocale &locale() const { return locale_; }
    const QString &dateFormat() const { return dateFormat_; }

private:
    QLocale locale_;
    QLocale dateLocale_;
    QString dateFormat_;
};
