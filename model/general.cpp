// SPDX-License-Identifier: GPL-3.0-or-later
#include "general.h"

General::General(CityWindow &window, RandomSource &random, const QLocale &locale)
    : window_(window)
    , random_(random)
    , numbers_(locale)
    , dates_(locale)
{
}
