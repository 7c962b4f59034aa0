// SPDX-License-Identifier: GPL-3.0-or-later
#include "corestrings.h"
#include "headlesscity.h"
#include "heatmap.h"
#include "measurestable.h"
#include "preferencetext.h"
#include "runindex.h"
#include "runseed.h"
#include "runset.h"
#include "shardfiles.h"
#include "shardlock.h"
#include "sweepdefinitionjson.h"
#include "sweepmerge.h"
#include "sweeprunner.h"
#include "sweeptable.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <map>
#include <random>
#include <set>

using Sets = GroupTable<PreferenceSet>;
Q_DECLARE_METATYPE(Sets)

namespace {

// Blue's to Yellow's values, into a table indexed by group.
Sets SetsOf(std::initializer_list<PreferenceSet> five)
{
    Sets sets{};
    GroupIndex g = 1;
    for (const PreferenceSet &values : five)
        sets[g++] = values;
    return sets;
}

// The program's own, so that the command line can go on with what the tests wrote.
const QString Version = QStringLiteral(VELMORA_VERSION);

// Eight short runs: Blue 0 or 8 eighths, Gray 0 or 4, two seeds; measured at 0, 2 and 3.
SweepDefinition Small(quint32 baseSeed = 11)
{
    SweepDefinition definition;
    definition.prefSets = SetsOf({{0, 8}, {4}, {4}, {0, 4}, {4}});
    definition.seeds = 2;
    definition.baseSeed = baseSeed;
    definition.generations = 3;
    definition.every = 2;
    return definition;
}

QByteArray Contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

SweepRunner::End Sweep(const QString &folder, const SweepDefinition &definition, Shard shard = {}, int jobs = 1,
                       bool resume = false, const std::atomic<bool> *stop = nullptr,
                       const SweepRunner::Progress &progress = {})
{
    SweepSettings settings;
    settings.definition = definition;
    settings.shard = shard;
    settings.jobs = jobs;
    settings.outDir = folder;
    settings.resume = resume;
    SweepRunner runner(settings, {}, Version);
    if (const auto problem = runner.Prepare()) {
        qWarning("%s", qPrintable(problem->message));
        return SweepRunner::End::Failed;
    }
    return runner.Execute(stop, progress);
}

// The merged runs.csv and measures.csv, or the reason they were not written.
std::pair<QByteArray, QByteArray> Merged(const QString &folder, QString *problem = nullptr,
                                         size_t indexBudget = RunIndex::DefaultBudget)
{
    SweepMerge merge(folder, Version, indexBudget);
    auto fail = [&](const QString &why) {
        if (problem)
            *problem = why;
        return std::pair<QByteArray, QByteArray>{};
    };
    if (const auto refused = merge.Read())
        return fail(refused->message);
    if (const auto error = merge.Write())
        return fail(*error);
    return {Contents(merge.runsPath()), Contents(merge.measuresPath())};
}

// Copies the shard files of one sweep's folder into another.
bool CopyShards(const QString &from, const QString &to)
{
    const QDir source(ShardFiles::ShardsFolder(from));
    if (!QDir().mkpath(ShardFiles::ShardsFolder(to)))
        return false;
    for (const QString &name : source.entryList({QStringLiteral("shard-*")}, QDir::Files)) {
        if (!QFile::copy(source.filePath(name), QDir(ShardFiles::ShardsFolder(to)).filePath(name)))
            return false;
    }
    return true;
}

// Sets one field of a table's line (counted from 1, the header's), the column named by the
// header; a value starting with '+' is added to the end of what is there.
void EditField(const QString &path, int line, const QString &column, const QString &value)
{
    QList<QByteArray> lines = Contents(path).split('\n');
    QVERIFY(line >= 2 && line <= lines.size());
    const qsizetype at = lines.front().split(',').indexOf(column.toUtf8());
    QVERIFY2(at >= 0, qPrintable(column));
    QList<QByteArray> fields = lines[line - 1].split(',');
    fields[at] = value.startsWith(u'+') ? fields[at] + value.mid(1).toUtf8() : value.toUtf8();
    lines[line - 1] = fields.join(',');
    Put(path, lines.join('\n'));
}

// The arguments of `velmora-lab sweep` that give Small().
QStringList SmallArguments(const QString &folder)
{
    return {"sweep", "--prefs", "0..8/8,.5,.5,0..4/4,.5", "--seeds", "2", "--generations", "3",
            "--every", "2", "--base-seed", "11", "--out", folder};
}

Shard ShardOf(const QString &text)
{
    const QStringList parts = text.split(u'/');
    return {parts[0].toUInt(), parts[1].toUInt()};
}

} // namespace

class TestSweep : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void readsPreferenceSets_data();
    void readsPreferenceSets();
    void refusesBadPreferenceSets_data();
    void refusesBadPreferenceSets();
    void preferenceTextsReadBackAsTheirEighths();
    void fingerprintIsTheRunsNotTheSpelling();

    void expandsBlueOutermostAndSeedsInnermost();
    void shardsCoverEveryRunOnce_data();
    void shardsCoverEveryRunOnce();

    void mergedBytesDoNotDependOnTheSplit_data();
    void mergedBytesDoNotDependOnTheSplit();
    void resumeDropsWhatAKillLeftUnfinished_data();
    void resumeDropsWhatAKillLeftUnfinished();
    void mergeRefuses_data();
    void mergeRefuses();
    void editedNumbersAreRefused_data();
    void editedNumbersAreRefused();

    void oneWriterPerShard_data();
    void oneWriterPerShard();
    void aKilledWritersShardCanBeResumed();

    void runSetAgreesWithASet_data();
    void runSetAgreesWithASet();
    void runIndexSortsInBatches_data();
    void runIndexSortsInBatches();
    void aHugeSweepCostsWhatItRuns_data();
    void aHugeSweepCostsWhatItRuns();

    void heatMapAveragesTheSeeds();

    void commandLine_data();
    void commandLine();
    void aRunRepeatedAloneGivesItsRows();

private:
    QTemporaryDir scratch_;
    QString reference_;   // Small() swept in one go on one job, merged
    QByteArray runs_;
    QByteArray measures_;
};

void TestSweep::initTestCase()
{
    QVERIFY(scratch_.isValid());
    reference_ = scratch_.filePath(QStringLiteral("reference"));
    QCOMPARE(Sweep(reference_, Small()), SweepRunner::End::Finished);
    std::tie(runs_, measures_) = Merged(reference_);
    QCOMPARE(runs_.count('\n'), 1 + 8);
}

