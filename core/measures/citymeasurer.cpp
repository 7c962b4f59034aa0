// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymeasurer.h"

#include "borderedgrid.h"
#include "clusterfinder.h"
#include "lanes.h"
#include "widevectors.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// The eight neighbours of a home are its square of radius 1 without the home itself.
constexpr int NeighbourRadius = 1;
constexpr int MostNeighbours = 8;
static_assert(SpatialRadii.front() == NeighbourRadius, "the neighbour counts come from the first squares");

// The counts of a square or tract, one byte per group (byte 0: empty homes) and one more
// for all residents, in one word, so that counts of whole squares add and subtract as single
// numbers. The arithmetic wraps, and a result is exact as long as every true count it stands
// for fits its byte.
using Packed = std::uint64_t;

constexpr int FieldBits = 8;
constexpr Packed FieldMask = 0xff;
constexpr int ResidentsField = GroupCount + 1;
constexpr int LargestSquare = (2 * LargestRadius + 1) * (2 * LargestRadius + 1);
static_assert(LargestSquare <= int(FieldMask) && TractSide * TractSide <= LargestSquare);
static_assert((ResidentsField + 1) * FieldBits <= 64);

constexpr std::array<Packed, OffGrid + 1> OneHot = [] {
    std::array<Packed, OffGrid + 1> table{};   // an off-grid home counts nowhere
    table[NoGroup] = 1;
    for (int g = 1; g <= GroupCount; ++g)
        table[g] = (Packed(1) << (FieldBits * g)) + (Packed(1) << (FieldBits * ResidentsField));
    return table;
}();

int Field(Packed counts, int field)
{
    return int((counts >> (FieldBits * field)) & FieldMask);
}

int Residents(Packed counts) { return Field(counts, ResidentsField); }
int Homes(Packed counts) { return Field(counts, NoGroup) + Residents(counts); }

// c ln c, ln c and 1 / c for every count a byte can hold, for the entropies; and c ln c +
// d ln d for two neighbouring bytes read together as the number c + 256 d, so that one
// look-up serves two groups.
constexpr size_t PairEntries = (FieldMask + 1) * (LargestSquare + 1);

struct LogTables
{
    std::array<double, FieldMask + 1> countLogCount{};
    std::array<double, FieldMask + 1> log{};
    std::array<double, FieldMask + 1> inverse{};
    std::vector<double> pairCountLogCount = std::vector<double>(PairEntries);
};

const LogTables &Logs()
{
    static const LogTables tables = [] {
        LogTables t;
        for (size_t c = 1; c <= FieldMask; ++c) {
            t.log[c] = std::log(double(c));
            t.countLogCount[c] = double(c) * t.log[c];
            t.inverse[c] = 1.0 / double(c);
        }
        for (size_t i = 0; i < PairEntries; ++i)
            t.pairCountLogCount[i] = t.countLogCount[i & FieldMask] + t.countLogCount[i >> FieldBits];
        return t;
    }();
    return tables;
}

// Where in a packed word in memory a group's byte lies, and the two bytes of a group and
// the next, to be read as one 16-bit number with the lower group's count in its low byte.
constexpr int ByteOf(int group)
{
    return std::endian::native == std::endian::little ? group : int(sizeof(Packed)) - 1 - group;
}
constexpr int PairOf(int group)
{
    return std::min(ByteOf(group), ByteOf(group + 1));
}

// Sum over groups of c ln c for the residents counted in `counts`, group by group or two at a
// time, the counts read straight from memory. Forced inline, as GCC would leave this and
// LocalEntropy as calls in the innermost loop.
template <size_t... Pair>
[[gnu::always_inline]] inline double CountLogCountSum(const LogTables &logs, const Packed &counts,
                                                      std::index_sequence<Pair...>)
{
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(&counts);
    auto pair = [&](int group) {
        std::uint16_t both;
        std::memcpy(&both, bytes + PairOf(group), sizeof both);
        return logs.pairCountLogCount[both];
    };
    double sum = (pair(2 * int(Pair) + 1) + ...);
    if constexpr (GroupCount % 2 == 1)
        sum += logs.countLogCount[bytes[ByteOf(GroupCount)]];
    return sum;
}

