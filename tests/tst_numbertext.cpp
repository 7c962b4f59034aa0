// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbertext.h"

#include <QTest>

#include <cmath>
#include <limits>

// The display patterns and the two readings, in a fixed US-English locale so that the
// expected texts hold wherever the tests run.
class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void formatCount_data();
    void formatCount();
    void countRoundTrip();
    void formatPercent_data();
    void formatPercent();
    void formatPreference_data();
    void formatPreference();
    void formatFourDecimals_data();
    void formatFourDecimals();
    void readNumber_data();
    void readNumber();
    void readLeadingNumber_data();
    void readLeadingNumber();
    void cLocaleReadsAsUsEnglish();

private:
    const NumberText us{QLocale(QLocale::English, QLocale::UnitedStates)};
};

void TestNumberText::formatCount_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero is empty") << 0.0 << "";
    QTest::newRow("one") << 1.0 << "1";
    QTest::newRow("999") << 999.0 << "999";
    QTest::newRow("1000") << 1000.0 << "1,000";
    QTest::newRow("1234") << 1234.0 << "1,234";
    QTest::newRow("population") << 70225.0 << "70,225";
}

void TestNumberText::formatCount()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(us.FormatCount(value), text);
}

// A count is read back from its own text at every increment; a parse that stopped at the
// first separator would turn 1,000 into 1.
void TestNumberText::countRoundTrip()
{
    for (int n = 1; n <= 70225; ++n) {
        const auto back = us.ReadNumber(us.FormatCount(n));
        if (!back || *back != n)
            QFAIL(qPrintable(QStringLiteral("count %1 read back as %2").arg(n).arg(back.value_or(-1))));
    }
}

void TestNumberText::formatPercent_data()
{
    QTest::addColumn<double>("fraction");
    QTest::addColumn<QString>("text");
    QTest::newRow("0.65") << 0.65 << "65.00%";
    QTest::newRow("0.005") << 0.005 << "0.50%";
    QTest::newRow("whole") << 1.0 << "100.00%";
    QTest::newRow("zero") << 0.0 << "0.00%";
    QTest::newRow("a third") << 1.0 / 3.0 << "33.33%";
}

void TestNumberText::formatPercent()
{
    QFETCH(double, fraction);
    QFETCH(QString, text);
    QCOMPARE(us.FormatPercent(fraction), text);
}

void TestNumberText::formatPreference_data()
{
    QTest::addColumn<int>("eighths");
    QTest::addColumn<QString>("text");
    const char *texts[] = {".0%", "12.5%", "25.0%", "37.5%", "50.0%", "62.5%", "75.0%", "87.5%", "100.0%"};
    for (int e = 0; e <= 8; ++e)
        QTest::addRow("%d eighths", e) << e << QString::fromLatin1(texts[e]);
}

void TestNumberText::formatPreference()
{
    QFETCH(int, eighths);
    QFETCH(QString, text);
    QCOMPARE(us.FormatPreference(eighths / 8.0), text);
}

void TestNumberText::formatFourDecimals_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0.5") << 0.5 << ".5";
    QTest::newRow("50") << 50.0 << "50";
    QTest::newRow("rounds to the half") << 0.18749 << ".1875";
    QTest::newRow("four places") << 0.12344 << ".1234";
    QTest::newRow("no thousands separator") << 1234.5 << "1234.5";
    QTest::newRow("negative") << -0.5 << "-.5";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("tiny negative rounds to zero") << -0.00001 << "0";
    QTest::newRow("whole above one") << 2.0 << "2";
}

void TestNumberText::formatFourDecimals()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(NumberText::FormatFourDecimals(value), text);
}

void TestNumberText::readNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "50" << true << 50.0;
    QTest::newRow("blanks around") << "  0.5 " << true << 0.5;
    QTest::newRow("sign") << "-0.5" << true << -0.5;
    QTest::newRow("thousands") << "1,234" << true << 1234.0;
    QTest::newRow("exponent") << "5e1" << true << 50.0;
    QTest::newRow("percent sign") << "50%" << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blank inside") << "5 0" << false << 0.0;
    QTest::newRow("hexadecimal") << "0x10" << false << 0.0;
}

void TestNumberText::readNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const auto read = us.ReadNumber(text);
    QCOMPARE(read.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*read, value);
}

void TestNumberText::readLeadingNumber_data()
{
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "50" << 50.0;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("trailing percent") << "50.0%" << 50.0;
    QTest::newRow("blanks anywhere") << " 5 0 . 5 " << 50.5;
    QTest::newRow("sign") << "-12.5" << -12.5;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("exponent") << "1.5e2x" << 150.0;
    QTest::newRow("negative exponent") << "25e-2" << 0.25;
    QTest::newRow("bare exponent letter") << "5e" << 5.0;
    QTest::newRow("comma stops") << "1,5" << 1.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("lone sign") << "-" << 0.0;
    QTest::newRow("lone point") << "." << 0.0;
    QTest::newRow("hexadecimal") << "0x10" << 0.0;
    QTest::newRow("inf is not a number") << "inf" << 0.0;
    QTest::newRow("nan is not a number") << "nan" << 0.0;
    QTest::newRow("overflow") << "1e400" << inf;
    QTest::newRow("negative overflow") << "-1e400" << -inf;
    QTest::newRow("underflow") << "1e-400" << 0.0;
    QTest::newRow("huge exponent") << "1e99999999999999999999" << inf;
    QTest::newRow("thousand digits") << QString(1000, QLatin1Char('9')) << inf;
    QTest::newRow("long fraction") << QStringLiteral("0.") + QString(5000, QLatin1Char('0')) + "1" << 0.0;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0665\u0660") << 0.0;
    QTest::newRow("fullwidth digits") << QString::fromUtf8("\uFF15\uFF10") << 0.0;
}

void TestNumberText::readLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(NumberText::ReadLeadingNumber(text), value);
}

void TestNumberText::cLocaleReadsAsUsEnglish()
{
    // Counts must show thousands separators even where the system locale is C/POSIX.
    const NumberText numbers(NumberText::UserLocaleFor(QLocale::c()));
    QCOMPARE(numbers.FormatCount(70225), QStringLiteral("70,225"));
    QCOMPARE(numbers.FormatPercent(0.5), QStringLiteral("50.00%"));
    QCOMPARE(NumberText::UserLocaleFor(QLocale(QLocale::German, QLocale::Germany)).language(),
             QLocale::German);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
