// SPDX-License-Identifier: GPL-3.0-or-later
#include "choosehome.h"

#include <QRandomGenerator>
#include <QTest>

// Home choice on hand-made tables. Each row: the mover's preference (group 1), the counts
// of group 1 (and of group 0) around some slots, which slots are taken, and the answer.
class TestChooseHome : public QObject
{
    Q_OBJECT

private slots:
    void chooseHome_data();
    void chooseHome();
    void agreesWithThePassesOnRandomTables();
    void nothingFreeGivesZero();
    void groupOutsideTheTablesGivesZero();
};

using SlotCounts = QList<QPair<int, int>>;   // slot, count
using Slots = QList<int>;

Q_DECLARE_METATYPE(SlotCounts)

void TestChooseHome::chooseHome_data()
{
    QTest::addColumn<int>("preference");
    QTest::addColumn<int>("mover");
    QTest::addColumn<SlotCounts>("ownCounts");     // NeighbourCount(slot, 1); others 0
    QTest::addColumn<SlotCounts>("emptyCounts");   // NeighbourCount(slot, 0)
    QTest::addColumn<Slots>("taken");
    QTest::addColumn<int>("expected");

    QTest::newRow("no preference: lowest free slot but the mover's own")
        << 0 << 1 << SlotCounts{{5, 8}} << SlotCounts{} << Slots{} << 2;
    QTest::newRow("no preference skips taken slots")
        << 0 << 4 << SlotCounts{} << SlotCounts{} << Slots{1, 2, 3} << 5;
    QTest::newRow("first fit, not best fit")
        << 3 << 1 << SlotCounts{{7, 3}, {9, 8}} << SlotCounts{} << Slots{} << 7;
    QTest::newRow("at least the preference")
        << 4 << 1 << SlotCounts{{7, 3}, {9, 4}} << SlotCounts{} << Slots{} << 9;
    QTest::newRow("taken suiting home is passed over")
        << 4 << 10 << SlotCounts{{7, 6}, {9, 5}} << SlotCounts{} << Slots{7} << 9;
    QTest::newRow("all eight: only a full neighbourhood suits")
        << 8 << 1 << SlotCounts{{3, 7}, {100, 8}} << SlotCounts{} << Slots{} << 100;
    QTest::newRow("none suits: most neighbours of the group")
        << 8 << 1 << SlotCounts{{3, 2}, {40, 6}, {50, 5}} << SlotCounts{} << Slots{} << 40;
    QTest::newRow("none suits: a tie keeps the lower slot")
        << 7 << 1 << SlotCounts{{30, 5}, {20, 5}, {60, 5}} << SlotCounts{} << Slots{} << 20;
    QTest::newRow("none suits: taken best is passed over")
        << 7 << 1 << SlotCounts{{30, 6}, {20, 5}} << SlotCounts{} << Slots{30} << 20;
    QTest::newRow("no neighbours of the group anywhere: lowest other free slot")
        << 1 << 2 << SlotCounts{} << SlotCounts{} << Slots{1} << 3;
    QTest::newRow("own home suits but others are free: goes elsewhere")
        << 5 << 7 << SlotCounts{{7, 8}} << SlotCounts{} << Slots{} << 1;
    QTest::newRow("own home has the most: still goes to the best other")
        << 8 << 7 << SlotCounts{{7, 7}, {90, 1}} << SlotCounts{} << Slots{} << 90;
    QTest::newRow("only the own home is free")
        << 4 << 192 << SlotCounts{} << SlotCounts{} << [] { Slots s; for (int i = 1; i < 192; ++i) s << i; return s; }() << 192;
    QTest::newRow("first mover: lowest slot from 2 that suits")
        << 2 << 1 << SlotCounts{{1, 8}, {2, 1}, {3, 2}} << SlotCounts{} << Slots{} << 3;
    QTest::newRow("empty neighbours never count")
        << 3 << 1 << SlotCounts{{10, 2}} << SlotCounts{{5, 8}, {6, 8}} << Slots{} << 10;
    QTest::newRow("empty neighbours do not break ties either")
        << 8 << 1 << SlotCounts{{10, 2}, {11, 2}} << SlotCounts{{11, 6}} << Slots{} << 10;
}

