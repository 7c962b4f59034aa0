// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The fixed constants of the city. There is no configuration: every value here is
// part of what the program demonstrates.

inline constexpr int MapSize = 265;                   // homes per side of the square city
inline constexpr int CellCount = MapSize * MapSize;   // 70,225 residents, one per home
inline constexpr int LastCell = MapSize - 1;          // highest coordinate of a home, 264

// A mover's home is drawn as a uniform number in [0, 1) times this span.
inline constexpr float DrawSpan = 264.0f;

inline constexpr int MovesPerGeneration = 192;        // residents who move each generation
inline constexpr int NeighbourReads = 8;              // a home has eight neighbours
inline constexpr int DaysPerGeneration = 8;

inline constexpr int RunningIntervalMs = 10;          // the clock while running
inline constexpr int PausedIntervalMs = 0;            // an interval of 0 delivers no ticks