[[gnu::always_inline]] inline double CountLogCountSum(const LogTables &logs, const Packed &counts)
{
    return CountLogCountSum(logs, counts, std::make_index_sequence<GroupCount / 2>());
}

// The squares of radius r around the homes of a row, from the sums of the rows r below it
// and r + 1 above it. The three never overlap, which spares a check for it on every row.
VELMORA_WIDE_VECTORS
void SquaresOfRow(Packed *__restrict squares, const Packed *__restrict bottom, const Packed *__restrict top, int r,
                  int width)
{
    for (int x = 0; x < width; ++x)
        squares[x] = bottom[x + r] - top[x + r] - bottom[x - r - 1] + top[x - r - 1];
}

// The squares of every radius of SpatialRadii around each home of one row after another,
// clipped to the grid: each the difference of four sums over rectangles from the top left
// corner (a summed-area table), of which only the rows the largest square spans are kept.
// The sums overflow their bytes, but as the arithmetic wraps, a square's counts come out
// exact.
class SquareSweep
{
public:
    // Starts above the first row of the grid.
    void Start(const BorderedGrid &grid)
    {
        grid_ = &grid;
        stride_ = size_t(grid.width()) + 2 * Border + 1;
        row_ = -1;
        sums_.assign(RingRows * stride_, 0);
        for (int y = -LargestRadius - 1; y < LargestRadius; ++y)
            FillRow(y);
        for (std::vector<Packed> &squares : squares_)
            squares.assign(size_t(grid.width()), 0);
    }

    // Moves on to the next row, the first time to row 0.
    void Advance()
    {
        ++row_;
        FillRow(row_ + LargestRadius);
        const int width = grid_->width();   // read once: the stores below might alias it
        for (size_t i = 0; i < SpatialRadii.size(); ++i) {
            const int r = SpatialRadii[i];
            const Packed *bottom = Row(row_ + r);
            const Packed *top = Row(row_ - r - 1);
            SquaresOfRow(squares_[i].data(), bottom, top, r, width);
        }
    }

    // The counts of the squares of radius SpatialRadii[i] around the homes of the row.
    const Packed *squares(size_t i) const { return squares_[i].data(); }

    // The counts of the rectangle of columns x0 to x1 and rows y0 to y1, clipped to the grid,
    // for rows no further below the current one than the largest square reaches.
    Packed RectangleCounts(int x0, int y0, int x1, int y1)
    {
        const Packed *bottom = Row(y1);
        const Packed *top = Row(y0 - 1);
        return bottom[x1] - top[x1] - bottom[x0 - 1] + top[x0 - 1];
    }

private:
    // Enough rows for the largest square and the row above it.
    static constexpr int RingRows = 16;
    static_assert(RingRows >= 2 * LargestRadius + 2 && (RingRows & (RingRows - 1)) == 0);

    // The sums over rows up to y and columns up to x, for x from -Border - 1.
    Packed *Row(int y) { return sums_.data() + size_t((y + RingRows) & (RingRows - 1)) * stride_ + Border + 1; }

    void FillRow(int y)
    {
        Packed *sums = Row(y);
        if (y < -Border) {   // above the border, where nothing counts
            std::fill_n(sums - Border - 1, stride_, 0);
            return;
        }
        const Packed *above = Row(y - 1);
        const std::uint8_t *cells = grid_->row(y);
        const int end = grid_->width() + Border;
        Packed rowSum = 0;
#pragma GCC unroll 4
        for (int x = -Border; x < end; ++x) {
            rowSum += OneHot[cells[x]];
            sums[x] = above[x] + rowSum;
        }
    }

    const BorderedGrid *grid_ = nullptr;
    size_t stride_ = 0;
    int row_ = -1;
    std::vector<Packed> sums_;
    std::array<std::vector<Packed>, SpatialRadii.size()> squares_;
};