void TestSweep::readsPreferenceSets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Sets>("sets");
    const PreferenceSet four{4};
    QTest::newRow("0..8,50%,50%,0..8/2,50%") << "0..8,50%,50%,0..8/2,50%"
                                            << SetsOf({{0, 1, 2, 3, 4, 5, 6, 7, 8}, four, four, {0, 2, 4, 6, 8}, four});
    QTest::newRow("one value each, as run reads them") << ".5,50,50%,100%,0" << SetsOf({four, four, four, {8}, {0}});
    QTest::newRow("a list in any order") << "75%|.25|100%,.5,.5,.5,.5" << SetsOf({{2, 6, 8}, four, four, four, four});
    QTest::newRow("ranges and values in one list") << "6..8|0..2/2,.5,.5,.5,.5"
                                                  << SetsOf({{0, 2, 6, 7, 8}, four, four, four, four});
    QTest::newRow("a step past the end") << "1..8/9, 2..2 ,.5,.5,.5" << SetsOf({{1}, {2}, four, four, four});
    // Percentages: 4 % is nothing; without the sign, a number above 8 is one too.
    QTest::newRow("4%,12.5,100,100%,.5") << "4%,12.5,100,100%,.5" << SetsOf({{0}, {1}, {8}, {8}, four});
}

void TestSweep::readsPreferenceSets()
{
    QFETCH(QString, text);
    QFETCH(Sets, sets);
    std::string problem;
    const auto read = ReadPreferenceSets(text.toStdString(), &problem);
    QVERIFY2(read, problem.c_str());
    QCOMPARE(*read, sets);
}

void TestSweep::refusesBadPreferenceSets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");   // a part of the message
    QTest::newRow("four sets") << "0..8,.5,.5,.5" << "4 sets given; expected five";
    QTest::newRow("six sets") << "0..8,.5,.5,.5,.5,.5" << "6 sets given";
    QTest::newRow("empty") << "" << "1 sets given";
    QTest::newRow("an empty range") << ".5,8..0,.5,.5,.5" << "Red: '8..0' is an empty range";
    QTest::newRow("a step of 0") << ".5,.5,0..8/0,.5,.5" << "Green: '0..8/0' has a step of 0";
    QTest::newRow("beyond 8 eighths") << ".5,.5,.5,0..9,.5" << "Gray: '0..9' goes beyond 8 eighths";
    QTest::newRow("a negative bound") << "-1..8,.5,.5,.5,.5" << "Blue: '-1..8' is not a range";
    QTest::newRow("a range in percent") << "0%..100%,.5,.5,.5,.5" << "'0%..100%' is not a range";
    QTest::newRow("no number") << ".5,.5,.5,.5,half" << "Yellow: 'half' has no number in it";
    QTest::newRow("an empty item") << "0|,.5,.5,.5,.5" << "Blue: '' has no number in it";
    QTest::newRow("negative") << "-.5,.5,.5,.5,.5" << "'-.5' is negative";
    QTest::newRow("a value twice") << "50%|.5,.5,.5,.5,.5" << "gives 4 eighths a second time";
    QTest::newRow("0|4|8, eighths or percent") << "0|4|8,.5,.5,.5,.5" << "Blue: '4' could be 4/8, as in a range, or what `run` reads, 4 % (0/8)";
    QTest::newRow("1, an eighth or all") << ".5,.5,.5,.5, 1 " << "Yellow: ' 1 ' could be 1/8, as in a range, or what `run` reads, all eight (8/8)";
    QTest::newRow("above 100 %") << ".5,.5,150%,.5,.5" << "Green: '150%' is above 100 %";
    QTest::newRow("a fraction with a % sign") << "0.5%,.5,.5,.5,.5" << "'0.5%' is a fraction with a % sign";
    QTest::newRow("overlapping ranges") << "0..4|4..8,.5,.5,.5,.5" << "gives 4 eighths a second time";
}

void TestSweep::refusesBadPreferenceSets()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);
    std::string problem;
    QVERIFY(!ReadPreferenceSets(text.toStdString(), &problem));
    QVERIFY2(ToQString(problem).contains(reason), problem.c_str());
}

void TestSweep::preferenceTextsReadBackAsTheirEighths()
{
    HeadlessCity city(0);
    for (qint16 e = 0; e <= 8; ++e) {
        city.TypePreference(1, PreferenceText(e));
        QCOMPARE(city.general().PrefEighths[1], e);
    }
}

void TestSweep::fingerprintIsTheRunsNotTheSpelling()
{
    std::string problem;
    SweepDefinition a = Small();
    SweepDefinition b = Small();
    const auto one = ReadPreferenceSets("0..8/2,.5,.5,.5,1..4/3", &problem);
    const auto other = ReadPreferenceSets("100%|0|6..6|25%|50,4..4,50%,.5,4..4|12.5%", &problem);
    QVERIFY(one && other);
    a.prefSets = *one;
    b.prefSets = *other;
    QCOMPARE(SweepFingerprint(a), SweepFingerprint(b));
    QCOMPARE(SweepFingerprint(a).size(), 64);
    QString reason;
    QCOMPARE(SweepDefinitionFromJson(SweepDefinitionToJson(a), &reason), std::optional(a));

    for (auto change : std::initializer_list<void (*)(SweepDefinition &)>{
             [](SweepDefinition &d) { ++d.seeds; }, [](SweepDefinition &d) { ++d.baseSeed; },
             [](SweepDefinition &d) { ++d.generations; }, [](SweepDefinition &d) { ++d.every; },
             [](SweepDefinition &d) { d.prefSets[5] = {3}; }}) {
        SweepDefinition c = a;
        change(c);
        QVERIFY(SweepFingerprint(c) != SweepFingerprint(a));
    }
}

void TestSweep::expandsBlueOutermostAndSeedsInnermost()
{
    SweepDefinition definition;
    std::string problem;
    const auto sets = ReadPreferenceSets("0|100%,2..3,.5,0..8/4,100%", &problem);
    QVERIFY2(sets, problem.c_str());
    definition.prefSets = *sets;
    definition.seeds = 3;
    definition.baseSeed = 4000000000u;
    const std::vector<SweepRun> runs = ExpandRuns(definition);
    QCOMPARE(runs.size(), size_t(2 * 2 * 1 * 3 * 1 * 3));

    quint32 id = 0;
    HeadlessCity reader(0);
    for (qint16 blue : {0, 8})
        for (qint16 red : {2, 3})
            for (qint16 gray : {0, 4, 8})
                for (quint32 replicate = 0; replicate < 3; ++replicate, ++id) {
                    const SweepRun &run = runs[id];
                    QCOMPARE(run.runId, id);
                    QCOMPARE(run.replicate, replicate);
                    QCOMPARE(run.seed, RunSeed(definition.baseSeed, id));
                    const GroupTable<qint16> eighths{0, blue, red, 4, gray, 8};
                    QCOMPARE(run.prefEighths, eighths);
                    for (GroupIndex g = 1; g <= GroupCount; ++g) {
                        reader.TypePreference(g, run.prefTexts[size_t(g - 1)]);
                        QCOMPARE(reader.general().PrefEighths[g], eighths[g]);
                    }
                }
}

