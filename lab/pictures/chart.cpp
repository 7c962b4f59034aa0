// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart.h"

#include "roundstep.h"
#include "savepng.h"

#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QLegend>
#include <QLineSeries>
#include <QPainter>
#include <QSvgGenerator>
#include <QThread>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// About this many intervals along the x axis, each a round step.
constexpr double TargetTicks = 5;

struct PictureLayout
{
    int width;
    int bandMargin;       // above and under the band of the title and subtitle
    int titleLine;
    int subtitleLine;
    int panelHeight;
};
constexpr PictureLayout Picture = {1200, 8, 34, 24, 560};

// Point sizes, larger than Qt Charts' own so that a picture shrunk into a page stays legible.
struct TextSizes
{
    int title;
    int subtitle;
    int panelTitle;
    int axisTitle;
    int label;            // tick labels, legend entries and the marks' labels
};
constexpr TextSizes Text = {16, 12, 13, 11, 10};

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

// Lines that coincide (Red runs under Green; Theil's H under spatial H at radius 2) both
// show when they are dashed differently: each series of a panel takes the next pattern, in
// pixels, dash and gap in turn; the first is solid.
struct DashPattern
{
    std::array<qreal, 6> lengths;
    int count;
};
constexpr std::array<DashPattern, 6> Dashes = {{
    {{}, 0},                               // solid
    {{14, 5}, 2},                          // long dashes
    {{6, 4}, 2},                           // short dashes
    {{2, 4}, 2},                           // dots
    {{14, 4, 2, 4}, 4},                    // dash and dot
    {{14, 4, 2, 4, 2, 4}, 6},              // dash and two dots
}};

// The legend right of each plot, drawn here rather than by Qt Charts, whose samples are too
// short to show a dash pattern: each entry a stretch of its line, casing and all, and a name.
struct LegendLook
{
    int fromPlot;         // between the plot and the samples
    int sample;           // the length of a sample of the line
    int gap;              // between a sample and its name
    int after;            // right of the longest name
    int rowHeight;
};
constexpr LegendLook Legend = {18, 46, 8, 12, 24};

// A mark: a thin grey line across the plot, its label on a pale box at the top of the
// first panel, in rows when labels would overlap.
struct MarkLook
{
    QRgb colour;
    qreal width;
    int labelGap;         // from the line and the plot's top to the label's box
    int labelPadding;
    int boxAlpha;         // the box lets the lines under it show through a little
    qreal above;          // over every series
};
constexpr MarkLook Marks = {qRgb(90, 90, 90), 1.5, 6, 3, 225, 100};
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

QPen LinePen(const QColor &colour, qreal width, int pattern)
{
    QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const DashPattern &dashes = Dashes[std::size_t(pattern) % Dashes.size()];
    if (dashes.count > 0) {
        QList<qreal> lengths;
        // Qt counts dashes in pen widths; in pixels a casing's dashes lie under its line's.
        for (int i = 0; i < dashes.count; ++i)
            lengths << dashes.lengths[std::size_t(i)] / width;
        pen.setDashPattern(lengths);
        // Round ends would lengthen each dash and close its gaps.
        pen.setCapStyle(Qt::FlatCap);
    }
    return pen;
}

// The x axis' range: the years, or a span of one for a single sample.
std::pair<double, double> XRange(const ChartData &data)
{
    const auto [first, last] = std::minmax_element(data.years.begin(), data.years.end());
    return {*first, *last > *first ? *last : *first + 1.0};
}

std::vector<ChartMark> MarksShown(const ChartData &data)
{
    const auto [first, last] = std::minmax_element(data.years.begin(), data.years.end());
    std::vector<ChartMark> shown;
    std::copy_if(data.marks.begin(), data.marks.end(), std::back_inserter(shown),
                 [&](const ChartMark &mark) { return mark.x >= *first && mark.x <= *last; });
    return shown;
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
    for (const ChartMark &mark : chart.marks) {
        if (!std::isfinite(mark.x))
            return QStringLiteral("the mark \"%1\" has a year that is not a number").arg(mark.label);
    }
    return std::nullopt;
}

