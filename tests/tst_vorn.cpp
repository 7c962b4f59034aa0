// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "mapview.h"
#include "startup.h"
#include "qtbridge.h"
#include "vorn.h"

#include <QApplication>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>

// The main window as the user sees it, on the offscreen platform.
class TestVorn : public QObject
{
    Q_OBJECT

private slots:
    void titleAndClientArea();
    void geometry_data();
    void geometry();
    void captions_data();
    void captions();
    void initialTexts_data();
    void initialTexts();
    void displayOnlyFieldsTakeNoFocus();
    void outputsAreLegible_data();
    void outputsAreLegible();
    void tabOrderWrapsAround();
    void mapShowsItsFocus_data();
    void mapShowsItsFocus();
    void enterPressesOnlyTheFocusedButton();
    void startUpBuildsTheFirstCity();
    void enterAppliesThePreference();
    void leavingTheFieldAppliesThePreference();
    void clickingAButtonAppliesThePreferenceFirst();
    void startOverCancelChangesNothing_data();
    void startOverCancelChangesNothing();
    void startOverOkBuildsANewCity();

private:
    static QWidget *child(QWidget &window, const char *name)
    {
        auto *w = window.findChild<QWidget *>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    static QLineEdit *edit(QWidget &window, const char *name) { return qobject_cast<QLineEdit *>(child(window, name)); }
    // Every home occupied, so that a tick of the running clock has a city to work on; a
    // generation on a map never built ends the program, as it must.
    static void Populate(Vorn &v)
    {
        for (int y = 0; y < MapSize; ++y)
            for (int x = 0; x < MapSize; ++x)
                v.map().PlotResident(float(x), float(y), 1);
    }
    static void showActive(QWidget &window)
    {
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    // Answers the next modal message box from inside its event loop.
    static void answerNextQuestion(std::function<void(QMessageBox *)> answer)
    {
        QTimer::singleShot(0, [answer] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            answer(box);
        });
    }
    // Relative luminance and contrast ratio as the WCAG define them.
    static double Luminance(QRgb colour)
    {
        auto linear = [](int channel) {
            const double c = channel / 255.0;
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(qRed(colour)) + 0.7152 * linear(qGreen(colour))
               + 0.0722 * linear(qBlue(colour));
    }
    static double Contrast(QRgb a, QRgb b)
    {
        const double la = Luminance(a);
        const double lb = Luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    }
    struct Drawn
    {
        QRgb background;
        QRgb text;   // the drawn colour that stands out most from the background
    };
    // A field as the style draws it, inside its frame.
    static Drawn Draw(QWidget *field)
    {
        const QImage image = field->grab().toImage();
        const QRect inside = image.rect().adjusted(3, 3, -3, -3);
        QHash<QRgb, int> tally;
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x)
                ++tally[image.pixel(x, y)];
        Drawn drawn{std::max_element(tally.cbegin(), tally.cend()).key(), 0};
        drawn.text = drawn.background;
        for (auto it = tally.cbegin(); it != tally.cend(); ++it) {
            if (Contrast(it.key(), drawn.background) > Contrast(drawn.text, drawn.background))
                drawn.text = it.key();
        }
        return drawn;
    }
    static qint64 CountSum(Vorn &v)
    {
        qint64 total = 0;
        for (int g = 1; g <= GroupCount; ++g)
            total += qint64(v.general().forms().ReadNumber(v.text(CityWindow::Field::Kount, g)).value_or(-1));
        return total;
    }
};

void TestVorn::titleAndClientArea()
{
    Vorn v;
    QCOMPARE(v.windowTitle(), QStringLiteral("Velmora: Ethnic Group Residential Patterns"));
    QCOMPARE(v.size(), QSize(572, 313));
    QCOMPARE(v.minimumSize(), v.maximumSize());
    QVERIFY(!v.windowIcon().isNull());
}

void TestVorn::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    auto row = [](const char *name, int l, int t, int w, int h) {
        QTest::newRow(name) << QString::fromLatin1(name) << QRect(l, t, w, h);
    };
    row("Map", 16, 8, 269, 269);
    row("Label4", 8, 288, 289, 17);
    row("Label3", 376, 8, 41, 17);
    row("Dayt", 424, 8, 65, 19);
    row("Clab(0)", 320, 48, 41, 17);
    row("Label2", 376, 48, 49, 17);
    row("Label1", 432, 48, 65, 17);
    row("Label5", 504, 48, 65, 17);
    for (int g = 1; g <= 5; ++g) {
        const int top = 72 + 24 * (g - 1);
        QTest::addRow("Clab(%d)", g) << QStringLiteral("Clab(%1)").arg(g) << QRect(320, top, 41, 17);
        QTest::addRow("Kount(%d)", g) << QStringLiteral("Kount(%1)").arg(g) << QRect(376, top, 49, 19);
        QTest::addRow("Prop(%d)", g) << QStringLiteral("Prop(%1)").arg(g) << QRect(440, top, 49, 19);
        QTest::addRow("Pref(%d)", g) << QStringLiteral("Pref(%1)").arg(g) << QRect(512, top, 49, 19);
    }
    row("Clab(6)", 304, 200, 65, 17);
    row("Population", 376, 200, 49, 19);
    row("PauseIt", 312, 240, 65, 25);
    row("StartOver", 384, 240, 177, 25);
    row("ContinueIt", 312, 272, 65, 25);
    row("DisplayMore", 384, 272, 177, 25);
    row("PleaseWait", 304, 233, 265, 73);
}