// The entropy of the residents' groups in a square, of n residents: ln n - (sum of c ln c) / n.
[[gnu::always_inline]] inline double LocalEntropy(const LogTables &logs, const Packed &square, int n)
{
    return logs.log[n] - CountLogCountSum(logs, square) * logs.inverse[n];
}

// The local entropy of a whole square of radius 1 inside a map without empty homes (nine
// residents), for every composition, computed by LocalEntropy itself so that it is the same
// double. It is indexed by the counts of groups 1 and 2 and of groups 3 and 4, each pair read
// from memory as one 16-bit number and numbered among the pairs that fit in nine (the second
// number ready multiplied); group 5 holds the rest.
class FullSquareEntropies
{
public:
    static constexpr int Homes = (2 * NeighbourRadius + 1) * (2 * NeighbourRadius + 1);
    static_assert(GroupCount == 5, "two pairs of groups and the rest");

    explicit FullSquareEntropies(const LogTables &logs)
    {
        std::array<std::pair<int, int>, Pairs> pairs{};
        int next = 0;
        for (int low = 0; low <= Homes; ++low) {
            for (int high = 0; low + high <= Homes; ++high) {
                firstPair_[size_t(low + (high << FieldBits))] = std::uint16_t(next);
                secondPair_[size_t(low + (high << FieldBits))] = std::uint16_t(Pairs * next);
                pairs[size_t(next++)] = {low, high};
            }
        }
        for (int first = 0; first < Pairs; ++first) {
            for (int second = 0; second < Pairs; ++second) {
                const auto [c1, c2] = pairs[size_t(first)];
                const auto [c3, c4] = pairs[size_t(second)];
                const int c5 = Homes - c1 - c2 - c3 - c4;
                if (c5 < 0)
                    continue;
                const std::array<int, GroupCount + 1> counts = {0, c1, c2, c3, c4, c5};
                Packed square = Packed(Homes) << (FieldBits * ResidentsField);
                for (int g = 1; g <= GroupCount; ++g)
                    square += Packed(counts[size_t(g)]) << (FieldBits * g);
                entropies_[size_t(first + Pairs * second)] = LocalEntropy(logs, square, Homes);
            }
        }
    }

    [[gnu::always_inline]] double operator()(const Packed &square) const
    {
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(&square);
        std::uint16_t low, high;
        std::memcpy(&low, bytes + PairOf(1), sizeof low);
        std::memcpy(&high, bytes + PairOf(3), sizeof high);
        return entropies_[size_t(firstPair_[low]) + secondPair_[high]];
    }

private:
    static constexpr int Pairs = (Homes + 1) * (Homes + 2) / 2;
    static constexpr size_t PairWords = Homes + (Homes << FieldBits) + 1;
    std::array<std::uint16_t, PairWords> firstPair_{};
    std::array<std::uint16_t, PairWords> secondPair_{};
    std::array<double, Pairs * Pairs> entropies_{};
};

// Everything the measures of neighbours and of local environments sum over the residents,
// gathered in one pass along each row. Residents are counted by group, homes in their square
// of radius 1 and residents of their group in it; the neighbour measures follow from these
// counts, whatever the preferences. Inside a map without empty homes every square of radius 1
// holds nine residents, and a home there takes a shorter way: one count, and its entropy at
// radius 1 by one look-up.
class ResidentSums
{
public:
    void Clear()
    {
        for (auto &byHomes : tallies_)
            for (auto &bySame : byHomes)
                bySame.fill(0);
        fullTallies_.fill(0);
        aroundResidents_ = 0;
        localEntropy_.fill(0.0);
    }

    // Rows of a map without empty homes: every home but the first and the last of a row with
    // homes above and below it has nine residents around it (Full), and so does every square
    // of every radius of a row at least LargestRadius rows and homes from the edges (Whole).
    enum class RowKind { Mixed, Full, Whole };

