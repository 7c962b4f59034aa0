// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>

#include <optional>

// The number texts of the main window: four display patterns and two ways of reading.
class NumberText
{
public:
    explicit NumberText(const QLocale &locale = UserLocale());

    // The user's locale; a C/POSIX system locale is read as US English, so counts show
    // as 1,234 and the population as 70,225 there too.
    static QLocale UserLocale();
    static QLocale UserLocaleFor(const QLocale &system);

    // "###,###": whole number with thousands separators; empty for zero.
    QString FormatCount(double value) const;
    // "Percent": times 100, exactly two decimals, a percent sign (0.005 is 0.50%).
    QString FormatPercent(double fraction) const;
    // "#.0%": times 100, one decimal, a percent sign, no digit before the point below 1 (".0%").
    QString FormatPreference(double fraction) const;
    // "#.####": at most four decimals, no thousands separators, no digit before the point
    // below 1. Always with "." as the point: the text is read back by ReadLeadingNumber.
    static QString FormatFourDecimals(double value);

    // The whole text as a number in the user's format (blanks around it, a sign, thousands
    // separators, decimals and an exponent allowed); nullopt if it is not wholly a number.
    std::optional<double> ReadNumber(const QString &text) const;

    // The number at the start of the text, "." as the point; blanks are skipped, reading
    // stops at the first character that cannot continue the number, and no number at all
    // gives 0. Too large a number gives an infinity, too small a one 0.
    static double ReadLeadingNumber(const QString &text);

    const QLocale &locale() const { return locale_; }

private:
    QLocale locale_;
};
