// SPDX-License-Identifier: GPL-3.0-or-later
#include "randomsource.h"

#include <QTime>

#include <bit>
#include <utility>

RandomSource::RandomSource(TimeOfDay timeOfDay)
    : timeOfDay_(std::move(timeOfDay))
{
    ReseedFromTimeOfDay();
}

float RandomSource::NextSingle()
{
    // The top 24 bits fill a float's mantissa exactly, so the result never rounds up to 1.
    return FromStep(engine_() >> 8);
}

void RandomSource::ReseedFromTimeOfDay()
{
    Seed(timeOfDay_());
}

void RandomSource::Seed(float seconds)
{
    engine_.seed(std::bit_cast<quint32>(seconds));
}

float RandomSource::SystemTimeOfDay()
{
    return float(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}
