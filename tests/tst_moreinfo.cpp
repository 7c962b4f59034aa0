// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "moreinfo.h"
#include "qtbridge.h"
#include "vorn.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <functional>

// The information window: its texts, its three states, and closing the program.
class TestMoreInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void texts_data();
    void texts();
    void windowLooks();
    void dialogCentredOverTheMainWindow_data();
    void dialogCentredOverTheMainWindow();
    void closeHidesAndTheSameWindowReturns();
    void ownCloseCommandDestroysIt();
    void escapeDoesNothingEnterCloses();
    void mainWindowTakesNoInputWhileOpen();
    void clockKeepsTicking();
    void closingTheMainWindowEndsTheProgram_data();
    void closingTheMainWindowEndsTheProgram();

private:
    // Runs `whileShown` inside the modal loop of Display More Information.
    static void whileOpen(Vorn &v, std::function<void(MoreInfo *)> whileShown)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            ran = true;
            QVERIFY(v.moreInfo());
            QVERIFY(v.moreInfo()->isVisible());
            whileShown(v.moreInfo());
            // A failed check must not leave the modal loop running.
            if (QTest::currentTestFailed() && v.moreInfo())
                v.moreInfo()->hide();
        });
        v.Vorn_DisplayMore_Click();
        QVERIFY(ran);
    }
    // Every home occupied, so that a tick of the running clock has a city to work on; a
    // generation on a map never built ends the program, as it must.
    static void Populate(Vorn &v)
    {
        for (int y = 0; y < MapSize; ++y)
            for (int x = 0; x < MapSize; ++x)
                v.map().PlotResident(float(x), float(y), 1);
    }
    static QPushButton *closeButton(MoreInfo *info) { return info->findChild<QPushButton *>(QStringLiteral("CloseIt")); }
};

void TestMoreInfo::initTestCase()
{
    // The tests watch for the last window closing themselves.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestMoreInfo::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");
    auto row = [](const char *name, QRect rect, const char *text) {
        QTest::newRow(name) << QString::fromLatin1(name) << rect << QString::fromLatin1(text);
    };
    row("Label5", QRect(0, 8, 601, 25), "Simulation Of Ethnic Group Residential Patterns in Velmora");
    row("Label1", QRect(16, 40, 569, 65),
        "Velmora is a medium-sized simulated city (population just over 70,000), and has five distinct "
        "ethnic groups: Blues, Reds, Greens, Grays, and Yellows. We make the reasonable assumption that "
        "people in each ethnic group, when choosing their residence, have a modest preference for their "
        "own group: they would prefer that at least 50% of their immediate neighbors be of the same "
        "ethnic group.");
    row("Label2", QRect(16, 96, 569, 49),
        "The purpose of the model is to see how quickly these preferences produce residential "
        "segregation. Additional assumptions are that each person moves on the average of once every "
        "eight years, and that each may choose to live within any currently available housing unit in "
        "the city.");
    row("Label3", QRect(16, 144, 569, 49),
        "You will find that the different groups relatively quickly congregate in their separate "
        "enclaves -- within about ten years. It is important to note that THIS OCCURS WITHOUT ANY "
        "ASSUMPTION OF DISCRIMINATION BY ONE GROUP AGAINST ANOTHER! All that is required is that each "
        "group have a modest preference for its own kind.");
    row("Label4", QRect(16, 192, 577, 49),
        "You may change the pattern of residence by changing the preference of one or more groups. If "
        "you make a group less inclined to choose its own for neighbors, you will still find the "
        "enclaves forming, but at a slower rate. We suggest that you try removing preferences (making "
        "them zero) for all groups but one -- and that one group will still have its \"ghetto\"!");
    row("Label7", QRect(16, 240, 577, 33),
        "Since each resident of Velmora can have eight neighbors, the \"Preference \" column will limit "
        "its values to eighths, displayed as percentages: 12.5%, 25%, etc.");
    row("Label6(0)", QRect(16, 280, 169, 17), "For more information contact:");
    row("Label6(1)", QRect(184, 280, 169, 17), nullptr);
    row("Label6(2)", QRect(184, 296, 169, 17), nullptr);
    row("Label6(3)", QRect(184, 312, 169, 17), nullptr);
    row("Label6(4)", QRect(184, 328, 169, 17), nullptr);
    row("CloseIt", QRect(512, 312, 81, 33), "Close");
}

