// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar.h"

#include "constants.h"

#include <cstdio>

Date DateAfterGeneration(Date today)
{
    // Only the generation step and construction write the date, so it is always a date;
    // should it ever not be, the calendar starts again rather than stopping.
    if (!today.ok() || today >= LastDayBeforeWrap)
        return FirstDay;
    return Date{std::chrono::sys_days{today} + std::chrono::days{DaysPerGeneration}};
}

long DayNumber(Date date)
{
    return long(std::chrono::sys_days{date}.time_since_epoch().count());
}

std::string IsoDate(Date date)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", int(date.year()), unsigned(date.month()),
                  unsigned(date.day()));
    return text;
}
