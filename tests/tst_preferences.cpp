// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakecitywindow.h"
#include "general.h"
#include "usenglishforms.h"

#include <QRandomGenerator>
#include <QTest>

using Field = CityWindow::Field;

// Reading a preference field, in a fixed US-English locale: every odd text maps to a
// defined number of eighths and the field always ends showing one of the nine texts.
class TestPreferences : public QObject
{
    Q_OBJECT

private slots:
    void applyPreference_data();
    void applyPreference();
    void displayTextsReadBackUnchanged_data();
    void displayTextsReadBackUnchanged();
    void onlyTheNamedGroupChanges();
    void indexOutsideTheGroupsIsIgnored();
    void arbitraryTextsStayInRangeAndSettle();

private:
    static const QStringList DisplayTexts;
};

const QStringList TestPreferences::DisplayTexts = {
    QStringLiteral(".0%"),   QStringLiteral("12.5%"), QStringLiteral("25.0%"),
    QStringLiteral("37.5%"), QStringLiteral("50.0%"), QStringLiteral("62.5%"),
    QStringLiteral("75.0%"), QStringLiteral("87.5%"), QStringLiteral("100.0%"),
};

namespace {

struct Fixture
{
    FakeCityWindow window;
    RandomSource random{[] { return 1.0f; }};
    UsEnglishForms forms;
    General general{window, random, forms};
};

} // namespace

void TestPreferences::applyPreference_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("eighths");

    // The forms of one half.
    QTest::newRow(".5") << ".5" << 0 << 4;
    QTest::newRow("0.5") << "0.5" << 0 << 4;
    QTest::newRow("50") << "50" << 0 << 4;
    QTest::newRow("50%") << "50%" << 0 << 4;
    QTest::newRow("50.0%") << "50.0%" << 0 << 4;
    // Exactly 1 is a fraction; above 1 is a percentage.
    QTest::newRow("1 is everything") << "1" << 0 << 8;
    QTest::newRow("2 is two percent") << "2" << 4 << 0;
    QTest::newRow("100") << "100" << 0 << 8;
    // Halves go to the even neighbour.
    QTest::newRow("0.0625") << "0.0625" << 3 << 0;
    QTest::newRow("0.1875") << "0.1875" << 0 << 2;
    QTest::newRow("0.3125") << "0.3125" << 0 << 2;
    QTest::newRow("0.4375") << "0.4375" << 0 << 4;
    QTest::newRow("6.25") << "6.25" << 3 << 0;
    QTest::newRow("93.75") << "93.75" << 0 << 8;
    QTest::newRow("rounded to four places first") << "0.18749" << 0 << 2;
    // Negative numbers keep what was there.
    QTest::newRow("-0.5") << "-0.5" << 3 << 3;
    QTest::newRow("-50%") << "-50%" << 5 << 5;
    QTest::newRow("-1e400") << "-1e400" << 6 << 6;
    QTest::newRow("-0") << "-0" << 6 << 0;
    QTest::newRow("tiny negative rounds to zero") << "-0.00001" << 6 << 0;
    // Not a number at all gives 0.
    QTest::newRow("abc") << "abc" << 5 << 0;
    QTest::newRow("empty") << "" << 5 << 0;
    QTest::newRow("blanks only") << "   " << 5 << 0;
    QTest::newRow("lone sign") << "+" << 5 << 0;
    QTest::newRow("inf") << "inf" << 5 << 0;
    QTest::newRow("-inf") << "-inf" << 5 << 0;
    QTest::newRow("nan") << "nan" << 5 << 0;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0665\u0660") << 5 << 0;
    QTest::newRow("percent sign first") << "%50" << 5 << 0;
    // Too much is everything.
    QTest::newRow("500000") << "500000" << 0 << 8;
    QTest::newRow("1e400") << "1e400" << 0 << 8;
    QTest::newRow("thousands of digits") << QString(5000, QLatin1Char('7')) << 0 << 8;
    // Leading numbers, blanks and separators.
    QTest::newRow("0x10 reads its 0") << "0x10" << 5 << 0;
    QTest::newRow("blanks around") << "  25  " << 0 << 2;
    QTest::newRow("blanks inside") << "2 5" << 0 << 2;
    QTest::newRow("plus sign") << "+75" << 0 << 6;
    QTest::newRow("exponent") << "3.75e1" << 0 << 3;
    QTest::newRow("thousands separator") << "1,000" << 0 << 8;
    QTest::newRow("thousands separator after a zero") << "0,125" << 0 << 8;
    QTest::newRow("comma as a decimal point stops at it") << "1,5" << 0 << 8;
    QTest::newRow("12.5% with trailing text") << "12.5% please" << 0 << 1;
    QTest::newRow("long text after a number") << QStringLiteral("75") + QString(20000, QLatin1Char('x')) << 0 << 6;
    QTest::newRow("long fraction") << QStringLiteral("0.") + QString(3000, QLatin1Char('0')) + "9" << 4 << 0;
}

