// SPDX-License-Identifier: GPL-3.0-or-later
#include "corestrings.h"
#include "labrun.h"
#include "measurestable.h"
#include "runfolder.h"
#include "runplanjson.h"
#include "runrecorder.h"
#include "savefile.h"
#include "systemerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <atomic>
#include <charconv>
#include <memory>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Everything in a folder, hidden entries too, so a temporary file left behind shows.
QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What stands under a name: "NAME" a file, "NAME/" a folder, "NAME|" a pipe, "NAME#" a device
// (root only), and links beside the folder: "NAME@" to the file outside.txt, "NAME?" to
// nothing, "NAME>" to the folder outside. False when it cannot be made here.
bool Make(const QString &folder, const QString &entry)
{
    static const QString kinds = QStringLiteral("/|#@?>");
    const QChar kind = entry.isEmpty() ? QChar() : entry.back();
    const bool plain = !kinds.contains(kind);
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(plain ? entry : entry.chopped(1)));
    switch (plain ? 0 : kind.unicode()) {
    case '/':
        return mkdir(path.constData(), 0700) == 0;
    case '|':
        return mkfifo(path.constData(), 0600) == 0;
    case '#':
        return mknod(path.constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
    case '@':
        return symlink("../outside.txt", path.constData()) == 0;
    case '?':
        return symlink("../nowhere.txt", path.constData()) == 0;
    case '>':
        return symlink("../outside-folder", path.constData()) == 0;
    default: {
        QFile file(QFile::decodeName(path));
        return file.open(QIODevice::WriteOnly) && file.write("theirs\n") == 7;
    }
    }
}

// A folder "out" with a file and a folder beside it, which no link in it may change.
QString FolderWithNeighbours(const QTemporaryDir &parent)
{
    QFile outside(QDir(parent.path()).filePath(QStringLiteral("outside.txt")));
    if (!outside.open(QIODevice::WriteOnly) || outside.write("outside\n") != 8
        || !QDir(parent.path()).mkdir(QStringLiteral("outside-folder")))
        return {};
    return QDir(parent.path()).filePath(QStringLiteral("out"));
}

bool NeighboursUntouched(const QTemporaryDir &parent)
{
    const QDir dir(parent.path());
    return Contents(dir.filePath(QStringLiteral("outside.txt"))) == "outside\n"
        && Entries(dir.filePath(QStringLiteral("outside-folder"))).isEmpty()
        && !QFileInfo::exists(dir.filePath(QStringLiteral("nowhere.txt")));
}

QString KindOf(const QString &path)
{
    struct stat status;
    if (lstat(QFile::encodeName(path).constData(), &status) != 0)
        return QStringLiteral("nothing");
    if (S_ISREG(status.st_mode))
        return QStringLiteral("file");
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("folder");
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("pipe");
    return S_ISLNK(status.st_mode) ? QStringLiteral("link") : QStringLiteral("other");
}

QJsonObject ReadJson(const QString &path)
{
    return QJsonDocument::fromJson(Contents(path)).object();
}

QByteArray RunRecord(const char *state, const QStringList &files, int generationsRun = 30)
{
    const QJsonObject run{{QStringLiteral("program"), QStringLiteral("velmora-lab")},
                          {QStringLiteral("format"), 1},
                          {QStringLiteral("state"), QLatin1String(state)},
                          {QStringLiteral("seed"), 7},
                          {QStringLiteral("generations_run"), generationsRun},
                          {QStringLiteral("parameters"), QJsonObject{{QStringLiteral("generations"), 30}}},
                          {QStringLiteral("files"), QJsonArray::fromStringList(files)}};
    return QJsonDocument(run).toJson();
}

} // namespace

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
    void savedFileReplacesOnlyTheName_data();
    void savedFileReplacesOnlyTheName();
    void appendOnlyToAFile_data();
    void appendOnlyToAFile();
    void runFolderAsFound_data();
    void runFolderAsFound();
    void secondRunOnTheFolderIsRefused();
    void interruptedRunKeepsWhatItMeasured();

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

