// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymeasures.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <utility>
#include <vector>

namespace {

// The eight neighbours of a home are its square of radius 1 without the home itself.
constexpr int NeighbourRadius = 1;
constexpr int MostNeighbours = 8;
static_assert(SpatialRadii.front() == NeighbourRadius, "the neighbour counts ride on the first sweep");

constexpr int LargestRadius = *std::max_element(SpatialRadii.begin(), SpatialRadii.end());

// The grid is copied inside a border of off-grid homes wide enough for the largest square
// and the last partial tract, so that no inner loop tests for an edge.
constexpr int Border = std::max(LargestRadius, TractSide - 1);
constexpr quint8 OffGrid = GroupCount + 1;

// The counts of a square or tract, one byte per group (byte 0: empty homes) in one word,
// so that counts of whole squares add and subtract as single numbers. The arithmetic wraps,
// and a result is exact as long as every true count it stands for fits its byte.
using Packed = quint64;

constexpr int FieldBits = 8;
constexpr Packed FieldMask = 0xff;
constexpr int LargestSquare = (2 * LargestRadius + 1) * (2 * LargestRadius + 1);
static_assert(LargestSquare <= int(FieldMask) && TractSide * TractSide <= int(FieldMask));
static_assert((GroupCount + 1) * FieldBits <= 64);

constexpr std::array<Packed, OffGrid + 1> OneHot = [] {
    std::array<Packed, OffGrid + 1> table{};   // an off-grid home counts nowhere
    for (int g = 0; g <= GroupCount; ++g)
        table[g] = Packed(1) << (FieldBits * g);
    return table;
}();

constexpr Packed AllBytes = 0x0101010101010101;
constexpr Packed HomeBytes = (Packed(1) << ((GroupCount + 1) * FieldBits)) - 1;
constexpr Packed ResidentBytes = HomeBytes & ~FieldMask;

int Field(Packed counts, int group)
{
    return int((counts >> (FieldBits * group)) & FieldMask);
}

// The sum of the selected bytes lands in the top byte of the product.
int ByteSum(Packed counts)
{
    return int((counts * AllBytes) >> (64 - FieldBits));
}

// All ones or nothing: a choice without a branch, where a branch would be mispredicted.
Packed AllOnesIf(bool condition)
{
    return Packed(0) - Packed(condition);
}

int Homes(Packed counts) { return ByteSum(counts & HomeBytes); }
int Residents(Packed counts) { return ByteSum(counts & ResidentBytes); }

// c ln c, ln c and 1 / c for every count a byte can hold, for the entropies.
struct LogTables
{
    std::array<double, FieldMask + 1> countLogCount{};
    std::array<double, FieldMask + 1> log{};
    std::array<double, FieldMask + 1> inverse{};
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
        return t;
    }();
    return tables;
}

// The byte of a packed word in memory that holds a group's count.
constexpr int ByteOf(int group)
{
    return std::endian::native == std::endian::little ? group : int(sizeof(Packed)) - 1 - group;
}

// Sum over groups of c ln c for the residents counted in `counts`, reading each count as a
// byte from memory (cheaper than shifting it out) and written out group by group. Forced
// inline, as GCC would leave this and LocalEntropy as calls in the innermost loop.
template <size_t... Offset>
[[gnu::always_inline]] inline double CountLogCountSum(const LogTables &logs, const Packed &counts, std::index_sequence<Offset...>)
{
    const auto *bytes = reinterpret_cast<const quint8 *>(&counts);
    return (logs.countLogCount[bytes[ByteOf(int(Offset) + 1)]] + ...);
}

[[gnu::always_inline]] inline double CountLogCountSum(const LogTables &logs, const Packed &counts)
{
    return CountLogCountSum(logs, counts, std::make_index_sequence<GroupCount>());
}

class BorderedGrid
{
public:
    explicit BorderedGrid(const GroupGrid &grid)
        : width_(grid.width())
        , height_(grid.height())
        , stride_(size_t(grid.width()) + 2 * Border)
        , cells_(stride_ * (size_t(grid.height()) + 2 * Border), OffGrid)
    {
        for (int y = 0; y < height_; ++y)
            std::copy_n(grid.cells() + size_t(y) * size_t(width_), width_, row(y));
    }

    int width() const { return width_; }
    int height() const { return height_; }

