// SPDX-License-Identifier: GPL-3.0-or-later
#include "corestrings.h"
#include "labrun.h"
#include "measurestable.h"
#include "runplanjson.h"
#include "runrecorder.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <charconv>

// A run of the Lab: what it samples and when, that it reproduces, and what it leaves.
class TestLabRun : public QObject
{
    Q_OBJECT

private slots:
    void generationsForYears_data();
    void generationsForYears();
    void numbersReadBackExactly_data();
    void numbersReadBackExactly();
    void sampledGenerationsAndPreferencesInForce();
    void samePlanSameFilesAndJsonRoundTrip();
    void removedFolderFailsAndLeavesNoFile();

private:
    static RunPlan SmallPlan(const QString &outDir)
    {
        RunPlan plan;
        plan.seed = 11;
        plan.prefTexts = {"50%", ".5", "50", "25", "1"};
        plan.generations = 30;
        plan.every = 7;
        plan.outDir = outDir.toStdString();
        return plan;
    }
    static QByteArray Record(const RunPlan &plan)
    {
        RunRecorder recorder(plan, {QStringLiteral("velmora-lab")});
        if (recorder.Begin())
            return {};
        LabRun run(plan);
        const auto end = run.Execute([&](std::int64_t g, const HeadlessCity &city) { return !recorder.Visit(g, city); });
        if (end != LabRun::End::Finished || recorder.Finish())
            return {};
        QFile csv(QDir(ToQString(plan.outDir)).filePath(QLatin1String(RunRecorder::MeasuresFile)));
        return csv.open(QIODevice::ReadOnly) ? csv.readAll() : QByteArray();
    }
};

void TestLabRun::generationsForYears_data()
{
    QTest::addColumn<double>("years");
    QTest::addColumn<qint64>("generations");
    QTest::newRow("none") << 0.0 << qint64(0);
    QTest::newRow("a year is 45.66 generations") << 1.0 << qint64(46);
    QTest::newRow("ten years") << 10.0 << qint64(457);
    QTest::newRow("a century") << 100.0 << qint64(4566);
    QTest::newRow("exactly 46 generations") << 46 * 8 / 365.25 << qint64(46);
}

void TestLabRun::generationsForYears()
{
    QFETCH(double, years);
    QFETCH(qint64, generations);
    QCOMPARE(GenerationsForYears(years), generations);
    // The horizon is the first generation at or past the years asked for.
    QVERIFY(YearsOfGeneration(generations) >= years - 1e-12);
    QVERIFY(generations == 0 || YearsOfGeneration(generations - 1) < years);
}

void TestLabRun::numbersReadBackExactly_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("a third") << 1.0 / 3.0;
    QTest::newRow("a tenth") << 0.1;
    QTest::newRow("tiny") << 4.9406564584124654e-324;
    QTest::newRow("a same share") << 0.45901293461492826;
    QTest::newRow("whole") << 24.0;
    QTest::newRow("one below one") << std::nextafter(1.0, 0.0);
}

void TestLabRun::numbersReadBackExactly()
{
    QFETCH(double, value);
    const std::string text = MeasuresTable::Number(value);
    double back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    QCOMPARE(back, value);
    QVERIFY(text.find('e') == std::string::npos || value < 1e-5);
    QCOMPARE(MeasuresTable::Number(std::optional<double>()), std::string());
    // Where the standard library writes no double, the same text is worked out by hand.
    QCOMPARE(MeasuresTable::PortableNumber(value), text);
}