void AddLine(QChart *chart, const QList<QPointF> &points, const QPen &pen, const QString &name)
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
}

bool Cased(const ChartSeries &series)
{
    return Contrast(series.colour, QColor(PlotBackground)) < LeastLineContrast;
}

// Casings are drawn first, all of them, so that no casing crosses another series' line.
enum class Layer { Casings, Lines };

QPen SeriesPen(const ChartSeries &series, int pattern, Layer layer)
{
    return layer == Layer::Casings ? LinePen(QColor(Lines.casing), Lines.casingWidth, pattern)
                                   : LinePen(series.colour, Lines.width, pattern);
}

void AddSeries(QChart *chart, const ChartData &data, const ChartSeries &series, int pattern, Layer layer)
{
    if (layer == Layer::Casings && !Cased(series))
        return;
    for (const auto &[begin, end] : PresentRuns(series.values)) {
        QList<QPointF> points;
        for (int i = begin; i < end; ++i)
            points.append({data.years[std::size_t(i)], *series.values[std::size_t(i)]});
        AddLine(chart, points, SeriesPen(series, pattern, layer), series.name);
    }
}

// The width of the legend, the same beside every panel so that their plots line up.
qreal LegendWidth(const ChartData &data)
{
    const QFontMetricsF metrics(Font(Text.label));
    qreal names = 0;
    for (const ChartSeries &series : data.series)
        names = std::max(names, metrics.horizontalAdvance(series.name));
    return Legend.fromPlot + Legend.sample + Legend.gap + names + Legend.after;
}

// Every series of the panel, undefined ones too, centred on the plot's height.
void DrawLegend(QChart *chart, const ChartData &data, int index)
{
    const QRectF plot = chart->plotArea();
    std::vector<const ChartSeries *> entries;
    for (const ChartSeries &series : data.series) {
        if (series.panel == index)
            entries.push_back(&series);
    }
    const qreal top = plot.center().y() - qreal(entries.size()) * Legend.rowHeight / 2;
    const qreal left = plot.right() + Legend.fromPlot;
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const ChartSeries &series = *entries[row];
        const qreal middle = top + (qreal(row) + 0.5) * Legend.rowHeight;
        for (const Layer layer : {Layer::Casings, Layer::Lines}) {
            if (layer == Layer::Casings && !Cased(series))
                continue;
            auto *sample = new QGraphicsLineItem(left, middle, left + Legend.sample, middle, chart);
            sample->setPen(SeriesPen(series, int(row), layer));
        }
        auto *name = new QGraphicsSimpleTextItem(series.name, chart);
        name->setFont(Font(Text.label));
        name->setPos(left + Legend.sample + Legend.gap, middle - name->boundingRect().height() / 2);
    }
}

QChart *Panel(const ChartData &data, int index)
{
    const ChartPanel &panel = data.panels[std::size_t(index)];
    auto *chart = new QChart;
    chart->setTitle(panel.title);
    chart->setTitleFont(Font(Text.panelTitle, true));
    chart->legend()->hide();
    chart->setMargins(chart->margins() + QMargins(0, 0, int(std::ceil(LegendWidth(data))), 0));
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setPlotAreaBackgroundBrush(QColor(PlotBackground));
    chart->setPlotAreaBackgroundVisible(true);

    const auto [first, last] = XRange(data);
    auto *x = new QValueAxis;
    x->setTitleText(QStringLiteral("Years"));
    const double span = last - first;
    x->setRange(first, last);
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

    // Under the measures' lines, from the bottom to the top of the axis.
    for (const ChartMark &mark : MarksShown(data)) {
        AddLine(chart, {{mark.x, y->min()}, {mark.x, y->max()}},
                QPen(QColor(Marks.colour), Marks.width, Qt::SolidLine, Qt::FlatCap), mark.label);
    }
    for (const Layer layer : {Layer::Casings, Layer::Lines}) {
        int pattern = 0;
        for (const ChartSeries &series : data.series) {
            if (series.panel == index)
                AddSeries(chart, data, series, pattern++, layer);
        }
    }
    return chart;
}

