// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>

// The simulated date: a day of the (proleptic Gregorian) calendar.
using Date = std::chrono::year_month_day;

// Every new city starts on this date.
inline constexpr Date FirstDay{std::chrono::year{2005}, std::chrono::January, std::chrono::day{1}};
// The last date from which eight more days still fit in the calendar (31 December 9999).
inline constexpr Date LastDayBeforeWrap{std::chrono::year{9999}, std::chrono::December, std::chrono::day{24}};

// The date one generation after `today`: eight days on, or back to the first day when eight
// more days would pass 31 December 9999 (or `today` is not a date at all).
Date DateAfterGeneration(Date today);

// Days from 1 January 1970 (negative before it).
long DayNumber(Date date);

// "2005-01-01": ISO 8601, as data files write a date whatever the user's locale.
std::string IsoDate(Date date);
