// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart.h"
#include "constants.h"
#include "groups.h"
#include "labrun.h"
#include "runrecorder.h"
#include "systemerror.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <QXmlStreamReader>

#include <cmath>
#include <map>
#include <set>

using Changes = std::vector<PreferenceChange>;
Q_DECLARE_METATYPE(Changes)
using Fractions = std::vector<double>;
Q_DECLARE_METATYPE(Fractions)

// The chart of measures over the years, drawn by Qt Charts under a QApplication.
class TestLabChart : public QObject
{
    Q_OBJECT

private slots:
    void showsItsAxesLegendAndGroupColours();
    void refusesAndLeavesNoFile_data();
    void refusesAndLeavesNoFile();
    void coincidingSeriesAreDashedApart_data();
    void coincidingSeriesAreDashedApart();
    void marksAreDrawnWhereTheyFall_data();
    void marksAreDrawnWhereTheyFall();
    void runsChartSaysItsSeedAndPreferences_data();
    void runsChartSaysItsSeedAndPreferences();

public:
    // A hundred years sampled every 46 generations: shares rising from about 0.46 to 0.8,
    // indices rising, the interface density falling; Yellow undefined for a stretch.
    static ChartData HundredYears()
    {
        constexpr int Every = 46;
        constexpr int Generations = 4566;
        ChartData chart;
        chart.title = QStringLiteral("Velmora");
        chart.subtitle = QStringLiteral("Seed 7, preferences 50% for every group");
        chart.panels = {{QStringLiteral("Same-group share"), QStringLiteral("Share (0 to 1)")},
                        {QStringLiteral("Segregation of the city"), QStringLiteral("Index (0 to 1)")}};
        for (int gen = 0; gen <= Generations; gen += Every)
            chart.years.push_back(gen * DaysPerGeneration / 365.25);
        const auto rising = [&](double from, double to, double halfway) {
            std::vector<std::optional<double>> values;
            for (double year : chart.years)
                values.push_back(from + (to - from) * year / (year + halfway));
            return values;
        };
        for (GroupIndex g = 1; g <= GroupCount; ++g)
            chart.series.push_back({QString::fromStdString(GroupName(g)), QColor(Groups[g].colour), 0,
                                    rising(g == 1 ? 0.65 : 0.1, 0.85 - 0.03 * g, 4.0 + 3 * g)});
        std::fill_n(chart.series.back().values.begin() + 30, 10, std::nullopt);
        chart.series.push_back({QStringLiteral("All residents"), Qt::black, 0, rising(0.46, 0.8, 6)});
        chart.series.push_back({QStringLiteral("Dissimilarity D"), QColor(0x7b3294), 1, rising(0.1, 0.55, 8)});
        chart.series.push_back({QStringLiteral("Theil H"), QColor(0xa6611a), 1, rising(0.02, 0.35, 10)});
        for (const auto &[radius, colour] : {std::pair(1, 0x018571), std::pair(2, 0xb03060), std::pair(4, 0x8c5a2b)})
            chart.series.push_back({QStringLiteral("Spatial H, radius %1").arg(radius), QColor(colour), 1,
                                    rising(0.05, 0.6 - 0.1 * radius, 6)});
        chart.series.push_back({QStringLiteral("Interface density"), QColor(0xe66101), 1, rising(0.54, 0.3, 6)});
        return chart;
    }
};

void TestLabChart::showsItsAxesLegendAndGroupColours()
{
    const ChartData chart = HundredYears();
    const QDir kept(QCoreApplication::applicationDirPath() + QStringLiteral("/lab-pictures"));
    QVERIFY(kept.mkpath(QStringLiteral(".")));
    const QString png = kept.filePath(QStringLiteral("chart.png"));
    const QString svg = kept.filePath(QStringLiteral("chart.svg"));
    QCOMPARE(WriteChartPng(chart, png).value_or(QString()), QString());
    QCOMPARE(WriteChartSvg(chart, svg).value_or(QString()), QString());

    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QStringList words = {chart.title, chart.subtitle, QStringLiteral("Years")};
    for (const ChartPanel &panel : chart.panels)
        words << panel.title << panel.yTitle;
    for (const ChartSeries &series : chart.series)
        words << series.name;
    for (const QString &word : words)
        QVERIFY2(text.contains(word.toHtmlEscaped()), qPrintable(word));

    // Every group's lines and legend entry, in its exact colour (dashed, so not everywhere).
    const QImage image = QImage(png).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!image.isNull());
    GroupTable<int> pixels{};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++pixels[GroupOfColour(image.pixel(x, y))];
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        QVERIFY2(pixels[g] > image.width() / 8, GroupName(g).c_str());
}

