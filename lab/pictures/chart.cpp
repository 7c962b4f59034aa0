// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart.h"

#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QImageWriter>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QSvgGenerator>
#include <QThread>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// About this many intervals along the x axis, each 1, 2 or 5 times a power of ten.
constexpr double TargetTicks = 5;
double RoundStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10.0 * power;
}


struct PictureLayout
{
    int width;
    int titleHeight;      // the band above the panels, when the chart has a title
    int panelHeight;
};
constexpr PictureLayout Picture = {1200, 56, 560};

// Point sizes, larger than Qt Charts' own so that a picture shrunk into a page stays legible.
struct TextSizes
{
    int title;
    int panelTitle;
    int axisTitle;
    int label;            // tick labels and legend entries
};
constexpr TextSizes Text = {16, 13, 11, 10};

QFont Font(int pointSize, bool bold = false)
{
    QFont font;
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

struct LineLook
{
    qreal width;
    qreal casingWidth;    // a dark line under a light one, so it stands out on white
    QRgb casing;
    qreal pointSize;      // a value with no neighbour to join is a dot, its pen around it
};
constexpr LineLook Lines = {2.5, 5.5, qRgb(40, 40, 40), 5.0};

constexpr QRgb PlotBackground = qRgb(255, 255, 255);
// Below this contrast with the background a line gets a casing: the least contrast WCAG 2.1
// asks of graphics (yellow on white has 1.07, green 1.37, gray 3.9).
constexpr double LeastLineContrast = 3.0;

// The relative luminance of WCAG 2.1, from linearised sRGB.
double Luminance(const QColor &colour)
{
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
        + 0.0722 * linear(colour.blueF());
}

double Contrast(const QColor &a, const QColor &b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

std::optional<QString> Problem(const ChartData &chart)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return QStringLiteral("drawing a chart needs a QApplication, and there is none");
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        return QStringLiteral("a chart can only be drawn on the application's main thread");
    if (chart.panels.empty())
        return QStringLiteral("the chart has no panels");
    if (chart.years.empty())
        return QStringLiteral("the chart has no years to show");
    if (!std::all_of(chart.years.begin(), chart.years.end(), [](double x) { return std::isfinite(x); }))
        return QStringLiteral("the chart has a year that is not a number");
    for (const ChartPanel &panel : chart.panels) {
        if (!(std::isfinite(panel.yMin) && std::isfinite(panel.yMax) && panel.yMin < panel.yMax))
            return QStringLiteral("the panel \"%1\" has no y range").arg(panel.title);
    }
    for (const ChartSeries &series : chart.series) {
        if (series.panel < 0 || std::size_t(series.panel) >= chart.panels.size())
            return QStringLiteral("the series \"%1\" belongs to no panel").arg(series.name);
        if (series.values.size() != chart.years.size())
            return QStringLiteral("the series \"%1\" has %2 values for %3 years")
                .arg(series.name).arg(series.values.size()).arg(chart.years.size());
        if (!series.colour.isValid())
            return QStringLiteral("the series \"%1\" has no colour").arg(series.name);
    }
    return std::nullopt;
}

void AddLine(QChart *chart, const QList<QPointF> &points, const QPen &pen, const QString &name,
             bool inLegend)
{
    auto *line = new QLineSeries;
    line->setName(name);
    line->setPen(pen);
    line->append(points);
    if (points.size() == 1) {
        line->setPointsVisible(true);
        line->setMarkerSize(Lines.pointSize);
    }
    chart->addSeries(line);
    for (QAbstractAxis *axis : chart->axes())
        line->attachAxis(axis);
    for (QLegendMarker *marker : chart->legend()->markers(line)) {
        marker->setVisible(inLegend);
        // A square with a dark rim shows even yellow; a dashed line needs its dashes shown.
        marker->setShape(pen.style() == Qt::SolidLine ? QLegend::MarkerShapeRectangle
                                                      : QLegend::MarkerShapeFromSeries);
        marker->setPen(QPen(QColor(Lines.casing)));
    }
}

// Casings are drawn first, all of them, so that no casing crosses another series' line.
enum class Layer { Casings, Lines };

void AddSeries(QChart *chart, const ChartData &data, const ChartSeries &series, Layer layer)
{
    const bool cased = Contrast(series.colour, QColor(PlotBackground)) < LeastLineContrast;
    if (layer == Layer::Casings && !cased)
        return;
    const QPen pen = layer == Layer::Casings
        ? QPen(QColor(Lines.casing), Lines.casingWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)
        : QPen(series.colour, Lines.width, series.style, Qt::RoundCap, Qt::RoundJoin);
    const bool named = layer == Layer::Lines;
    const auto runs = PresentRuns(series.values);
    if (runs.empty() && named) {
        // Undefined throughout: still named in the legend, with nothing to draw.
        AddLine(chart, {}, pen, series.name, true);
        return;
    }
    bool first = true;
    for (const auto &[begin, end] : runs) {
        QList<QPointF> points;
        for (int i = begin; i < end; ++i)
            points.append({data.years[std::size_t(i)], *series.values[std::size_t(i)]});
        AddLine(chart, points, pen, series.name, named && first);
        first = false;
    }
}

QChart *Panel(const ChartData &data, int index)
{
    const ChartPanel &panel = data.panels[std::size_t(index)];
    auto *chart = new QChart;
    chart->setTitle(panel.title);
    chart->setTitleFont(Font(Text.panelTitle, true));
    chart->legend()->setFont(Font(Text.label));
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setPlotAreaBackgroundBrush(QColor(PlotBackground));
    chart->setPlotAreaBackgroundVisible(true);
    chart->legend()->setAlignment(Qt::AlignRight);

    const auto [first, last] = std::minmax_element(data.years.begin(), data.years.end());
    auto *x = new QValueAxis;
    x->setTitleText(QStringLiteral("Years"));
    // A single sample still needs a span to stand in.
    const double span = *last > *first ? *last - *first : 1.0;
    x->setRange(*first, *first + span);
    x->setLabelFormat(QStringLiteral("%g"));
    // Ticks at round numbers of years, without stretching the axis past the last sample.
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0.0);
    x->setTickInterval(RoundStep(span / TargetTicks));
    auto *y = new QValueAxis;
    y->setTitleText(panel.yTitle);
    y->setRange(panel.yMin, panel.yMax);
    y->setLabelFormat(QStringLiteral("%g"));
    y->applyNiceNumbers();
    for (QValueAxis *axis : {x, y}) {
        axis->setTitleFont(Font(Text.axisTitle, true));
        axis->setLabelsFont(Font(Text.label));
    }
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    for (const Layer layer : {Layer::Casings, Layer::Lines}) {
        for (const ChartSeries &series : data.series) {
            if (series.panel == index)
                AddSeries(chart, data, series, layer);
        }
    }
    return chart;
}

