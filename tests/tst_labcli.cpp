// SPDX-License-Identifier: GPL-3.0-or-later
#include "systemerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

// velmora-lab as a user meets it: what it says and how it ends, for good and bad command lines.
class TestLabCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void badArguments_data();
    void badArguments();
    void helpAndVersion_data();
    void helpAndVersion();
    void tableWithoutFolderAndNoProgressOnAPipe();
    void progressBarOnATerminal();
    void rerunGivesTheSameCsv();
    void rerunReadsBackLargeRecords_data();
    void rerunReadsBackLargeRecords();
    void interruptKeepsWhatWasMeasured();
    void fullDiskFailsWithStatusOne();
    void failedStandardOutput_data();
    void failedStandardOutput();
    void reusedFolder_data();
    void reusedFolder();

private:
    struct Result
    {
        int status = -1;
        QString out;
        QString err;
    };
    static Result Lab(const QStringList &arguments)
    {
        QProcess lab;
        lab.start(QStringLiteral(VELMORA_LAB), arguments);
        lab.closeWriteChannel();
        if (!lab.waitForFinished(120000))
            lab.kill();
        return {lab.exitStatus() == QProcess::NormalExit ? lab.exitCode() : -1,
                QString::fromUtf8(lab.readAllStandardOutput()), QString::fromUtf8(lab.readAllStandardError())};
    }
    QTemporaryDir work_;
};