void TestPreferences::applyPreference()
{
    QFETCH(QString, text);
    QFETCH(int, before);
    QFETCH(int, eighths);

    Fixture f;
    f.general.PrefEighths[3] = qint16(before);
    f.window.setField(Field::Pref, 3, text);
    f.general.ApplyPreference(3);

    QCOMPARE(int(f.general.PrefEighths[3]), eighths);
    QCOMPARE(f.window.field(Field::Pref, 3), DisplayTexts[eighths]);
}

void TestPreferences::displayTextsReadBackUnchanged_data()
{
    QTest::addColumn<int>("eighths");
    for (int e = 0; e <= 8; ++e)
        QTest::addRow("%s", qPrintable(DisplayTexts[e])) << e;
}

// Leaving a field without editing it must change nothing.
void TestPreferences::displayTextsReadBackUnchanged()
{
    QFETCH(int, eighths);
    Fixture f;
    f.general.PrefEighths[2] = qint16(eighths == 0 ? 8 : 0);
    f.window.setField(Field::Pref, 2, DisplayTexts[eighths]);
    f.general.ApplyPreference(2);
    QCOMPARE(int(f.general.PrefEighths[2]), eighths);
    QCOMPARE(f.window.field(Field::Pref, 2), DisplayTexts[eighths]);
}

void TestPreferences::onlyTheNamedGroupChanges()
{
    Fixture f;
    for (int g = 1; g <= 5; ++g)
        f.window.setField(Field::Pref, g, QStringLiteral("abc"));
    f.window.setField(Field::Pref, 4, QStringLiteral("75"));
    f.general.ApplyPreference(4);
    for (int g = 1; g <= 5; ++g) {
        QCOMPARE(int(f.general.PrefEighths[g]), g == 4 ? 6 : 0);
        QCOMPARE(f.window.field(Field::Pref, g), g == 4 ? QStringLiteral("75.0%") : QStringLiteral("abc"));
    }
}

void TestPreferences::indexOutsideTheGroupsIsIgnored()
{
    Fixture f;
    const PreferenceTable before = f.general.PrefEighths;
    f.general.ApplyPreference(0);
    f.general.ApplyPreference(6);
    f.general.ApplyPreference(-1);
    QCOMPARE(f.general.PrefEighths, before);
}

// Whatever is typed, the preference stays within 0 to 8, the field shows one of the nine
// texts, and confirming the field again changes nothing.
void TestPreferences::arbitraryTextsStayInRangeAndSettle()
{
    const QString alphabet = QStringLiteral("0123456789.,+-eE% \tx") + QChar(0x0660) + QChar(0xFF15);
    QRandomGenerator generator(20050101);
    Fixture f;
    for (int round = 0; round < 20000; ++round) {
        QString text;
        const int length = generator.bounded(12);
        for (int i = 0; i < length; ++i)
            text += alphabet[generator.bounded(int(alphabet.size()))];
        f.window.setField(Field::Pref, 1, text);
        f.general.ApplyPreference(1);
        const qint16 eighths = f.general.PrefEighths[1];
        const QString shown = f.window.field(Field::Pref, 1);
        QVERIFY2(eighths >= 0 && eighths <= 8, qPrintable(text));
        QCOMPARE(shown, DisplayTexts[eighths]);
        f.general.ApplyPreference(1);
        QCOMPARE(f.general.PrefEighths[1], eighths);
        QCOMPARE(f.window.field(Field::Pref, 1), shown);
    }
}

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