// The marks' labels at the top of a panel's plot, beside their lines (on the left when the
// right has no room), each in the first row where it overlaps none placed before.
void LabelMarks(QChart *chart, const ChartData &data)
{
    const QRectF plot = chart->plotArea();
    const auto [first, last] = XRange(data);
    std::vector<QRectF> placed;
    for (const ChartMark &mark : MarksShown(data)) {
        auto *box = new QGraphicsRectItem(chart);
        box->setZValue(Marks.above);
        box->setPen(Qt::NoPen);
        QColor paper(PlotBackground);
        paper.setAlpha(Marks.boxAlpha);
        box->setBrush(paper);
        auto *text = new QGraphicsSimpleTextItem(mark.label, box);
        text->setFont(Font(Text.label));
        text->setBrush(QColor(Marks.colour));
        const QSizeF size = text->boundingRect().size() + QSizeF(2 * Marks.labelPadding, 2 * Marks.labelPadding);
        const double at = plot.left() + (mark.x - first) / (last - first) * plot.width();
        const double left = at + Marks.labelGap + size.width() <= plot.right()
            ? at + Marks.labelGap
            : std::max(plot.left(), at - Marks.labelGap - size.width());
        QRectF place(QPointF(left, plot.top() + Marks.labelGap), size);
        while (std::any_of(placed.begin(), placed.end(), [&](const QRectF &other) { return other.intersects(place); }))
            place.translate(0, size.height() + Marks.labelGap);
        // Labels past the plot's foot would cover the next panel: their lines stay unlabelled.
        if (place.bottom() > plot.bottom()) {
            delete box;
            continue;
        }
        placed.push_back(place);
        box->setRect(QRectF(QPointF(0, 0), size));
        box->setPos(place.topLeft());
        text->setPos(Marks.labelPadding, Marks.labelPadding);
    }
}

// The panels stacked under the title, in a scene of their own.
class ChartScene
{
public:
    explicit ChartScene(const ChartData &data)
    {
        const bool titled = !data.title.isEmpty() || !data.subtitle.isEmpty();
        const int subtitleTop = Picture.bandMargin + Picture.titleLine;
        const int top = !titled ? 0
            : subtitleTop + (data.subtitle.isEmpty() ? 0 : Picture.subtitleLine) + Picture.bandMargin;
        size_ = QSize(Picture.width, top + int(data.panels.size()) * Picture.panelHeight);
        scene_.setSceneRect(QRectF(QPointF(0, 0), QSizeF(size_)));
        // Each line of the band centred on its own.
        auto centred = [&](const QString &words, const QFont &font, int lineTop, int lineHeight) {
            auto *line = scene_.addSimpleText(words, font);
            const QRectF bounds = line->boundingRect();
            line->setPos((size_.width() - bounds.width()) / 2, lineTop + (lineHeight - bounds.height()) / 2);
        };
        if (!data.title.isEmpty())
            centred(data.title, Font(Text.title, true), Picture.bandMargin, Picture.titleLine);
        if (!data.subtitle.isEmpty())
            centred(data.subtitle, Font(Text.subtitle), subtitleTop, Picture.subtitleLine);
        std::vector<QChart *> charts;
        for (int i = 0; i < int(data.panels.size()); ++i) {
            charts.push_back(Panel(data, i));
            scene_.addItem(charts.back());
            charts.back()->setGeometry(0, top + i * Picture.panelHeight, size_.width(),
                                       Picture.panelHeight);
        }
        // The charts lay themselves out on a posted event; there is no event loop to wait for.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        for (int i = 0; i < int(charts.size()); ++i)
            DrawLegend(charts[std::size_t(i)], data, i);
        LabelMarks(charts.front(), data);
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

int DashPatternCount()
{
    return int(Dashes.size());
}

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
    return SavePng(image, fileName);
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
    svg.setDescription(chart.subtitle);
    QPainter painter;
    if (!painter.begin(&svg))
        return CannotWrite(fileName, QStringLiteral("the SVG could not be started"));
    scene.render(&painter);
    painter.end();
    return SaveWhole(fileName, svgText);
}
