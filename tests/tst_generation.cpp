// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "fakecitywindow.h"
#include "localeforms.h"
#include "qtbridge.h"
#include "general.h"
#include "usenglishforms.h"

#include <QTest>

#include <set>

using Field = CityWindow::Field;

// Generations against the in-memory window on seeded cities.
class TestGeneration : public QObject
{
    Q_OBJECT

private slots:
    void keepsEveryResidentAndText();
    void vacatesDistinctHomes();
    void redrawsAHomeVacatedEarlier();
    void censusIsTakenFromTheLiveMap();
    void placesMoversAsChosen();
    void zeroPreferencesExchangePairs();
    void dates_data();
    void dates();
    void fullCalendarThroughTheText();
    void damagedMapEndsAtOnce();
    void manyGenerationsKeepTheInvariants();
    void enclavesFormAndDissolve();

private:
    struct Fixture
    {
        explicit Fixture(float seconds = 7200.125f)
            : now(seconds)
        {
            general.BuildCity();
        }
        float now;
        FakeCityWindow window;
        RandomSource random{[this] { return now; }};
        UsEnglishForms forms;
    General general{window, random, forms};
    };

    // A random source that gives the same numbers as the fixture's, from the start of its
    // latest construction. The one place here that says how a source is seeded.
    static RandomSource SeededLike(const Fixture &f)
    {
        const float seconds = f.now;
        return RandomSource([seconds] { return seconds; });
    }

    using Snapshot = std::vector<GroupIndex>;   // row-major groups of the whole map

    static Snapshot Groups(const Fixture &f)
    {
        Snapshot s(CellCount);
        for (int y = 0; y < MapSize; ++y)
            for (int x = 0; x < MapSize; ++x)
                s[y * MapSize + x] = f.window.cityMap.GroupAt(float(x), float(y));
        return s;
    }
    static GroupTable<int> Sizes(const Snapshot &s)
    {
        GroupTable<int> sizes{};
        for (GroupIndex g : s)
            ++sizes[g];
        return sizes;
    }
    static QPoint CellOfSlot(const General &general, int slot)
    {
        return QPoint(*CityMap::CellOf(general.VacantX[slot]), *CityMap::CellOf(general.VacantY[slot]));
    }
    // How alike neighbours are: the share of pairs of adjacent homes whose groups match.
    static double Likeness(const Snapshot &s)
    {
        long same = 0;
        long pairs = 0;
        for (int y = 0; y < MapSize; ++y) {
            for (int x = 0; x + 1 < MapSize; ++x) {
                same += s[y * MapSize + x] == s[y * MapSize + x + 1] ? 1 : 0;
                same += s[x * MapSize + y] == s[(x + 1) * MapSize + y] ? 1 : 0;
                pairs += 2;
            }
        }
        return double(same) / double(pairs);
    }
};

void TestGeneration::keepsEveryResidentAndText()
{
    Fixture f;
    const Snapshot before = Groups(f);
    const auto texts = f.window.texts;
    f.general.NextGeneration();
    const Snapshot after = Groups(f);

    QCOMPARE(Sizes(after)[NoGroup], 0);
    QCOMPARE(Sizes(after), Sizes(before));
    QVERIFY(after != before);
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        if (it.key().first != int(Field::Dayt))
            QCOMPARE(f.window.texts.value(it.key()), it.value());
    }
    QCOMPARE(f.window.field(Field::Dayt), QStringLiteral("1/9/2005"));
}

void TestGeneration::vacatesDistinctHomes()
{
    Fixture f;
    for (int round = 0; round < 20; ++round) {
        f.general.NextGeneration();
        std::set<std::pair<int, int>> homes;
        for (int i = 1; i <= MovesPerGeneration; ++i) {
            const QPoint p = CellOfSlot(f.general, i);
            homes.insert({p.x(), p.y()});
            QVERIFY(f.general.MoverGroup[i] >= 1 && f.general.MoverGroup[i] <= GroupCount);
        }
        QCOMPARE(int(homes.size()), MovesPerGeneration);
    }
}