    void AddRow(const LogTables &logs, const FullSquareEntropies &fullEntropies, const std::uint8_t *cells,
                const SquareSweep &sweep, int width, RowKind kind)
    {
        std::array<const Packed *, SpatialRadii.size()> squares{};
        for (size_t i = 0; i < SpatialRadii.size(); ++i)
            squares[i] = sweep.squares(i);
        // The row's sums in locals, which stay in registers where members would not.
        std::array<double, SpatialRadii.size()> entropy{};
        std::int64_t around = 0;
        auto anyHome = [&](int x) {
            const int g = cells[x];
            if (g == NoGroup)
                return;
            const Packed &neighbourhood = squares[0][x];
            const int n = Residents(neighbourhood);
            ++tallies_[size_t(g)][size_t(Homes(neighbourhood))][size_t(Field(neighbourhood, g))];
            around += n;
            entropy[0] += LocalEntropy(logs, neighbourhood, n);
            for (size_t i = 1; i < SpatialRadii.size(); ++i)
                entropy[i] += LocalEntropy(logs, squares[i][x], Residents(squares[i][x]));
        };
        // A home inside a map without empty homes; `Whole`: its squares of every radius lie
        // on the map, so that their numbers of residents are known. It counts in the given
        // lane of fullTallies_.
        std::int32_t *fullTallies = fullTallies_.data();   // a local pointer: see above
        auto fullHome = [&]<bool Whole>(int x, size_t lane) {
            const size_t g = cells[x];
            const Packed &neighbourhood = squares[0][x];
            const std::uint8_t own = reinterpret_cast<const std::uint8_t *>(&neighbourhood)[ByteOf(int(g))];
            ++fullTallies[LaneSlots * lane + SameSlots * g + own];
            entropy[0] += fullEntropies(neighbourhood);
            for (size_t i = 1; i < SpatialRadii.size(); ++i) {
                const int side = 2 * SpatialRadii[i] + 1;
                entropy[i] += LocalEntropy(logs, squares[i][x], Whole ? side * side : Residents(squares[i][x]));
            }
        };
        if (kind == RowKind::Mixed || width <= 2) {
            for (int x = 0; x < width; ++x)
                anyHome(x);
        } else {
            anyHome(0);
            const bool whole = kind == RowKind::Whole && width > 2 * LargestRadius;
            const int wholeFrom = whole ? LargestRadius : width - 1;
            const int wholeTo = whole ? width - LargestRadius : width - 1;
            for (int x = 1; x < wholeFrom; ++x)
                fullHome.template operator()<false>(x, 0);
            ForEachInLanes(wholeFrom, wholeTo, [&](int x, size_t lane) { fullHome.template operator()<true>(x, lane); });
            for (int x = std::max(wholeTo, 1); x < width - 1; ++x)
                fullHome.template operator()<false>(x, 0);
            around += std::int64_t(FullSquareEntropies::Homes) * (width - 2);
            anyHome(width - 1);
        }
        for (size_t i = 0; i < SpatialRadii.size(); ++i)
            localEntropy_[i] += entropy[i];
        aroundResidents_ += around;
    }

    // Of the residents of each group: their neighbours of the same group, the dissatisfied,
    // and the sum of same-group neighbours / neighbours. prefEighths[g] is group g's
    // preference in eighths: a resident with fewer neighbours of its group is dissatisfied.
    void Finish(const GroupTable<std::int16_t> &prefEighths)
    {
        for (int g = 1; g <= GroupCount; ++g) {
            Group &group = groups_[size_t(g)];
            group = {};
            // same + 1, itself included, is at most the preference
            const int dissatisfiedUpTo = std::clamp<int>(prefEighths[size_t(g)], 0, MostNeighbours + 1);
            for (int homes = 1; homes <= MostHomes; ++homes) {
                for (int own = 1; own <= homes; ++own) {
                    std::int64_t count = tallies_[size_t(g)][size_t(homes)][size_t(own)];
                    for (size_t lane = 0; homes == MostHomes && lane < TallyLanes; ++lane)
                        count += fullTallies_[LaneSlots * lane + size_t(SameSlots * g + own)];
                    group.residents += count;
                    group.sameAndSelf += own * count;
                    group.dissatisfied += own <= dissatisfiedUpTo ? count : 0;
                }
            }
        }
    }

    std::int64_t residents(int group) const { return groups_[size_t(group)].residents; }

