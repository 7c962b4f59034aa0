// SPDX-License-Identifier: GPL-3.0-or-later
#include "randomsource.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <utility>

RandomSource::RandomSource(TimeOfDay timeOfDay)
    : RandomSource([timeOfDay = std::move(timeOfDay)] { return SeedOf(timeOfDay()); }, 0)
{
}

RandomSource::RandomSource(SeedSource seedSource, int)
    : seedSource_(std::move(seedSource))
{
    ReseedFromTimeOfDay();
}

RandomSource RandomSource::WithSeed(std::uint32_t seed)
{
    return RandomSource([seed] { return seed; }, 0);
}

void RandomSource::ReseedFromTimeOfDay()
{
    engine_.seed(seedSource_());
}

void RandomSource::Seed(float seconds)
{
    engine_.seed(SeedOf(seconds));
}

std::uint32_t RandomSource::SeedOf(float seconds)
{
    static_assert(sizeof(float) == sizeof(std::uint32_t));
    std::uint32_t bits = 0;
    std::memcpy(&bits, &seconds, sizeof bits);
    return bits;
}

float RandomSource::SystemTimeOfDay()
{
    // Local time, to the millisecond.
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    const long sinceMidnight = (long(local.tm_hour) * 3600 + local.tm_min * 60 + local.tm_sec) * 1000 + long(millis);
    return float(sinceMidnight) / 1000.0f;
}