// A file is saved into its folder and nowhere else: whatever stands under its name before
// it is opened, or appears while it is written, is replaced if it is a file or a link (never
// a link's target), and refused if it is anything else, with no temporary file left behind.
void TestLabRun::savedFileReplacesOnlyTheName_data()
{
    QTest::addColumn<QString>("occupant");   // as Make() spells it, after the name
    QTest::addColumn<bool>("whileWriting");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("nothing") << "" << false << "";
    QTest::newRow("an older file") << "-" << false << "";
    QTest::newRow("a link to a file outside") << "@" << false << "";
    QTest::newRow("a link to nothing") << "?" << false << "";
    QTest::newRow("a link to a folder outside") << ">" << false << "";
    QTest::newRow("a folder") << "/" << false << "it is a folder";
    QTest::newRow("a pipe") << "|" << false << "it is a pipe";
    QTest::newRow("a device") << "#" << false << "it is a device";
    QTest::newRow("a link made while writing") << "@" << true << "";
    QTest::newRow("a folder made while writing") << "/" << true << "it is a folder";
    QTest::newRow("a pipe made while writing") << "|" << true << "it is a pipe";
}

void TestLabRun::savedFileReplacesOnlyTheName()
{
    QFETCH(QString, occupant);
    QFETCH(bool, whileWriting);
    QFETCH(QString, refusal);
    QTemporaryDir parent;
    const QString folder = FolderWithNeighbours(parent);
    QVERIFY(QDir().mkpath(folder));
    const QString name = QStringLiteral("chart.png");
    const QString path = QDir(folder).filePath(name);
    const QString entry = occupant == QLatin1String("-") ? name : name + occupant;
    const QString kept = occupant == QLatin1String("/") ? QStringLiteral("folder")
        : occupant == QLatin1String("|")                ? QStringLiteral("pipe")
                                                        : QStringLiteral("other");
    const QByteArray bytes("the new file\n");
    WriteError error;
    bool placed = true;
    if (whileWriting) {
        SaveFile file(path);
        QVERIFY(OpenForWriting(file));
        QVERIFY(WriteAll(file, bytes));
        placed = Make(folder, entry);
        if (!file.commit())
            error = CannotWrite(path, file.errorString());
    } else {
        placed = occupant.isEmpty() || Make(folder, entry);
        error = SaveWhole(path, bytes);
    }
    if (!placed)
        QSKIP("this system does not let the test make that here (a device needs root)");
    if (refusal.isEmpty()) {
        QVERIFY2(!error, qPrintable(error.value_or(QString())));
        QCOMPARE(KindOf(path), QStringLiteral("file"));
        QCOMPARE(Contents(path), bytes);
    } else {
        QVERIFY(error);
        QVERIFY2(error->contains(path) && error->contains(refusal), qPrintable(*error));
        QCOMPARE(KindOf(path), kept);
    }
    QVERIFY(NeighboursUntouched(parent));
    QCOMPARE(Entries(folder), QStringList{name});
}

// A table that grows (a sweep's shard) is appended to only where it is a file itself.
void TestLabRun::appendOnlyToAFile_data()
{
    QTest::addColumn<QString>("occupant");   // as Make() spells it, after the name
    QTest::addColumn<QString>("refusal");
    QTest::newRow("a file") << "-" << "";
    QTest::newRow("a link to a file outside") << "@" << "it is a symbolic link";
    QTest::newRow("a pipe") << "|" << "it is not a file";
    QTest::newRow("a folder") << "/" << SystemError(EISDIR);
    QTest::newRow("nothing") << "" << SystemError(ENOENT);
}

void TestLabRun::appendOnlyToAFile()
{
    QFETCH(QString, occupant);
    QFETCH(QString, refusal);
    QTemporaryDir parent;
    const QString folder = FolderWithNeighbours(parent);
    QVERIFY(QDir().mkpath(folder));
    const QString name = QStringLiteral("runs.csv");
    const QString path = QDir(folder).filePath(name);
    if (!occupant.isEmpty())
        QVERIFY(Make(folder, occupant == QLatin1String("-") ? name : name + occupant));
    QFile file(path);
    const WriteError error = OpenForAppending(file);
    if (refusal.isEmpty()) {
        QVERIFY2(!error, qPrintable(error.value_or(QString())));
        QVERIFY(WriteAll(file, "more\n"));
        file.close();
        QCOMPARE(Contents(path), QByteArray("theirs\nmore\n"));
    } else {
        QVERIFY(error);
        QVERIFY2(error->contains(path) && error->contains(refusal), qPrintable(*error));
        QVERIFY(!file.isOpen());
    }
    QVERIFY(NeighboursUntouched(parent));
}