    // Row y, -Border to height() - 1 + Border, pointing at column 0; columns -Border to
    // width() - 1 + Border may be read.
    const quint8 *row(int y) const { return cells_.data() + size_t(y + Border) * stride_ + Border; }

private:
    quint8 *row(int y) { return cells_.data() + size_t(y + Border) * stride_ + Border; }

    int width_;
    int height_;
    size_t stride_;
    std::vector<quint8> cells_;
};

// The squares of every radius of SpatialRadii around each home of one row after another,
// clipped to the grid: each the difference of four sums over rectangles from the top left
// corner (a summed-area table), of which only the rows the largest square spans are kept.
// The sums overflow their bytes, but as the arithmetic wraps, a square's counts come out
// exact.
class SquareSweep
{
public:
    explicit SquareSweep(const BorderedGrid &grid)
        : grid_(grid)
        , stride_(size_t(grid.width()) + 2 * Border + 1)
        , sums_(RingRows * stride_, 0)
    {
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
        for (size_t i = 0; i < SpatialRadii.size(); ++i) {
            const int r = SpatialRadii[i];
            const Packed *bottom = Row(row_ + r);
            const Packed *top = Row(row_ - r - 1);
            Packed *squares = squares_[i].data();
            for (int x = 0; x < grid_.width(); ++x)
                squares[x] = bottom[x + r] - top[x + r] - bottom[x - r - 1] + top[x - r - 1];
        }
    }

    // The counts of the squares of radius SpatialRadii[i] around the homes of the row.
    const Packed *squares(size_t i) const { return squares_[i].data(); }

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
        const quint8 *cells = grid_.row(y);
        Packed rowSum = 0;
        for (int x = -Border; x < grid_.width() + Border; ++x) {
            rowSum += OneHot[cells[x]];
            sums[x] = above[x] + rowSum;
        }
    }

    const BorderedGrid &grid_;
    size_t stride_;
    int row_ = -1;
    std::vector<Packed> sums_;
    std::array<std::vector<Packed>, SpatialRadii.size()> squares_;
};

// The entropy of the residents' groups in a square: ln n - (sum of c ln c) / n.
[[gnu::always_inline]] inline double LocalEntropy(const LogTables &logs, const Packed &square)
{
    const int n = Residents(square);
    return logs.log[n] - CountLogCountSum(logs, square) * logs.inverse[n];
}

// Everything the measures of neighbours and of local environments sum over the residents,
// gathered in one pass along each row. Per group, the counts of residents, of their
// same-group neighbours and of the dissatisfied add up in the bytes of packed words, a block
// of homes at a time, without a branch. Each home is taken to have eight neighbours; the
// homes on the edges of the grid, which have fewer, are tallied again by their number of
// neighbours to correct the mean share.
class ResidentSums
{
public:
    explicit ResidentSums(const GroupTable<qint16> &prefEighths)
    {
        // A resident is dissatisfied when same < preference, that is when its own byte of the
        // square (same + 1, itself included) is at most the preference. Group 0 never is.
        for (int g = 1; g <= GroupCount; ++g) {
            const int preference = std::clamp<int>(prefEighths[g], 0, MostNeighbours + 1);
            dissatisfiedUpTo_[g] = Packed(preference) << (FieldBits * g);
        }
    }

    void AddRow(const LogTables &logs, const quint8 *cells, const SquareSweep &sweep, int width)
    {
        const Packed *neighbourhoods = sweep.squares(0);
        for (int start = 0; start < width; start += BlockHomes) {
            const int end = std::min(start + BlockHomes, width);
            Packed own = 0, members = 0, dissatisfied = 0, around = 0;
            for (int x = start; x < end; ++x) {
                const int g = cells[x];
                const Packed square = neighbourhoods[x];
                const Packed mine = square & OwnByte[g];   // for an empty home, byte 0: never read
                own += mine;
                members += OneHot[g];
                dissatisfied += OneHot[g] & AllOnesIf(mine <= dissatisfiedUpTo_[g]);
                around += square & AllOnesIf(g != NoGroup);
                if (g != NoGroup) {
                    for (size_t i = 0; i < SpatialRadii.size(); ++i)
                        localEntropy_[i] += LocalEntropy(logs, sweep.squares(i)[x]);
                }
            }
            for (int g = 1; g <= GroupCount; ++g) {
                const int residents = Field(members, g);
                groups_[g].residents += residents;
                groups_[g].same += Field(own, g) - residents;
                groups_[g].dissatisfied += Field(dissatisfied, g);
                residentPairs_ += Field(around, g);
            }
            residentPairs_ -= Residents(members);   // a resident is not its own neighbour
        }
    }

