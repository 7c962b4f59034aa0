// SPDX-License-Identifier: GPL-3.0-or-later
#include "citymap.h"
#include "constants.h"
#include "randomsource.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <algorithm>
#include <vector>

namespace {
Rgb PixelAt(const CityMap &map, int x, int y)
{
    return map.picture()[y * MapSize + x];
}
} // namespace

// The map's two operations, its one coordinate mapping, and drawing a group.
class TestCityMap : public QObject
{
    Q_OBJECT

private slots:
    void plotThenReadEveryGroup_data();
    void plotThenReadEveryGroup();
    void notAGroupPaintsWhite_data();
    void notAGroupPaintsWhite();
    void pointsOffTheMap_data();
    void pointsOffTheMap();
    void wholeCoordinatesAreOneToOne();
    void unknownColourIsNoGroup();
    void everyDrawnCoordinateHasAdjacentNeighbours();
    void drawGroup_data();
    void drawGroup();
    void randomSourceStaysBelowOne();
    void randomSourceIsSeededByTimeOfDay();

private:
    static constexpr Rgb Face = 0xfff0f0f0;
};

void TestCityMap::plotThenReadEveryGroup_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::newRow("top left") << 0.0f << 0.0f;
    QTest::newRow("bottom right") << 264.0f << 264.0f;
    QTest::newRow("middle") << 132.0f << 97.0f;
    QTest::newRow("fraction below half") << 10.49f << 20.2f;
    QTest::newRow("fraction above half") << 263.6f << 0.5f;
    QTest::newRow("rounds onto the bottom row") << 0.0f << 264.4f;
}

void TestCityMap::plotThenReadEveryGroup()
{
    QFETCH(float, x);
    QFETCH(float, y);
    CityMap map(Face);
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        map.PlotResident(x, y, g);
        QCOMPARE(map.GroupAt(x, y), g);
    }
}

void TestCityMap::notAGroupPaintsWhite_data()
{
    QTest::addColumn<int>("group");
    QTest::newRow("0") << 0;
    QTest::newRow("6") << 6;
    QTest::newRow("7") << 7;
    QTest::newRow("-1") << -1;
}

void TestCityMap::notAGroupPaintsWhite()
{
    QFETCH(int, group);
    CityMap map(Face);
    map.PlotResident(5, 6, 3);
    map.PlotResident(5, 6, group);
    QCOMPARE(map.GroupAt(5, 6), NoGroup);
    QCOMPARE(PixelAt(map, 5, 6), RgbOf(255, 255, 255));
}

void TestCityMap::pointsOffTheMap_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("left") << -1.0f << 0.0f;
    QTest::newRow("above") << 0.0f << -1.0f;
    QTest::newRow("right") << 265.0f << 0.0f;
    QTest::newRow("below") << 0.0f << 265.0f;
    QTest::newRow("over half a unit left") << -0.51f << 10.0f;
    QTest::newRow("far away") << 1e30f << -1e30f;
    QTest::newRow("nan") << nan << 3.0f;
    QTest::newRow("infinity") << 3.0f << inf;
}

void TestCityMap::pointsOffTheMap()
{
    QFETCH(float, x);
    QFETCH(float, y);
    CityMap map(Face);
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        map.PlotResident(float(g), 0, g);
    const std::vector<Rgb> before(map.picture(), map.picture() + CellCount);
    map.PlotResident(x, y, 2);
    QCOMPARE(map.GroupAt(x, y), NoGroup);
    QVERIFY(std::equal(before.begin(), before.end(), map.picture()));
}