void TestLabCli::initTestCase()
{
    QVERIFY(work_.isValid());
    // Read as a record, it would wait for a writer.
    QVERIFY(mkfifo(QFile::encodeName(work_.filePath(QStringLiteral("a-pipe"))).constData(), 0600) == 0);
    QFile notOurs(work_.filePath(QStringLiteral("other.json")));
    QVERIFY(notOurs.open(QIODevice::WriteOnly));
    notOurs.write(R"({"program": "something-else", "format": 1})");
    QFile file(work_.filePath(QStringLiteral("a-file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void TestLabCli::badArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");   // part of the one line that names the argument
    const QString file = work_.filePath(QStringLiteral("a-file"));
    auto row = [](const char *name, QStringList arguments, const char *message) {
        QTest::newRow(name) << arguments << QString::fromLatin1(message);
    };
    row("no such command", {"walk"}, "'walk' is not a command");
    row("no command", {}, "Usage: velmora-lab COMMAND");
    row("a mistyped command", {"swep", "--list"}, "'swep' is not a command: give run, rerun, sweep or merge (did you mean sweep?)");
    row("an option before the command", {"--seed", "7", "run"}, "'--seed' comes before a command");
    row("unknown option", {"run", "--colour", "red"}, "--colour is not an option of run");
    row("a near option", {"run", "--seeds", "7"}, "--seeds is not an option of run: did you mean --seed?");
    row("the start of an option", {"run", "--gen", "7"}, "did you mean --generations?");
    row("an option of another command", {"run", "--base-seed", "7"}, "--base-seed is not an option of run but of sweep");
    row("option without its value", {"run", "--seed"}, "--seed needs a value: --seed N");
    row("a switch with a value", {"run", "--gif=yes", "--out", file + "x"}, "--gif takes no value ('yes')");
    row("seed twice", {"run", "--seed", "7", "--seed", "8"}, "--seed is given twice ('7', then '8'): give it once");
    row("prefs twice", {"run", "--prefs", ".5,.5,.5,.5,.5", "--prefs", "0,0,0,0,0"}, "--prefs is given twice");
    row("out twice", {"run", "--out", "a", "--out", "b"}, "--out is given twice");
    row("a switch twice", {"run", "--gif", "--gif"}, "--gif is given twice: give it once");
    row("base seed twice", {"sweep", "--base-seed", "1", "--base-seed", "2", "--list"}, "--base-seed is given twice");
    row("a list with spaces, unquoted", {"run", "--prefs", "50%,", "50%,50%,50%,50%"},
        "'50%,50%,50%,50%' is a stray word: run takes options only. If it belongs to the option before it, quote");
    row("a word after a rerun's file", {"rerun", "a.json", "b.json"}, "'b.json' is a stray word: rerun takes one run.json file");
    row("4, eighths or a percentage", {"run", "--prefs", "4,.5,.5,.5,.5"}, "'4' could be eighths");
    row("1/2, read as all", {"run", "--prefs", "1/2,.5,.5,.5,.5"}, "'1/2' has more after the number than a % sign");
    row("0.5%, read as half", {"run", "--prefs", "0.5%,.5,.5,.5,.5"}, "'0.5%' is a fraction with a % sign");
    row("150%", {"run", "--set", "1:.5,.5,150%,.5,.5"}, "'150%' is above 100 %");
    row("seed not a number", {"run", "--seed", "seven"}, "--seed 'seven': give a whole number from 0 to 4294967295");
    row("seed negative", {"run", "--seed", "-1"}, "--seed '-1'");
    row("seed over 32 bits", {"run", "--seed", "4294967296"}, "--seed '4294967296'");
    row("seed with a fraction", {"run", "--seed", "7.5"}, "--seed '7.5'");
    row("four preferences", {"run", "--prefs", "1,2,3,4"}, "4 given; expected five preferences");
    row("a preference with no number", {"run", "--prefs", "50%,abc,50%,50%,50%"}, "'abc' has no number in it");
    row("an empty preference", {"run", "--prefs", "50%,,50%,50%,50%"}, "'' has no number in it");
    row("a negative preference", {"run", "--prefs", "50%,-5,50%,50%,50%"}, "'-5' is negative");
    row("negative years", {"run", "--years", "-3"}, "--years '-3': give a number of years from 0 to");
    row("absurd years", {"run", "--years", "1e12"}, "--years '1e12'");
    row("years not a number", {"run", "--years", "nan"}, "--years 'nan'");
    row("too many generations", {"run", "--generations", "365015"}, "--generations '365015'");
    row("years and generations", {"run", "--years", "1", "--generations", "5"}, "give one");
    row("every 0", {"run", "--every", "0"}, "--every '0': give a number of generations from 1");
    row("set past the end", {"run", "--years", "40", "--set", "2283:0,0,0,0,0"}, "--set '2283:0,0,0,0,0': give GEN:P,P,P,P,P with GEN a generation from 1 to 1827");
    row("set without a generation", {"run", "--set", "0,0,0,0,0"}, "--set '0,0,0,0,0'");
    row("set with four", {"run", "--set", "5:0,0,0,0"}, "4 given");
    row("scale 0", {"run", "--scale", "0"}, "--scale '0'");
    row("pictures without a folder", {"run", "--gif"}, "give the folder with --out DIR");
    row("folder is a file", {"run", "--out", file}, "is a file, not a folder");
    row("folder cannot be made", {"run", "--out", file + "/inside"}, "cannot create the folder");
    row("stray argument", {"run", "extra"}, "'extra' is a stray word: run takes options only");
    row("rerun without a file", {"rerun"}, "rerun takes one run.json file");
    row("rerun of a missing file", {"rerun", "/nonexistent/run.json"}, "cannot read it");
    row("rerun of another program's file", {"rerun", work_.filePath(QStringLiteral("other.json"))}, "not a run.json written by velmora-lab");
    row("rerun of a non-JSON file", {"rerun", file}, "not a run.json written by velmora-lab");
    row("rerun of a pipe", {"rerun", work_.filePath(QStringLiteral("a-pipe"))}, "cannot read it (it is not a file)");
}

void TestLabCli::badArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Result result = Lab(arguments);
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY(result.err.startsWith(QLatin1String("velmora-lab: ")));
    QVERIFY(result.out.isEmpty());
}

void TestLabCli::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--help") << QStringList{"--help"} << "velmora-lab run --seed 7";
    QTest::newRow("run --help") << QStringList{"run", "--help"} << "reads \"4\" as 4 %";
    QTest::newRow("run --help lists --set") << QStringList{"run", "--help"} << "  --set GEN:P,P,P,P,P  type these";
    QTest::newRow("help after an option") << QStringList{"sweep", "--seeds", "3", "--help"} << "Usage: velmora-lab sweep";
    QTest::newRow("rerun --help") << QStringList{"rerun", "--help"} << "byte for byte";
    QTest::newRow("--version") << QStringList{"--version"} << "velmora-lab 1.";
}

