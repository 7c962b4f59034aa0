// SPDX-License-Identifier: GPL-3.0-or-later
#include "constants.h"
#include "fakecitywindow.h"
#include "general.h"
#include "localeforms.h"
#include "qtbridge.h"

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
    const LocaleForms forms(locale);
    auto read = [&](const QString &text) {
        const auto date = forms.ReadDate(text.toStdString());
        return date ? QtBridge::ToQDate(*date) : QDate();
    };
    auto write = [&](QDate date) { return QtBridge::Q(forms.WriteDate(QtBridge::FromQDate(date))); };

    // The input the fuzzer reported: a date typed in Latin digits read as a date, but
    // what was written for it did not read back.
    const QDate typed = read(QStringLiteral("01/01/2005"));
    if (typed.isValid())
        QCOMPARE(read(write(typed)), typed);

    for (QDate date : {QDate(2005, 1, 1), QDate(2008, 2, 29), QDate(2023, 11, 28), QDate(9999, 12, 24),
                       QDate(9999, 12, 31)}) {
        const QString text = write(date);
        QVERIFY2(!text.isEmpty(), qPrintable(date.toString(Qt::ISODate)));
        QCOMPARE(read(text), date);
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
    const LocaleForms forms(locale);
    General general(window, random, forms);
    general.BuildCity();

    auto today = [&] { return QtBridge::ToQDate(forms.ReadDate(window.text(Field::Dayt)).value_or(Date{})); };
    QCOMPARE(today(), QDate(2005, 1, 1));
    general.NextGeneration();
    QCOMPARE(today(), QDate(2005, 1, 9));
    general.NextGeneration();
    QCOMPARE(today(), QDate(2005, 1, 17));
    QCOMPARE(window.endings, 0);
}

QTEST_GUILESS_MAIN(TestFuzzFindings)
#include "tst_fuzzfindings.moc"