void TestSweep::shardsCoverEveryRunOnce_data()
{
    QTest::addColumn<quint32>("runs");
    QTest::addColumn<quint32>("count");
    QTest::newRow("one shard") << 12u << 1u;
    QTest::newRow("12 runs in 8 shards") << 12u << 8u;
    QTest::newRow("12 runs in 12 shards") << 12u << 12u;
    QTest::newRow("3 runs in 8 shards") << 3u << 8u;
    QTest::newRow("1000 runs in 7 shards") << 1000u << 7u;
}

void TestSweep::shardsCoverEveryRunOnce()
{
    QFETCH(quint32, runs);
    QFETCH(quint32, count);
    std::vector<int> held(runs, 0);
    quint64 sizes = 0;
    for (quint32 index = 0; index < count; ++index) {
        const Shard shard{index, count};
        quint64 size = 0;
        for (quint32 id = 0; id < runs; ++id) {
            if (shard.holds(id)) {
                ++held[id];
                ++size;
            }
        }
        QCOMPARE(shard.size(runs), size);
        sizes += size;
    }
    QCOMPARE(sizes, quint64(runs));
    QVERIFY(std::all_of(held.begin(), held.end(), [](int n) { return n == 1; }));
}

void TestSweep::mergedBytesDoNotDependOnTheSplit_data()
{
    QTest::addColumn<quint32>("shards");
    QTest::addColumn<int>("jobs");
    QTest::addColumn<int>("stopAfter");     // runs written before a Ctrl+C, then a resume; -1 for none
    QTest::addColumn<quint32>("resumeAs");  // the split of the resume; 0 for the same
    QTest::addColumn<int>("indexBudget");   // runs the merge's index holds in memory at once
    const int budget = int(RunIndex::DefaultBudget);
    QTest::newRow("two jobs") << 1u << 2 << -1 << 0u << budget;
    QTest::newRow("three shards") << 3u << 1 << -1 << 0u << budget;
    QTest::newRow("eight shards of two jobs") << 8u << 2 << -1 << 0u << budget;
    QTest::newRow("stopped after three runs") << 1u << 2 << 3 << 0u << budget;
    QTest::newRow("each of two shards stopped after a run") << 2u << 1 << 1 << 0u << budget;
    QTest::newRow("two shards stopped, resumed as three") << 2u << 1 << 1 << 3u << budget;
    QTest::newRow("stopped whole, resumed as two shards") << 1u << 2 << 3 << 2u << budget;
    QTest::newRow("an index of three runs at a time") << 3u << 1 << -1 << 0u << 3;
    QTest::newRow("an index of one run at a time, after a resume") << 2u << 2 << 1 << 3u << 1;
}

void TestSweep::mergedBytesDoNotDependOnTheSplit()
{
    QFETCH(quint32, shards);
    QFETCH(int, jobs);
    QFETCH(int, stopAfter);
    QFETCH(quint32, resumeAs);
    QFETCH(int, indexBudget);
    const QString folder = scratch_.filePath(QString::fromLatin1(QTest::currentDataTag()));
    for (quint32 index = 0; index < shards; ++index) {
        const Shard shard{index, shards};
        if (stopAfter >= 0) {
            std::atomic<bool> stop{false};
            const auto end = Sweep(folder, Small(), shard, jobs, false, &stop, [&](quint64 written) {
                if (written >= quint64(stopAfter))
                    stop.store(true);
            });
            QCOMPARE(end, SweepRunner::End::Stopped);
            QString problem;
            QVERIFY(Merged(folder, &problem).first.isEmpty());
            QVERIFY2(problem.contains(QLatin1String("runs are missing")), qPrintable(problem));
        }
        if (resumeAs == 0)
            QCOMPARE(Sweep(folder, Small(), shard, jobs, stopAfter >= 0), SweepRunner::End::Finished);
    }
    for (quint32 index = 0; index < resumeAs; ++index)
        QCOMPARE(Sweep(folder, Small(), {index, resumeAs}, jobs, true), SweepRunner::End::Finished);
    const auto [runs, measures] = Merged(folder, nullptr, size_t(indexBudget));
    QCOMPARE(runs, runs_);
    QCOMPARE(measures, measures_);
    QVERIFY2(QDir(folder).entryList({QStringLiteral(".merge-index-*")}, QDir::Files | QDir::Hidden).isEmpty(),
             "the merge's index was left behind");
}

void TestSweep::resumeDropsWhatAKillLeftUnfinished_data()
{
    // A run is written as its measures rows, then its runs row: a kill leaves the two files
    // as they were at one moment of that sequence. `cut` is that moment, in bytes of it.
    QTest::addColumn<int>("run");       // the run being written, counted from 0
    QTest::addColumn<int>("part");      // 0: in its measures rows, 1: in its runs row
    QTest::addColumn<double>("where");  // how far into that part, 0 to 1
    QTest::newRow("before anything") << 0 << 0 << 0.0;
    QTest::newRow("inside the first run's measures rows") << 0 << 0 << 0.4;
    QTest::newRow("between a run's measures and its row") << 2 << 1 << 0.0;
    QTest::newRow("inside a runs row") << 5 << 1 << 0.5;
    QTest::newRow("a runs row but its newline") << 5 << 1 << 0.999;
    QTest::newRow("after a whole run") << 6 << 0 << 0.0;
}

