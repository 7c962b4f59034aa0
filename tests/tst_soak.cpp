// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "fakecitywindow.h"
#include "general.h"
#include "localeforms.h"
#include "qtbridge.h"

#include <QFile>
#include <QTest>

#include <unistd.h>

using Field = CityWindow::Field;

// The whole calendar in one run: from 1 January 2005 to 31 December 9999 and back to the
// start, on one seeded city, with every invariant of a generation checked along the way and
// the process's memory measured at both ends. It takes tens of seconds, so it carries the
// label "soak" and can be left out locally with `ctest -LE soak`.
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void fullCalendar();

private:
    static constexpr int GenerationsToLastDay = 365014;   // 1 Jan 2005 + 8 days each = 31 Dec 9999
    static constexpr int FullCheckEvery = 1000;
    // Room for allocator noise; a leak of a few bytes per generation would exceed it.
    static constexpr qint64 AllowedGrowthBytes = 1 << 20;

    // What the window shows after construction and must still show after any generation.
    struct Picture
    {
        GroupTable<int> sizes{};
        QStringList texts;
        PreferenceTable eighths{};
    };

    // Reads the map from its pixels directly, not through the model's own reading.
    static QString ReadMap(const CityMap &map, GroupTable<int> &sizes)
    {
        sizes = {};
        const Rgb *pixels = map.picture();
        for (int y = 0; y < MapSize; ++y) {
            const Rgb *row = pixels + y * MapSize;
            for (int x = 0; x < MapSize; ++x) {
                const Rgb colour = row[x] & RgbMask;
                GroupIndex found = NoGroup;
                for (GroupIndex g = 1; g <= GroupCount; ++g) {
                    if ((Groups[g].colour & RgbMask) == colour)
                        found = g;
                }
                if (found == NoGroup)
                    return QStringLiteral("cell (%1, %2) has colour #%3, no group's")
                        .arg(x).arg(y).arg(colour, 6, 16, QLatin1Char('0'));
                ++sizes[found];
            }
        }
        return {};
    }

    static QStringList Texts(const FakeCityWindow &window)
    {
        QStringList texts{window.field(Field::Population)};
        for (GroupIndex g = 1; g <= GroupCount; ++g)
            texts << window.field(Field::Kount, g) << window.field(Field::Prop, g)
                  << window.field(Field::Pref, g);
        return texts;
    }

    static QString Compare(const Picture &now, const Picture &then)
    {
        for (GroupIndex g = 1; g <= GroupCount; ++g) {
            if (now.sizes[g] != then.sizes[g])
                return QStringLiteral("group %1 has %2 residents, not %3")
                    .arg(g).arg(now.sizes[g]).arg(then.sizes[g]);
        }
        if (now.texts != then.texts)
            return QStringLiteral("the texts became [%1], were [%2]")
                .arg(now.texts.join(u'|'), then.texts.join(u'|'));
        if (now.eighths != then.eighths)
            return QStringLiteral("a preference changed");
        return {};
    }

    static qint64 ResidentBytes()
    {
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly))
            return -1;
        const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
        return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
    }
};

void TestSoak::fullCalendar()
{
    FakeCityWindow window;
    RandomSource random([] { return 48213.625f; });
    const LocaleForms forms;   // the user's, as the window has them
    General general(window, random, forms);
    auto read = [&](const QString &text) {
        const auto date = forms.ReadDate(text.toStdString());
        return date ? QtBridge::ToQDate(*date) : QDate();
    };
    auto write = [&](QDate date) { return QtBridge::Q(forms.WriteDate(QtBridge::FromQDate(date))); };
    const QDate firstDay(2005, 1, 1);
    general.BuildCity();

    Picture built;
    const QString damage = ReadMap(window.cityMap, built.sizes);
    QVERIFY2(damage.isEmpty(), qPrintable(damage));
    built.texts = Texts(window);
    built.eighths = general.PrefEighths;
    int total = 0;
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        QVERIFY2(built.sizes[g] > 0, qPrintable(QStringLiteral("group %1 is missing").arg(g)));
        QCOMPARE(forms.ReadNumber(window.text(Field::Kount, g)), double(built.sizes[g]));
        total += built.sizes[g];
    }
    QCOMPARE(total, CellCount);
    QCOMPARE(forms.ReadNumber(window.text(Field::Population)), double(CellCount));
    QCOMPARE(read(window.field(Field::Dayt)), firstDay);

    // A generation repaints nothing and touches no control; any of these would be a change.
    const int windowRepaints = window.windowRepaints;
    const int mapRepaints = window.mapRepaints;
    const qsizetype logged = window.log.size();

    const qint64 startBytes = ResidentBytes();
    QVERIFY2(startBytes > 0, "cannot read the resident set size from /proc/self/statm");
    qint64 peakBytes = startBytes;

    QDate expected = firstDay;
    for (int n = 1; n <= GenerationsToLastDay + 1; ++n) {
        general.NextGeneration();
        expected = n <= GenerationsToLastDay ? expected.addDays(DaysPerGeneration) : firstDay;
        if (n == GenerationsToLastDay && expected != QDate(9999, 12, 31))
            QFAIL(qPrintable(QStringLiteral("eight days a generation lead to %1, not the last day")
                                 .arg(expected.toString(Qt::ISODate))));

        const QString dayt = window.field(Field::Dayt);
        if (read(dayt) != expected || dayt != write(expected))
            QFAIL(qPrintable(QStringLiteral("after generation %1 the date reads \"%2\", not %3")
                                 .arg(n).arg(dayt, expected.toString(Qt::ISODate))));

        if (n % FullCheckEvery == 0 || n >= GenerationsToLastDay) {
            Picture now;
            QString problem = ReadMap(window.cityMap, now.sizes);
            if (problem.isEmpty()) {
                now.texts = Texts(window);
                now.eighths = general.PrefEighths;
                problem = Compare(now, built);
            }
            if (problem.isEmpty() && window.endings != 0)
                problem = QStringLiteral("the model ended the program");
            if (problem.isEmpty()
                && (window.windowRepaints != windowRepaints || window.mapRepaints != mapRepaints
                    || window.log.size() != logged))
                problem = QStringLiteral("a generation repainted or changed a control");
            if (!problem.isEmpty())
                QFAIL(qPrintable(QStringLiteral("after generation %1: %2").arg(n).arg(problem)));
            peakBytes = std::max(peakBytes, ResidentBytes());
        }
    }

    QCOMPARE(window.field(Field::Dayt), write(firstDay));

    const qint64 endBytes = ResidentBytes();
    qInfo("resident set: %lld KiB at the start, %lld KiB at the end, %lld KiB at most",
          startBytes / 1024, endBytes / 1024, peakBytes / 1024);
    QVERIFY2(endBytes - startBytes <= AllowedGrowthBytes,
             qPrintable(QStringLiteral("memory grew by %1 KiB").arg((endBytes - startBytes) / 1024)));
    QVERIFY2(peakBytes - startBytes <= AllowedGrowthBytes,
             qPrintable(QStringLiteral("memory peaked %1 KiB above the start")
                            .arg((peakBytes - startBytes) / 1024)));
}

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