// What a run makes of its folder as it finds it, with --force and without (this plan writes
// measures.csv and run.json only): what it refuses, saying why, and what is left after.
void TestLabRun::runFolderAsFound_data()
{
    QTest::addColumn<QStringList>("entries");   // as Make() spells them
    QTest::addColumn<QByteArray>("record");     // run.json, when there is one
    QTest::addColumn<bool>("force");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QStringList>("left");
    const QStringList chartRun{"measures.csv", "chart.png", "chart.svg"};
    const QStringList planned{"measures.csv", "map-000000.png", "map-000010.png"};
    auto row = [](const char *name, QStringList entries, QByteArray record, bool force, const char *refusal,
                  QStringList left) {
        QTest::newRow(name) << entries << record << force << QString::fromUtf8(refusal) << left;
    };
    row("no folder yet", {}, {}, false, "", {});
    row("someone's files beside", {"notes.txt", "data.csv"}, {}, true, "", {"data.csv", "notes.txt"});
    row("a finished run", chartRun + QStringList{"notes.txt"}, RunRecord("finished", chartRun), false,
        "holds a finished run of velmora-lab (seed 7, 30 generations): run.json and 3 more files (chart.png, "
        "chart.svg, measures.csv); give --force to replace it",
        {"chart.png", "chart.svg", "measures.csv", "notes.txt", "run.json"});
    row("a finished run, --force", chartRun + QStringList{"notes.txt"}, RunRecord("finished", chartRun), true, "",
        {"notes.txt"});
    row("an interrupted run", {"measures.csv"}, RunRecord("interrupted", {"measures.csv"}, 12), false,
        "holds an interrupted run of velmora-lab (seed 7, stopped after generation 12 of 30)",
        {"measures.csv", "run.json"});
    row("a killed run", {"map-000000.png"}, RunRecord("running", planned), false,
        "holds a run of velmora-lab that never ended, killed or going on elsewhere (seed 7)", {"map-000000.png", "run.json"});
    row("a killed run, --force", {"map-000000.png"}, RunRecord("running", planned), true, "", {});
    row("a record listing names not a run's", {"notes.txt", "measures.csv"},
        RunRecord("finished", {"notes.txt", "../outside.txt", "measures.csv"}), true, "", {"notes.txt"});
    row("a record listing what is now a link", {"measures.csv@"}, RunRecord("finished", {"measures.csv"}), true, "",
        {"measures.csv"});
    row("a run's file and no record", {"map-000046.png"}, {}, true,
        "holds map-000046.png, and no run.json of velmora-lab lists them", {"map-000046.png"});
    row("a run's file its record does not list", {"measures.csv", "map.gif"}, RunRecord("finished", {"measures.csv"}),
        true, "holds map.gif, which its run.json does not list", {"map.gif", "measures.csv", "run.json"});
    row("another program's run.json", {}, R"({"program": "other", "format": 1, "files": []})", true,
        "holds a run.json that is not the record of a velmora-lab run", {"run.json"});
    row("a pipe named run.json", {"run.json|"}, {}, true, "run.json there is not a file", {"run.json"});
    row("a folder under a name the run writes", {"measures.csv/"}, {}, true, "measures.csv there is not a file",
        {"measures.csv"});
    row("a folder under a name it does not write", {"map.gif/"}, {}, false, "", {"map.gif"});
    row("a link named run.json", {"run.json@"}, {}, false, "", {"run.json"});
}

void TestLabRun::runFolderAsFound()
{
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, record);
    QFETCH(bool, force);
    QFETCH(QString, refusal);
    QFETCH(QStringList, left);
    QTemporaryDir parent;
    const QString folder = FolderWithNeighbours(parent);
    if (!entries.isEmpty() || !record.isEmpty())
        QVERIFY(QDir().mkpath(folder));
    for (const QString &entry : entries)
        QVERIFY(Make(folder, entry));
    if (!record.isEmpty()) {
        QFile file(QDir(folder).filePath(QLatin1String(RunRecorder::RunFile)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(record) == record.size());
    }
    RunFolder runFolder;
    const auto problem = runFolder.Prepare(SmallPlan(folder), force);
    if (refusal.isEmpty()) {
        QVERIFY2(!problem, qPrintable(problem ? problem->message : QString()));
    } else {
        QVERIFY(problem && problem->refused);
        QVERIFY2(problem->message.contains(refusal), qPrintable(problem->message));
    }
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(Entries(folder), left);
    QVERIFY(NeighboursUntouched(parent));
}