    // Homes on the edges, with fewer than eight neighbours, once more.
    void AddEdges(int y, int height, const quint8 *cells, const Packed *neighbourhoods, int width)
    {
        const bool wholeRow = y == 0 || y == height - 1;
        const int step = wholeRow ? 1 : std::max(width - 1, 1);
        for (int x = 0; x < width; x += step) {
            const int g = cells[x];
            if (g != NoGroup)
                ++edges_[g][Homes(neighbourhoods[x]) - 1][Field(neighbourhoods[x], g) - 1];
        }
    }

    struct GroupSums
    {
        qint64 residents = 0;
        qint64 dissatisfied = 0;
        double sameShareSum = 0.0;   // of same-group neighbours / neighbours, over the residents
    };
    GroupSums sums(int group) const
    {
        const Group &g = groups_[group];
        GroupSums sums{g.residents, g.dissatisfied, double(g.same) / MostNeighbours};
        for (int n = 1; n < MostNeighbours; ++n) {
            qint64 same = 0;
            for (int k = 0; k <= n; ++k)
                same += k * edges_[group][n][k];
            sums.sameShareSum += double(same) / n - double(same) / MostNeighbours;
        }
        return sums;
    }

    qint64 residentPairs() const { return residentPairs_; }   // ordered
    qint64 samePairs() const
    {
        qint64 pairs = 0;
        for (int g = 1; g <= GroupCount; ++g)
            pairs += groups_[g].same;
        return pairs;
    }

    // Sum over the residents of the entropy of the square of radius SpatialRadii[i] around each.
    double localEntropy(size_t i) const { return localEntropy_[i]; }

private:
    // A block's sums stay within their bytes: a byte grows by at most 9 a home.
    static constexpr int BlockHomes = int(FieldMask) / (MostNeighbours + 1);

    static constexpr std::array<Packed, OffGrid + 1> OwnByte = [] {
        std::array<Packed, OffGrid + 1> table{};
        for (int g = 0; g <= GroupCount; ++g)
            table[g] = FieldMask << (FieldBits * g);
        return table;
    }();

    struct Group
    {
        qint64 residents = 0;
        qint64 same = 0;   // same-group neighbours
        qint64 dissatisfied = 0;
    };
    using EdgeTable = std::array<std::array<qint64, MostNeighbours + 1>, MostNeighbours + 1>;

    std::array<Packed, OffGrid + 1> dissatisfiedUpTo_{};
    GroupTable<Group> groups_{};
    GroupTable<EdgeTable> edges_{};   // [group][neighbours][same] of the homes on the edges
    qint64 residentPairs_ = 0;
    std::array<double, SpatialRadii.size()> localEntropy_{};
};

struct Composition
{
    GroupTable<qint64> residents{};
    qint64 total = 0;
    int groupsPresent = 0;
    double totalEntropy = 0.0;   // total times the entropy E of the city, T E
};

