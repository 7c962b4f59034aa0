// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart.h"
#include "constants.h"
#include "groups.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

// The chart of measures over the years, drawn by Qt Charts under a QApplication.
class TestLabChart : public QObject
{
    Q_OBJECT

private slots:
    void showsItsAxesLegendAndGroupColours();
    void refusesAndLeavesNoFile_data();
    void refusesAndLeavesNoFile();

public:
    // A hundred years sampled every 46 generations: shares rising from about 0.46 to 0.8,
    // indices rising, the interface density falling; Yellow undefined for a stretch.
    static ChartData HundredYears()
    {
        constexpr int Every = 46;
        constexpr int Generations = 4566;
        ChartData chart;
        chart.title = QStringLiteral("Seed 7, preferences 50% for every group");
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
        for (int radius : {1, 2, 4})
            chart.series.push_back({QStringLiteral("Spatial H, radius %1").arg(radius), QColor(0x018571), 1,
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
    QStringList words = {chart.title, QStringLiteral("Years")};
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
    QTest::newRow("missing folder") << good << "gone/chart" << "No such file";
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

QTEST_MAIN(TestLabChart)
#include "tst_labchart.moc"
