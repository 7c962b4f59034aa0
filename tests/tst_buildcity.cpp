// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "fakecitywindow.h"
#include "numbertext.h"
#include "qtbridge.h"
#include "general.h"
#include "usenglishforms.h"

#include <QRegularExpression>
#include <QTest>

#include <cmath>

using Field = CityWindow::Field;
using Control = CityWindow::Control;

// Construction against the in-memory window, in a fixed US-English locale.
class TestBuildCity : public QObject
{
    Q_OBJECT

private slots:
    void countsAddUpAndMatchTheMap();
    void sharesAndPopulationTexts();
    void dateAndPreferences();
    void noticeButtonsAndFocusInOrder();
    void repaintsOncePerRow();
    void sharesApproachTheConstructionShares();
    void meanSharesOverManyConstructions();
    void sameTimeOfDaySameCity();
    void differentTimesOfDayDifferentCities();
    void preferencesCarryOverToTheNextCity();
    void rebuildingResetsDateAndCounts();

private:
    struct Fixture
    {
        explicit Fixture(float seconds = 3600.5f)
            : now(seconds)
        {
        }
        float now;
        FakeCityWindow window;
        RandomSource random{[this] { return now; }};
        UsEnglishForms forms;
    General general{window, random, forms};
    };

    // The time of day that seeds the n-th of a fixed set of constructions, spread over the
    // day. The one place here that says how a construction is seeded.
    static float SeedOf(int n) { return 600.25f + 2870.5f * float(n); }

    static double Count(const Fixture &f, Field field, int g)
    {
        return f.general.forms().ReadNumber(f.window.text(field, g)).value_or(-1);
    }
};

void TestBuildCity::countsAddUpAndMatchTheMap()
{
    Fixture f;
    f.general.BuildCity();

    GroupTable<int> onMap{};
    const QImage image = QtBridge::Picture(f.window.cityMap);
    for (int y = 0; y < MapSize; ++y)
        for (int x = 0; x < MapSize; ++x)
            ++onMap[GroupOfColour(image.pixel(x, y))];
    QCOMPARE(onMap[NoGroup], 0);

    double total = 0;
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        QCOMPARE(Count(f, Field::Kount, g), double(onMap[g]));
        total += Count(f, Field::Kount, g);
    }
    QCOMPARE(total, double(CellCount));
}

void TestBuildCity::sharesAndPopulationTexts()
{
    Fixture f;
    f.general.BuildCity();
    QCOMPARE(f.window.field(Field::Population), QStringLiteral("70,225"));

    double sum = 0;
    const QRegularExpression twoDecimals(QStringLiteral("^\\d+\\.\\d\\d%$"));
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        const QString share = f.window.field(Field::Prop, g);
        QVERIFY2(twoDecimals.match(share).hasMatch(), qPrintable(share));
        const double expected = Count(f, Field::Kount, g) / CellCount * 100.0;
        const double shown = NumberText::ReadLeadingNumber(share.toStdString());
        QVERIFY2(std::abs(shown - expected) <= 0.005 + 1e-9, qPrintable(share));
        sum += shown;
    }
    QVERIFY(std::abs(sum - 100.0) <= 5 * 0.005 + 1e-9);
}

void TestBuildCity::dateAndPreferences()
{
    Fixture f;
    f.general.BuildCity();
    QCOMPARE(QtBridge::ToQDate(f.general.forms().ReadDate(f.window.text(Field::Dayt)).value_or(Date{})), QDate(2005, 1, 1));
    QCOMPARE(f.window.field(Field::Dayt), QStringLiteral("1/1/2005"));
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        QCOMPARE(int(f.general.PrefEighths[g]), 4);
        QCOMPARE(f.window.field(Field::Pref, g), QStringLiteral("50.0%"));
    }
    const GroupTable<float> cutoffs = {0.0f, 0.65f, 0.78f, 0.91f, 0.98f, 0.0f};
    QCOMPARE(f.general.GroupShareCutoff, cutoffs);
}

void TestBuildCity::noticeButtonsAndFocusInOrder()
{
    Fixture f;
    f.general.BuildCity();
    auto entry = [](const char *what, Control c) { return QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(int(c)); };
    const QStringList expected = {
        entry("show", Control::PleaseWait),
        entry("hide", Control::DisplayMore), entry("hide", Control::PauseIt),
        entry("hide", Control::ContinueIt), entry("hide", Control::StartOver),
        QStringLiteral("showWindow"),
        entry("hide", Control::PleaseWait),
        entry("show", Control::DisplayMore), entry("show", Control::PauseIt),
        entry("show", Control::ContinueIt), entry("show", Control::StartOver),
        entry("focus", Control::PauseIt),
    };
    QCOMPARE(f.window.log, expected);
    QVERIFY(!f.window.isVisible(Control::PleaseWait));
    QCOMPARE(f.window.focused, int(Control::PauseIt));
}