void TestVorn::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    Vorn v;
    QWidget *w = child(v, qPrintable(name));
    QCOMPARE(w->geometry(), rect);
    if (name == QLatin1String("Map")) {
        // A 2-pixel border around the 265 x 265 drawing area.
        QCOMPARE(static_cast<QFrame *>(w)->contentsRect(), QRect(2, 2, 265, 265));
    }
}

void TestVorn::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("alignment");
    const int left = Qt::AlignLeft;
    const int right = Qt::AlignRight;
    const int centre = Qt::AlignHCenter;
    auto row = [](const char *name, const char *caption, int alignment) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption) << alignment;
    };
    row("Label4", "Map of Velmora", centre);
    row("Label3", "Date:", right);
    row("Clab(0)", "Group", right);
    row("Label2", "Number", left);
    row("Label1", "Proportion", left);
    row("Label5", "Preference", left);
    row("Clab(1)", "Blue", right);
    row("Clab(2)", "Red", right);
    row("Clab(3)", "Green", right);
    row("Clab(4)", "Gray", right);
    row("Clab(5)", "Yellow", right);
    row("Clab(6)", "Population:", right);
    row("PauseIt", "Pause", 0);
    row("StartOver", "Start Over From Scratch", 0);
    row("ContinueIt", "Continue", 0);
    row("DisplayMore", "Display More Information", 0);
}

// Every label and button is bold; the labels keep their alignment.
void TestVorn::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(int, alignment);
    Vorn v;
    QWidget *w = child(v, qPrintable(name));
    QVERIFY(w->font().bold());
    if (auto *label = qobject_cast<QLabel *>(w)) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), alignment);
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    } else {
        auto *button = qobject_cast<QPushButton *>(w);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QVERIFY(!button->isDefault());
    }
}

void TestVorn::initialTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("editable");
    QTest::newRow("Dayt") << "Dayt" << "1/1/96" << false;
    QTest::newRow("Population") << "Population" << "0" << false;
    for (int g = 1; g <= 5; ++g) {
        QTest::addRow("Kount(%d)", g) << QStringLiteral("Kount(%1)").arg(g) << "0" << false;
        QTest::addRow("Prop(%d)", g) << QStringLiteral("Prop(%1)").arg(g) << "0" << false;
        QTest::addRow("Pref(%d)", g) << QStringLiteral("Pref(%1)").arg(g) << ".5" << true;
    }
}

