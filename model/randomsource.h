// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <functional>
#include <random>

// Uniform single-precision numbers in [0, 1), never 1.0. Each number is a whole multiple
// of 2^-24, so every value it can give is known and can be checked exhaustively.
class RandomSource
{
public:
    static constexpr quint32 Steps = 1u << 24;   // distinct values per draw

    // Seconds since midnight, with their fraction; the source reseeds from it.
    using TimeOfDay = std::function<float()>;

    explicit RandomSource(TimeOfDay timeOfDay = SystemTimeOfDay);

    float NextSingle();

    // Seeds from the time of day, so two cities started at different moments differ.
    void ReseedFromTimeOfDay();
    void Seed(float seconds);

    // The draw that the k-th of the Steps possible raw values gives.
    static float FromStep(quint32 k) { return float(k) * (1.0f / float(Steps)); }

    static float SystemTimeOfDay();

private:
    TimeOfDay timeOfDay_;
    std::mt19937 engine_;
};