// Rows at every K generations and at the end; a change typed before generation 12 governs
// generation 12 and is what row 14 shows, while row 7 still shows the preferences built with.
void TestLabRun::sampledGenerationsAndPreferencesInForce()
{
    QTemporaryDir dir;
    RunPlan plan = SmallPlan(dir.path());
    plan.changes = {{12, {"0", "0", "0", "0", "100%"}}};
    const QByteArray csv = Record(plan);
    QVERIFY(!csv.isEmpty());
    const QList<QByteArray> lines = csv.trimmed().split('\n');
    QCOMPARE(lines.first(), ToBytes(MeasuresTable::HeaderLine()).trimmed());
    QStringList generations;
    QStringList blueAndYellow;
    for (const QByteArray &line : lines.mid(1)) {
        const QList<QByteArray> fields = line.split(',');
        QCOMPARE(size_t(fields.size()), MeasuresTable::Header().size());
        generations << QString::fromLatin1(fields[0]);
        blueAndYellow << QString::fromLatin1(fields[3] + '/' + fields[7]);
    }
    QCOMPARE(generations, QStringList({"0", "7", "14", "21", "28", "30"}));
    QCOMPARE(blueAndYellow, QStringList({"4/8", "4/8", "0/8", "0/8", "0/8", "0/8"}));
    QCOMPARE(lines[1].split(',')[1], QByteArray("2005-01-01"));
    QCOMPARE(lines.last().split(',')[1], QByteArray("2005-08-29"));   // 240 days on
}

void TestLabRun::samePlanSameFilesAndJsonRoundTrip()
{
    QTemporaryDir first;
    QTemporaryDir second;
    RunPlan plan = SmallPlan(first.path());
    plan.changes = {{3, {"0", "1", "2", "3", "4"}}, {3, {"1", "1", "1", "1", "1"}}, {20, {"9", "9", "9", "9", "9"}}};
    plan.snapshotEvery = 10;
    const QByteArray a = Record(plan);
    QVERIFY(!a.isEmpty());

    QFile json(QDir(first.path()).filePath(QLatin1String(RunRecorder::RunFile)));
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QJsonObject recorded = QJsonDocument::fromJson(json.readAll()).object();
    QString reason;
    auto again = RunPlanFromJson(recorded[QLatin1String("parameters")].toObject(), &reason);
    QVERIFY2(again, qPrintable(reason));
    QCOMPARE(recorded[QLatin1String("generations_run")].toInt(), 30);
    again->outDir = plan.outDir;
    QVERIFY(*again == plan);

    again->outDir = second.path().toStdString();
    QCOMPARE(Record(*again), a);
    const QString snapshot = RunRecorder::SnapshotName(20);
    QFile one(QDir(first.path()).filePath(snapshot));
    QFile two(QDir(second.path()).filePath(snapshot));
    QVERIFY(one.open(QIODevice::ReadOnly) && two.open(QIODevice::ReadOnly));
    QCOMPARE(one.readAll(), two.readAll());

    // A seed one apart is another city.
    QTemporaryDir third;
    plan.outDir = third.path().toStdString();
    plan.seed += 1;
    QVERIFY(Record(plan) != a);
}

void TestLabRun::removedFolderFailsAndLeavesNoFile()
{
    QTemporaryDir parent;
    const QString folder = QDir(parent.path()).filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(folder));
    RunPlan plan = SmallPlan(folder);
    RunRecorder recorder(plan, {});
    QVERIFY(!recorder.Begin());
    LabRun run(plan);
    bool failed = false;
    run.Execute([&](std::int64_t g, const HeadlessCity &city) {
        if (g == 10)
            QDir(folder).removeRecursively();
        failed = failed || recorder.Visit(g, city).has_value();
        return true;
    });
    const WriteError finish = recorder.Finish();
    QVERIFY(failed || finish.has_value());
    QVERIFY(finish.value_or(QString()).contains(QLatin1String(RunRecorder::MeasuresFile)));
    QVERIFY(!QFile::exists(QDir(folder).filePath(QLatin1String(RunRecorder::MeasuresFile))));
    QVERIFY(!QFile::exists(QDir(folder).filePath(QLatin1String(RunRecorder::RunFile))));
}

QTEST_MAIN(TestLabRun)
#include "tst_labrun.moc"