// Before the first city: the start texts, regular type, and the notice over the buttons.
void TestVorn::initialTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, editable);
    Vorn v;
    QLineEdit *field = edit(v, qPrintable(name));
    QCOMPARE(field->text(), text);
    QCOMPARE(field->isEnabled(), editable);
    QVERIFY(!field->font().bold());
    QVERIFY(!child(v, "PleaseWait")->isHidden());
    QCOMPARE(qobject_cast<QLabel *>(child(v, "PleaseWait"))->text(),
             QStringLiteral("Velmora City Simulator\nby the Velmora project\n"
                            "Please wait while a new city map is constructed..."));
}

void TestVorn::displayOnlyFieldsTakeNoFocus()
{
    Vorn v;
    Populate(v);
    showActive(v);
    child(v, "Pref(1)")->setFocus();
    for (const char *name : {"Dayt", "Kount(1)", "Prop(3)", "Population"}) {
        QTest::mouseClick(child(v, name), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), child(v, "Pref(1)"));
        QTest::keyClicks(child(v, name), QStringLiteral("99"));
        QCOMPARE(edit(v, name)->isEnabled(), false);
    }
    QCOMPARE(edit(v, "Dayt")->text(), QStringLiteral("1/1/96"));
}

void TestVorn::outputsAreLegible_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QColor>("window");   // Qt derives a whole palette from it; none: the style's
    QTest::newRow("Fusion") << "Fusion" << QColor();
    QTest::newRow("Fusion, dark palette") << "Fusion" << QColor(53, 53, 53);
    QTest::newRow("Windows") << "Windows" << QColor();
}

// The outputs stay disabled, yet their text is as legible as a label's (WCAG's 4.5:1 for
// body text), and they still look unlike the editable preference fields. The palette
// changes after the window exists, as it does when the desktop's theme changes.
void TestVorn::outputsAreLegible()
{
    QFETCH(QString, style);
    QFETCH(QColor, window);
    if (!QStyleFactory::keys().contains(style, Qt::CaseInsensitive))
        QSKIP("this Qt has no such style");
    const QString oldStyle = QApplication::style()->name();
    const QPalette oldPalette = QApplication::palette();
    const auto restore = qScopeGuard([&] {
        QApplication::setStyle(oldStyle);
        QApplication::setPalette(oldPalette);
    });
    QApplication::setStyle(style);
    Vorn v;
    v.setTimerInterval(0);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QApplication::setPalette(window.isValid() ? QPalette(window) : QApplication::style()->standardPalette());
    QTRY_COMPARE(v.palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));

    const QString sample = QStringLiteral("70,225");
    edit(v, "Pref(1)")->setText(sample);
    const Drawn editable = Draw(child(v, "Pref(1)"));
    for (const char *name : {"Dayt", "Kount(1)", "Kount(5)", "Prop(2)", "Prop(4)", "Population"}) {
        QLineEdit *output = edit(v, name);
        output->setText(sample);
        QVERIFY(!output->isEnabled());
        const Drawn drawn = Draw(output);
        const double contrast = Contrast(drawn.text, drawn.background);
        QVERIFY2(contrast >= 4.5,
                 qPrintable(QStringLiteral("%1: %2:1").arg(QLatin1String(name)).arg(contrast)));
        QVERIFY2(Contrast(drawn.background, editable.background) >= 1.1
                     || Contrast(drawn.text, editable.text) >= 1.1,
                 name);
    }
}

void TestVorn::tabOrderWrapsAround()
{
    Vorn v;
    v.setTimerInterval(0);
    showActive(v);
    child(v, "PauseIt")->setFocus();
    const char *order[] = {"ContinueIt", "StartOver", "DisplayMore", "Pref(1)", "Pref(2)", "Pref(3)",
                           "Pref(4)", "Pref(5)", "Map", "PauseIt"};
    for (const char *name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
    }
}

void TestVorn::mapShowsItsFocus_data()
{
    QTest::addColumn<QString>("style");
    QTest::newRow("Fusion") << "Fusion";
    QTest::newRow("Windows") << "Windows";
}

