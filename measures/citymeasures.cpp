// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymeasures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
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

// The counts of a square or tract, one byte per group (byte 0: empty homes) in one word:
// moving a square by one home is one addition and one subtraction, and the arithmetic stays
// exact as long as every true count fits its byte.
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

// Sum over groups of c ln c for the residents counted in `counts`.
double CountLogCountSum(const LogTables &logs, Packed counts)
{
    double sum = 0.0;
    for (int g = 1; g <= GroupCount; ++g)
        sum += logs.countLogCount[Field(counts, g)];
    return sum;
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

// Calls visit(group, counts) for every home, row by row, with the counts of the square of
// the given radius around it, clipped to the grid. Column sums over the rows of the square
// slide down the map and the square slides along them.
template <typename Visit>
void SweepSquares(const BorderedGrid &grid, int radius, Visit &&visit)
{
    const int width = grid.width();
    std::vector<Packed> columnSums(size_t(width) + 2 * size_t(radius) + 1, 0);
    Packed *column = columnSums.data() + radius;   // column[x], x from -radius to width + radius
    for (int dy = -radius; dy <= radius; ++dy) {
        const quint8 *cells = grid.row(dy);
        for (int x = -radius; x < width + radius; ++x)
            column[x] += OneHot[cells[x]];
    }
    for (int y = 0; y < grid.height(); ++y) {
        if (y > 0) {
            const quint8 *entering = grid.row(y + radius);
            const quint8 *leaving = grid.row(y - radius - 1);
            for (int x = -radius; x < width + radius; ++x)
                column[x] += OneHot[entering[x]] - OneHot[leaving[x]];
        }
        Packed square = 0;
        for (int dx = -radius; dx <= radius; ++dx)
            square += column[dx];
        const quint8 *cells = grid.row(y);
        for (int x = 0; x < width; ++x) {
            visit(cells[x], square);
            square += column[x + radius + 1] - column[x - radius];
        }
    }
}

// Residents by group, number of in-grid neighbours and number of those of the same group.
struct NeighbourTally
{
    using Table = std::array<std::array<qint64, MostNeighbours + 1>, MostNeighbours + 1>;
    GroupTable<Table> residents{};   // [group][neighbours][same]
    qint64 residentPairs = 0;        // ordered pairs of neighbouring residents
    qint64 samePairs = 0;            // ... of the same group

    void Add(int group, Packed square)
    {
        const int same = Field(square, group) - 1;
        ++residents[group][Homes(square) - 1][same];
        residentPairs += Residents(square) - 1;
        samePairs += same;
    }
};

// The entropy of the residents' groups in a square: ln n - (sum of c ln c) / n.
double LocalEntropy(const LogTables &logs, Packed square)
{
    const int n = Residents(square);
    return logs.log[n] - CountLogCountSum(logs, square) * logs.inverse[n];
}

struct Composition
{
    GroupTable<qint64> residents{};
    qint64 total = 0;
    int groupsPresent = 0;
    double totalEntropy = 0.0;   // total times the entropy E of the city, T E
};

Composition CompositionOf(const NeighbourTally &tally)
{
    Composition city;
    for (int g = 1; g <= GroupCount; ++g) {
        for (const auto &bySame : tally.residents[g]) {
            for (qint64 k : bySame)
                city.residents[g] += k;
        }
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

void MeasureNeighbours(const NeighbourTally &tally, const GroupTable<qint16> &prefEighths,
                       bool hasNeighbours, CityMeasures &m)
{
    double allShareSum = 0.0;
    Share allDissatisfied;
    for (int g = 1; g <= GroupCount; ++g) {
        double shareSum = 0.0;
        Share dissatisfied;
        for (int n = 0; n <= MostNeighbours; ++n) {
            qint64 sameSum = 0;
            for (int same = 0; same <= MostNeighbours; ++same) {
                const qint64 k = tally.residents[g][n][same];
                sameSum += same * k;
                dissatisfied.whole += k;
                dissatisfied.part += same < prefEighths[g] ? k : 0;
            }
            if (n > 0)
                shareSum += double(sameSum) / double(n);
        }
        if (dissatisfied.whole > 0 && hasNeighbours)
            m.sameShare[g] = shareSum / double(dissatisfied.whole);
        m.dissatisfied[g] = dissatisfied.value();
        allShareSum += shareSum;
        allDissatisfied.part += dissatisfied.part;
        allDissatisfied.whole += dissatisfied.whole;
    }
    if (allDissatisfied.whole > 0 && hasNeighbours)
        m.sameShareAll = allShareSum / double(allDissatisfied.whole);
    m.dissatisfiedAll = allDissatisfied.value();

    Share differentPairs{tally.residentPairs - tally.samePairs, tally.residentPairs};
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
        for (Packed tract : tracts) {
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
    GroupTable<qint64> largest{};
};

// 8-connected clusters in one pass: each home joins the provisional label of a neighbour
// above or to its left, and labels that meet are united (union-find, the lower label is the
// root). Of those neighbours, only the upper-right one can belong to a different label than
// the one taken, so each home unites at most once.
Clusters FindClusters(const BorderedGrid &grid)
{
    const int width = grid.width();
    std::vector<qint32> parent;
    std::vector<qint64> size;
    std::vector<quint8> groupOf;
    const size_t expected = size_t(width) * size_t(grid.height()) / 4;
    parent.reserve(expected);
    size.reserve(expected);
    groupOf.reserve(expected);

    auto root = [&](qint32 label) {
        while (parent[label] != label) {
            parent[label] = parent[parent[label]];
            label = parent[label];
        }
        return label;
    };
    auto unite = [&](qint32 a, qint32 b) {
        a = root(a);
        b = root(b);
        if (a > b)
            std::swap(a, b);
        parent[b] = a;
        return a;
    };

    // Labels of the row above and this row, from column -1 to width.
    std::vector<qint32> aboveLabels(size_t(width) + 2, 0);
    std::vector<qint32> rowLabels(size_t(width) + 2, 0);
    for (int y = 0; y < grid.height(); ++y) {
        const quint8 *above = grid.row(y - 1);
        const quint8 *cells = grid.row(y);
        const qint32 *up = aboveLabels.data() + 1;
        qint32 *here = rowLabels.data() + 1;
        for (int x = 0; x < width; ++x) {
            const quint8 g = cells[x];
            if (g == NoGroup)
                continue;
            qint32 label;
            if (above[x] == g) {
                label = up[x];   // the left and both upper corners already joined it
            } else if (above[x - 1] == g || cells[x - 1] == g) {
                label = above[x - 1] == g ? up[x - 1] : here[x - 1];
                if (above[x + 1] == g)
                    label = unite(label, up[x + 1]);
            } else if (above[x + 1] == g) {
                label = up[x + 1];
            } else {
                label = qint32(parent.size());
                parent.push_back(label);
                size.push_back(0);
                groupOf.push_back(g);
            }
            here[x] = label;
            ++size[label];
        }
        std::swap(aboveLabels, rowLabels);
    }

    // A label's parent is always lower, so one upward pass settles every root.
    Clusters clusters;
    for (size_t label = 0; label < parent.size(); ++label) {
        if (parent[label] == qint32(label)) {
            ++clusters.count[groupOf[label]];
        } else {
            parent[label] = parent[parent[label]];
            size[parent[label]] += size[label];
        }
    }
    for (size_t label = 0; label < parent.size(); ++label) {
        if (parent[label] == qint32(label))
            clusters.largest[groupOf[label]] = std::max(clusters.largest[groupOf[label]], size[label]);
    }
    return clusters;
}

} // namespace

CityMeasures Measure(const GroupGrid &grid, const GroupTable<qint16> &prefEighths)
{
    const BorderedGrid bordered(grid);
    const LogTables &logs = Logs();
    CityMeasures m;

    std::array<double, SpatialRadii.size()> localEntropy{};   // summed over the residents
    NeighbourTally tally;
    SweepSquares(bordered, NeighbourRadius, [&](int group, Packed square) {
        if (group != NoGroup) {
            tally.Add(group, square);
            localEntropy[0] += LocalEntropy(logs, square);
        }
    });
    for (size_t i = 1; i < SpatialRadii.size(); ++i) {
        SweepSquares(bordered, SpatialRadii[i], [&](int group, Packed square) {
            if (group != NoGroup)
                localEntropy[i] += LocalEntropy(logs, square);
        });
    }

    const bool hasNeighbours = grid.width() > 1 || grid.height() > 1;
    MeasureNeighbours(tally, prefEighths, hasNeighbours, m);

    const Composition city = CompositionOf(tally);
    if (city.groupsPresent >= 2) {
        for (size_t i = 0; i < SpatialRadii.size(); ++i)
            m.spatialH[i] = 1.0 - localEntropy[i] / city.totalEntropy;
    }
    MeasureTracts(bordered, city, logs, m);

    const Clusters clusters = FindClusters(bordered);
    for (int g = 1; g <= GroupCount; ++g) {
        m.clusters[g] = clusters.count[g];
        if (city.residents[g] > 0)
            m.largestClusterShare[g] = double(clusters.largest[g]) / double(city.residents[g]);
    }
    return m;
}