Composition CompositionOf(const ResidentSums &tally)
{
    Composition city;
    for (int g = 1; g <= GroupCount; ++g) {
        city.residents[g] = tally.sums(g).residents;
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
    qint64 part = 0;
    qint64 whole = 0;
    std::optional<double> value() const
    {
        return whole > 0 ? std::optional<double>(double(part) / double(whole)) : std::nullopt;
    }
};

void MeasureNeighbours(const ResidentSums &tally, bool hasNeighbours, CityMeasures &m)
{
    double allShareSum = 0.0;
    Share allDissatisfied;
    for (int g = 1; g <= GroupCount; ++g) {
        const ResidentSums::GroupSums sums = tally.sums(g);
        const Share dissatisfied{sums.dissatisfied, sums.residents};
        if (sums.residents > 0 && hasNeighbours)
            m.sameShare[g] = sums.sameShareSum / double(sums.residents);
        m.dissatisfied[g] = dissatisfied.value();
        allShareSum += sums.sameShareSum;
        allDissatisfied.part += dissatisfied.part;
        allDissatisfied.whole += dissatisfied.whole;
    }
    if (allDissatisfied.whole > 0 && hasNeighbours)
        m.sameShareAll = allShareSum / double(allDissatisfied.whole);
    m.dissatisfiedAll = allDissatisfied.value();

    const Share differentPairs{tally.residentPairs() - tally.samePairs(), tally.residentPairs()};
    m.interfaceDensity = differentPairs.value();
}

// Dissimilarity and Theil's H over tracts of TractSide x TractSide homes, partial ones at
// the right and bottom. D is summed in whole numbers: t_j |pi_jm - pi_m| = |T c_jm - t_j N_m| / T.
void MeasureTracts(const BorderedGrid &grid, const Composition &city, const LogTables &logs,
                   CityMeasures &m)
{
    if (city.groupsPresent < 2)
        return;
    const int across = (grid.width() + TractSide - 1) / TractSide;
    const int down = (grid.height() + TractSide - 1) / TractSide;
    std::vector<Packed> tracts(size_t(across), 0);
    qint64 deviation = 0;
    double tractEntropy = 0.0;   // sum of t_j E_j
    for (int ty = 0; ty < down; ++ty) {
        std::fill(tracts.begin(), tracts.end(), 0);
        for (int dy = 0; dy < TractSide; ++dy) {
            const quint8 *cells = grid.row(ty * TractSide + dy);
            for (int tx = 0; tx < across; ++tx) {
                Packed sum = 0;
                for (int dx = 0; dx < TractSide; ++dx)
                    sum += OneHot[cells[tx * TractSide + dx]];
                tracts[tx] += sum;
            }
        }
        for (const Packed &tract : tracts) {
            const int t = Residents(tract);
            tractEntropy += logs.countLogCount[t] - CountLogCountSum(logs, tract);
            for (int g = 1; g <= GroupCount; ++g)
                deviation += std::llabs(city.total * Field(tract, g) - t * city.residents[g]);
        }
    }
    qint64 interaction = 0;   // T^2 I
    for (int g = 1; g <= GroupCount; ++g)
        interaction += city.residents[g] * (city.total - city.residents[g]);
    m.dissimilarity = double(deviation) / (2.0 * double(interaction));
    m.theilH = 1.0 - tractEntropy / city.totalEntropy;
}

struct Clusters
{
    GroupTable<int> count{};
    GroupTable<qint32> largest{};
};

// 8-connected clusters in one pass: each home takes the provisional label of a neighbour
// above or to its left that shares its group, or a new one, and labels that meet are united
// (union-find, the lower label is the root). Of those neighbours only the upper right one
// can hold a label the chosen one has not met, so a home causes at most one union. The
// choice goes through tables indexed by which neighbours match, computed for a whole row at
// once, because branches on random maps would be mispredicted half the time. Empty homes
// form clusters of their own, which are not counted, rather than a branch.
class ClusterFinder
{
public:
    explicit ClusterFinder(const BorderedGrid &grid)
        : grid_(grid)
        , labelStride_(size_t(grid.width()) + 2)
        , labelRows_(2 * labelStride_, 0)
        , codes_(size_t(grid.width()), 0)
        , meetings_(size_t(grid.width()))
    {
    }

    Clusters Find()
    {
        for (int y = 0; y < grid_.height(); ++y) {
            Reserve(size_t(next_) + size_t(grid_.width()));
            LabelRow(y);
        }
        return Count();
    }

private:
    // Which earlier neighbours share a home's group, one bit each.
    enum Match : quint8 { Above = 1, AboveLeft = 2, Left = 4, AboveRight = 8 };
    static constexpr int MatchCodes = 16;

    // Whether the upper right neighbour brings a label that the one taken may not have met:
    // the left and both upper corners have already joined the home above.
    static constexpr std::array<quint8, MatchCodes> Meets = [] {
        std::array<quint8, MatchCodes> table{};
        for (int code = 0; code < MatchCodes; ++code)
            table[code] = !(code & Above) && (code & AboveRight) && (code & (AboveLeft | Left)) ? 1 : 0;
        return table;
    }();

    void Reserve(size_t labels)
    {
        const size_t old = parent_.size();
        if (old >= labels)
            return;
        const size_t size = std::max(labels, 2 * old);
        parent_.resize(size);
        std::iota(parent_.begin() + qsizetype(old), parent_.end(), qint32(old));
        size_.resize(size, 0);
        group_.resize(size, 0);
    }

    qint32 Root(qint32 label)
    {
        while (parent_[label] != label) {
            parent_[label] = parent_[parent_[label]];
            label = parent_[label];
        }
        return label;
    }

    void Unite(qint32 a, qint32 b)
    {
        a = Root(a);
        b = Root(b);
        parent_[std::max(a, b)] = std::min(a, b);
    }

    void LabelRow(int y)
    {
        const quint8 *above = grid_.row(y - 1);
        const quint8 *cells = grid_.row(y);
        const int width = grid_.width();
        for (int x = 0; x < width; ++x) {
            const quint8 g = cells[x];
            codes_[x] = quint8((above[x] == g ? Above : 0) | (above[x - 1] == g ? AboveLeft : 0)
                               | (cells[x - 1] == g ? Left : 0) | (above[x + 1] == g ? AboveRight : 0));
        }

        // The two rows of labels take turns; both start at column -1.
        qint32 *here = labelRows_.data() + (y % 2) * qsizetype(labelStride_) + 1;
        const qint32 *up = labelRows_.data() + ((y + 1) % 2) * qsizetype(labelStride_) + 1;
        const qsizetype toUp = up - here;
        std::array<qsizetype, MatchCodes> source{};   // where each code takes its label from
        for (int code = 1; code < MatchCodes; ++code) {
            source[code] = code & Above ? toUp
                : code & AboveLeft      ? toUp - 1
                : code & Left           ? -1
                                        : toUp + 1;
        }

        size_t meetings = 0;
        for (int x = 0; x < width; ++x) {
            const quint8 code = codes_[x];
            const bool isNew = code == 0;
            const qint32 found = here[x + source[code]];
            const qint32 label = isNew ? next_ : found;
            meetings_[meetings] = {label, up[x + 1]};   // kept only if they met
            meetings += Meets[code];
            group_[next_] = cells[x];                   // kept only if the label is new
            next_ += isNew ? 1 : 0;
            here[x] = label;
            ++size_[label];
        }
        for (size_t i = 0; i < meetings; ++i)
            Unite(meetings_[i].first, meetings_[i].second);
    }

    // A label's parent is always lower, so one upward pass settles every root.
    Clusters Count()
    {
        Clusters clusters;
        for (qint32 label = 0; label < next_; ++label) {
            if (parent_[label] == label) {
                ++clusters.count[group_[label]];
            } else {
                parent_[label] = parent_[parent_[label]];
                size_[parent_[label]] += size_[label];
            }
        }
        for (qint32 label = 0; label < next_; ++label) {
            if (parent_[label] == label)
                clusters.largest[group_[label]] = std::max(clusters.largest[group_[label]], size_[label]);
        }
        clusters.count[NoGroup] = 0;   // empty homes are no cluster
        return clusters;
    }

    const BorderedGrid &grid_;
    size_t labelStride_;
    std::vector<qint32> labelRows_;
    std::vector<quint8> codes_;
    std::vector<std::pair<qint32, qint32>> meetings_;   // labels found to touch in this row
    std::vector<qint32> parent_;
    std::vector<qint32> size_;
    std::vector<quint8> group_;
    qint32 next_ = 0;
};

} // namespace

