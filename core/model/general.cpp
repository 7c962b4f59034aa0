// SPDX-License-Identifier: GPL-3.0-or-later
#include "general.h"

General::General(CityWindow &window, RandomSource &random, const FieldForms &forms)
    : window_(window)
    , random_(random)
    , forms_(forms)
{
}
