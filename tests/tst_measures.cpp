// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymap.h"
#include "citymeasurer.h"
#include "citymeasures.h"
#include "groupgrid.h"
#include "measurecolumns.h"

#include <QFile>
#include <QSet>
#include <QTest>

#include <cmath>
#include <random>

// The measures on maps whose values are known by hand, and against the formulas computed
// the plain way, home by home, on random maps.
class TestMeasures : public QObject
{
    Q_OBJECT

private slots:
    void knownMaps_data();
    void knownMaps();
    void matchesDefinitions_data();
    void matchesDefinitions();
    void freshRandomCityIsAboutHalfSame();
    void gridHoldsOnlyGroups();
    void everyColumnIsNamedOnceAndDocumented();

private:
    CityMeasurer measurer_;   // kept from row to row: one measurer meets maps of every size
};

namespace {

using Values = QMap<QString, std::optional<double>>;
const QVariant Undefined;
constexpr double Tolerance = 1e-12;

// Rows top to bottom separated by '/', one digit per home, 0 for an empty one.
GroupGrid GridOf(const QString &text)
{
    const QStringList rows = text.split(u'/');
    GroupGrid grid(int(rows[0].size()), int(rows.size()));
    for (int y = 0; y < rows.size(); ++y)
        for (int x = 0; x < rows[y].size(); ++x)
            grid.set(x, y, rows[y][x].digitValue());
    return grid;
}

// -sum p ln p of a composition given as counts.
double Entropy(const std::vector<double> &counts)
{
    double total = 0, sum = 0;
    for (double c : counts)
        total += c;
    for (double c : counts)
        sum -= c > 0 ? c / total * std::log(c / total) : 0.0;
    return sum;
}

std::optional<double> Ratio(double part, double whole)
{
    return whole > 0 ? std::optional<double>(part / whole) : std::nullopt;
}

// Every measure straight from its definition: plain loops over homes, neighbours, tracts and squares.
Values Reference(const GroupGrid &grid, const GroupTable<qint16> &pref)
{
    const int w = grid.width(), h = grid.height();
    Values v;
    std::vector<double> residents(GroupCount + 1), shareSum(GroupCount + 1), unhappy(GroupCount + 1);
    double pairs = 0, mixedPairs = 0;
    for (int y = 0; y < h; ++y) for (int x = 0; x < w; ++x) {
        const int g = grid.at(x, y);
        if (!g) continue;
        int neighbours = 0, same = 0;
        for (int dy = -1; dy <= 1; ++dy) for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if ((!dx && !dy) || nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
            ++neighbours;
            same += grid.at(nx, ny) == g;
            if (grid.at(nx, ny) && (dy > 0 || (dy == 0 && dx > 0))) { ++pairs; mixedPairs += grid.at(nx, ny) != g; }
        }
        ++residents[g];
        shareSum[g] += neighbours ? double(same) / neighbours : 0;
        unhappy[g] += same < pref[g];
    }
    double total = 0, shareAll = 0, unhappyAll = 0;
    for (int g = 1; g <= GroupCount; ++g) { total += residents[g]; shareAll += shareSum[g]; unhappyAll += unhappy[g]; }
    v["same_share_all"] = w * h > 1 ? Ratio(shareAll, total) : std::nullopt;
    v["dissatisfied_all"] = Ratio(unhappyAll, total);
    v["interface_density"] = Ratio(mixedPairs, pairs);

    std::vector<int> seen(size_t(w) * h);
    for (int g = 1; g <= GroupCount; ++g) {
        const QString name = QString::fromStdString(GroupKey(g));
        v["same_share_" + name] = w * h > 1 ? Ratio(shareSum[g], residents[g]) : std::nullopt;
        v["dissatisfied_" + name] = Ratio(unhappy[g], residents[g]);
        int clusters = 0, largest = 0;
        for (int start = 0; start < w * h; ++start) {
            if (seen[start] || grid.at(start % w, start / w) != g) continue;
            ++clusters;
            int size = 0;
            std::vector<int> stack{start};
            seen[start] = 1;
            while (!stack.empty()) {
                const int p = stack.back(); stack.pop_back(); ++size;
                for (int dy = -1; dy <= 1; ++dy) for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = p % w + dx, ny = p / w + dy;
                    if (nx >= 0 && ny >= 0 && nx < w && ny < h && !seen[ny * w + nx] && grid.at(nx, ny) == g) {
                        seen[ny * w + nx] = 1;
                        stack.push_back(ny * w + nx);
                    }
                }
            }
            largest = std::max(largest, size);
        }
        v["clusters_" + name] = clusters;
        v["largest_cluster_share_" + name] = Ratio(largest, residents[g]);
    }