// The lock goes with the folder's holder.
void TestLabRun::secondRunOnTheFolderIsRefused()
{
    QTemporaryDir dir;
    const RunPlan plan = SmallPlan(dir.path());
    auto first = std::make_unique<RunFolder>();
    QVERIFY(!first->Prepare(plan, false));
    RunFolder second;
    const auto problem = second.Prepare(plan, true);
    QVERIFY(problem && problem->refused);
    QVERIFY2(problem->message.contains(QLatin1String("another velmora-lab run is writing into it")),
             qPrintable(problem->message));
    first.reset();
    RunFolder third;
    QVERIFY(!third.Prepare(plan, false));
}

// run.json is on record from the start; a run stopped after generation 16 keeps the rows
// taken until then, the first rows of the whole run's, with its snapshots and animation, and
// its record says where it stopped while holding the whole plan.
void TestLabRun::interruptedRunKeepsWhatItMeasured()
{
    QTemporaryDir dir;
    RunPlan plan = SmallPlan(dir.path());
    plan.snapshotEvery = 10;
    plan.gif = true;
    plan.gifEvery = 5;
    const QString runJson = QDir(dir.path()).filePath(QLatin1String(RunRecorder::RunFile));
    RunRecorder recorder(plan, {QStringLiteral("velmora-lab")});
    QVERIFY(!recorder.Begin());
    const QJsonObject begun = ReadJson(runJson);
    QCOMPARE(begun[QLatin1String("state")].toString(), QStringLiteral("running"));
    const QStringList planned{"measures.csv", "map-000000.png", "map-000010.png", "map-000020.png", "map-000030.png",
                              "map.gif"};
    QCOMPARE(begun[QLatin1String("files")].toVariant().toStringList(), planned);

    std::atomic<bool> stop{false};
    LabRun run(plan);
    const auto end = run.Execute(
        [&](std::int64_t g, const HeadlessCity &city) {
            stop = g == 16;
            return !recorder.Visit(g, city);
        },
        &stop);
    QVERIFY(end == LabRun::End::Stopped);
    QVERIFY(!recorder.Interrupt());

    const QJsonObject ended = ReadJson(runJson);
    QCOMPARE(ended[QLatin1String("state")].toString(), QStringLiteral("interrupted"));
    QCOMPARE(ended[QLatin1String("generations_run")].toInt(), 16);
    QCOMPARE(ended[QLatin1String("rows")].toInt(), 3);   // generations 0, 7 and 14
    const QStringList written{"measures.csv", "map-000000.png", "map-000010.png", "map.gif"};
    QCOMPARE(ended[QLatin1String("files")].toVariant().toStringList(), written);
    QStringList everything = written + QStringList{QLatin1String(RunRecorder::RunFile)};
    everything.sort();
    QCOMPARE(Entries(dir.path()), everything);
    const QByteArray gif = Contents(QDir(dir.path()).filePath(QLatin1String(RunRecorder::GifFile)));
    QVERIFY(gif.startsWith("GIF89a") && gif.endsWith(';'));

    QString reason;
    auto again = RunPlanFromJson(ended[QLatin1String("parameters")].toObject(), &reason);
    QVERIFY2(again, qPrintable(reason));
    again->outDir = plan.outDir;
    QVERIFY(*again == plan);

    const QByteArray partial = Contents(QDir(dir.path()).filePath(QLatin1String(RunRecorder::MeasuresFile)));
    QCOMPARE(partial.count('\n'), 1 + 3);
    QTemporaryDir whole;
    again->outDir = whole.path().toStdString();
    const QByteArray all = Record(*again);
    QCOMPARE(all.count('\n'), 1 + 6);
    QVERIFY(all.startsWith(partial));
}

QTEST_MAIN(TestLabRun)
#include "tst_labrun.moc"