void TestChooseHome::chooseHome()
{
    QFETCH(int, preference);
    QFETCH(int, mover);
    QFETCH(SlotCounts, ownCounts);
    QFETCH(SlotCounts, emptyCounts);
    QFETCH(Slots, taken);
    QFETCH(int, expected);

    PreferenceTable prefs{};
    prefs[1] = qint16(preference);
    prefs[2] = 8;   // another group's preference must not matter
    NeighbourCountTable counts{};
    for (auto [slot, n] : ownCounts)
        counts(slot, 1) = qint16(n);
    for (auto [slot, n] : emptyCounts)
        counts(slot, 0) = qint16(n);
    HomeTakenTable homeTaken{};
    for (int slot : taken)
        homeTaken[slot] = true;

    QCOMPARE(ChooseHome(1, mover, prefs, counts, homeTaken), expected);
}

// The rules written out pass by pass, as plainly as possible, to check the fast scan.
static SlotIndex ChooseHomeByPasses(GroupIndex group, SlotIndex mover, const PreferenceTable &prefs,
                                    const NeighbourCountTable &counts, const HomeTakenTable &taken)
{
    const int t = prefs[group];
    for (int b = 1; b <= MovesPerGeneration; ++b)
        if (b != mover && !taken[b] && counts(b, group) >= t)
            return b;
    int best = 0;
    int bestSlot = 0;
    for (int b = 1; b <= MovesPerGeneration; ++b) {
        if (b != mover && !taken[b] && counts(b, group) > 0 && counts(b, group) > best) {
            best = counts(b, group);
            bestSlot = b;
        }
    }
    if (bestSlot > 0)
        return bestSlot;
    for (int b = 1; b <= MovesPerGeneration; ++b)
        if (b != mover && !taken[b])
            return b;
    for (int b = 1; b <= MovesPerGeneration; ++b)
        if (!taken[b])
            return b;
    return 0;
}

// One table is written over again and again, by single counts or a whole census at a time,
// so that the sets home choice keeps are seen to follow every change.
void TestChooseHome::agreesWithThePassesOnRandomTables()
{
    QRandomGenerator random(192);
    NeighbourCountTable counts;
    for (int round = 0; round < 20000; ++round) {
        PreferenceTable prefs{};
        for (int g = 1; g <= GroupCount; ++g)
            prefs[g] = qint16(random.bounded(9));
        // Sparse counts make every pass happen: most rounds have few homes of any use.
        const int density = random.bounded(1, 100);
        const bool wholeCensus = round % 2 == 0;
        for (int b = 1; b <= MovesPerGeneration; ++b) {
            NeighbourCountTable::Census census{};
            int left = NeighbourReads;
            for (int g = 1; g <= GroupCount && left > 0; ++g) {
                census[g] = qint16(random.bounded(100) < density ? random.bounded(left + 1) : 0);
                left -= census[g];
            }
            census[0] = qint16(left);
            if (wholeCensus) {
                counts.RecordCensus(b, census);
            } else {
                for (int g = 0; g <= GroupCount; ++g)
                    counts(b, g) = census[g];
            }
        }
        HomeTakenTable taken{};
        const int takenShare = random.bounded(101);
        for (int b = 1; b <= MovesPerGeneration; ++b)
            taken[b] = random.bounded(100) < takenShare;
        for (int ask = 0; ask < 3; ++ask) {
            const int mover = random.bounded(1, MovesPerGeneration + 1);
            const int group = random.bounded(1, GroupCount + 1);
            const SlotIndex expected = ChooseHomeByPasses(group, mover, prefs, counts, taken);
            const SlotIndex actual = ChooseHome(group, mover, prefs, counts, taken);
            if (actual != expected)
                QFAIL(qPrintable(QStringLiteral("round %1: %2 instead of %3").arg(round).arg(actual).arg(expected)));
        }
    }
}

void TestChooseHome::nothingFreeGivesZero()
{
    PreferenceTable prefs{};
    NeighbourCountTable counts{};
    HomeTakenTable homeTaken{};
    for (int slot = 1; slot <= MovesPerGeneration; ++slot)
        homeTaken[slot] = true;
    QCOMPARE(ChooseHome(3, 5, prefs, counts, homeTaken), 0);
}

void TestChooseHome::groupOutsideTheTablesGivesZero()
{
    PreferenceTable prefs{};
    NeighbourCountTable counts{};
    HomeTakenTable homeTaken{};
    QCOMPARE(ChooseHome(6, 1, prefs, counts, homeTaken), 0);
    QCOMPARE(ChooseHome(-1, 1, prefs, counts, homeTaken), 0);
}

QTEST_GUILESS_MAIN(TestChooseHome)
#include "tst_choosehome.moc"