// A draw that lands on a home vacated earlier in the same generation is drawn again, both
// coordinates anew, x first. A twin of the random source replays the stream: construction
// takes one number per home, then each mover takes pairs until one lands on a home not yet
// vacated in its generation. About one generation in four has such a repeated draw.
void TestGeneration::redrawsAHomeVacatedEarlier()
{
    Fixture f;
    RandomSource twin = SeededLike(f);
    for (int home = 0; home < CellCount; ++home)
        twin.NextSingle();
    int redraws = 0;
    for (int round = 0; round < 100; ++round) {
        f.general.NextGeneration();
        std::set<std::pair<int, int>> vacated;
        for (int i = 1; i <= MovesPerGeneration; ++i) {
            for (;;) {
                const float x = twin.NextSingle() * DrawSpan;
                const float y = twin.NextSingle() * DrawSpan;
                if (vacated.insert({*CityMap::CellOf(x), *CityMap::CellOf(y)}).second) {
                    QCOMPARE(f.general.VacantX[i], x);
                    QCOMPARE(f.general.VacantY[i], y);
                    break;
                }
                ++redraws;
            }
        }
    }
    QVERIFY2(redraws >= 1, "no draw landed on a vacated home: the check saw nothing");
}

// Each census is what the map showed when the home was vacated: neighbours off the map and
// homes vacated earlier in the generation count as group 0, homes vacated later with their
// resident's group. Over twenty generations both border homes and neighbouring vacated
// pairs occur, and the check insists on seeing them.
void TestGeneration::censusIsTakenFromTheLiveMap()
{
    Fixture f;
    int borderHomes = 0;
    int earlierNeighbours = 0;
    int laterNeighbours = 0;
    for (int round = 0; round < 20; ++round) {
        const Snapshot before = Groups(f);
        f.general.NextGeneration();
        std::map<std::pair<int, int>, int> slotOf;
        for (int i = 1; i <= MovesPerGeneration; ++i) {
            const QPoint p = CellOfSlot(f.general, i);
            slotOf[{p.x(), p.y()}] = i;
        }
        for (int i = 1; i <= MovesPerGeneration; ++i) {
            const QPoint home = CellOfSlot(f.general, i);
            QCOMPARE(before[home.y() * MapSize + home.x()], f.general.MoverGroup[i]);
            GroupTable<int> expected{};
            bool border = false;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (dx == 0 && dy == 0)
                        continue;
                    const int x = home.x() + dx;
                    const int y = home.y() + dy;
                    if (x < 0 || y < 0 || x > LastCell || y > LastCell) {
                        ++expected[NoGroup];
                        border = true;
                        continue;
                    }
                    const auto vacated = slotOf.find({x, y});
                    if (vacated != slotOf.end() && vacated->second < i) {
                        ++expected[NoGroup];
                        ++earlierNeighbours;
                    } else {
                        laterNeighbours += vacated != slotOf.end() ? 1 : 0;
                        ++expected[before[y * MapSize + x]];
                    }
                }
            }
            borderHomes += border ? 1 : 0;
            int sum = 0;
            for (GroupIndex g = 0; g <= GroupCount; ++g) {
                QCOMPARE(int(f.general.NeighbourCount(i, g)), expected[g]);
                sum += f.general.NeighbourCount(i, g);
            }
            QCOMPARE(sum, NeighbourReads);
        }
    }
    QVERIFY(borderHomes > 0);
    QVERIFY(earlierNeighbours > 0);
    QVERIFY(laterNeighbours > 0);
}

void TestGeneration::placesMoversAsChosen()
{
    Fixture f;
    f.window.setField(Field::Pref, 1, QStringLiteral("100"));
    f.general.ApplyPreference(1);
    f.general.NextGeneration();

    HomeTakenTable taken{};
    for (int i = 1; i <= MovesPerGeneration; ++i) {
        const SlotIndex s = ChooseHome(f.general.MoverGroup[i], i, f.general.PrefEighths,
                                       f.general.NeighbourCount, taken);
        QVERIFY(s >= 1);
        taken[s] = true;
        QCOMPARE(f.window.cityMap.GroupAt(f.general.VacantX[s], f.general.VacantY[s]),
                 f.general.MoverGroup[i]);
    }
    QCOMPARE(taken, f.general.HomeTaken);
}

// With no preferences each mover takes the lowest free home but its own: 1 and 2 swap,
// 3 and 4 swap, and so on. The change applies from the very next generation.
void TestGeneration::zeroPreferencesExchangePairs()
{
    Fixture f;
    f.general.NextGeneration();
    for (int g = 1; g <= GroupCount; ++g) {
        f.window.setField(Field::Pref, g, QStringLiteral("0"));
        f.general.ApplyPreference(g);
    }
    f.general.NextGeneration();
    for (int i = 1; i <= MovesPerGeneration; i += 2) {
        QCOMPARE(f.window.cityMap.GroupAt(f.general.VacantX[i], f.general.VacantY[i]), f.general.MoverGroup[i + 1]);
        QCOMPARE(f.window.cityMap.GroupAt(f.general.VacantX[i + 1], f.general.VacantY[i + 1]), f.general.MoverGroup[i]);
    }
}