    std::vector<double> city(residents.begin() + 1, residents.end());
    const double E = Entropy(city);
    double I = 0;
    for (double n : city) I += total > 0 ? n / total * (1 - n / total) : 0;
    double dSum = 0, hSum = 0, pSum = 0;
    std::vector<double> isolation(GroupCount);
    for (int ty = 0; ty < h; ty += TractSide) for (int tx = 0; tx < w; tx += TractSide) {
        std::vector<double> c(GroupCount);
        for (int y = ty; y < std::min(h, ty + TractSide); ++y) for (int x = tx; x < std::min(w, tx + TractSide); ++x)
            if (grid.at(x, y)) ++c[grid.at(x, y) - 1];
        double t = 0;
        for (double n : c) t += n;
        if (t == 0) continue;
        for (int m = 0; m < GroupCount; ++m) {
            const double pi = city[m] / total, piTract = c[m] / t;
            dSum += t * std::abs(piTract - pi);
            if (city[m] > 0) isolation[m] += c[m] / city[m] * piTract;
            if (pi < 1) pSum += t / total * (piTract - pi) * (piTract - pi) / (1 - pi);
        }
        hSum += t * (E - Entropy(c));
    }
    v["dissimilarity"] = I > 0 ? std::optional(dSum / (2 * total * I)) : std::nullopt;
    v["theil_h"] = E > 0 ? std::optional(hSum / (total * E)) : std::nullopt;
    for (int m = 0; m < GroupCount; ++m)
        v["isolation_" + QString::fromStdString(GroupKey(m + 1))] = city[m] > 0 ? std::optional(isolation[m]) : std::nullopt;
    v["exposure_p"] = I > 0 ? std::optional(pSum) : std::nullopt;

    for (int r : SpatialRadii) {
        double local = 0;
        for (int y = 0; y < h; ++y) for (int x = 0; x < w; ++x) {
            if (!grid.at(x, y)) continue;
            std::vector<double> c(GroupCount);
            for (int ny = std::max(0, y - r); ny <= std::min(h - 1, y + r); ++ny)
                for (int nx = std::max(0, x - r); nx <= std::min(w - 1, x + r); ++nx)
                    if (grid.at(nx, ny)) ++c[grid.at(nx, ny) - 1];
            local += Entropy(c);
        }
        v[QStringLiteral("spatial_h_r%1").arg(r)] = E > 0 ? std::optional(1 - local / (total * E)) : std::nullopt;
    }
    return v;
}

bool Same(std::optional<double> a, std::optional<double> b)
{
    return a.has_value() == b.has_value() && (!a || std::abs(*a - *b) <= Tolerance);
}

QString Text(std::optional<double> value)
{
    return value ? QString::number(*value, 'g', 17) : QStringLiteral("undefined");
}

} // namespace