void TestSweep::resumeDropsWhatAKillLeftUnfinished()
{
    QFETCH(int, run);
    QFETCH(int, part);
    QFETCH(double, where);
    const QString folder = scratch_.filePath(QStringLiteral("cut ") + QString::fromLatin1(QTest::currentDataTag()));
    const ShardFiles whole(reference_, {});
    const ShardFiles cut(folder, {});
    QVERIFY(QDir().mkpath(ShardFiles::ShardsFolder(folder)));
    QVERIFY(QFile::copy(whole.recordPath(), cut.recordPath()));

    // The reference's rows run by run, in the order they were written.
    ShardScan scan(Small(), {});
    std::vector<RunBlock> blocks;
    QVERIFY(scan.Read(whole.runsPath(), whole.measuresPath(), ShardScan::Tail::Checked,
                      [&](const RunBlock &block) { blocks.push_back(block); }));
    const QByteArray runs = Contents(whole.runsPath());
    const QByteArray measures = Contents(whole.measuresPath());
    QByteArray runsPart = ToBytes(SweepTable::RunsHeaderLine());
    QByteArray measuresPart = ToBytes(SweepTable::MeasuresHeaderLine());
    for (int i = 0; i < run; ++i) {
        const RunBlock &block = blocks[size_t(i)];
        measuresPart += measures.mid(block.measuresOffset, block.measuresLength);
        runsPart += runs.mid(block.runsOffset, block.runsLength);
    }
    const RunBlock &block = blocks[size_t(run)];
    const QByteArray current = part == 0 ? measures.mid(block.measuresOffset, block.measuresLength)
                                         : runs.mid(block.runsOffset, block.runsLength);
    if (part == 1)
        measuresPart += measures.mid(block.measuresOffset, block.measuresLength);
    (part == 0 ? measuresPart : runsPart) += current.left(qsizetype(where * double(current.size())));
    Put(cut.runsPath(), runsPart);
    Put(cut.measuresPath(), measuresPart);

    SweepSettings settings;
    settings.definition = Small();
    settings.outDir = folder;
    settings.resume = true;
    SweepRunner runner(settings, {}, Version);
    QCOMPARE(runner.Prepare().value_or(SweepProblem{}).message, QString());
    QCOMPARE(runner.pending().size(), size_t(8 - run));
    QCOMPARE(runner.droppedTail(), where > 0 || part == 1);
    QCOMPARE(runner.Execute(), SweepRunner::End::Finished);
    const auto [mergedRuns, mergedMeasures] = Merged(folder);
    QCOMPARE(mergedRuns, runs_);
    QCOMPARE(mergedMeasures, measures_);
}

void TestSweep::mergeRefuses_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("usage");
    QTest::addColumn<QStringList>("named");   // parts of the message, file names among them
    QTest::newRow("a shard of another sweep") << "another sweep" << true
                                             << QStringList{"shard-0-of-2.json", "shard-1-of-2.json", "different sweeps"};
    QTest::newRow("a shard missing") << "missing shard" << false << QStringList{"4 of the sweep's 8 runs are missing", "1/2"};
    QTest::newRow("a run in two shards") << "run twice" << false
                                        << QStringList{"run 0 is in both", "shard-0-of-1.runs.csv", "shard-0-of-2.runs.csv"};
    QTest::newRow("an edited row") << "edited" << false << QStringList{"shard-0-of-2.runs.csv, line 3", "other than this sweep's"};
    QTest::newRow("a record that is not one") << "not a record" << true << QStringList{"shard-0-of-2.json", "not a shard record"};
    QTest::newRow("no sweep") << "empty" << true << QStringList{"holds no sweep"};
}

void TestSweep::mergeRefuses()
{
    QFETCH(QString, damage);
    QFETCH(bool, usage);
    QFETCH(QStringList, named);
    const QString folder = scratch_.filePath(QStringLiteral("refused ") + damage);
    QVERIFY(QDir().mkpath(folder));
    if (damage != QLatin1String("empty")) {
        QCOMPARE(Sweep(folder, Small(), {0, 2}), SweepRunner::End::Finished);
        if (damage != QLatin1String("missing shard") && damage != QLatin1String("another sweep"))
            QCOMPARE(Sweep(folder, Small(), {1, 2}), SweepRunner::End::Finished);
    }
    if (damage == QLatin1String("another sweep")) {
        // The other half of a sweep with another base seed, moved in by hand.
        const QString other = folder + QStringLiteral(" other");
        QCOMPARE(Sweep(other, Small(12), {1, 2}), SweepRunner::End::Finished);
        const ShardFiles from(other, {1, 2});
        const ShardFiles to(folder, {1, 2});
        QVERIFY(QFile::copy(from.recordPath(), to.recordPath()));
        QVERIFY(QFile::copy(from.runsPath(), to.runsPath()));
        QVERIFY(QFile::copy(from.measuresPath(), to.measuresPath()));
    }
    const ShardFiles first(folder, {0, 2});
    if (damage == QLatin1String("run twice")) {
        // A whole sweep beside its two shards: every odd run twice.
        const ShardFiles whole(folder, {});
        QVERIFY(QFile::copy(ShardFiles(reference_, {}).recordPath(), whole.recordPath()));
        QVERIFY(QFile::copy(ShardFiles(reference_, {}).runsPath(), whole.runsPath()));
        QVERIFY(QFile::copy(ShardFiles(reference_, {}).measuresPath(), whole.measuresPath()));
    } else if (damage == QLatin1String("edited")) {
        // The second run of shard 0 said to have a seed it was not run with.
        QByteArray runs = Contents(first.runsPath());
        const qsizetype row = runs.indexOf('\n', runs.indexOf('\n') + 1) + 1;
        const qsizetype seed = runs.indexOf(',', runs.indexOf(',', row) + 1) + 1;
        runs.insert(seed, '9');
        Put(first.runsPath(), runs);
    } else if (damage == QLatin1String("not a record")) {
        Put(first.recordPath(), "{\"program\": \"something else\"}");
    }
    SweepMerge merge(folder, Version);
    const auto problem = merge.Read();
    QVERIFY(problem);
    QCOMPARE(problem->usage, usage);
    for (const QString &part : named)
        QVERIFY2(problem->message.contains(part), qPrintable(problem->message));
    QVERIFY(!QFile::exists(merge.runsPath()));
}

