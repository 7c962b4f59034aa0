// SPDX-License-Identifier: GPL-3.0-or-later
#include "options.h"

#include <QTest>

// The command line's reading against one table of options, for any command.
class TestOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void helpListsEveryOptionOnce();
};

namespace {

const CommandSpec Walk{
    "walk",
    "Usage: velmora-lab walk [OPTION]... PLACE",
    "Walks somewhere.",
    {
        {"speed", "N", "how fast"},
        {"stop", "PLACE", "a place to stop at;\nmay be given several times", true},
        {"slowly", nullptr, "take it easy"},
        {"help", nullptr, "show this help and exit"},
    },
    0,
    1,
    "one place",
    "Notes.\n",
};
const CommandSpec Swim{"swim", "Usage: swim", "Swims.", {{"stroke", "S", "which stroke"}}, 0, 0, nullptr};

} // namespace

void TestOptions::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("result");   // "speed=..;stop=..|..;words=.." or the message's start

    QTest::newRow("nothing") << QStringList{} << "words=";
    QTest::newRow("a value after a space") << QStringList{"--speed", "4"} << "speed=4;words=";
    QTest::newRow("a value after =") << QStringList{"--speed=4"} << "speed=4;words=";
    QTest::newRow("an empty value after =") << QStringList{"--speed="} << "speed=;words=";
    QTest::newRow("a value that begins with a dash") << QStringList{"--speed", "-4"} << "speed=-4;words=";
    QTest::newRow("one dash") << QStringList{"-speed", "4"} << "speed=4;words=";
    QTest::newRow("a word") << QStringList{"home", "--slowly"} << "slowly=;words=home";
    QTest::newRow("a repeating option keeps its order") << QStringList{"--stop", "b", "--stop", "a"} << "stop=b|a;words=";
    QTest::newRow("words after --") << QStringList{"--", "-home"} << "words=-home";
    QTest::newRow("a lone dash is a word") << QStringList{"-"} << "words=-";
    QTest::newRow("help despite a stray word") << QStringList{"a", "b", "--help"} << "help=;words=a|b";
    QTest::newRow("unknown") << QStringList{"--colour"} << "--colour is not an option of walk (see velmora-lab walk --help)";
    QTest::newRow("a letter left out") << QStringList{"--sped", "4"} << "--sped is not an option of walk: did you mean --speed?";
    QTest::newRow("two letters swapped") << QStringList{"--sotp", "a"} << "--sotp is not an option of walk: did you mean --stop?";
    QTest::newRow("a beginning of one only") << QStringList{"--sl"} << "--sl is not an option of walk: did you mean --slowly?";
    QTest::newRow("another command's") << QStringList{"--stroke", "crawl"} << "--stroke is not an option of walk but of swim";
    QTest::newRow("no value") << QStringList{"--speed"} << "--speed needs a value: --speed N";
    QTest::newRow("a switch with a value") << QStringList{"--slowly=yes"} << "--slowly takes no value ('yes')";
    QTest::newRow("twice") << QStringList{"--speed", "4", "--speed=5"} << "--speed is given twice ('4', then '5'): give it once";
    QTest::newRow("a switch twice") << QStringList{"--slowly", "--slowly"} << "--slowly is given twice: give it once";
    QTest::newRow("a stray word") << QStringList{"home", "park"} << "'park' is a stray word: walk takes one place";
}

void TestOptions::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, result);
    const auto parsed = ParseOptions(Walk, arguments, {&Walk, &Swim});
    if (const auto *error = std::get_if<UsageError>(&parsed)) {
        QVERIFY2(error->message.startsWith(result), qPrintable(error->message));
        return;
    }
    const ParsedOptions &options = std::get<ParsedOptions>(parsed);
    QStringList got;
    for (const char *name : {"help", "slowly", "speed", "stop"}) {
        if (options.has(name))
            got << QStringLiteral("%1=%2").arg(QLatin1String(name), options.values(name).join(u'|'));
    }
    got << QStringLiteral("words=") + options.words().join(u'|');
    QCOMPARE(got.join(u';'), result);
}

void TestOptions::helpListsEveryOptionOnce()
{
    const QString help = HelpText(Walk);
    QVERIFY(help.startsWith(QLatin1String("Usage: velmora-lab walk [OPTION]... PLACE\nWalks somewhere.\n\n")));
    // The text of every option starts in one column, and its later lines stay under it.
    QVERIFY(help.contains(QLatin1String("\n  --speed N         how fast\n")));
    QVERIFY(help.contains(QLatin1String("\n  --stop PLACE      a place to stop at;\n                    may be given several times\n")));
    for (const OptionSpec &option : Walk.options)
        QCOMPARE(help.count(QStringLiteral("  --%1 ").arg(QLatin1String(option.name))), 1);
    QVERIFY(help.endsWith(QLatin1String("show this help and exit\n\nNotes.\n")));
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