void TestMeasures::knownMaps_data()
{
    QTest::addColumn<QString>("map");
    QTest::addColumn<int>("preference");   // of every group, in eighths
    QTest::addColumn<QVariantMap>("expected");

    const double ln2 = std::log(2.0);
    QTest::newRow("one group only") << "111/111/111" << 4 << QVariantMap{
        {"same_share_all", 1.0}, {"same_share_blue", 1.0}, {"same_share_red", Undefined},
        {"dissatisfied_blue", 4.0 / 9}, {"dissatisfied_red", Undefined}, {"interface_density", 0.0},
        {"clusters_blue", 1}, {"clusters_red", 0}, {"largest_cluster_share_blue", 1.0},
        {"largest_cluster_share_red", Undefined}, {"dissimilarity", Undefined}, {"theil_h", Undefined},
        {"spatial_h_r1", Undefined}, {"spatial_h_r4", Undefined}, {"isolation_blue", 1.0},
        {"isolation_red", Undefined}, {"exposure_p", Undefined}};
    QTest::newRow("edges and corners fall short of 6") << "111/111/111" << 6 << QVariantMap{
        {"dissatisfied_blue", 8.0 / 9}, {"dissatisfied_all", 8.0 / 9}};
    QTest::newRow("edges and corners meet 3") << "111/111/111" << 3 << QVariantMap{{"dissatisfied_all", 0.0}};
    QTest::newRow("foreign resident on an edge") << "121/111/111" << 4 << QVariantMap{
        {"same_share_blue", (2.0 / 3 + 2.0 / 3 + 0.8 + 0.8 + 7.0 / 8 + 3) / 8}, {"same_share_red", 0.0},
        {"dissatisfied_blue", 0.5}, {"dissatisfied_red", 1.0}, {"dissatisfied_all", 5.0 / 9},
        {"interface_density", 5.0 / 20}};
    QTest::newRow("single foreign resident in the middle") << "11111/11111/11211/11111/11111" << 0 << QVariantMap{
        {"same_share_blue", 23.0 / 24}, {"same_share_red", 0.0}, {"same_share_all", 23.0 / 25},
        {"dissatisfied_all", 0.0}, {"interface_density", 8.0 / 72}, {"clusters_blue", 1}, {"clusters_red", 1},
        {"dissimilarity", 0.0}, {"theil_h", 0.0}, {"spatial_h_r4", 0.0},
        {"spatial_h_r1", 1 - 9 * Entropy({1, 8}) / (25 * Entropy({1, 24}))},
        {"isolation_blue", 24.0 / 25}, {"isolation_red", 1.0 / 25}, {"exposure_p", 0.0}};
    QTest::newRow("checkerboard") << "121212/212121/121212/212121/121212/212121" << 0 << QVariantMap{
        {"same_share_blue", (8 * 0.5 + 8 * 0.4 + 2.0 / 3) / 18}, {"same_share_red", (8 * 0.5 + 8 * 0.4 + 2.0 / 3) / 18},
        {"interface_density", 60.0 / 110}, {"clusters_blue", 1}, {"clusters_red", 1}, {"dissimilarity", 4.0 / 36},
        {"theil_h", (25 * (ln2 - Entropy({13, 12})) + 10 * (ln2 - Entropy({2, 3})) + ln2) / (36 * ln2)},
        {"spatial_h_r1", 1 - (16 * Entropy({5, 4}) + 20 * ln2) / (36 * ln2)},
        // Tracts of 13 and 12, 2 and 3, 2 and 3, and 1 and 0 residents.
        {"isolation_blue", (13.0 * 13 / 25 + 4.0 / 5 + 4.0 / 5 + 1) / 18},
        {"isolation_red", (12.0 * 12 / 25 + 9.0 / 5 + 9.0 / 5) / 18},
        {"exposure_p", 2 * (25 * 0.02 * 0.02 + 5 * 0.01 + 5 * 0.01 + 0.25) / (36 * 0.5)}};
    const QString halves = QStringLiteral("1111111111/").repeated(5) + QStringLiteral("2222222222/").repeated(4) + "2222222222";
    QTest::newRow("two halves") << halves << 0 << QVariantMap{
        {"same_share_blue", (40 + 8 * 5.0 / 8 + 2 * 3.0 / 5) / 50}, {"interface_density", 28.0 / 342},
        {"clusters_blue", 1}, {"clusters_red", 1}, {"dissimilarity", 1.0}, {"theil_h", 1.0},
        {"spatial_h_r1", 1 - 20 * Entropy({6, 3}) / (100 * ln2)}, {"isolation_blue", 1.0}, {"isolation_red", 1.0},
        {"exposure_p", 1.0}};
    QTest::newRow("stripes") << "1212/1212/1212" << 0 << QVariantMap{
        {"same_share_blue", (2.0 / 3 + 0.4 + 0.4 + 0.25) / 6}, {"same_share_red", (2.0 / 3 + 0.4 + 0.4 + 0.25) / 6},
        {"interface_density", 21.0 / 29}, {"clusters_blue", 2}, {"largest_cluster_share_red", 0.5}};
    QTest::newRow("isolated residents and a missing group") << "101/000/101" << 4 << QVariantMap{
        {"same_share_blue", 0.0}, {"dissatisfied_blue", 1.0}, {"clusters_blue", 4},
        {"largest_cluster_share_blue", 0.25}, {"same_share_red", Undefined}, {"clusters_red", 0},
        {"interface_density", Undefined}, {"dissimilarity", Undefined}, {"spatial_h_r2", Undefined},
        {"isolation_blue", 1.0}, {"isolation_green", Undefined}, {"exposure_p", Undefined}};
    QTest::newRow("no residents") << "000/000" << 4 << QVariantMap{
        {"same_share_all", Undefined}, {"dissatisfied_all", Undefined}, {"clusters_blue", 0},
        {"largest_cluster_share_blue", Undefined}, {"interface_density", Undefined}, {"theil_h", Undefined},
        {"isolation_yellow", Undefined}, {"exposure_p", Undefined}};
    QTest::newRow("single home") << "3" << 1 << QVariantMap{
        {"same_share_green", Undefined}, {"dissatisfied_green", 1.0}, {"clusters_green", 1},
        {"largest_cluster_share_green", 1.0}, {"interface_density", Undefined}};
    QTest::newRow("one column") << "5/5/4/4" << 0 << QVariantMap{
        {"same_share_yellow", 0.75}, {"same_share_all", 0.75}, {"interface_density", 1.0 / 3}, {"dissimilarity", 0.0},
        {"isolation_yellow", 0.5}, {"isolation_gray", 0.5}, {"exposure_p", 0.0}};
}

