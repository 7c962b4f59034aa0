// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calendar.h"

#include <optional>
#include <string>
#include <string_view>

// The forms in which the main window's fields show numbers and dates, and read them back:
// the user's own on the desktop, US English wherever a run must read the same on every
// machine (UsEnglishForms). Texts are UTF-8.
class FieldForms
{
public:
    virtual ~FieldForms() = default;

    // "###,###": whole number with thousands separators; empty for zero.
    virtual std::string FormatCount(double value) const = 0;
    // "Percent": times 100, exactly two decimals, a percent sign (0.005 is 0.50%).
    virtual std::string FormatPercent(double fraction) const = 0;
    // "#.0%": times 100, one decimal, a percent sign, no digit before the point below 1 (".0%").
    virtual std::string FormatPreference(double fraction) const = 0;

    // The whole text as a number (blanks around it, a sign, thousands separators, decimals
    // and an exponent allowed); nullopt if it is not wholly a number.
    virtual std::optional<double> ReadNumber(std::string_view text) const = 0;

    // The date as the Dayt field shows it, and back; nullopt for a text not in this form.
    virtual std::string WriteDate(Date date) const = 0;
    virtual std::optional<Date> ReadDate(std::string_view text) const = 0;
};