void TestLabChart::refusesAndLeavesNoFile_data()
{
    QTest::addColumn<ChartData>("chart");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    const ChartData good = HundredYears();
    QTest::newRow("missing folder") << good << "gone/chart" << SystemError(ENOENT);
    ChartData chart = good;
    chart.panels.clear();
    QTest::newRow("no panels") << chart << "chart" << "no panels";
    chart = good;
    chart.years.clear();
    QTest::newRow("no years") << chart << "chart" << "no years";
    chart = good;
    chart.years[3] = NAN;
    QTest::newRow("year not a number") << chart << "chart" << "not a number";
    chart = good;
    chart.series[2].values.pop_back();
    QTest::newRow("a value short") << chart << "chart" << "\"Green\" has 99 values for 100 years";
    chart = good;
    chart.series[0].panel = 2;
    QTest::newRow("series in no panel") << chart << "chart" << "\"Blue\" belongs to no panel";
    chart = good;
    chart.panels[1].yMax = chart.panels[1].yMin;
    QTest::newRow("empty y range") << chart << "chart" << "no y range";
    chart = good;
    chart.series[6].colour = QColor();
    QTest::newRow("no colour") << chart << "chart" << "\"Dissimilarity D\" has no colour";
    chart = good;
    chart.marks = {{20, QStringLiteral("A change")}, {NAN, QStringLiteral("Another")}};
    QTest::newRow("mark not a number") << chart << "chart" << "\"Another\" has a year that is not a number";
}

