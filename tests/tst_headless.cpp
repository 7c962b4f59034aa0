// SPDX-License-Identifier: GPL-3.0-or-later
#include "groupgrid.h"
#include "headlesscity.h"
#include "qtbridge.h"
#include "vorn.h"

#include <QTest>

// The Lab's city is the window's city: a seed builds, home by home, what the window builds
// when its clock gives those bits, and both move the same way.
class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void sameCityAsTheWindow_data();
    void sameCityAsTheWindow();
};

void TestHeadless::sameCityAsTheWindow_data()
{
    QTest::addColumn<float>("timeOfDay");
    QTest::addColumn<QString>("preference");
    QTest::newRow("noon, default preferences") << 43200.0f << ".5";
    QTest::newRow("a fraction of a second, all eight") << 12345.678f << "100%";
    QTest::newRow("midnight, none") << 0.0f << "0";
}

void TestHeadless::sameCityAsTheWindow()
{
    QFETCH(float, timeOfDay);
    QFETCH(QString, preference);
    Vorn window([timeOfDay] { return timeOfDay; });
    window.setTimerInterval(PausedIntervalMs);
    HeadlessCity lab(RandomSource::SeedOf(timeOfDay));
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        window.setText(CityWindow::Field::Pref, g, preference.toStdString());
        lab.setText(CityWindow::Field::Pref, g, preference.toStdString());
    }
    for (int generations : {0, 100}) {
        if (generations == 0) {
            window.general().BuildCity();
            lab.general().BuildCity();
        }
        for (int i = 0; i < generations; ++i) {
            window.general().NextGeneration();
            lab.general().NextGeneration();
        }
        // The pictures: the window's painted as it went, the Lab's drawn when asked.
        QCOMPARE(QtBridge::Picture(lab.map()), QtBridge::Picture(window.map()));
        const GroupGrid fromWindow = GroupGrid::FromCityMap(window.map());
        const GroupGrid fromLab = GroupGrid::FromCityMap(lab.map());
        QVERIFY(std::equal(fromLab.cells(), fromLab.cells() + CellCount, fromWindow.cells()));
        // The window writes the date in the user's form, the Lab in one fixed form.
        QCOMPARE(IsoDate(lab.date()), IsoDate(*window.general().forms().ReadDate(window.text(CityWindow::Field::Dayt))));
        QCOMPARE(lab.general().PrefEighths, window.general().PrefEighths);
    }
    // And the picture shows exactly who lives where.
    const QImage image = QtBridge::Picture(window.map());
    for (int y = 0; y < MapSize; ++y) {
        for (int x = 0; x < MapSize; ++x) {
            if (GroupOfColour(image.pixel(x, y)) != window.map().GroupOfCell(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 shows another group").arg(x).arg(y)));
        }
    }
}

QTEST_MAIN(TestHeadless)
#include "tst_headless.moc"