void TestSweep::editedNumbersAreRefused_data()
{
    // Small() on one job: run R's runs row is line R + 2, its measures rows (generations 0,
    // 2 and 3) lines 3R + 2 to 3R + 4.
    QTest::addColumn<QString>("table");       // "runs" or "measures"
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("value");       // "+X": X added to the end of the field
    QTest::addColumn<QStringList>("named");   // parts of the message
    QTest::newRow("a measure of a runs row") << "runs" << 3 << "same_share_all" << "0.5"
        << QStringList{"shard-0-of-1.runs.csv, line 3", "run 1's same_share_all is '0.5' here and",
                       "in its last measures row (", "shard-0-of-1.measures.csv, line 7)"};
    QTest::newRow("a measure of a run's last measures row") << "measures" << 4 << "theil_h" << "0.25"
        << QStringList{"shard-0-of-1.runs.csv, line 2", "run 0's theil_h is", "and '0.25' in its last measures row",
                       "shard-0-of-1.measures.csv, line 4"};
    QTest::newRow("a word in a runs row") << "runs" << 2 << "dissimilarity" << "high"
        << QStringList{"shard-0-of-1.runs.csv, line 2", "'high' in column dissimilarity is not a number as velmora-lab writes one"};
    QTest::newRow("a word in a measures row") << "measures" << 5 << "clusters_red" << "n/a"
        << QStringList{"shard-0-of-1.measures.csv, line 5", "'n/a' in column clusters_red is not a number"};
    QTest::newRow("nan in a measures row") << "measures" << 2 << "interface_density" << "nan"
        << QStringList{"shard-0-of-1.measures.csv, line 2", "'nan' in column interface_density"};
    QTest::newRow("a number written longer") << "measures" << 3 << "same_share_all" << "+0"
        << QStringList{"shard-0-of-1.measures.csv, line 3", "in column same_share_all is not a number as velmora-lab"};
    QTest::newRow("a threshold written as a word") << "runs" << 6 << "years_to_same_share_all_0_8" << "never"
        << QStringList{"shard-0-of-1.runs.csv, line 6", "'never' in column years_to_same_share_all_0_8"};
    QTest::newRow("a threshold the measures never reach") << "runs" << 5 << "years_to_same_share_all_0_6" << "0.0438056125941136"
        << QStringList{"shard-0-of-1.runs.csv, line 5", "run 3's years_to_same_share_all_0_6 is '0.0438056125941136', but "
                       "its measures rows never reach 0.6"};
    QTest::newRow("a date its generation does not give") << "measures" << 3 << "date" << "2005-01-18"
        << QStringList{"shard-0-of-1.measures.csv, line 3", "date '2005-01-18', where generation 2 is 2005-01-17"};
    QTest::newRow("years its generation does not give") << "measures" << 4 << "years" << "0.07"
        << QStringList{"shard-0-of-1.measures.csv, line 4", "years '0.07', where generation 3 is 0.0657"};
    QTest::newRow("a runs row's date") << "runs" << 4 << "date" << "2005-01-26"
        << QStringList{"shard-0-of-1.runs.csv, line 4", "run 2 ends on date '2005-01-26', where generation 3 is 2005-01-25"};
    QTest::newRow("a runs row's years") << "runs" << 9 << "years" << "1"
        << QStringList{"shard-0-of-1.runs.csv, line 9", "run 7 ends at '1' years, where generation 3 is 0.0657"};
}