// Tabbing onto the map marks its border, and only its border: the 265 x 265 drawing area
// shows the city's image alone, with the focus or without.
void TestVorn::mapShowsItsFocus()
{
    QFETCH(QString, style);
    if (!QStyleFactory::keys().contains(style, Qt::CaseInsensitive))
        QSKIP("this Qt has no such style");
    const QString oldStyle = QApplication::style()->name();
    const auto restore = qScopeGuard([&] { QApplication::setStyle(oldStyle); });
    QApplication::setStyle(style);
    Vorn v;
    v.setTimerInterval(0);
    for (int i = 0; i < MapSize; ++i)   // a pattern that the focus mark must not touch
        v.map().PlotResident(float(i), float((i * 7) % MapSize), 1 + i % GroupCount);
    showActive(v);
    auto *map = static_cast<QFrame *>(child(v, "Map"));
    const QRect area = map->contentsRect();
    QCOMPARE(area.size(), QSize(MapSize, MapSize));
    auto drawn = [map] { return map->grab().toImage().convertToFormat(QImage::Format_RGB32); };

    child(v, "Pref(5)")->setFocus();
    QTest::keyClick(child(v, "Pref(5)"), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), map);
    const QImage focused = drawn();
    QTest::keyClick(map, Qt::Key_Tab);
    QVERIFY(!map->hasFocus());
    const QImage unfocused = drawn();

    const QImage city = QtBridge::Picture(v.map());
    QCOMPARE(focused.copy(area), city);
    QCOMPARE(unfocused.copy(area), city);
    QVERIFY2(focused != unfocused, "the focus does not show on the map");
}

// Enter in a field presses no window-wide default button; on a button it presses that one.
void TestVorn::enterPressesOnlyTheFocusedButton()
{
    Vorn v;
    Populate(v);
    showActive(v);
    child(v, "Pref(2)")->setFocus();
    QTest::keyClick(child(v, "Pref(2)"), Qt::Key_Return);
    QTest::keyClick(child(v, "Pref(2)"), Qt::Key_Escape);
    QCOMPARE(v.timerInterval(), RunningIntervalMs);
    child(v, "PauseIt")->setFocus();
    QTest::keyClick(child(v, "PauseIt"), Qt::Key_Return);
    QCOMPARE(v.timerInterval(), PausedIntervalMs);
}

void TestVorn::startUpBuildsTheFirstCity()
{
    const auto v = Main();
    v->setTimerInterval(0);
    QCOMPARE(CountSum(*v), qint64(CellCount));
    const FieldForms &forms = v->general().forms();
    QCOMPARE(v->text(CityWindow::Field::Population), forms.FormatCount(CellCount));
    QCOMPARE(QtBridge::ToQDate(v->general().forms().ReadDate(v->text(CityWindow::Field::Dayt)).value_or(Date{})), QDate(2005, 1, 1));
    for (int g = 1; g <= GroupCount; ++g) {
        QCOMPARE(v->text(CityWindow::Field::Pref, g), forms.FormatPreference(0.5));
        QVERIFY(!QtBridge::Q(v->text(CityWindow::Field::Prop, g)).isEmpty());
    }
    QVERIFY(child(*v, "PleaseWait")->isHidden());
    for (const char *button : {"PauseIt", "ContinueIt", "StartOver", "DisplayMore"})
        QVERIFY(!child(*v, button)->isHidden());
    QCOMPARE(v->focusWidget(), child(*v, "PauseIt"));
    const QImage image = QtBridge::Picture(v->map());
    for (int y = 0; y < MapSize; ++y)
        for (int x = 0; x < MapSize; ++x)
            QVERIFY(GroupOfColour(image.pixel(x, y)) != NoGroup);
}

