// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "startup.h"
#include "vorn.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using Field = CityWindow::Field;

// The generation clock in the real window: ticks, Pause, Continue and Start Over.
class TestClock : public QObject
{
    Q_OBJECT

private slots:
    void runsFromStartUp();
    void pauseDeliversNoTicks();
    void pressingTwiceChangesNothing();
    void ticksKeepTheCityWhole();
    void questionDoesNotStopTheClock();
    void startOverWhileRunningGoesOn();
    void startOverWhilePausedStaysStill();

private:
    // How many generations the date shows since 1 January 2005.
    static int Generations(Vorn &v)
    {
        const QDate date = v.general().dateText().Read(v.text(Field::Dayt));
        return int(QDate(2005, 1, 1).daysTo(date) / DaysPerGeneration);
    }
    static GroupTable<int> Sizes(Vorn &v)
    {
        GroupTable<int> sizes{};
        const QImage &image = v.map().image();
        for (int y = 0; y < MapSize; ++y)
            for (int x = 0; x < MapSize; ++x)
                ++sizes[GroupOfColour(image.pixel(x, y))];
        return sizes;
    }
};

void TestClock::runsFromStartUp()
{
    const auto v = Main();
    QCOMPARE(v->timerInterval(), RunningIntervalMs);
    QTRY_VERIFY(Generations(*v) >= 3);
}

// An interval of 0 must mean no ticks at all, so this waits and counts.
void TestClock::pauseDeliversNoTicks()
{
    Vorn v([] { return 10.0f; });
    v.show();
    v.general().BuildCity();
    QTRY_VERIFY(Generations(v) >= 1);
    v.Vorn_PauseIt_Click();
    QCOMPARE(v.timerInterval(), PausedIntervalMs);
    const QString date = v.text(Field::Dayt);
    const QImage map = v.map().image().copy();
    QTest::qWait(300);
    QCOMPARE(v.text(Field::Dayt), date);
    QCOMPARE(v.map().image(), map);

    v.Vorn_ContinueIt_Click();
    QCOMPARE(v.timerInterval(), RunningIntervalMs);
    QTRY_VERIFY(v.text(Field::Dayt) != date);
    QVERIFY(v.map().image() != map);
}

void TestClock::pressingTwiceChangesNothing()
{
    Vorn v([] { return 11.0f; });
    v.show();
    v.general().BuildCity();
    auto *pause = v.findChild<QPushButton *>(QStringLiteral("PauseIt"));
    auto *resume = v.findChild<QPushButton *>(QStringLiteral("ContinueIt"));
    pause->click();
    pause->click();
    QCOMPARE(v.timerInterval(), PausedIntervalMs);
    const QString date = v.text(Field::Dayt);
    QTest::qWait(100);
    QCOMPARE(v.text(Field::Dayt), date);
    resume->click();
    resume->click();
    QCOMPARE(v.timerInterval(), RunningIntervalMs);
    const int from = Generations(v);
    QTRY_VERIFY(Generations(v) >= from + 5);
}

void TestClock::ticksKeepTheCityWhole()
{
    Vorn v([] { return 12.0f; });
    v.show();
    v.general().BuildCity();
    const GroupTable<int> sizes = Sizes(v);
    QCOMPARE(sizes[NoGroup], 0);
    QString texts;
    for (int g = 1; g <= GroupCount; ++g)
        texts += v.text(Field::Kount, g) + v.text(Field::Prop, g);
    texts += v.text(Field::Population);
    QTRY_VERIFY(Generations(v) >= 20);
    QCOMPARE(Sizes(v), sizes);
    QString after;
    for (int g = 1; g <= GroupCount; ++g)
        after += v.text(Field::Kount, g) + v.text(Field::Prop, g);
    after += v.text(Field::Population);
    QCOMPARE(after, texts);
}

void TestClock::questionDoesNotStopTheClock()
{
    Vorn v([] { return 13.0f; });
    v.show();
    v.general().BuildCity();
    v.setBeep([] {});
    int whileAsked = -1;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        const int from = Generations(v);
        QTRY_VERIFY(Generations(v) >= from + 5);
        whileAsked = Generations(v) - from;
        box->button(QMessageBox::Cancel)->click();
    });
    v.Vorn_StartOver_Click();
    QVERIFY(whileAsked >= 5);
}

// Start Over does not touch the clock: generations go on with the new city.
void TestClock::startOverWhileRunningGoesOn()
{
    float now = 14.0f;
    Vorn v([&] { return now; });
    v.show();
    v.general().BuildCity();
    v.setBeep([] {});
    QTRY_VERIFY(Generations(v) >= 5);
    now = 15.0f;
    QTimer::singleShot(0, [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        box->button(QMessageBox::Ok)->click();
    });
    v.Vorn_StartOver_Click();
    QCOMPARE(v.timerInterval(), RunningIntervalMs);
    QCOMPARE(Generations(v), 0);
    QTRY_VERIFY(Generations(v) >= 3);
    QCOMPARE(Sizes(v)[NoGroup], 0);
}

// Start Over does not touch a paused clock either: the new city stands still until
// Continue, and then generations resume on it. Standing still is checked by waiting, as
// for Pause, since an interval of 0 must mean no ticks at all.
void TestClock::startOverWhilePausedStaysStill()
{
    Vorn v;
    v.show();
    v.general().BuildCity();
    v.setBeep([] {});
    QTRY_VERIFY(Generations(v) >= 3);
    v.Vorn_PauseIt_Click();
    QTimer::singleShot(0, [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        box->button(QMessageBox::Ok)->click();
    });
    v.Vorn_StartOver_Click();
    QCOMPARE(Generations(v), 0);
    const QImage city = v.map().image().copy();
    QTest::qWait(300);
    QCOMPARE(v.timerInterval(), PausedIntervalMs);
    QCOMPARE(Generations(v), 0);
    QCOMPARE(v.map().image(), city);

    v.Vorn_ContinueIt_Click();
    QTRY_VERIFY(Generations(v) >= 3);
    QVERIFY(v.map().image() != city);
    QCOMPARE(Sizes(v)[NoGroup], 0);
}

QTEST_MAIN(TestClock)
#include "tst_clock.moc"