    // Of the residents of a group: their neighbours of the same group, and the dissatisfied.
    std::int64_t same(int group, std::int64_t residents) const { return groups_[size_t(group)].sameAndSelf - residents; }
    std::int64_t dissatisfied(int group) const { return groups_[size_t(group)].dissatisfied; }

    // Sum over the residents of a group of same-group neighbours / neighbours: eight
    // neighbours each, corrected for the homes on the edges of the map, which have fewer.
    double sameShareSum(int group, std::int64_t residents) const
    {
        double sum = double(same(group, residents)) / MostNeighbours;
        for (int n = 1; n < MostNeighbours; ++n) {
            std::int64_t edgeSame = 0;
            for (int k = 0; k <= n; ++k)
                edgeSame += k * std::int64_t(tallies_[size_t(group)][size_t(n + 1)][size_t(k + 1)]);
            sum += double(edgeSame) / n - double(edgeSame) / MostNeighbours;
        }
        return sum;
    }

    // Ordered pairs of neighbouring residents.
    std::int64_t residentPairs(std::int64_t residents) const { return aroundResidents_ - residents; }

    // Sum over the residents of the entropy of the square of radius SpatialRadii[i] around each.
    double localEntropy(size_t i) const { return localEntropy_[i]; }

private:
    static constexpr int MostHomes = MostNeighbours + 1;
    static constexpr int SameSlots = 16;   // per group in fullTallies_, a power of two above MostHomes
    // Neighbouring homes count in different copies of fullTallies_: on a map of enclaves they
    // mostly raise the same count.
    static constexpr size_t TallyLanes = Lanes;
    static constexpr size_t LaneSlots = SameSlots * (GroupCount + 1);

    struct Group
    {
        std::int64_t residents = 0;
        std::int64_t sameAndSelf = 0;   // same-group neighbours, plus one for each resident
        std::int64_t dissatisfied = 0;
    };
    // Residents by [group][homes in the square of radius 1][residents of the group in it].
    GroupTable<std::array<std::array<std::int32_t, MostHomes + 1>, MostHomes + 1>> tallies_{};
    // The same for the homes with full squares, [SameSlots * group + residents of the group].
    std::array<std::int32_t, TallyLanes * LaneSlots> fullTallies_{};
    GroupTable<Group> groups_{};
    std::int64_t aroundResidents_ = 0;      // residents in the squares of radius 1 around the residents
    std::array<double, SpatialRadii.size()> localEntropy_{};
};

// The counts of the tracts of TractSide x TractSide homes, row by row, partial ones at the
// right and bottom.
class Tracts
{
public:
    void Start(const GroupGrid &grid)
    {
        across_ = (grid.width() + TractSide - 1) / TractSide;
        counts_.resize(size_t(across_) * size_t((grid.height() + TractSide - 1) / TractSide));
    }

    // Adds the tracts whose top row the sweep has reached, once it has.
    void Add(SquareSweep &sweep, int y)
    {
        if (y % TractSide != 0)
            return;
        Packed *counts = counts_.data() + size_t(y / TractSide) * size_t(across_);
        for (int tx = 0; tx < across_; ++tx) {
            const int x = tx * TractSide;
            counts[tx] = sweep.RectangleCounts(x, y, x + TractSide - 1, y + TractSide - 1);
        }
    }

    const std::vector<Packed> &counts() const { return counts_; }

private:
    int across_ = 0;
    std::vector<Packed> counts_;
};

struct Composition
{
    GroupTable<std::int64_t> residents{};
    std::int64_t total = 0;
    int groupsPresent = 0;
    double totalEntropy = 0.0;   // total times the entropy E of the city, T E
};

Composition CompositionOf(const ResidentSums &tally)
{
    Composition city;
    for (int g = 1; g <= GroupCount; ++g) {
        city.residents[g] = tally.residents(g);
        city.total += city.residents[g];
        city.groupsPresent += city.residents[g] > 0 ? 1 : 0;
    }
    if (city.total > 0) {
        city.totalEntropy = double(city.total) * std::log(double(city.total));
        for (int g = 1; g <= GroupCount; ++g) {
            if (city.residents[g] > 0)
                city.totalEntropy -= double(city.residents[g]) * std::log(double(city.residents[g]));
        }
    }
    return city;
}

