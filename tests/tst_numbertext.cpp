// SPDX-License-Identifier: GPL-3.0-or-later
#include "localeforms.h"
#include "numbertext.h"
#include "usenglishforms.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

// The display patterns and the two readings, in US English so that the expected texts hold
// wherever the tests run: the core's own forms and the desktop's Qt locale forms alike, since
// a run must read and write exactly what the window does in that locale.
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
    void readNumberAgreesWithQtOnAnyText();
    void fixedDecimalsRoundHalfAwayAsQtDoes();

private:
    const UsEnglishForms core_;
    const LocaleForms qt_{QLocale(QLocale::English, QLocale::UnitedStates)};
    const std::array<const FieldForms *, 2> both_{&core_, &qt_};
};

namespace {
std::string Utf8(const QString &text)
{
    return text.toStdString();
}
QString FromUtf8(const std::string &text)
{
    return QString::fromStdString(text);
}
} // namespace

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
    for (const FieldForms *forms : both_)
        QCOMPARE(FromUtf8(forms->FormatCount(value)), text);
}

// A count is read back from its own text at every increment; a parse that stopped at the
// first separator would turn 1,000 into 1.
void TestNumberText::countRoundTrip()
{
    for (const FieldForms *forms : both_) {
        for (int n = 1; n <= 70225; ++n) {
            const auto back = forms->ReadNumber(forms->FormatCount(n));
            if (!back || *back != n)
                QFAIL(qPrintable(QStringLiteral("count %1 read back as %2").arg(n).arg(back.value_or(-1))));
        }
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
    // An exact half of the last decimal goes up, not to the even digit as printf would.
    QTest::newRow("exact half up") << 0.00125 * 1.0 << "0.13%";
    QTest::newRow("exact half 12.125") << 0.12125 << "12.13%";
}

void TestNumberText::formatPercent()
{
    QFETCH(double, fraction);
    QFETCH(QString, text);
    for (const FieldForms *forms : both_)
        QCOMPARE(FromUtf8(forms->FormatPercent(fraction)), text);
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
    for (const FieldForms *forms : both_)
        QCOMPARE(FromUtf8(forms->FormatPreference(eighths / 8.0)), text);
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
    QCOMPARE(FromUtf8(NumberText::FormatFourDecimals(value)), text);
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
    QTest::newRow("minus sign proper") << QString::fromUtf8("\u2212.5") << true << -0.5;
    QTest::newRow("no-break space around") << QString::fromUtf8("\u00a0.5\u3000") << true << 0.5;
    QTest::newRow("group of two") << "1,00" << false << 0.0;
    QTest::newRow("four before a group") << "1234,567" << false << 0.0;
    QTest::newRow("groups then exponent") << "1,000e3" << true << 1e6;
    QTest::newRow("separator last") << "1," << false << 0.0;
    QTest::newRow("overflow is no number") << "1e400" << false << 0.0;
    QTest::newRow("underflow is no number") << "1e-400" << false << 0.0;
    QTest::newRow("zero underflows to zero") << "0e-400" << true << 0.0;
    QTest::newRow("trailing point") << "5." << true << 5.0;
    QTest::newRow("bare exponent") << "5e" << false << 0.0;
    QTest::newRow("fullwidth digit") << QString::fromUtf8("\uff15") << false << 0.0;
}

void TestNumberText::readNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    for (const FieldForms *forms : both_) {
        const auto read = forms->ReadNumber(Utf8(text));
        QCOMPARE(read.has_value(), isNumber);
        if (isNumber)
            QCOMPARE(*read, value);
    }
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
    QCOMPARE(NumberText::ReadLeadingNumber(Utf8(text)), value);
}

void TestNumberText::cLocaleReadsAsUsEnglish()
{
    // Counts must show thousands separators even where the system locale is C/POSIX.
    const LocaleForms forms(LocaleForms::UserLocaleFor(QLocale::c()));
    QCOMPARE(forms.FormatCount(70225), "70,225");
    QCOMPARE(forms.FormatPercent(0.5), "50.00%");
    QCOMPARE(LocaleForms::UserLocaleFor(QLocale(QLocale::German, QLocale::Germany)).language(), QLocale::German);
}

// The core reads a whole text as a number exactly as Qt's US English locale does, for texts
// made of the pieces where the two could part: signs, points, separators, exponents, the
// blanks Qt trims, letters of inf and nan, and characters no number holds.
void TestNumberText::readNumberAgreesWithQtOnAnyText()
{
    const QStringList pieces = {"0", "1", "5", "9", "00", "123", ".", ",", "e", "E", "+", "-", " ", "\t",
                                "%", "i", "n", "f", "a", "inf", "nan", "x", ";", "'", "_",
                                QString::fromUtf8("\u00a0"), QString::fromUtf8("\u2212"), QString::fromUtf8("\u202f"),
                                QString::fromUtf8("\u3000"), QString::fromUtf8("\u2009"), QString::fromUtf8("\uff15"),
                                QString::fromUtf8("\u0665"), QString::fromUtf8("\U0001F600"), ",000", "e-3", "e+4"};
    QStringList texts;
    // Every character of the Basic Multilingual Plane around a number and inside one.
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c >= 0xd800 && c < 0xe000)
            continue;   // surrogates are no characters
        const QString one = QString::fromUcs4(&c, 1);
        texts << one + "5" << "5" + one << "1" + one + "000";
    }
    QRandomGenerator random(42);
    for (int i = 0; i < 200000; ++i) {
        QString text;
        for (int n = int(random.bounded(1, 9)); n > 0; --n)
            text += pieces[random.bounded(int(pieces.size()))];
        texts << text;
    }
    for (const QString &text : std::as_const(texts)) {
        const auto core = core_.ReadNumber(Utf8(text));
        const auto qt = qt_.ReadNumber(Utf8(text));
        const bool same = core.has_value() == qt.has_value()
            && (!core || *core == *qt || (std::isnan(*core) && std::isnan(*qt)));
        if (!same)
            QFAIL(qPrintable(QStringLiteral("'%1': core %2, Qt %3").arg(text, core ? QString::number(*core) : "none",
                                                                      qt ? QString::number(*qt) : "none")));
    }
}

// Whatever the C library would do with an exact half, the texts are Qt's.
void TestNumberText::fixedDecimalsRoundHalfAwayAsQtDoes()
{
    QRandomGenerator random(7);
    for (int i = 0; i < 100000; ++i) {
        // Many exact binary halves of a decimal place, values between, and values of every
        // size and sign, down to those whose exact expansion runs past a thousand decimals.
        double value = random.generateDouble() * 1000.0;
        if (i % 3 == 1)
            value = double(random.bounded(1 << 20)) / 1024.0;
        else if (i % 3 == 2)
            value = std::ldexp(random.generateDouble(), int(random.bounded(-1100, 70)));
        if (i % 5 == 0)
            value = -value;
        const int decimals = int(random.bounded(i % 3 == 2 ? 17 : 5));
        const QString qt = QString::number(value, 'f', decimals);
        if (FromUtf8(NumberText::FixedDecimals(value, decimals)) != qt)
            QFAIL(qPrintable(QStringLiteral("%1 to %2 decimals: Qt gives %3, not %4").arg(value, 0, 'g', 17).arg(decimals).arg(qt, FromUtf8(NumberText::FixedDecimals(value, decimals)))));
    }
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
