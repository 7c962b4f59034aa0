// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstring>

// The system's own words for an error number, in the locale the tests run in: the programs
// pass them on as the system says them.
inline QString SystemError(int number)
{
    return QString::fromLocal8Bit(std::strerror(number));
}