CityMeasures Measure(const GroupGrid &grid, const GroupTable<qint16> &prefEighths)
{
    const BorderedGrid bordered(grid);
    const LogTables &logs = Logs();
    CityMeasures m;

    ResidentSums tally(prefEighths);
    SquareSweep sweep(bordered);
    for (int y = 0; y < grid.height(); ++y) {
        sweep.Advance();
        const quint8 *cells = bordered.row(y);
        tally.AddRow(logs, cells, sweep, grid.width());
        tally.AddEdges(y, grid.height(), cells, sweep.squares(0), grid.width());
    }

    const bool hasNeighbours = grid.width() > 1 || grid.height() > 1;
    MeasureNeighbours(tally, hasNeighbours, m);

    const Composition city = CompositionOf(tally);
    if (city.groupsPresent >= 2) {
        for (size_t i = 0; i < SpatialRadii.size(); ++i)
            m.spatialH[i] = 1.0 - tally.localEntropy(i) / city.totalEntropy;
    }
    MeasureTracts(bordered, city, logs, m);

    const Clusters clusters = ClusterFinder(bordered).Find();
    for (int g = 1; g <= GroupCount; ++g) {
        m.clusters[g] = clusters.count[g];
        if (city.residents[g] > 0)
            m.largestClusterShare[g] = double(clusters.largest[g]) / double(city.residents[g]);
    }
    return m;
}
