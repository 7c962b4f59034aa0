// SPDX-License-Identifier: GPL-3.0-or-later
#include "randomsource.h"

#include <QTime>

#include <bit>
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

RandomSource RandomSource::WithSeed(quint32 seed)
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

quint32 RandomSource::SeedOf(float seconds)
{
    return std::bit_cast<quint32>(seconds);
}

float RandomSource::SystemTimeOfDay()
{
    return float(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}