void TestGeneration::dates_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("next");
    QTest::newRow("first step") << QDate(2005, 1, 1) << QDate(2005, 1, 9);
    QTest::newRow("leap year") << QDate(2008, 2, 27) << QDate(2008, 3, 6);
    QTest::newRow("year end") << QDate(2005, 12, 28) << QDate(2006, 1, 5);
    QTest::newRow("last step") << QDate(9999, 12, 23) << QDate(9999, 12, 31);
    QTest::newRow("wraps at 24 December 9999") << QDate(9999, 12, 24) << QDate(2005, 1, 1);
    QTest::newRow("wraps after") << QDate(9999, 12, 25) << QDate(2005, 1, 1);
    QTest::newRow("wraps on the last day") << QDate(9999, 12, 31) << QDate(2005, 1, 1);
}

void TestGeneration::dates()
{
    QFETCH(QDate, today);
    QFETCH(QDate, next);
    Fixture f;
    f.window.setText(Field::Dayt, 0, f.general.forms().WriteDate(QtBridge::FromQDate(today)));
    f.general.NextGeneration();
    QCOMPARE(QtBridge::ToQDate(f.general.forms().ReadDate(f.window.text(Field::Dayt)).value_or(Date{})), next);
}

// The date lives only as text: every step reads the text back, in the form it was written.
void TestGeneration::fullCalendarThroughTheText()
{
    // The core's own US English dates and the desktop's in that locale, which must agree.
    const UsEnglishForms core;
    const LocaleForms qt(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const FieldForms *forms : {static_cast<const FieldForms *>(&core), static_cast<const FieldForms *>(&qt)}) {
        std::string text = forms->WriteDate(FirstDay);
        constexpr int GenerationsToTheEnd = 365014;
        for (int n = 1; n <= GenerationsToTheEnd; ++n) {
            const auto today = forms->ReadDate(text);
            if (!today)
                QFAIL(qPrintable(QStringLiteral("%1 does not read back").arg(QtBridge::Q(text))));
            text = forms->WriteDate(DateAfterGeneration(*today));
        }
        QCOMPARE(QtBridge::ToQDate(*forms->ReadDate(text)), QDate(9999, 12, 31));
        QCOMPARE(text, "12/31/9999");
        text = forms->WriteDate(DateAfterGeneration(*forms->ReadDate(text)));
        QCOMPARE(QtBridge::ToQDate(*forms->ReadDate(text)), QDate(2005, 1, 1));
    }
}

void TestGeneration::damagedMapEndsAtOnce()
{
    FakeCityWindow window;   // never built: every cell shows the window's own colour
    RandomSource random([] { return 5.0f; });
    const UsEnglishForms forms;
    General general(window, random, forms);
    const QImage before = QtBridge::Picture(window.cityMap);
    general.NextGeneration();
    QCOMPARE(window.endings, 1);
    QCOMPARE(QtBridge::Picture(window.cityMap), before);
}

void TestGeneration::manyGenerationsKeepTheInvariants()
{
    Fixture f(45000.75f);
    const GroupTable<int> sizes = Sizes(Groups(f));
    QDate expected(2005, 1, 1);
    for (int n = 1; n <= 5000; ++n) {
        f.general.NextGeneration();
        expected = expected.addDays(8);
        if (n % 500 == 0) {
            QCOMPARE(Sizes(Groups(f)), sizes);
            QCOMPARE(QtBridge::ToQDate(f.general.forms().ReadDate(f.window.text(Field::Dayt)).value_or(Date{})), expected);
        }
    }
    QCOMPARE(f.window.endings, 0);
}

// The point of the program: with a modest preference neighbours grow alike; with none,
// the city mixes again.
void TestGeneration::enclavesFormAndDissolve()
{
    Fixture f(30000.5f);
    const double start = Likeness(Groups(f));
    for (int n = 0; n < 3000; ++n)
        f.general.NextGeneration();
    const double sorted = Likeness(Groups(f));
    QVERIFY2(sorted > start + 0.05, qPrintable(QStringLiteral("%1 -> %2").arg(start).arg(sorted)));

    for (int g = 1; g <= GroupCount; ++g) {
        f.window.setField(Field::Pref, g, QStringLiteral("0"));
        f.general.ApplyPreference(g);
    }
    for (int n = 0; n < 3000; ++n)
        f.general.NextGeneration();
    const double mixed = Likeness(Groups(f));
    QVERIFY2(mixed < sorted - 0.02, qPrintable(QStringLiteral("%1 -> %2").arg(sorted).arg(mixed)));
}

QTEST_GUILESS_MAIN(TestGeneration)
#include "tst_generation.moc"
