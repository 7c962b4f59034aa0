// SPDX-License-Identifier: GPL-3.0-or-later
#include "roundstep.h"

#include <cmath>
#include <initializer_list>

double RoundStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10.0 * power;
}