void TestLabCli::helpAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const Result result = Lab(arguments);
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.contains(expected), qPrintable(result.out));
    QVERIFY(result.err.isEmpty());
}

void TestLabCli::tableWithoutFolderAndNoProgressOnAPipe()
{
    const Result result = Lab({"run", "--generations", "20", "--every", "5"});
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.contains(QLatin1String("same-group share")));
    QVERIFY(result.out.contains(QLatin1String("dissimilarity D")));
    // The seed it picked, so that the run can be repeated; no progress bar on a pipe.
    QVERIFY(result.err.contains(QLatin1String("picked the seed")));
    QVERIFY(!result.err.contains(u'\r'));
}

// `script` gives the program a terminal of its own (util-linux, on every Debian system).
void TestLabCli::progressBarOnATerminal()
{
    const QString folder = work_.filePath(QStringLiteral("terminal"));
    QProcess script;
    script.start(QStringLiteral("script"), {"-qec", QStringLiteral("%1 run --seed 1 --years 20 --out %2")
                                                        .arg(QStringLiteral(VELMORA_LAB), folder), "/dev/null"});
    QVERIFY(script.waitForFinished(60000));
    const QByteArray screen = script.readAllStandardOutput();
    QVERIFY2(screen.contains("\r[") && screen.contains("generation 0 of 914"), screen.left(200).constData());
}

void TestLabCli::rerunReadsBackLargeRecords_data()
{
    QTest::addColumn<int>("changes");   // --set options of the run; -1 for a file no run writes
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("a record over a MiB") << 7000 << 0 << "";
    QTest::newRow("a file far beyond any record") << -1 << 2 << "it is 65 MiB, and a run's record is at most a few MiB";
}

// Whatever run writes, rerun reads back; only a size no run writes is refused, saying so.
void TestLabCli::rerunReadsBackLargeRecords()
{
    QFETCH(int, changes);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString first = work_.filePath(QStringLiteral("large-%1").arg(changes));
    const QString record = QDir(first).filePath(QStringLiteral("run.json"));
    if (changes >= 0) {
        QStringList arguments{"run", "--seed", "3", "--generations", "20", "--every", "10", "--out", first, "--quiet"};
        for (int i = 0; i < changes; ++i)
            arguments << "--set" << QStringLiteral("%1:.5,.5,0.375,50%,12.5%").arg(1 + i % 20);
        QCOMPARE(Lab(arguments).status, 0);
        QVERIFY(QFileInfo(record).size() > (1 << 20));
    } else {
        QVERIFY(QDir().mkpath(first));
        QFile huge(record);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(65) << 20));
    }
    const Result again = Lab({"rerun", record, "--out", first + "-again", "--quiet"});
    QCOMPARE(again.status, status);
    QVERIFY2(again.err.contains(message), qPrintable(again.err));
    if (status == 0) {
        QFile a(QDir(first).filePath(QStringLiteral("measures.csv")));
        QFile b(QDir(first + "-again").filePath(QStringLiteral("measures.csv")));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());
    }
}

void TestLabCli::rerunGivesTheSameCsv()
{
    const QString first = work_.filePath(QStringLiteral("first"));
    const QString again = work_.filePath(QStringLiteral("again"));
    QCOMPARE(Lab({"run", "--seed", "7", "--prefs", "50%,.5,50,37.5%,1.0", "--generations", "120", "--every", "9",
                  "--set", "50:0,0,0,0,0", "--out", first, "--quiet"}).status, 0);
    QCOMPARE(Lab({"rerun", first + "/run.json", "--out", again, "--quiet"}).status, 0);
    QFile a(first + "/measures.csv");
    QFile b(again + "/measures.csv");
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray bytes = a.readAll();
    QCOMPARE(bytes.count('\n'), 1 + 15);   // header, generations 0, 9, ..., 117 and 120
    QCOMPARE(b.readAll(), bytes);
}