void TestMeasures::knownMaps()
{
    QFETCH(QString, map);
    QFETCH(int, preference);
    QFETCH(QVariantMap, expected);
    GroupTable<qint16> prefs;
    prefs.fill(qint16(preference));
    const CityMeasures measures = Measure(GridOf(map), prefs);
    int checked = 0;
    for (const MeasureColumn &column : MeasureColumns()) {
        const QString name = QString::fromStdString(column.name);
        if (!expected.contains(name))
            continue;
        const QVariant want = expected[name];
        const auto wanted = want.isValid() ? std::optional(want.toDouble()) : std::nullopt;
        if (!Same(column.value(measures), wanted))
            QFAIL(qPrintable(name + ": " + Text(column.value(measures)) + ", expected " + Text(wanted)));
        ++checked;
    }
    QCOMPARE(checked, expected.size());   // every expected name is a column
}

void TestMeasures::matchesDefinitions_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("emptyShare");
    QTest::addColumn<int>("groups");      // drawn evenly from the first this many
    QTest::addColumn<int>("blockSide");   // homes in square blocks of one group each; 1: each home drawn

    QTest::newRow("265 x 265, full, five groups") << 265 << 265 << 0.0 << 5 << 1;
    QTest::newRow("23 x 17, some empty") << 23 << 17 << 0.2 << 5 << 1;
    // The kept measurer meets a map of the size it has just measured.
    QTest::newRow("23 x 17 again, blocks of 3, some empty") << 23 << 17 << 0.1 << 4 << 3;
    QTest::newRow("13 x 4, two groups") << 13 << 4 << 0.1 << 2 << 1;
    QTest::newRow("1 x 9") << 1 << 9 << 0.3 << 3 << 1;
    QTest::newRow("31 x 1") << 31 << 1 << 0.0 << 4 << 1;
    QTest::newRow("57 x 41, mostly empty") << 57 << 41 << 0.8 << 5 << 1;
    // Maps of long runs, which are labelled by runs rather than home by home.
    QTest::newRow("265 x 265, blocks of 20, full") << 265 << 265 << 0.0 << 5 << 20;
    QTest::newRow("97 x 83, blocks of 13, a few empty") << 97 << 83 << 0.01 << 5 << 13;
    QTest::newRow("120 x 7, blocks of 30, two groups") << 120 << 7 << 0.0 << 2 << 30;
    QTest::newRow("60 x 1, blocks of 9") << 60 << 1 << 0.0 << 3 << 9;
}