// The panels stacked under the title, in a scene of their own.
class ChartScene
{
public:
    explicit ChartScene(const ChartData &data)
    {
        const int top = data.title.isEmpty() ? 0 : Picture.titleHeight;
        size_ = QSize(Picture.width, top + int(data.panels.size()) * Picture.panelHeight);
        scene_.setSceneRect(QRectF(QPointF(0, 0), QSizeF(size_)));
        if (top > 0) {
            auto *title = scene_.addSimpleText(data.title, Font(Text.title, true));
            const QRectF bounds = title->boundingRect();
            title->setPos((size_.width() - bounds.width()) / 2, (top - bounds.height()) / 2);
        }
        std::vector<QChart *> charts;
        for (int i = 0; i < int(data.panels.size()); ++i) {
            charts.push_back(Panel(data, i));
            scene_.addItem(charts.back());
            charts.back()->setGeometry(0, top + i * Picture.panelHeight, size_.width(),
                                       Picture.panelHeight);
        }
        // The charts lay themselves out on a posted event; there is no event loop to wait for.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);

        // The same years above one another: with legends of one width the plots line up.
        qreal legendWidth = 0;
        for (const QChart *chart : charts)
            legendWidth = std::max(legendWidth, chart->legend()->size().width());
        for (QChart *chart : charts) {
            chart->legend()->setMinimumWidth(legendWidth);
            chart->layout()->invalidate();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }

    QSize size() const { return size_; }

    void render(QPainter *painter)
    {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setRenderHint(QPainter::TextAntialiasing);
        scene_.render(painter, QRectF(QPointF(0, 0), QSizeF(size_)), scene_.sceneRect());
    }

private:
    QGraphicsScene scene_;
    QSize size_;
};

} // namespace

std::vector<std::pair<int, int>> PresentRuns(const std::vector<std::optional<double>> &values)
{
    std::vector<std::pair<int, int>> runs;
    const int count = int(values.size());
    int i = 0;
    while (i < count) {
        const auto present = [&](int k) { return values[std::size_t(k)] && std::isfinite(*values[std::size_t(k)]); };
        if (!present(i)) {
            ++i;
            continue;
        }
        const int begin = i;
        while (i < count && present(i))
            ++i;
        runs.emplace_back(begin, i);
    }
    return runs;
}

WriteError WriteChartPng(const ChartData &chart, const QString &fileName)
{
    if (const auto problem = Problem(chart))
        return CannotWrite(fileName, *problem);
    ChartScene scene(chart);
    QImage image(scene.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene.render(&painter);
    painter.end();

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        return CannotWrite(fileName, writer.errorString());
    return SaveWhole(fileName, png);
}

WriteError WriteChartSvg(const ChartData &chart, const QString &fileName)
{
    if (const auto problem = Problem(chart))
        return CannotWrite(fileName, *problem);
    ChartScene scene(chart);

    // The generator ignores failed writes, so it writes to memory and the file is written here.
    QByteArray svgText;
    QBuffer buffer(&svgText);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(scene.size());
    svg.setViewBox(QRect(QPoint(0, 0), scene.size()));
    // Text was laid out at the resolution an image gets; the same here keeps it the same size.
    svg.setResolution(QImage(1, 1, QImage::Format_RGB32).logicalDpiY());
    svg.setTitle(chart.title);
    QPainter painter;
    if (!painter.begin(&svg))
        return CannotWrite(fileName, QStringLiteral("the SVG could not be started"));
    scene.render(&painter);
    painter.end();
    return SaveWhole(fileName, svgText);
}
