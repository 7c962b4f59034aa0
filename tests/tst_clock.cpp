// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "startup.h"
#include "qtbridge.h"
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
        const QDate date = QtBridge::ToQDate(v.general().forms().ReadDate(v.text(Field::Dayt)).value_or(Date{}));
        return int(QDate(2005, 1, 1).daysTo(date) / DaysPerGeneration);
    }
    static GroupTable<int> Sizes(Vorn &v)
    {
        GroupTable<int> sizes{};
        const QImage image = QtBridge::Picture(v.map());
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
    const QString date = QtBridge::Q(v.text(Field::Dayt));
    const QImage map = QtBridge::Picture(v.map());
    QTest::qWait(300);
    QCOMPARE(QtBridge::Q(v.text(Field::Dayt)), date);
    QCOMPARE(QtBridge::Picture(v.map()), map);

    v.Vorn_ContinueIt_Click();
    QCOMPARE(v.timerInterval(), RunningIntervalMs);
    QTRY_VERIFY(QtBridge::Q(v.text(Field::Dayt)) != date);
    QVERIFY(QtBridge::Picture(v.map()) != map);
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
    const QString date = QtBridge::Q(v.text(Field::Dayt));
    QTest::qWait(100);
    QCOMPARE(QtBridge::Q(v.text(Field::Dayt)), date);
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
        texts += QtBridge::Q(v.text(Field::Kount, g)) + QtBridge::Q(v.text(Field::Prop, g));
    texts += QtBridge::Q(v.text(Field::Population));
    QTRY_VERIFY(Generations(v) >= 20);
    QCOMPARE(Sizes(v), sizes);
    QString after;
    for (int g = 1; g <= GroupCount; ++g)
        after += QtBridge::Q(v.text(Field::Kount, g)) + QtBridge::Q(v.text(Field::Prop, g));
    after += QtBridge::Q(v.text(Field::Population));
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
    const QImage city = QtBridge::Picture(v.map());
    QTest::qWait(300);
    QCOMPARE(v.timerInterval(), PausedIntervalMs);
    QCOMPARE(Generations(v), 0);
    QCOMPARE(QtBridge::Picture(v.map()), city);

    v.Vorn_ContinueIt_Click();
    QTRY_VERIFY(Generations(v) >= 3);
    QVERIFY(QtBridge::Picture(v.map()) != city);
    QCOMPARE(Sizes(v)[NoGroup], 0);
}

QTEST_MAIN(TestClock)
#include "tst_clock.moc"