void TestBuildCity::repaintsOncePerRow()
{
    Fixture f;
    f.general.BuildCity();
    QCOMPARE(f.window.mapRepaints, MapSize);
    QCOMPARE(f.window.windowRepaints, MapSize);
}

// 70,225 draws: each share lies within five standard deviations of its target.
void TestBuildCity::sharesApproachTheConstructionShares()
{
    const double targets[] = {0, 0.65, 0.13, 0.13, 0.07, 0.02};
    Fixture f;
    f.general.BuildCity();
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        const double share = Count(f, Field::Kount, g) / CellCount;
        const double sigma = std::sqrt(targets[g] * (1 - targets[g]) / CellCount);
        QVERIFY2(std::abs(share - targets[g]) < 5 * sigma, qPrintable(QString::number(share)));
    }
}

// The mean of the shown shares over thirty constructions from fixed seeds. One standard
// error of such a mean is 100 * sqrt(p (1 - p) / (30 * 70,225)) percentage points, 0.033
// at most; the tolerance is five of them plus the rounding of the two shown decimals. Even
// with other seeds a correct construction would miss it about once in 300,000 runs.
void TestBuildCity::meanSharesOverManyConstructions()
{
    constexpr int Constructions = 30;
    constexpr double StandardErrors = 5;
    const double targets[] = {0, 65, 13, 13, 7, 2};
    GroupTable<double> sum{};
    for (int n = 0; n < Constructions; ++n) {
        Fixture f(SeedOf(n));
        f.general.BuildCity();
        for (GroupIndex g = 1; g <= GroupCount; ++g)
            sum[g] += NumberText::ReadLeadingNumber(f.window.text(Field::Prop, g));
    }
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        const double p = targets[g] / 100;
        const double standardError = 100 * std::sqrt(p * (1 - p) / (double(Constructions) * CellCount));
        const double tolerance = StandardErrors * standardError + 0.005;
        const double mean = sum[g] / Constructions;
        QVERIFY2(std::abs(mean - targets[g]) <= tolerance,
                 qPrintable(QStringLiteral("%1: %2 %, expected %3 % within %4")
                                .arg(QtBridge::Q(GroupName(g))).arg(mean).arg(targets[g]).arg(tolerance)));
    }
}

void TestBuildCity::sameTimeOfDaySameCity()
{
    Fixture a(1234.5f);
    Fixture b(1234.5f);
    a.general.BuildCity();
    b.general.BuildCity();
    QCOMPARE(QtBridge::Picture(a.window.cityMap), QtBridge::Picture(b.window.cityMap));
}

void TestBuildCity::differentTimesOfDayDifferentCities()
{
    Fixture f(1234.5f);
    f.general.BuildCity();
    const QImage first = QtBridge::Picture(f.window.cityMap);
    f.now = 1240.25f;
    f.general.BuildCity();
    QVERIFY(QtBridge::Picture(f.window.cityMap) != first);
}

void TestBuildCity::preferencesCarryOverToTheNextCity()
{
    Fixture f;
    f.general.BuildCity();
    f.window.setField(Field::Pref, 2, QStringLiteral("25"));
    f.general.ApplyPreference(2);
    f.window.setField(Field::Pref, 5, QStringLiteral("letters"));
    f.general.BuildCity();
    QCOMPARE(int(f.general.PrefEighths[2]), 2);
    QCOMPARE(f.window.field(Field::Pref, 2), QStringLiteral("25.0%"));
    QCOMPARE(int(f.general.PrefEighths[5]), 0);
    QCOMPARE(f.window.field(Field::Pref, 5), QStringLiteral(".0%"));
}

void TestBuildCity::rebuildingResetsDateAndCounts()
{
    Fixture f;
    f.general.BuildCity();
    for (int i = 0; i < 10; ++i)
        f.general.NextGeneration();
    QVERIFY(f.window.field(Field::Dayt) != QStringLiteral("1/1/2005"));
    f.now += 7.0f;
    f.general.BuildCity();
    QCOMPARE(f.window.field(Field::Dayt), QStringLiteral("1/1/2005"));
    double total = 0;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        total += Count(f, Field::Kount, g);
    QCOMPARE(total, double(CellCount));
}

QTEST_GUILESS_MAIN(TestBuildCity)
#include "tst_buildcity.moc"
