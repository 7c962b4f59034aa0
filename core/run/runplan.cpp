// SPDX-License-Identifier: GPL-3.0-or-later
#include "runplan.h"

#include "constants.h"

#include <cmath>

std::int64_t GenerationsForYears(double years)
{
    // A whole number of generations computed in floating point can land a hair above the
    // whole number (10 years of 8-day steps on a day count that is exact): such a hair is
    // not another generation.
    constexpr double Hair = 1e-9;
    return std::int64_t(std::ceil(years * RunLimits::DaysPerYear / DaysPerGeneration - Hair));
}

double YearsOfGeneration(std::int64_t generation)
{
    return double(generation) * DaysPerGeneration / RunLimits::DaysPerYear;
}

double MaxYears()
{
    return YearsOfGeneration(RunLimits::MaxGenerations);
}

double MaxYearsStated()
{
    constexpr double Tenths = 10;
    return std::floor(MaxYears() * Tenths) / Tenths;
}