void TestVorn::enterAppliesThePreference()
{
    Vorn v;
    Populate(v);
    showActive(v);
    QLineEdit *pref = edit(v, "Pref(3)");
    pref->setFocus();
    pref->selectAll();
    QTest::keyClicks(pref, QStringLiteral("25"));
    QCOMPARE(pref->text(), QStringLiteral("25"));
    QTest::keyClick(pref, Qt::Key_Return);
    QCOMPARE(pref->text(), QtBridge::Q(v.general().forms().FormatPreference(0.25)));
    QCOMPARE(int(v.general().PrefEighths[3]), 2);
    QCOMPARE(QApplication::focusWidget(), pref);
}

void TestVorn::leavingTheFieldAppliesThePreference()
{
    Vorn v;
    Populate(v);
    showActive(v);
    QLineEdit *pref = edit(v, "Pref(2)");
    pref->setFocus();
    pref->selectAll();
    QTest::keyClicks(pref, QStringLiteral("0.5"));
    QTest::keyClick(pref, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child(v, "Pref(3)"));
    QCOMPARE(pref->text(), QtBridge::Q(v.general().forms().FormatPreference(0.5)));
    QCOMPARE(int(v.general().PrefEighths[2]), 4);
}

void TestVorn::clickingAButtonAppliesThePreferenceFirst()
{
    Vorn v;
    Populate(v);
    showActive(v);
    QLineEdit *pref = edit(v, "Pref(4)");
    pref->setFocus();
    pref->selectAll();
    QTest::keyClicks(pref, QStringLiteral("75"));
    QTest::mouseClick(child(v, "PauseIt"), Qt::LeftButton);
    QCOMPARE(v.timerInterval(), PausedIntervalMs);
    QCOMPARE(int(v.general().PrefEighths[4]), 6);
    QCOMPARE(pref->text(), QtBridge::Q(v.general().forms().FormatPreference(0.75)));
}

void TestVorn::startOverCancelChangesNothing_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter answers Cancel") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestVorn::startOverCancelChangesNothing()
{
    QFETCH(int, key);
    Vorn v([] { return 100.0f; });
    showActive(v);
    v.general().BuildCity();
    v.Vorn_PauseIt_Click();
    int beeps = 0;
    v.setBeep([&] { ++beeps; });
    const QImage before = QtBridge::Picture(v.map());
    bool asked = false;
    answerNextQuestion([&](QMessageBox *box) {
        asked = true;
        QCOMPARE(beeps, 1);   // before the question
        QCOMPARE(box->windowTitle(), QStringLiteral("Start Over From Scratch"));
        QCOMPARE(box->text(), QStringLiteral("Are you sure you want to clear the city map and start with a new population?"));
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
        QTest::keyClick(box, Qt::Key(key));
    });
    v.Vorn_StartOver_Click();
    QVERIFY(asked);
    QCOMPARE(beeps, 1);
    QCOMPARE(QtBridge::Picture(v.map()), before);
    QCOMPARE(v.timerInterval(), PausedIntervalMs);
}

void TestVorn::startOverOkBuildsANewCity()
{
    float now = 100.0f;
    Vorn v([&] { return now; });
    showActive(v);
    v.general().BuildCity();
    v.Vorn_PauseIt_Click();
    for (int n = 0; n < 20; ++n)
        v.general().NextGeneration();
    int beeps = 0;
    v.setBeep([&] { ++beeps; });
    const QImage before = QtBridge::Picture(v.map());
    now = 200.0f;
    answerNextQuestion([](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); });
    v.Vorn_StartOver_Click();
    QCOMPARE(beeps, 1);
    QVERIFY(QtBridge::Picture(v.map()) != before);
    QCOMPARE(CountSum(v), qint64(CellCount));
    QCOMPARE(QtBridge::ToQDate(v.general().forms().ReadDate(v.text(CityWindow::Field::Dayt)).value_or(Date{})), QDate(2005, 1, 1));
    QCOMPARE(v.timerInterval(), PausedIntervalMs);   // a paused clock stays paused
    QCOMPARE(v.focusWidget(), child(v, "PauseIt"));
}

QTEST_MAIN(TestVorn)
#include "tst_vorn.moc"
