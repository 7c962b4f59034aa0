// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

// The simulated date as the Dayt field holds it: the user's short date form, but always
// with a four-digit year, so that every date up to 31 December 9999 reads back as itself
// (in Latin digits where the locale's own digits would not read back).
class DateText
{
public:
    explicit DateText(const QLocale &locale);

    QString Write(QDate date) const;
    // An invalid date when the text is not a date in this form.
    QDate Read(const QString &text) const;

    const QString &format() const { return format_; }

    // The locale's short form with any two-digit year widened to four digits.
    static QString FourDigitYearFormat(const QLocale &locale);

private:
    QLocale locale_;
    QString format_;
};