namespace {

QByteArray Contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject RunRecord(const QString &folder)
{
    return QJsonDocument::fromJson(Contents(folder + QStringLiteral("/run.json"))).object();
}

} // namespace

// Ctrl+C keeps the rows measured so far, the chart of them and a record of where the run
// stopped, all complete; rerun of that record runs the whole run, whose first rows they are.
void TestLabCli::interruptKeepsWhatWasMeasured()
{
    const QString folder = work_.filePath(QStringLiteral("interrupted"));
    QProcess lab;
    lab.start(QStringLiteral(VELMORA_LAB),
              {"run", "--seed", "5", "--generations", "60000", "--every", "10", "--chart", "--out", folder});
    QVERIFY(lab.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + QStringLiteral("/run.json")), 10000);
    QTest::qWait(200);   // into the run, seconds from its end even on a fast machine
    ::kill(pid_t(lab.processId()), SIGINT);
    QVERIFY(lab.waitForFinished(20000));
    QCOMPARE(lab.exitCode(), 128 + SIGINT);
    const QString err = QString::fromUtf8(lab.readAllStandardError());
    QVERIFY2(err.contains(QLatin1String("interrupted after generation")), qPrintable(err));

    const QJsonObject record = RunRecord(folder);
    QCOMPARE(record[QLatin1String("state")].toString(), QStringLiteral("interrupted"));
    const int stopped = record[QLatin1String("generations_run")].toInt(-1);
    QVERIFY2(stopped >= 0 && stopped < 60000, qPrintable(QString::number(stopped)));
    const int rows = stopped / 10 + 1;
    QCOMPARE(record[QLatin1String("rows")].toInt(), rows);
    const QByteArray partial = Contents(folder + QStringLiteral("/measures.csv"));
    QCOMPARE(partial.count('\n'), 1 + rows);
    QVERIFY(partial.endsWith('\n'));
    QStringList files = record[QLatin1String("files")].toVariant().toStringList();
    QCOMPARE(files, QStringList({"measures.csv", "chart.png", "chart.svg"}));
    files << QStringLiteral("run.json");
    files.sort();
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), files);

    const QString again = work_.filePath(QStringLiteral("interrupted-again"));
    QCOMPARE(Lab({"rerun", folder + QStringLiteral("/run.json"), "--out", again, "--quiet"}).status, 0);
    const QByteArray whole = Contents(again + QStringLiteral("/measures.csv"));
    QCOMPARE(whole.count('\n'), 1 + 6001);
    QVERIFY(whole.startsWith(partial));
    QCOMPARE(RunRecord(again)[QLatin1String("state")].toString(), QStringLiteral("finished"));
}

// Needs a small file system of its own, which only root can mount.
void TestLabCli::fullDiskFailsWithStatusOne()
{
    const QString folder = work_.filePath(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(folder));
    if (QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}) != 0)
        QSKIP("cannot mount a small tmpfs here (not root?)");
    const Result result = Lab({"run", "--seed", "3", "--generations", "2000", "--every", "1", "--out", folder});
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    const QString state = RunRecord(folder)[QLatin1String("state")].toString();
    QProcess::execute(QStringLiteral("umount"), {folder});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(SystemError(ENOSPC)), qPrintable(result.err));
    // Only the record, which says that the run failed.
    QCOMPARE(left, QStringList{"run.json"});
    QCOMPARE(state, QStringLiteral("failed"));
}

