// SPDX-License-Identifier: GPL-3.0-or-later
#include "general.h"
#include "preferencetext.h"
#include "usenglishforms.h"

#include <QTest>

// What a run takes as a typed preference: only texts whose reading is what they plainly say,
// while records of earlier runs are read as runs read them then.
class TestPreferenceText : public QObject
{
    Q_OBJECT

private slots:
    void typedPreference_data();
    void typedPreference();
    void recordedPreference_data();
    void recordedPreference();
    void everyEighthHasAPlainText();
};

void TestPreferenceText::typedPreference_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("eighths");   // as taken; -1 when refused
    QTest::addColumn<QString>("reason");   // a part of the refusal

    QTest::newRow("the start text .5") << ".5" << 4 << "";
    QTest::newRow("0.375") << "0.375" << 3 << "";
    QTest::newRow("zero") << "0" << 0 << "";
    QTest::newRow("one with its point") << "1.0" << 8 << "";
    QTest::newRow("50%") << "50%" << 4 << "";
    QTest::newRow("12.5 %") << "12.5 %" << 1 << "";
    QTest::newRow("0%") << "0%" << 0 << "";
    QTest::newRow("100%") << "100%" << 8 << "";
    QTest::newRow("50, a percentage") << "50" << 4 << "";
    QTest::newRow("blanks around") << "  75%\t" << 6 << "";
    QTest::newRow("a plus") << "+.5" << 4 << "";
    QTest::newRow("four decimals") << "0.1875" << 2 << "";

    QTest::newRow("4, eighths or 4 %") << "4" << -1 << "could be eighths";
    QTest::newRow("1, one eighth or all") << "1" << -1 << "could be eighths";
    QTest::newRow("8") << "8" << -1 << "could be eighths";
    QTest::newRow("4.5 below 8") << "4.5" << -1 << "could be eighths";
    QTest::newRow("1/2, read as all") << "1/2" << -1 << "more after the number";
    QTest::newRow("0.5%, read as half") << "0.5%" << -1 << "fraction with a % sign";
    QTest::newRow("1%, read as all") << "1%" << -1 << "fraction with a % sign";
    QTest::newRow("150%") << "150%" << -1 << "above 100 %";
    QTest::newRow("101") << "101" << -1 << "above 100 %";
    QTest::newRow("50 percent") << "50 percent" << -1 << "more after the number";
    QTest::newRow("an exponent") << "5e1" << -1 << "more after the number";
    QTest::newRow("thousands") << "1,000" << -1 << "more after the number";
    QTest::newRow("two signs") << "50%%" << -1 << "more after the number";
    QTest::newRow("five decimals") << "0.18749" << -1 << "four decimals";
    QTest::newRow("negative") << "-0.5" << -1 << "negative";
    QTest::newRow("letters") << "abc" << -1 << "no number";
    QTest::newRow("empty") << "" << -1 << "no number";
    QTest::newRow("a point alone") << "." << -1 << "no number";
    QTest::newRow("a sign alone") << "%" << -1 << "no number";
}

void TestPreferenceText::typedPreference()
{
    QFETCH(QString, text);
    QFETCH(int, eighths);
    QFETCH(QString, reason);
    const std::string typed = text.toStdString();
    const auto problem = PreferenceProblem(typed);
    if (eighths < 0) {
        QVERIFY2(problem, "taken");
        QVERIFY2(QString::fromStdString(*problem).contains(reason), problem->c_str());
        // Every refusal names the forms that are taken.
        QVERIFY2(problem->find(AcceptedPreference) != std::string::npos, problem->c_str());
        return;
    }
    QVERIFY2(!problem, problem ? problem->c_str() : "");
    // And the window reads it as what it says.
    const UsEnglishForms forms;
    QCOMPARE(int(ReadPreferenceText(typed, 3, forms).eighths), eighths);
}

void TestPreferenceText::recordedPreference_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("taken");
    QTest::newRow("4, as runs once took it") << "4" << true;
    QTest::newRow("150%") << "150%" << true;
    QTest::newRow("1e400") << "1e400" << true;
    QTest::newRow("minus zero") << "-0" << true;
    QTest::newRow("negative") << "-0.5" << false;
    QTest::newRow("letters") << "abc" << false;
    QTest::newRow("empty") << "" << false;
}

void TestPreferenceText::recordedPreference()
{
    QFETCH(QString, text);
    QFETCH(bool, taken);
    QCOMPARE(!RecordedPreferenceProblem(text.toStdString()), taken);
}

// The texts a sweep gives its runs are plain, and read back as their eighths.
void TestPreferenceText::everyEighthHasAPlainText()
{
    const UsEnglishForms forms;
    for (std::int16_t e = 0; e <= 8; ++e) {
        const std::string text = PreferenceText(e);
        QVERIFY2(!PreferenceProblem(text), text.c_str());
        QCOMPARE(ReadPreferenceText(text, 0, forms).eighths, e);
    }
}

QTEST_GUILESS_MAIN(TestPreferenceText)
#include "tst_preferencetext.moc"