struct Share
{
    std::int64_t part = 0;
    std::int64_t whole = 0;
    std::optional<double> value() const
    {
        return whole > 0 ? std::optional<double>(double(part) / double(whole)) : std::nullopt;
    }
};

void MeasureNeighbours(const ResidentSums &tally, const Composition &city, bool hasNeighbours,
                       CityMeasures &m)
{
    double allShareSum = 0.0;
    Share allDissatisfied{0, city.total};
    std::int64_t samePairs = 0;
    for (int g = 1; g <= GroupCount; ++g) {
        const std::int64_t residents = city.residents[g];
        const double shareSum = tally.sameShareSum(g, residents);
        if (residents > 0 && hasNeighbours)
            m.sameShare[g] = shareSum / double(residents);
        m.dissatisfied[g] = Share{tally.dissatisfied(g), residents}.value();
        allShareSum += shareSum;
        allDissatisfied.part += tally.dissatisfied(g);
        samePairs += tally.same(g, residents);
    }
    if (city.total > 0 && hasNeighbours)
        m.sameShareAll = allShareSum / double(city.total);
    m.dissatisfiedAll = allDissatisfied.value();

    const std::int64_t residentPairs = tally.residentPairs(city.total);
    m.interfaceDensity = Share{residentPairs - samePairs, residentPairs}.value();
}

// Dissimilarity and Theil's H, isolation xPx and normalized exposure P over the tracts, in
// one pass.
//
// D is summed in whole numbers: t_j |pi_jm - pi_m| = |T c_jm - t_j N_m| / T.
//
// xPx = sum_j x_jm^2 / t_j / N_m and P = sum_m sum_j t_j (pi_jm - pi_m)^2 / (T (1 - pi_m)).
// Their sums are gathered by the tract's number of residents, so that each takes one division
// per size rather than one per tract; P is summed from the whole numbers (T x_jm - t_j N_m)^2 /
// t_j, none negative, rather than as the difference of isolation and share, which loses digits
// when the two are close.
//
// In a tract with every home lived in, T x_jm - t_j N_m depends on x_jm alone: its square and
// absolute value are looked up, and D and xPx come from how many such tracts have each count.
void MeasureTracts(const Tracts &tracts, const Composition &city, const LogTables &logs, CityMeasures &m)
{
    constexpr int MostInTract = TractSide * TractSide;
    std::array<GroupTable<std::int64_t>, MostInTract + 1> squares{};   // [t][m]: sum of x_jm^2
    std::array<GroupTable<double>, MostInTract + 1> deviations{};      // [t][m]: sum of (T x_jm - t N_m)^2
    std::int64_t deviation = 0;                                        // sum of |T x_jm - t N_m|
    double tractEntropy = 0.0;                                         // sum of t_j E_j

    std::array<GroupTable<double>, MostInTract + 1> fullSquare{};   // [x][m] for t = MostInTract
    std::array<GroupTable<std::int64_t>, MostInTract + 1> fullAbsolute{};
    std::array<GroupTable<std::int64_t>, MostInTract + 1> fullTracts{};   // [x][m]: how many
    for (int x = 0; x <= MostInTract; ++x) {
        for (int g = 1; g <= GroupCount; ++g) {
            const std::int64_t whole = city.total * x - MostInTract * city.residents[g];
            const double d = double(whole);
            fullSquare[x][g] = d * d;
            fullAbsolute[x][g] = std::llabs(whole);
        }
    }

    for (const Packed &tract : tracts.counts()) {
        const int t = Residents(tract);
        tractEntropy += logs.countLogCount[t] - CountLogCountSum(logs, tract);
        if (t == MostInTract) {
            for (int g = 1; g <= GroupCount; ++g) {
                const int x = Field(tract, g);
                ++fullTracts[x][g];
                deviations[MostInTract][g] += fullSquare[x][g];
            }
        } else {
            for (int g = 1; g <= GroupCount; ++g) {
                const std::int64_t x = Field(tract, g);
                const std::int64_t whole = city.total * x - t * city.residents[g];
                const double d = double(whole);
                deviation += std::llabs(whole);
                squares[t][g] += x * x;
                deviations[t][g] += d * d;
            }
        }
    }
    for (int x = 0; x <= MostInTract; ++x) {
        for (int g = 1; g <= GroupCount; ++g) {
            deviation += fullTracts[x][g] * fullAbsolute[x][g];
            squares[MostInTract][g] += fullTracts[x][g] * x * x;
        }
    }

    double exposure = 0.0;
    for (int g = 1; g <= GroupCount; ++g) {
        if (city.residents[g] == 0)
            continue;
        double isolation = 0.0, squareDeviation = 0.0;
        for (int t = 1; t <= MostInTract; ++t) {
            isolation += double(squares[t][g]) / t;
            squareDeviation += deviations[t][g] / t;
        }
        m.isolation[g] = isolation / double(city.residents[g]);
        if (city.groupsPresent >= 2) {   // else 1 - pi_m = 0
            const double total = double(city.total);
            exposure += squareDeviation / (total * total * double(city.total - city.residents[g]));
        }
    }
    if (city.groupsPresent < 2)
        return;
    m.exposureP = exposure;
    std::int64_t interaction = 0;   // T^2 I
    for (int g = 1; g <= GroupCount; ++g)
        interaction += city.residents[g] * (city.total - city.residents[g]);
    m.dissimilarity = double(deviation) / (2.0 * double(interaction));
    m.theilH = 1.0 - tractEntropy / city.totalEntropy;
}

} // namespace