// Every place the Lab writes data to standard output: when it does not get there, status 1
// and one line saying what was not written.
void TestLabCli::failedStandardOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("closed");   // else /dev/full
    QTest::addColumn<QString>("what");
    const QStringList table{"run", "--seed", "1", "--generations", "3"};
    const QStringList list{"sweep", "--prefs", "0..8,50%,50%,50%,50%", "--base-seed", "3", "--list"};
    QTest::newRow("measures table, full") << table << false << "the table of measures";
    QTest::newRow("measures table, closed") << table << true << "the table of measures";
    QTest::newRow("help, full") << QStringList{"run", "--help"} << false << "the help";
    QTest::newRow("version, closed") << QStringList{"--version"} << true << "the version";
    QTest::newRow("run table, full") << list << false << "the run table";
    QTest::newRow("run table, closed") << list << true << "the run table";
}

void TestLabCli::failedStandardOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, closed);
    QFETCH(QString, what);
    QProcess lab;
    if (closed) {
        lab.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
    } else {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        lab.setStandardOutputFile(QStringLiteral("/dev/full"));
    }
    lab.start(QStringLiteral(VELMORA_LAB), arguments);
    QVERIFY(lab.waitForFinished(60000));
    QCOMPARE(lab.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromUtf8(lab.readAllStandardError());
    QCOMPARE(lab.exitCode(), 1);
    QCOMPARE(err.count(u'\n'), 1);
    QVERIFY2(err.startsWith(QStringLiteral("velmora-lab: cannot write %1 to standard output: ").arg(what)), qPrintable(err));
}

// A run's folder as a second run finds it: a run with a chart and snapshots, or a link to a
// file outside under the name measures.csv. Each row then runs `arguments` --out FOLDER.
void TestLabCli::reusedFolder_data()
{
    QTest::addColumn<QString>("found");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QStringList other{"run", "--seed", "2", "--generations", "20", "--quiet"};
    const QStringList oldPictures{"chart.png", "chart.svg", "map-000000.png", "map-000010.png"};
    QTest::newRow("a run, run") << "run" << other << 2 << "give --force to replace it" << oldPictures << QStringList();
    QTest::newRow("a run, run --force") << "run" << other + QStringList{"--force"} << 0 << "removed the run that was in"
                                        << QStringList{"measures.csv", "run.json"} << oldPictures;
    QTest::newRow("a run, rerun of it --force") << "run" << QStringList{"rerun", "RUN.JSON", "--force", "--quiet"} << 0
                                                << "removed the run that was in" << oldPictures << QStringList();
    QTest::newRow("a link, run") << "link" << other << 0 << "" << QStringList{"measures.csv", "run.json"} << QStringList();
}

void TestLabCli::reusedFolder()
{
    QFETCH(QString, found);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QTemporaryDir parent;
    const QString folder = parent.filePath(QStringLiteral("out"));
    const QString outside = parent.filePath(QStringLiteral("theirs.csv"));
    QFile theirs(outside);
    QVERIFY(theirs.open(QIODevice::WriteOnly) && theirs.write("theirs\n") == 7);
    theirs.close();
    if (found == QLatin1String("run")) {
        QCOMPARE(Lab({"run", "--seed", "1", "--generations", "20", "--every", "5", "--chart", "--snapshots", "10",
                      "--quiet", "--out", folder}).status, 0);
    } else {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::link(QStringLiteral("../theirs.csv"), folder + QStringLiteral("/measures.csv")));
    }
    arguments.replaceInStrings(QStringLiteral("RUN.JSON"), folder + QStringLiteral("/run.json"));
    const Result result = Lab(arguments + QStringList{"--out", folder});
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    for (const QString &name : present)
        QVERIFY2(QFileInfo(folder + u'/' + name).isFile() && !QFileInfo(folder + u'/' + name).isSymLink(), qPrintable(name));
    for (const QString &name : absent)
        QVERIFY2(!QFileInfo::exists(folder + u'/' + name), qPrintable(name));
    QCOMPARE(Contents(outside), QByteArray("theirs\n"));
}

QTEST_GUILESS_MAIN(TestLabCli)
#include "tst_labcli.moc"