void TestMeasures::matchesDefinitions()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, emptyShare);
    QFETCH(int, groups);
    QFETCH(int, blockSide);
    std::mt19937 random(quint32(width * 1000 + height));
    std::uniform_real_distribution<double> uniform(0, 1);
    std::uniform_int_distribution<int> group(1, groups), eighths(0, 8);
    const int across = (width + blockSide - 1) / blockSide;
    std::vector<int> blocks(size_t(across) * size_t((height + blockSide - 1) / blockSide));
    for (int &b : blocks)
        b = group(random);
    GroupGrid grid(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int drawn = blockSide > 1 ? blocks[size_t(y / blockSide * across + x / blockSide)] : group(random);
            grid.set(x, y, uniform(random) < emptyShare ? NoGroup : drawn);
        }
    }
    GroupTable<qint16> prefs{};
    for (qint16 &p : prefs)
        p = qint16(eighths(random));

    const Values reference = Reference(grid, prefs);
    for (const CityMeasures &measures : {Measure(grid, prefs), measurer_.Measure(grid, prefs)}) {
        for (const MeasureColumn &column : MeasureColumns()) {
            const QString name = QString::fromStdString(column.name);
            if (!Same(column.value(measures), reference[name]))
                QFAIL(qPrintable(name + ": " + Text(column.value(measures)) + ", by definition "
                                 + Text(reference[name])));
        }
    }
}

// Neighbours drawn independently are of a resident's own group with its group's share, so the
// overall mean is the sum of the squared shares.
void TestMeasures::freshRandomCityIsAboutHalfSame()
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> uniform(0, 1);
    GroupGrid grid(MapSize, MapSize);
    for (int y = 0; y < MapSize; ++y)
        for (int x = 0; x < MapSize; ++x)
            grid.set(x, y, DrawGroup(uniform(random), ConstructionCutoffs));
    double expected = 0, below = 0;
    for (int g = 1; g <= GroupCount; ++g) {
        const double share = (g < GroupCount ? ConstructionCutoffs[g] : 1.0) - below;
        expected += share * share;
        below += share;
    }
    const auto sameShare = Measure(grid, {}).sameShareAll;
    QVERIFY(sameShare);
    QVERIFY2(std::abs(*sameShare - expected) < 0.01, qPrintable(Text(sameShare)));
}

void TestMeasures::gridHoldsOnlyGroups()
{
    CityMap map(RgbOf(1, 2, 3));   // homes of no group's colour read as empty
    map.PlotResident(264, 0, 5);
    map.PlotResident(7, 9, 2);
    const GroupGrid grid = GroupGrid::FromCityMap(map);
    QCOMPARE(grid.at(264, 0), 5);
    QCOMPARE(grid.at(7, 9), 2);
    QCOMPARE(grid.at(8, 9), NoGroup);
    QCOMPARE(grid.at(265, 0), NoGroup);

    GroupGrid small(2, 2);
    for (GroupIndex value : {6, -1, 256 + 3}) {
        small.set(1, 1, 3);
        small.set(1, 1, value);
        QCOMPARE(small.at(1, 1), NoGroup);
    }
    small.set(-1, 0, 3);
    QCOMPARE(small.at(-1, 0), NoGroup);
    QCOMPARE(GroupGrid(0, -5).width(), 1);
}

void TestMeasures::everyColumnIsNamedOnceAndDocumented()
{
    QFile doc(QStringLiteral(MEASURES_DOC));
    QVERIFY(doc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(doc.readAll());
    QSet<QString> names;
    for (const MeasureColumn &column : MeasureColumns()) {
        const QString name = QString::fromStdString(column.name);
        QVERIFY2(!names.contains(name), qPrintable(name));
        names.insert(name);
        QVERIFY2(text.contains(u'`' + name + u'`'), qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(TestMeasures)
#include "tst_measures.moc"