void TestSweep::editedNumbersAreRefused()
{
    QFETCH(QString, table);
    QFETCH(int, line);
    QFETCH(QString, column);
    QFETCH(QString, value);
    QFETCH(QStringList, named);
    const QString folder = scratch_.filePath(QStringLiteral("edited ") + QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(CopyShards(reference_, folder));
    const ShardFiles files(folder, {});
    EditField(table == QLatin1String("runs") ? files.runsPath() : files.measuresPath(), line, column, value);

    SweepMerge merge(folder, Version);
    const auto problem = merge.Read();
    QVERIFY(problem);
    QVERIFY(!problem->usage);
    for (const QString &part : named)
        QVERIFY2(problem->message.contains(part), qPrintable(problem->message));
    QVERIFY(!QFile::exists(merge.runsPath()));

    // A resume stops at the same place rather than go on beside it.
    SweepSettings settings;
    settings.definition = Small();
    settings.outDir = folder;
    settings.resume = true;
    SweepRunner runner(settings, {}, Version);
    const auto refused = runner.Prepare();
    QVERIFY(refused);
    QVERIFY2(refused->message.startsWith(problem->message), qPrintable(refused->message));
}

void TestSweep::oneWriterPerShard_data()
{
    QTest::addColumn<QString>("held");            // the shard this test holds, I/N
    QTest::addColumn<bool>("recorded");           // whether it has run before
    QTest::addColumn<QStringList>("second");      // more arguments of a second sweep in the folder
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("named");       // parts of its message; PID and HOST are this test's
    const QStringList writer{"velmora-lab pid PID on HOST"};
    QTest::newRow("the same shard again") << "0/1" << false << QStringList{} << 2
        << writer + QStringList{"the sweep in", "is being written by another process", "a shard has one writer at a time"};
    QTest::newRow("the same shard, resumed") << "0/1" << false << QStringList{"--resume"} << 2
        << writer + QStringList{"is being written by another process"};
    QTest::newRow("the same shard of a split") << "2/3" << false << QStringList{"--shard", "2/3", "--resume"} << 2
        << writer + QStringList{"shard 2 of 3 in", "is being written by another process"};
    QTest::newRow("a shard of another split") << "0/2" << false << QStringList{"--shard", "0/3", "--resume"} << 2
        << writer + QStringList{"is being written as 2 shards now", "one split is written at a time"};
    QTest::newRow("the whole sweep beside a split") << "1/2" << false << QStringList{"--resume"} << 2
        << writer + QStringList{"is being written as 2 shards now"};
    QTest::newRow("a split beside the whole sweep") << "0/1" << false << QStringList{"--shard", "1/4", "--resume"} << 2
        << writer + QStringList{"is being written whole, not split into shards, now"};
    QTest::newRow("the same shard again, after its first runs") << "0/1" << true << QStringList{} << 2
        << writer + QStringList{"is being written by another process"};
    QTest::newRow("another split without --resume") << "0/2" << true << QStringList{"--shard", "1/3"} << 2
        << writer + QStringList{"is being written as 2 shards now"};
    QTest::newRow("another shard of the same split") << "0/2" << false << QStringList{"--shard", "1/2"} << 0 << QStringList{};
}

void TestSweep::oneWriterPerShard()
{
    QFETCH(QString, held);
    QFETCH(bool, recorded);
    QFETCH(QStringList, second);
    QFETCH(int, status);
    QFETCH(QStringList, named);
    const QString folder = scratch_.filePath(QStringLiteral("writers ") + QString::fromLatin1(QTest::currentDataTag()));
    if (recorded)
        QCOMPARE(Sweep(folder, Small(), ShardOf(held)), SweepRunner::End::Finished);
    auto lock = ShardLock::Take(folder, ShardOf(held));
    QVERIFY(std::holds_alternative<std::unique_ptr<ShardLock>>(lock));

    const QStringList arguments = SmallArguments(folder) + second;
    const qsizetype shardAt = second.indexOf(QStringLiteral("--shard"));
    const Shard shard = shardAt >= 0 ? ShardOf(second[shardAt + 1]) : Shard{};
    for (QString &part : named)
        part.replace(QStringLiteral("PID"), QString::number(QCoreApplication::applicationPid()))
            .replace(QStringLiteral("HOST"), QSysInfo::machineHostName());

    QProcess lab;
    lab.start(QStringLiteral(VELMORA_LAB), arguments);
    QVERIFY(lab.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(lab.readAllStandardError());
    QCOMPARE(lab.exitCode(), status);
    for (const QString &part : named)
        QVERIFY2(errors.contains(part), qPrintable(errors));
    QCOMPARE(QFile::exists(ShardFiles(folder, shard).recordPath()), status == 0 || (recorded && shard == ShardOf(held)));

    if (status == 0)
        return;
    // A second writer in the same process is refused as well.
    SweepSettings settings;
    settings.definition = Small();
    settings.shard = shard;
    settings.outDir = folder;
    settings.resume = second.contains(QStringLiteral("--resume"));
    SweepRunner runner(settings, {}, Version);
    const auto problem = runner.Prepare();
    QVERIFY(problem);
    QVERIFY(problem->usage);
    for (const QString &part : named)
        QVERIFY2(problem->message.contains(part), qPrintable(problem->message));
}

void TestSweep::aKilledWritersShardCanBeResumed()
{
    // A sweep long enough to be killed while it runs.
    const QString folder = scratch_.filePath(QStringLiteral("killed writer"));
    QStringList arguments = SmallArguments(folder);
    arguments[arguments.indexOf(QStringLiteral("--seeds")) + 1] = QStringLiteral("400");
    arguments << QStringLiteral("--jobs") << QStringLiteral("1") << QStringLiteral("--quiet");
    QProcess writer;
    writer.start(QStringLiteral(VELMORA_LAB), arguments);
    QVERIFY(writer.waitForStarted());
    const QString identity = QStringLiteral("velmora-lab pid %1 on ").arg(writer.processId());
    const QString lockFile = QDir(ShardFiles::ShardsFolder(folder)).filePath(ShardLock::ShardFile({}));
    QElapsedTimer waited;
    waited.start();
    const QString runsFile = ShardFiles(folder, {}).runsPath();
    while ((!QString::fromUtf8(Contents(lockFile)).startsWith(identity) || Contents(runsFile).count('\n') < 2)
           && waited.elapsed() < 30000)
        QTest::qWait(20);
    QVERIFY2(QString::fromUtf8(Contents(lockFile)).startsWith(identity), qPrintable(Contents(lockFile)));

    SweepDefinition definition = Small();
    definition.seeds = 400;
    SweepSettings settings;
    settings.definition = definition;
    settings.outDir = folder;
    settings.resume = true;
    {
        SweepRunner second(settings, {}, Version);
        const auto problem = second.Prepare();
        QVERIFY(problem);
        QVERIFY2(problem->message.contains(identity), qPrintable(problem->message));
    }
    writer.kill();
    QVERIFY(writer.waitForFinished());

    // The system let the lock go with the process: the shard goes on from what it holds.
    SweepRunner resumed(settings, {}, Version);
    QCOMPARE(resumed.Prepare().value_or(SweepProblem{}).message, QString());
    QVERIFY(resumed.pending().size() < definition.runCount());
    std::atomic<bool> stop{false};
    QCOMPARE(resumed.Execute(&stop, [&](quint64) { stop.store(true); }), SweepRunner::End::Stopped);
    QCOMPARE(resumed.written(), quint64(1));
}

void TestSweep::runSetAgreesWithASet_data()
{
    QTest::addColumn<quint64>("first");
    QTest::addColumn<quint64>("count");
    QTest::addColumn<quint64>("step");
    QTest::addColumn<QString>("order");   // "ascending", "descending" or "shuffled"
    const quint64 block = RunSet::BlockSize;
    const quint64 top = RunSet::Limit;
    QTest::newRow("nothing") << quint64(0) << quint64(0) << quint64(1) << "ascending";
    QTest::newRow("a prefix") << quint64(0) << quint64(1000) << quint64(1) << "ascending";
    QTest::newRow("a whole block and a bit") << quint64(0) << block + 10 << quint64(1) << "ascending";
    QTest::newRow("two whole blocks, descending") << block << 2 * block << quint64(1) << "descending";
    QTest::newRow("every other across a block's end") << block - 3000 << quint64(3000) << quint64(2) << "shuffled";
    QTest::newRow("every third over three blocks") << quint64(5) << block << quint64(3) << "shuffled";
    QTest::newRow("at the top") << top - 100 << quint64(100) << quint64(1) << "shuffled";
    QTest::newRow("far apart") << quint64(7) << quint64(50) << quint64(86000001) << "descending";
}

void TestSweep::runSetAgreesWithASet()
{
    QFETCH(quint64, first);
    QFETCH(quint64, count);
    QFETCH(quint64, step);
    QFETCH(QString, order);
    std::vector<quint64> numbers;
    for (quint64 i = 0; i < count; ++i)
        numbers.push_back(first + i * step);
    if (order == QLatin1String("descending"))
        std::reverse(numbers.begin(), numbers.end());
    else if (order == QLatin1String("shuffled"))
        std::shuffle(numbers.begin(), numbers.end(), std::mt19937_64(count));

    RunSet set;
    std::set<quint64> model;
    for (const quint64 n : numbers) {
        QCOMPARE(set.insert(n), model.insert(n).second);
        QVERIFY(!set.insert(n));
    }
    QVERIFY(!set.insert(RunSet::Limit));
    QCOMPARE(quint64(set.size()), quint64(model.size()));
    std::vector<quint64> probes{0, 1, RunSet::BlockSize - 1, RunSet::BlockSize, RunSet::Limit - 1, RunSet::Limit};
    for (const quint64 n : model) {
        probes.push_back(n);
        probes.push_back(n + 1);
        if (n > 0)
            probes.push_back(n - 1);
    }
    // For each number held, the first one after it that is not.
    const std::vector<quint64> held(model.begin(), model.end());
    std::vector<quint64> runEnd(held.size());
    for (size_t i = held.size(); i-- > 0;)
        runEnd[i] = i + 1 < held.size() && held[i + 1] == held[i] + 1 ? runEnd[i + 1] : held[i] + 1;
    for (const quint64 p : probes) {
        QCOMPARE(set.contains(p), model.count(p) == 1);
        const auto at = std::lower_bound(held.begin(), held.end(), p);
        const quint64 missing = at != held.end() && *at == p ? runEnd[size_t(at - held.begin())] : p;
        QCOMPARE(quint64(set.nextMissing(p)), std::min<quint64>(missing, RunSet::Limit));
    }
}

void TestSweep::runIndexSortsInBatches_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("budget");
    QTest::addColumn<int>("spread");   // how far from its place in id order an entry may come
    QTest::newRow("nothing") << 0 << 4 << 0;
    QTest::newRow("all in memory") << 100 << 1000 << 10;
    QTest::newRow("one at a time") << 50 << 1 << 50;
    QTest::newRow("batches and a rest") << 1003 << 64 << 200;
    QTest::newRow("batches only, in order") << 1024 << 128 << 0;
}

void TestSweep::runIndexSortsInBatches()
{
    QFETCH(int, entries);
    QFETCH(int, budget);
    QFETCH(int, spread);
    const QString folder = scratch_.filePath(QStringLiteral("index ") + QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder));
    // Run ids in the order a shard of several jobs finishes them, with some ids twice.
    std::vector<IndexEntry> added;
    std::mt19937 random{quint32(entries)};
    for (int i = 0; i < entries; ++i) {
        const int displaced = spread > 0 ? int(random() % quint32(spread)) : 0;
        added.push_back({quint32(std::max(0, i - displaced) * 3), quint32(i), i, 1, i, 2});
    }
    {
        RunIndex index(folder, size_t(budget));
        for (const IndexEntry &entry : added)
            QCOMPARE(index.Add(entry).value_or(QString()), QString());
        index.Finish();
        QCOMPARE(index.writtenBatches(), size_t(entries / budget));
        std::vector<IndexEntry> read;
        QCOMPARE(index.ForEach([&](const IndexEntry &entry) {
                          read.push_back(entry);
                          return true;
                      }).value_or(QString()),
                 QString());
        auto key = [](const IndexEntry &e) { return std::pair(e.runId, e.source); };
        QVERIFY(std::is_sorted(read.begin(), read.end(), [](const IndexEntry &a, const IndexEntry &b) { return a.runId < b.runId; }));
        std::vector<std::pair<quint32, quint32>> expected, got;
        for (const IndexEntry &e : added)
            expected.push_back(key(e));
        for (const IndexEntry &e : read)
            got.push_back(key(e));
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        QCOMPARE(got, expected);

        // It stops where it is told to.
        int seen = 0;
        QVERIFY(!index.ForEach([&](const IndexEntry &) { return ++seen < 3; }));
        QCOMPARE(seen, std::min(entries, 3));
    }
    QVERIFY(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestSweep::aHugeSweepCostsWhatItRuns_data()
{
    // 9^5 preference vectors of 72,735 seeds: 4,294,929,015 runs, a few of which run. Held
    // per run, the pending ids alone took 17 GB, and the merge's places 200 GB.
    QTest::addColumn<QString>("shard");
    QTest::addColumn<QString>("examples");   // the first missing runs, as merge names them
    QTest::newRow("the whole sweep") << "0/1" << "runs 2, 3, 4, 5, 6, ..., of shards 0/1)";
    QTest::newRow("a shard of seven") << "5/7" << "runs 0, 1, 2, 3, 4, ..., of shards 0/7, 1/7, 2/7, 3/7, 4/7, ...)";
}

void TestSweep::aHugeSweepCostsWhatItRuns()
{
    QFETCH(QString, shard);
    QFETCH(QString, examples);
    SweepDefinition definition;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        definition.prefSets[g] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    definition.seeds = 72735;
    definition.baseSeed = 5;
    definition.generations = 1;
    definition.every = 1;
    QCOMPARE(definition.runCount(), quint64(4294929015));
    SweepSettings settings;
    settings.definition = definition;
    settings.shard = ShardOf(shard);
    settings.outDir = scratch_.filePath(QStringLiteral("huge ") + QString::fromLatin1(QTest::currentDataTag()));
    const quint64 shardRuns = settings.shard.size(definition.runCount());

    quint64 written = 0;
    for (const bool resume : {false, true}) {
        settings.resume = resume;
        SweepRunner runner(settings, {}, Version);
        QCOMPARE(runner.Prepare().value_or(SweepProblem{}).message, QString());
        QCOMPARE(runner.pending().size(), shardRuns - written);
        const quint32 index = settings.shard.index;
        const quint32 count = settings.shard.count;
        const std::vector<quint32> next{quint32(index + written * count), quint32(index + (written + 1) * count)};
        QCOMPARE(runner.pending().first(2), next);
        std::atomic<bool> stop{false};
        QCOMPARE(runner.Execute(&stop, [&](quint64 n) { stop.store(n >= 1); }), SweepRunner::End::Stopped);
        QCOMPARE(runner.written(), quint64(1));
        ++written;
    }
    QString problem;
    Merged(settings.outDir, &problem);
    QVERIFY2(problem.startsWith(QStringLiteral("4294929013 of the sweep's 4294929015 runs are missing (") + examples),
             qPrintable(problem));
}

void TestSweep::heatMapAveragesTheSeeds()
{
    // Each cell from the merged table by hand: the mean of its runs' last same_share_all.
    const QString runsFile = QDir(reference_).filePath(QLatin1String(SweepMerge::RunsFile));
    const QStringList header = ToQStringList(SweepTable::RunsHeader());
    std::map<std::pair<int, int>, std::pair<double, int>> cells;
    const QList<QByteArray> lines = runs_.trimmed().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(',');
        auto &[sum, n] = cells[{fields[header.indexOf(QLatin1String("pref_blue_eighths"))].toInt(),
                                fields[header.indexOf(QLatin1String("pref_gray_eighths"))].toInt()}];
        sum += fields[header.indexOf(QLatin1String("same_share_all"))].toDouble();
        ++n;
    }
    const auto axes = HeatMapAxes(Small(), NoGroup, NoGroup);
    QCOMPARE(axes, std::pair(GroupIndex(1), GroupIndex(4)));   // the two swept groups
    const auto read = ReadHeatMap(runsFile, Small(), QStringLiteral("same_share_all"), axes.first, axes.second);
    QVERIFY(std::holds_alternative<HeatMap>(read));
    const HeatMap &map = std::get<HeatMap>(read);
    QCOMPARE(map.runsPerCell, quint64(2));
    for (size_t xi = 0; xi < 2; ++xi)
        for (size_t yi = 0; yi < 2; ++yi) {
            const auto &[sum, n] = cells[{map.xValues[xi], map.yValues[yi]}];
            QCOMPARE(n, 2);
            QCOMPARE(map.mean(xi, yi), std::optional(sum / n));
        }

    // The picture: cells lighter as their means rise (the scale's lightness rises), the
    // file in the build folder for a person to look at.
    const QDir kept(QCoreApplication::applicationDirPath() + QStringLiteral("/lab-pictures"));
    QVERIFY(kept.mkpath(QStringLiteral(".")));
    HeatMap drawn = map;
    drawn.means = {0.2, 0.9, std::nullopt, 0.55};
    const QString png = kept.filePath(HeatMapFileName(drawn));
    QCOMPARE(WriteHeatMapPng(drawn, png).value_or(QString()), QString());
    const QImage image(png);
    QVERIFY(!image.isNull());
    const HeatMapLayout place = HeatMapPlaces(drawn);
    // Points inside each cell, away from the values written at their centres; the lowest
    // y value is the lower row.
    auto luma = [&](int xi, int yi) {
        const int inside = place.cell / 8;
        return qGray(image.pixel(place.grid.left() + xi * place.cell + inside, place.grid.bottom() - yi * place.cell - inside));
    };
    QVERIFY(luma(0, 0) < luma(1, 1));   // 0.2 < 0.55
    QVERIFY(luma(1, 1) < luma(1, 0));   // 0.55 < 0.9
}

void TestSweep::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");   // DIR stands for a fresh folder, REF for the reference
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");         // a part of standard error

    const QStringList sweep{"sweep", "--prefs", "0..8/8,.5,.5,0..4/4,.5", "--seeds", "2", "--generations", "3",
                            "--every", "2", "--base-seed", "11"};
    auto with = [&](const QStringList &more) { return sweep + more; };
    // The same sweep without one of its options, to give that option otherwise.
    auto without = [&](const char *option, const QStringList &more) {
        QStringList arguments = sweep;
        arguments.remove(arguments.indexOf(QLatin1String(option)), 2);
        return arguments + more;
    };
    QTest::newRow("an empty range") << QStringList{"sweep", "--prefs", "8..0,.5,.5,.5,.5", "--list"} << 2
                                    << "--prefs '8..0,.5,.5,.5,.5': Blue: '8..0' is an empty range";
    QTest::newRow("a step of 0") << QStringList{"sweep", "--prefs", "0..8/0,.5,.5,.5,.5", "--list"} << 2 << "has a step of 0";
    QTest::newRow("a preference out of range") << QStringList{"sweep", "--prefs", "0..12,.5,.5,.5,.5", "--list"} << 2
                                               << "goes beyond 8 eighths";
    QTest::newRow("--seeds 0") << without("--seeds", {"--seeds", "0", "--list"}) << 2 << "--seeds '0': give a number of seeds";
    QTest::newRow("too many runs") << QStringList{"sweep", "--prefs", "0..8,0..8,0..8,0..8,0..8", "--seeds", "1000000", "--list"}
                                   << 2 << "59049000000 runs; a sweep has at most 4294967295";
    QTest::newRow("--base-seed 2^32") << without("--base-seed", {"--base-seed", "4294967296", "--list"}) << 2
                                      << "--base-seed '4294967296': give a whole number from 0 to 4294967295";
    QTest::newRow("--shard 8/8") << with({"--shard", "8/8", "--out", "DIR"}) << 2 << "--shard '8/8': give I/N";
    QTest::newRow("--shard 1") << with({"--shard", "1", "--out", "DIR"}) << 2 << "--shard '1': give I/N";
    QTest::newRow("--shard slurm outside an array") << with({"--shard", "slurm", "--out", "DIR"}) << 2
                                                    << "SLURM_ARRAY_TASK_ID and SLURM_ARRAY_TASK_COUNT are not both set";
    QTest::newRow("shards without a base seed") << QStringList{"sweep", "--generations", "3", "--shard", "1/2", "--out", "DIR"}
                                                << 2 << "needs --base-seed";
    QTest::newRow("--jobs 0") << with({"--jobs", "0", "--out", "DIR"}) << 2 << "--jobs '0': give a number of runs at once";
    QTest::newRow("--every 0") << without("--every", {"--every", "0", "--out", "DIR"}) << 2 << "--every '0'";
    QTest::newRow("no folder") << sweep << 2 << "give --out DIR";
    QTest::newRow("an unknown option") << with({"--colour", "--out", "DIR"}) << 2 << "--colour is not an option of sweep";
    QTest::newRow("the same shard again") << with({"--out", "REF"}) << 2 << "add --resume";
    QTest::newRow("resuming another sweep") << without("--base-seed", {"--base-seed", "12", "--resume", "--out", "REF"}) << 2
                                            << "belongs to another sweep";
    QTest::newRow("resuming a finished sweep") << with({"--resume", "--out", "REF"}) << 0 << "8 of the 8 runs";
    QTest::newRow("merge of no sweep") << QStringList{"merge", "DIR"} << 2 << "holds no sweep";
    QTest::newRow("merge without a folder") << QStringList{"merge"} << 2 << "merge takes one sweep folder";
    QTest::newRow("a chart of no measure") << QStringList{"merge", "REF", "--chart", "final:happiness"} << 2
                                           << "--chart 'final:happiness': give final:MEASURE";
    QTest::newRow("an axis without a chart") << QStringList{"merge", "REF", "--x", "blue"} << 2 << "give --chart too";
    QTest::newRow("one group on both axes") << QStringList{"merge", "REF", "--chart", "final:theil_h", "--x", "red", "--y", "Red"}
                                            << 2 << "name the same group";
    QTest::newRow("an axis along a group not swept") << QStringList{"merge", "REF", "--chart", "final:theil_h", "--y", "red"}
                                                     << 2 << "--y red: Red was not swept; the groups swept are Blue, Gray";
    QTest::newRow("an axis of no group") << QStringList{"merge", "REF", "--chart", "final:theil_h", "--x", "purple"} << 2
                                         << "--x 'purple': give a group";
    QTest::newRow("a merge with a chart") << QStringList{"merge", "REF", "--chart", "final:theil_h", "--y", "blue"} << 0
                                          << "heatmap-theil_h-gray-blue.png";
}

