// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "datetext.h"
#include "fakecitywindow.h"
#include "general.h"

#include <QTest>

using Field = CityWindow::Field;

// What the fuzz target in fuzz/ has found, kept as ordinary cases so that it stays fixed.
class TestFuzzFindings : public QObject
{
    Q_OBJECT

private slots:
    void datesReadBackInEveryDigitSystem_data();
    void datesReadBackInEveryDigitSystem();
    void clockAdvancesInEveryDigitSystem_data();
    void clockAdvancesInEveryDigitSystem();
};

namespace {

// Locales whose digits lie outside the Basic Multilingual Plane: Qt writes their dates
// but could not read them back, so a date in the clock field never advanced.
void AddSupplementaryDigitLocales()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("Chakma") << QLocale(QLocale::Chakma, QLocale::Bangladesh);
    QTest::newRow("Adlam Fulah") << QLocale(QLocale::Fulah, QLocale::AdlamScript, QLocale::Senegal);
}

} // namespace

void TestFuzzFindings::datesReadBackInEveryDigitSystem_data()
{
    AddSupplementaryDigitLocales();
}

void TestFuzzFindings::datesReadBackInEveryDigitSystem()
{
    QFETCH(QLocale, locale);
    const DateText dates(locale);

    // The input the fuzzer reported: a date typed in Latin digits read as a date, but
    // what was written for it did not read back.
    const QDate typed = dates.Read(QStringLiteral("01/01/2005"));
    if (typed.isValid())
        QCOMPARE(dates.Read(dates.Write(typed)), typed);

    for (QDate date : {FirstDay(), QDate(2008, 2, 29), QDate(2023, 11, 28), LastDayBeforeWrap(),
                       QDate(9999, 12, 31)}) {
        const QString text = dates.Write(date);
        QVERIFY2(!text.isEmpty(), qPrintable(date.toString(Qt::ISODate)));
        QCOMPARE(dates.Read(text), date);
    }
}

void TestFuzzFindings::clockAdvancesInEveryDigitSystem_data()
{
    AddSupplementaryDigitLocales();
}

void TestFuzzFindings::clockAdvancesInEveryDigitSystem()
{
    QFETCH(QLocale, locale);
    FakeCityWindow window;
    RandomSource random{[] { return 1234.5f; }};
    General general(window, random, locale);
    general.BuildCity();

    const DateText &dates = general.dateText();
    QCOMPARE(dates.Read(window.text(Field::Dayt)), FirstDay());
    general.NextGeneration();
    QCOMPARE(dates.Read(window.text(Field::Dayt)), QDate(2005, 1, 9));
    general.NextGeneration();
    QCOMPARE(dates.Read(window.text(Field::Dayt)), QDate(2005, 1, 17));
    QCOMPARE(window.endings, 0);
}

QTEST_GUILESS_MAIN(TestFuzzFindings)
#include "tst_fuzzfindings.moc"