void TestLabChart::refusesAndLeavesNoFile()
{
    QFETCH(ChartData, chart);
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString png = WriteChartPng(chart, dir.filePath(name + QStringLiteral(".png"))).value_or(QString());
    const QString svg = WriteChartSvg(chart, dir.filePath(name + QStringLiteral(".svg"))).value_or(QString());
    QVERIFY2(png.contains(name + QStringLiteral(".png")) && png.contains(reason), qPrintable(png));
    QVERIFY2(svg.contains(name + QStringLiteral(".svg")) && svg.contains(reason), qPrintable(svg));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

static QString SvgText(const ChartData &chart, const QString &path)
{
    if (WriteChartSvg(chart, path))
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The dash patterns each colour of line is drawn with in an SVG ("" for solid).
static std::map<QString, std::set<QString>> DashesByColour(const QString &svg)
{
    std::map<QString, std::set<QString>> dashes;
    QXmlStreamReader reader(svg);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (attributes.hasAttribute(QStringLiteral("stroke")))
            dashes[attributes.value(QStringLiteral("stroke")).toString().toLower()].insert(
                attributes.value(QStringLiteral("stroke-dasharray")).toString());
    }
    return dashes;
}

void TestLabChart::coincidingSeriesAreDashedApart_data()
{
    QTest::addColumn<QString>("under");   // drawn first
    QTest::addColumn<QString>("over");
    QTest::newRow("Red runs under Green") << "Red" << "Green";
    QTest::newRow("Theil's H under spatial H at radius 2") << "Theil H" << "Spatial H, radius 2";
    QTest::newRow("the first and last of a panel") << "Dissimilarity D" << "Interface density";
    QTest::newRow("Blue under Yellow") << "Blue" << "Yellow";
    QTest::newRow("radius 1 under radius 4") << "Spatial H, radius 1" << "Spatial H, radius 4";
}

void TestLabChart::coincidingSeriesAreDashedApart()
{
    QFETCH(QString, under);
    QFETCH(QString, over);
    ChartData chart = HundredYears();
    const auto named = [&](const QString &name) {
        return std::find_if(chart.series.begin(), chart.series.end(), [&](const ChartSeries &s) { return s.name == name; });
    };
    QVERIFY(named(under) != chart.series.end() && named(over) != chart.series.end());
    named(over)->values = named(under)->values;
    QTemporaryDir dir;
    const QString svg = SvgText(chart, dir.filePath(QStringLiteral("chart.svg")));
    QVERIFY(!svg.isEmpty());
    auto dashes = DashesByColour(svg);
    const std::set<QString> &first = dashes[named(under)->colour.name()];
    const std::set<QString> &second = dashes[named(over)->colour.name()];
    QVERIFY(!first.empty() && !second.empty());
    std::vector<QString> shared;
    std::set_intersection(first.begin(), first.end(), second.begin(), second.end(), std::back_inserter(shared));
    QVERIFY2(shared.empty(), qPrintable(QStringList(shared.begin(), shared.end()).join(u'|')));
}

void TestLabChart::marksAreDrawnWhereTheyFall_data()
{
    QTest::addColumn<Fractions>("at");   // of the span of years from the first; outside [0, 1] is off the chart
    QTest::newRow("inside") << Fractions{0.5};
    QTest::newRow("at both ends") << Fractions{0.0, 1.0};
    QTest::newRow("two close together") << Fractions{0.3, 0.31};
    QTest::newRow("near the right edge") << Fractions{0.99};
    QTest::newRow("before the first year") << Fractions{-0.1};
    QTest::newRow("after the last year") << Fractions{1.1};
    QTest::newRow("one in, one out") << Fractions{0.2, 1.5};
    QTest::newRow("none") << Fractions{};
}

void TestLabChart::marksAreDrawnWhereTheyFall()
{
    QFETCH(Fractions, at);
    ChartData chart = HundredYears();
    const double first = chart.years.front();
    const double span = chart.years.back() - first;
    bool anyShown = false;
    for (std::size_t i = 0; i < at.size(); ++i) {
        chart.marks.push_back({first + at[i] * span, QStringLiteral("Change number %1").arg(i)});
        anyShown = anyShown || (at[i] >= 0 && at[i] <= 1);
    }
    const QDir kept(QCoreApplication::applicationDirPath() + QStringLiteral("/lab-pictures"));
    QVERIFY(kept.mkpath(QStringLiteral(".")));
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
    QCOMPARE(WriteChartPng(chart, kept.filePath(QStringLiteral("chart-marks-%1.png").arg(tag))).value_or(QString()), QString());
    const QString svg = SvgText(chart, kept.filePath(QStringLiteral("chart-marks-%1.svg").arg(tag)));
    QVERIFY(!svg.isEmpty());
    for (std::size_t i = 0; i < at.size(); ++i)
        QCOMPARE(svg.contains(chart.marks[i].label), at[i] >= 0 && at[i] <= 1);
    // The line of a mark, in its grey.
    QCOMPARE(DashesByColour(svg).count(QStringLiteral("#5a5a5a")) > 0, anyShown);
}

// The chart of a run: its seed and first preferences under the title, and each generation
// where preferences were typed marked with those that followed.
void TestLabChart::runsChartSaysItsSeedAndPreferences_data()
{
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QString start = QStringLiteral("Seed 11; the share of like neighbours each group wants: 4/8 for every group");
    QTest::newRow("no change") << Changes{} << QStringList{start} << QStringList{"Generation", "at first"};
    QTest::newRow("one change") << Changes{{20, {"0", "0", "0", "0", "0"}}}
                                << QStringList{start + " at first", "Generation 20: preferences set to 0/8 for every group"}
                                << QStringList{};
    QTest::newRow("each group its own") << Changes{{10, {"0", "25%", "50%", "75%", "100%"}}}
                                        << QStringList{"Generation 10: preferences set to Blue 0/8, Red 2/8, Green 4/8, Gray 6/8, Yellow 8/8"}
                                        << QStringList{};
    QTest::newRow("two at one generation") << Changes{{10, {"25%", "25%", "25%", "25%", "25%"}}, {10, {"0", "0", "0", "0", "0"}}}
                                           << QStringList{"Generation 10: preferences set to 0/8 for every group"}
                                           << QStringList{"2/8"};
    QTest::newRow("two apart") << Changes{{5, {"25%", "25%", "25%", "25%", "25%"}}, {25, {"0", "0", "0", "0", "0"}}}
                               << QStringList{"Generation 5: preferences set to 2/8 for every group",
                                              "Generation 25: preferences set to 0/8 for every group"}
                               << QStringList{};
    QTest::newRow("past the end") << Changes{{40, {"0", "0", "0", "0", "0"}}} << QStringList{start} << QStringList{"Generation 40"};
}

void TestLabChart::runsChartSaysItsSeedAndPreferences()
{
    QFETCH(Changes, changes);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QTemporaryDir dir;
    RunPlan plan;
    plan.seed = 11;
    plan.prefTexts = {"50%", "50%", "50%", "50%", "50%"};
    plan.changes = changes;
    plan.generations = 30;
    plan.every = 5;
    plan.chart = true;
    plan.outDir = dir.path().toStdString();
    RunRecorder recorder(plan, {});
    QCOMPARE(recorder.Begin().value_or(QString()), QString());
    LabRun run(plan);
    QCOMPARE(run.Execute([&](std::int64_t g, const HeadlessCity &city) { return !recorder.Visit(g, city); }),
             LabRun::End::Finished);
    QCOMPARE(recorder.Finish().value_or(QString()), QString());
    QFile file(dir.filePath(QLatin1String(RunRecorder::ChartSvgFile)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString svg = QString::fromUtf8(file.readAll());
    for (const QString &words : present)
        QVERIFY2(svg.contains(words), qPrintable(words));
    for (const QString &words : absent)
        QVERIFY2(!svg.contains(words), qPrintable(words));
}

QTEST_MAIN(TestLabChart)
#include "tst_labchart.moc"