struct CityMeasurer::Workspace
{
    BorderedGrid bordered;
    SquareSweep sweep;
    Tracts tracts;
    ResidentSums tally;
    ClusterFinder clusters;
};

CityMeasurer::CityMeasurer()
    : workspace_(std::make_unique<Workspace>())
{
}

CityMeasurer::~CityMeasurer() = default;

CityMeasures CityMeasurer::Measure(const GroupGrid &grid, const GroupTable<std::int16_t> &prefEighths)
{
    Workspace &w = *workspace_;
    const LogTables &logs = Logs();
    static const FullSquareEntropies fullEntropies(logs);
    CityMeasures m;

    w.bordered.Assign(grid);
    w.sweep.Start(w.bordered);
    w.tracts.Start(grid);
    ResidentSums &tally = w.tally;
    tally.Clear();
    const bool full = std::memchr(grid.cells(), NoGroup, size_t(grid.width()) * size_t(grid.height())) == nullptr;
    for (int y = 0; y < grid.height(); ++y) {
        w.sweep.Advance();
        using RowKind = ResidentSums::RowKind;
        const bool whole = y >= LargestRadius && y < grid.height() - LargestRadius;
        const RowKind kind = !full || y == 0 || y == grid.height() - 1 ? RowKind::Mixed
            : whole                                                    ? RowKind::Whole
                                                                       : RowKind::Full;
        tally.AddRow(logs, fullEntropies, w.bordered.row(y), w.sweep, grid.width(), kind);
        w.tracts.Add(w.sweep, y);
    }
    tally.Finish(prefEighths);

    const Composition city = CompositionOf(tally);
    MeasureTracts(w.tracts, city, logs, m);
    const bool hasNeighbours = grid.width() > 1 || grid.height() > 1;
    MeasureNeighbours(tally, city, hasNeighbours, m);
    if (city.groupsPresent >= 2) {
        for (size_t i = 0; i < SpatialRadii.size(); ++i)
            m.spatialH[i] = 1.0 - tally.localEntropy(i) / city.totalEntropy;
    }

    const Clusters clusters = w.clusters.Find(w.bordered);
    for (int g = 1; g <= GroupCount; ++g) {
        m.clusters[g] = clusters.count[g];
        if (city.residents[g] > 0)
            m.largestClusterShare[g] = double(clusters.largest[g]) / double(city.residents[g]);
    }
    return m;
}
