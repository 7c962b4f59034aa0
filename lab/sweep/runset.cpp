// SPDX-License-Identifier: GPL-3.0-or-later
#include "runset.h"

#include <algorithm>
#include <bit>

namespace {

constexpr std::uint64_t Words = RunSet::BlockSize / 64;

} // namespace

std::size_t RunSet::find(std::uint64_t first) const
{
    // Most look-ups are of the block of the last one, or the next.
    for (std::size_t at : {last_, last_ + 1}) {
        if (at < blocks_.size() && blocks_[at].first == first)
            return last_ = at;
    }
    const auto it = std::lower_bound(blocks_.begin(), blocks_.end(), first,
                                     [](const Block &block, std::uint64_t value) { return block.first < value; });
    return last_ = std::size_t(it - blocks_.begin());
}

bool RunSet::insert(std::uint64_t n)
{
    if (n >= Limit)
        return false;
    const std::uint64_t first = n - n % BlockSize;
    const std::size_t at = find(first);
    if (at == blocks_.size() || blocks_[at].first != first) {
        Block block;
        block.first = first;
        block.bits.assign(Words, 0);
        blocks_.insert(blocks_.begin() + std::ptrdiff_t(at), std::move(block));
    }
    Block &block = blocks_[at];
    if (block.count == BlockSize)
        return false;
    const std::uint64_t offset = n - first;
    std::uint64_t &word = block.bits[offset / 64];
    const std::uint64_t mask = std::uint64_t(1) << (offset % 64);
    if (word & mask)
        return false;
    word |= mask;
    ++size_;
    if (++block.count == BlockSize)
        std::vector<std::uint64_t>().swap(block.bits);
    return true;
}

bool RunSet::contains(std::uint64_t n) const
{
    if (n >= Limit)
        return false;
    const std::uint64_t first = n - n % BlockSize;
    const std::size_t at = find(first);
    if (at == blocks_.size() || blocks_[at].first != first)
        return false;
    const Block &block = blocks_[at];
    if (block.count == BlockSize)
        return true;
    const std::uint64_t offset = n - first;
    return (block.bits[offset / 64] >> (offset % 64)) & 1;
}

std::uint64_t RunSet::nextMissing(std::uint64_t from) const
{
    while (from < Limit) {
        const std::uint64_t first = from - from % BlockSize;
        const std::size_t at = find(first);
        if (at == blocks_.size() || blocks_[at].first != first)
            return from;
        const Block &block = blocks_[at];
        if (block.count < BlockSize) {
            for (std::uint64_t w = (from - first) / 64; w < Words; ++w) {
                // The zeros of this word at or after `from`.
                std::uint64_t free = ~block.bits[w];
                const std::uint64_t base = first + w * 64;
                if (base < from)
                    free &= ~std::uint64_t(0) << (from - base);
                if (free)
                    return base + std::uint64_t(std::countr_zero(free));
            }
        }
        from = first + BlockSize;
    }
    return Limit;
}

std::size_t RunSet::bytes() const
{
    std::size_t total = sizeof *this + blocks_.capacity() * sizeof(Block);
    for (const Block &block : blocks_)
        total += block.bits.capacity() * sizeof(std::uint64_t);
    return total;
}
