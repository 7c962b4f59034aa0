// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <random>

// Uniform single-precision numbers in [0, 1), never 1.0. Each number is a whole multiple
// of 2^-24, so every value it can give is known and can be checked exhaustively.
class RandomSource
{
public:
    static constexpr std::uint32_t Steps = 1u << 24;   // distinct values per draw

    // Seconds since midnight, with their fraction; the source reseeds from it.
    using TimeOfDay = std::function<float()>;

    explicit RandomSource(TimeOfDay timeOfDay = SystemTimeOfDay);
    // A source whose every reseeding uses this one seed: a recorded run, built again.
    static RandomSource WithSeed(std::uint32_t seed);

    float NextSingle()
    {
        // The top 24 bits fill a float's mantissa exactly, so the result never rounds up to 1.
        return FromStep(engine_() >> 8);
    }

    // Seeds from the time of day, so two cities started at different moments differ (or
    // from the fixed seed of a recorded run).
    void ReseedFromTimeOfDay();
    void Seed(float seconds);

    // The seed a time of day gives: the bits of the single-precision number of seconds.
    // A recorded run with this seed builds the city a window built at that moment.
    static std::uint32_t SeedOf(float seconds);

    // The draw that the k-th of the Steps possible raw values gives.
    static float FromStep(std::uint32_t k) { return float(k) * (1.0f / float(Steps)); }

    static float SystemTimeOfDay();

private:
    using SeedSource = std::function<std::uint32_t()>;
    explicit RandomSource(SeedSource seedSource, int);

    SeedSource seedSource_;
    std::mt19937 engine_;
};