void TestSweep::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString fresh = scratch_.filePath(QStringLiteral("cli ") + QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(fresh));
    for (QString &argument : arguments) {
        if (argument == QLatin1String("DIR"))
            argument = fresh;
        else if (argument == QLatin1String("REF"))
            argument = reference_;
    }
    QProcess lab;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("SLURM_ARRAY_TASK_ID"));
    lab.setProcessEnvironment(environment);
    lab.start(QStringLiteral(VELMORA_LAB), arguments);
    QVERIFY(lab.waitForFinished(60000));
    const QString errors = QString::fromLocal8Bit(lab.readAllStandardError());
    QCOMPARE(lab.exitCode(), status);
    QVERIFY2(errors.contains(message), qPrintable(errors));
    if (status == 2)   // nothing ran, so nothing was written
        QVERIFY(!QDir(fresh + QStringLiteral("/shards")).exists());
}

void TestSweep::aRunRepeatedAloneGivesItsRows()
{
    // Run 5 of the sweep with `velmora-lab run` and its seed gives its measures rows.
    const SweepRun run = RunAt(Small(), 5);
    const QString folder = scratch_.filePath(QStringLiteral("run 5 alone"));
    const int status = QProcess::execute(QStringLiteral(VELMORA_LAB),
                                         {QStringLiteral("run"), QStringLiteral("--seed"), QString::number(run.seed),
                                          QStringLiteral("--prefs"), ToQStringList(run.prefTexts).join(u','), QStringLiteral("--generations"),
                                          QStringLiteral("3"), QStringLiteral("--every"), QStringLiteral("2"),
                                          QStringLiteral("--out"), folder, QStringLiteral("--quiet")});
    QCOMPARE(status, 0);
    QByteArray expected;
    for (const QByteArray &line : Contents(QDir(folder).filePath(QStringLiteral("measures.csv"))).split('\n').mid(1)) {
        if (!line.isEmpty())
            expected += "5," + line + '\n';
    }
    QCOMPARE(expected.count('\n'), 3);
    QVERIFY2(measures_.contains(expected), expected.constData());
}

QTEST_MAIN(TestSweep)
#include "tst_sweep.moc"