void TestCityMap::wholeCoordinatesAreOneToOne()
{
    CityMap map(Face);
    auto groupFor = [](int x, int y) { return GroupIndex(1 + (x * 7 + y * 3) % GroupCount); };
    for (int y = 0; y <= LastCell; ++y)
        for (int x = 0; x <= LastCell; ++x)
            map.PlotResident(float(x), float(y), groupFor(x, y));
    for (int y = 0; y <= LastCell; ++y) {
        for (int x = 0; x <= LastCell; ++x) {
            if (map.GroupAt(float(x), float(y)) != groupFor(x, y))
                QFAIL(qPrintable(QStringLiteral("cell %1,%2").arg(x).arg(y)));
            if (PixelAt(map, x, y) != ColourOf(groupFor(x, y)))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void TestCityMap::unknownColourIsNoGroup()
{
    CityMap map(RgbOf(0, 0, 254));   // one step from Blue: no nearest-colour matching
    QCOMPARE(map.GroupAt(0, 0), NoGroup);
    QCOMPARE(map.GroupAt(264, 264), NoGroup);
}

// A generation reads the neighbours of a drawn home at x - 1 and x + 1, computed in single
// precision. For every coordinate the random source can give, those must be the adjacent
// cells, and every cell of the map must be reachable.
void TestCityMap::everyDrawnCoordinateHasAdjacentNeighbours()
{
    std::vector<bool> reached(MapSize, false);
    for (quint32 k = 0; k < RandomSource::Steps; ++k) {
        const float c = RandomSource::FromStep(k) * DrawSpan;
        const auto cell = CityMap::CellOf(c);
        if (!cell)
            QFAIL(qPrintable(QStringLiteral("draw %1 gives %2, off the map").arg(k).arg(double(c), 0, 'g', 9)));
        const auto before = CityMap::CellOf(c - 1.0f);
        const auto after = CityMap::CellOf(c + 1.0f);
        const bool beforeOk = *cell == 0 ? !before : (before && *before == *cell - 1);
        const bool afterOk = *cell == LastCell ? !after : (after && *after == *cell + 1);
        if (!beforeOk || !afterOk)
            QFAIL(qPrintable(QStringLiteral("draw %1 at %2 has no adjacent neighbours").arg(k).arg(double(c), 0, 'g', 9)));
        reached[*cell] = true;
    }
    QVERIFY(std::all_of(reached.begin(), reached.end(), [](bool r) { return r; }));
}

void TestCityMap::drawGroup_data()
{
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("group");
    QTest::newRow("0") << 0.0f << 1;
    QTest::newRow("below 0.65") << std::nextafter(0.65f, 0.0f) << 1;
    QTest::newRow("0.65") << 0.65f << 2;
    QTest::newRow("below 0.78") << std::nextafter(0.78f, 0.0f) << 2;
    QTest::newRow("0.78") << 0.78f << 3;
    QTest::newRow("0.91") << 0.91f << 4;
    QTest::newRow("below 0.98") << std::nextafter(0.98f, 0.0f) << 4;
    QTest::newRow("0.98") << 0.98f << 5;
    QTest::newRow("largest draw") << RandomSource::FromStep(RandomSource::Steps - 1) << 5;
}

void TestCityMap::drawGroup()
{
    QFETCH(float, r);
    QFETCH(int, group);
    QCOMPARE(DrawGroup(r, ConstructionCutoffs), group);
}

void TestCityMap::randomSourceStaysBelowOne()
{
    QVERIFY(RandomSource::FromStep(RandomSource::Steps - 1) < 1.0f);
    RandomSource random([] { return 12345.678f; });
    for (int i = 0; i < 100000; ++i) {
        const float r = random.NextSingle();
        QVERIFY(r >= 0.0f && r < 1.0f);
    }
}

void TestCityMap::randomSourceIsSeededByTimeOfDay()
{
    float now = 100.25f;
    RandomSource a([&] { return now; });
    RandomSource b([&] { return now; });
    QCOMPARE(a.NextSingle(), b.NextSingle());
    now = 100.5f;
    a.ReseedFromTimeOfDay();
    b.Seed(100.25f);
    int same = 0;
    for (int i = 0; i < 100; ++i)
        same += a.NextSingle() == b.NextSingle() ? 1 : 0;
    QVERIFY(same < 5);
}

QTEST_GUILESS_MAIN(TestCityMap)
#include "tst_citymap.moc"