void TestMoreInfo::texts()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    MoreInfo info;
    QWidget *w = info.findChild<QWidget *>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), rect);
    if (auto *label = qobject_cast<QLabel *>(w)) {
        if (!text.isNull())
            QCOMPARE(label->text(), text);
        QVERIFY(!label->text().isEmpty());
        QVERIFY(label->wordWrap());
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        // The contact lines are single lines: each must fit its label.
        if (name.startsWith(QLatin1String("Label6")))
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= rect.width(), qPrintable(label->text()));
        if (name == QLatin1String("Label6(4)"))
            QVERIFY(label->text().startsWith(QLatin1String("e-mail    ")));
    } else {
        auto *button = qobject_cast<QPushButton *>(w);
        QVERIFY(button);
        QCOMPARE(button->text(), text);
        QVERIFY(button->font().bold());
        QVERIFY(!button->isDefault());
    }
}

void TestMoreInfo::windowLooks()
{
    MoreInfo info;
    QVERIFY(info.windowTitle().startsWith(QStringLiteral("City Simulator") + QString(69, QLatin1Char(' '))));
    QVERIFY(info.windowTitle().size() > 14 + 69);
    QVERIFY(!info.windowTitle().endsWith(QLatin1Char(' ')));
    QCOMPARE(info.size(), QSize(604, 356));
    QCOMPARE(info.palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(!info.windowIcon().isNull());
    auto *heading = info.findChild<QLabel *>(QStringLiteral("Label5"));
    QVERIFY(heading->font().bold());
    QVERIFY(heading->alignment() & Qt::AlignHCenter);
    QVERIFY(heading->font().pixelSize() > info.font().pixelSize());
}

void TestMoreInfo::dialogCentredOverTheMainWindow_data()
{
    QTest::addColumn<int>("place");   // where the main window stands on the screen
    QTest::addColumn<bool>("centred");
    QTest::newRow("middle of the screen") << int(Qt::AlignCenter) << true;
    QTest::newRow("top-left corner") << int(Qt::AlignTop | Qt::AlignLeft) << false;
    QTest::newRow("bottom-right corner") << int(Qt::AlignBottom | Qt::AlignRight) << false;
}

// A dialog of the main window, so the window manager keeps it with that window; centred
// over it wherever it stands, except where that would push it off the screen.
void TestMoreInfo::dialogCentredOverTheMainWindow()
{
    QFETCH(int, place);
    QFETCH(bool, centred);
    Vorn v;
    v.setTimerInterval(0);
    const QRect screen = v.screen()->availableGeometry();
    v.move(QStyle::alignedRect(Qt::LeftToRight, Qt::Alignment(place), v.size(), screen).topLeft());
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    for (int opening = 1; opening <= 2; ++opening) {
        whileOpen(v, [&](MoreInfo *info) {
            QCOMPARE(info->windowType(), Qt::Dialog);
            QCOMPARE(info->windowModality(), Qt::ApplicationModal);
            QVERIFY(info->windowHandle());
            QCOMPARE(info->windowHandle()->transientParent(), v.windowHandle());
            if (centred)
                QCOMPARE(info->geometry().center(), v.geometry().center());
            QVERIFY2(screen.contains(info->frameGeometry()),
                     qPrintable(QStringLiteral("at %1,%2").arg(info->x()).arg(info->y())));
            info->MoreInfo_CloseIt_Click();
        });
        v.move(v.pos() + QPoint(-3, 5));   // it follows the main window
    }
}

void TestMoreInfo::closeHidesAndTheSameWindowReturns()
{
    Vorn v;
    v.setTimerInterval(0);
    v.show();
    QVERIFY(!v.moreInfo());   // not created until asked for
    MoreInfo *first = nullptr;
    whileOpen(v, [&](MoreInfo *info) {
        first = info;
        QCOMPARE(info->windowModality(), Qt::ApplicationModal);
        QCOMPARE(info->focusWidget(), closeButton(info));
        closeButton(info)->click();
    });
    QVERIFY(v.moreInfo());
    QVERIFY(v.moreInfo()->isHidden());
    whileOpen(v, [&](MoreInfo *info) {
        QCOMPARE(info, first);
        QCOMPARE(info->focusWidget(), closeButton(info));
        info->MoreInfo_CloseIt_Click();
    });
    QCOMPARE(v.moreInfo(), first);
}

void TestMoreInfo::ownCloseCommandDestroysIt()
{
    Vorn v;
    v.setTimerInterval(0);
    v.show();
    whileOpen(v, [](MoreInfo *info) { info->close(); });
    QTRY_VERIFY(!v.moreInfo());
    QString title;
    whileOpen(v, [&](MoreInfo *info) {
        title = info->windowTitle();
        QCOMPARE(info->findChildren<QLabel *>().size(), 11);
        closeButton(info)->click();
    });
    QVERIFY(title.startsWith(QLatin1String("City Simulator")));
}

void TestMoreInfo::escapeDoesNothingEnterCloses()
{
    Vorn v;
    v.setTimerInterval(0);
    v.show();
    whileOpen(v, [](MoreInfo *info) {
        QTest::keyClick(closeButton(info), Qt::Key_Escape);
        QTest::keyClick(info, Qt::Key_Escape);
        QVERIFY(info->isVisible());
        QTest::keyClick(closeButton(info), Qt::Key_Return);
        QVERIFY(info->isHidden());
    });
    QVERIFY(v.moreInfo());
}

void TestMoreInfo::mainWindowTakesNoInputWhileOpen()
{
    Vorn v;
    Populate(v);
    v.setControlVisible(CityWindow::Control::PleaseWait, false);   // uncover the buttons
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    // Clicks go through the window system, where modality is enforced.
    const QPoint pause = v.findChild<QWidget *>(QStringLiteral("PauseIt"))->geometry().center();
    whileOpen(v, [&](MoreInfo *info) {
        QVERIFY(QTest::qWaitForWindowExposed(info));
        QTest::mouseClick(v.windowHandle(), Qt::LeftButton, {}, pause);
        QTest::keyClick(v.windowHandle(), Qt::Key_Space);
        QCOMPARE(v.timerInterval(), RunningIntervalMs);
        info->MoreInfo_CloseIt_Click();
    });
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QTest::mouseClick(v.windowHandle(), Qt::LeftButton, {}, pause);
    QCOMPARE(v.timerInterval(), PausedIntervalMs);
}

void TestMoreInfo::clockKeepsTicking()
{
    Vorn v([] { return 42.0f; });
    v.show();
    v.general().BuildCity();
    whileOpen(v, [&](MoreInfo *info) {
        const QString date = QtBridge::Q(v.text(CityWindow::Field::Dayt));
        const QImage map = QtBridge::Picture(v.map());
        QTRY_VERIFY(QtBridge::Q(v.text(CityWindow::Field::Dayt)) != date);
        QVERIFY(QtBridge::Picture(v.map()) != map);
        closeButton(info)->click();
    });
}

void TestMoreInfo::closingTheMainWindowEndsTheProgram_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("never opened") << "none";
    QTest::newRow("hidden with Close") << "hidden";
    QTest::newRow("closed by its own command") << "destroyed";
    QTest::newRow("shown") << "shown";
}

// The program ends when no window is left shown; the information window must not be one.
void TestMoreInfo::closingTheMainWindowEndsTheProgram()
{
    QFETCH(QString, state);
    QPointer<Vorn> v = new Vorn;
    Populate(*v);
    v->setAttribute(Qt::WA_DeleteOnClose);
    v->show();
    QPointer<MoreInfo> info;
    if (state == QLatin1String("hidden"))
        whileOpen(*v, [&](MoreInfo *i) { info = i; i->MoreInfo_CloseIt_Click(); });
    if (state == QLatin1String("destroyed"))
        whileOpen(*v, [&](MoreInfo *i) { i->close(); });

    if (state == QLatin1String("shown")) {
        bool closed = false;
        QTimer::singleShot(0, [&] {
            info = v->moreInfo();
            QVERIFY(info && info->isVisible());
            closed = v->close();
        });
        v->Vorn_DisplayMore_Click();   // returns once the window has gone
        QVERIFY(closed);
    } else {
        QVERIFY(v->close());
    }
    QTRY_VERIFY(!v);
    QVERIFY(!info);
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
}

QTEST_MAIN(TestMoreInfo)
#include "tst_moreinfo.moc"
