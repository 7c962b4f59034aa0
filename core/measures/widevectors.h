// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Marks a whole-number loop along a row to be built twice on x86-64 with GCC: for AVX2,
// whose vectors hold twice as many counts, and for any x86-64, the first call choosing the
// one this processor runs. The build stays one for every x86-64. Only for loops without
// floating point, so that the two give the same results to the bit.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__ELF__)
#define VELMORA_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define VELMORA_WIDE_VECTORS
#endif
