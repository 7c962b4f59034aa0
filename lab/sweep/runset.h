// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A set of whole numbers below 2^32 (run ids, or places in a shard), kept in blocks of
// BlockSize consecutive numbers: a block that holds none of them costs nothing, one that
// holds all of them a few bytes, and one that holds some a bitmap of BlockSize bits. A
// shard writes its runs nearly in id order, so what it has done fills whole blocks but for
// the few runs in flight when it was stopped; its memory follows the blocks it has begun,
// never the size of the sweep.
class RunSet
{
public:
    static constexpr std::uint64_t BlockSize = 1 << 16;
    static constexpr std::uint64_t Limit = std::uint64_t(1) << 32;

    // False when the number was there already (or is not below Limit).
    bool insert(std::uint64_t n);
    bool contains(std::uint64_t n) const;
    std::uint64_t size() const { return size_; }
    // The least number from `from` on that is not in the set (Limit when there is none).
    std::uint64_t nextMissing(std::uint64_t from) const;
    // Bytes held, for the measurements of memory.
    std::size_t bytes() const;

private:
    struct Block
    {
        std::uint64_t first = 0;             // a multiple of BlockSize
        std::uint64_t count = 0;             // numbers held
        std::vector<std::uint64_t> bits;     // empty when full
    };
    // The block that would hold n: its position in blocks_, where it is or would go.
    std::size_t find(std::uint64_t first) const;

    std::vector<Block> blocks_;   // ascending
    std::uint64_t size_ = 0;
    // Where the last look-up ended, as numbers come nearly in order; so even reading the set
    // is for one thread at a time.
    mutable std::size_t last_ = 0;
};
