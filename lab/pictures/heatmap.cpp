// SPDX-License-Identifier: GPL-3.0-or-later
#include "heatmap.h"

#include "corestrings.h"
#include "measurestable.h"

#include "measurecolumns.h"
#include "runplan.h"
#include "sweeptable.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

struct PictureLayout
{
    int width;
    int height;
    int left;            // room for the y axis' title and labels
    int top;             // room for the title and the note under it
    int right;           // room for the colour scale
    int bottom;          // room for the x axis' labels and title
    int scaleWidth;      // the colour bar
    int scaleGap;        // between the cells and the colour bar
    int tick;            // length of a tick mark
};
constexpr PictureLayout Picture = {1100, 900, 130, 110, 190, 110, 28, 40, 6};

// Where the texts go: bands across the picture for the title and the notes, boxes beside the
// ticks for their labels, and the axes' titles at a distance from the cells.
struct TextPlaces
{
    int titleTop;
    int titleHeight;
    int noteTop;          // the first note under the title; the next follows
    int lineHeight;       // of a note or a label
    int labelGap;         // between a tick and its label
    int labelWidth;       // of a y label, or a label of the colour scale
    int axisTitleGap;     // from the cells to the band of the x axis' title
    int yTitleOffset;     // from the cells to the middle of the y axis' title
    int scaleTitleOffset; // from the colour bar to the middle of its title
    int footerFromBottom;
};
constexpr TextPlaces Place = {12, 34, 48, 22, 4, 72, 40, 90, 70, 30};

struct TextSizes
{
    int title;
    int note;
    int axisTitle;
    int label;
    int cell;
};
constexpr TextSizes Text = {17, 12, 13, 12, 12};

// Ticks on the colour scale, its ends included.
constexpr int ScaleTicks = 5;
// Cells narrower than this show their colour only, without the value written in them.
constexpr int SmallestLabelledCell = 56;

// Viridis (van der Walt and Smith, matplotlib), sampled at nine even steps: its lightness
// rises steadily, so the order of values reads in grey print and to colour-blind eyes.
constexpr std::array<QRgb, 9> Viridis = {qRgb(68, 1, 84),    qRgb(71, 44, 122),  qRgb(59, 81, 139),
                                         qRgb(44, 113, 142), qRgb(33, 144, 141), qRgb(39, 173, 129),
                                         qRgb(92, 200, 99),  qRgb(170, 220, 50), qRgb(253, 231, 37)};
constexpr QRgb Undefined = qRgb(160, 160, 160);   // the hatching of a cell without a value
constexpr QRgb Ink = qRgb(30, 30, 30);
// A value is written in white on the darker half of the scale.
constexpr double DarkUpTo = 0.55;

QColor ScaleColour(double t)
{
    t = std::clamp(t, 0.0, 1.0) * double(Viridis.size() - 1);
    const auto i = std::min(size_t(t), Viridis.size() - 2);
    const double f = t - double(i);
    const QColor a = QColor::fromRgb(Viridis[i]);
    const QColor b = QColor::fromRgb(Viridis[i + 1]);
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * f), float(a.greenF() + (b.greenF() - a.greenF()) * f),
                            float(a.blueF() + (b.blueF() - a.blueF()) * f));
}

QFont Font(int pointSize, bool bold = false)
{
    QFont font;
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

QString Eighths(qint16 e)
{
    return QStringLiteral("%1/8").arg(e);
}

// A share stays on the scale from 0 to 1, so that maps of shares compare at a glance; other
// measures span their values.
std::pair<double, double> ScaleRange(const HeatMap &map)
{
    double low = INFINITY;
    double high = -INFINITY;
    for (const auto &mean : map.means) {
        if (mean) {
            low = std::min(low, *mean);
            high = std::max(high, *mean);
        }
    }
    if (!(low <= high))
        return {0.0, 1.0};
    if (low >= 0.0 && high <= 1.0)
        return {0.0, 1.0};
    if (low == high)
        return {low - 0.5, high + 0.5};
    return {low, high};
}

} // namespace

std::pair<GroupIndex, GroupIndex> HeatMapAxes(const SweepDefinition &definition, GroupIndex x, GroupIndex y)
{
    std::vector<GroupIndex> order;
    for (const bool swept : {true, false}) {
        for (GroupIndex g = 1; g <= GroupCount; ++g) {
            if ((definition.prefSets[g].size() > 1) == swept)
                order.push_back(g);
        }
    }
    auto next = [&](GroupIndex taken) {
        for (const GroupIndex g : order) {
            if (g != taken && g != x && g != y)
                return g;
        }
        return NoGroup;
    };
    if (x == NoGroup)
        x = next(y);
    if (y == NoGroup)
        y = next(x);
    return {x, y};
}

std::variant<HeatMap, QString> ReadHeatMap(const QString &runsFile, const SweepDefinition &definition,
                                           const QString &measure, GroupIndex x, GroupIndex y)
{
    HeatMap map;
    map.measure = measure;
    for (const MeasureColumn &column : MeasureColumns()) {
        if (ToQString(column.name) == measure)
            map.description = ToQString(column.description);
    }
    map.x = x;
    map.y = y;
    map.xValues = definition.prefSets[x];
    map.yValues = definition.prefSets[y];
    map.runsPerCell = definition.runCount() / (map.xValues.size() * map.yValues.size());
    map.years = YearsOfGeneration(definition.generations);
    map.seeds = definition.seeds;
    map.baseSeed = definition.baseSeed;

    QFile file(runsFile);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(runsFile, file.errorString());
    const QStringList header = ToQStringList(SweepTable::RunsHeader());
    if (file.readLine() != ToBytes(SweepTable::RunsHeaderLine()))
        return QStringLiteral("%1 is not a runs table of this version").arg(runsFile);
    const qsizetype valueColumn = header.indexOf(measure);
    const qsizetype xColumn = header.indexOf(ToQString(MeasuresTable::PreferenceColumn(x)));
    const qsizetype yColumn = header.indexOf(ToQString(MeasuresTable::PreferenceColumn(y)));
    if (valueColumn < 0 || xColumn < 0 || yColumn < 0)
        return QStringLiteral("%1 has no column %2").arg(runsFile, measure);

    const size_t cells = map.xValues.size() * map.yValues.size();
    std::vector<double> sums(cells, 0.0);
    map.counts.assign(cells, 0);
    // Summed in run id order, so that the same table gives the same means to the last bit.
    for (qint64 line = 2; !file.atEnd(); ++line) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        if (fields.size() != header.size())
            return QStringLiteral("%1, line %2: not a row of a runs table").arg(runsFile).arg(line);
        const auto xi = std::find(map.xValues.begin(), map.xValues.end(), fields[xColumn].toShort());
        const auto yi = std::find(map.yValues.begin(), map.yValues.end(), fields[yColumn].toShort());
        if (xi == map.xValues.end() || yi == map.yValues.end())
            return QStringLiteral("%1, line %2: preferences that this sweep does not have").arg(runsFile).arg(line);
        const size_t cell = size_t(yi - map.yValues.begin()) * map.xValues.size() + size_t(xi - map.xValues.begin());
        bool ok = false;
        const double value = fields[valueColumn].toDouble(&ok);
        if (ok) {   // an empty field is a measure the run's map leaves undefined
            sums[cell] += value;
            ++map.counts[cell];
        }
    }
    for (size_t cell = 0; cell < cells; ++cell)
        map.means.push_back(map.counts[cell] > 0 ? std::optional(sums[cell] / double(map.counts[cell])) : std::nullopt);
    return map;
}

QString HeatMapFileName(const HeatMap &map)
{
    return QStringLiteral("heatmap-%1-%2-%3.png").arg(map.measure, ToQString(GroupKey(map.x)), ToQString(GroupKey(map.y)));
}

WriteError WriteHeatMapPng(const HeatMap &map, const QString &fileName)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return CannotWrite(fileName, QStringLiteral("drawing a heat map needs a QGuiApplication, and there is none"));
    const size_t columns = map.xValues.size();
    const size_t rows = map.yValues.size();
    if (columns == 0 || rows == 0 || map.means.size() != columns * rows)
        return CannotWrite(fileName, QStringLiteral("the heat map has no cells"));

    QImage image(Picture.width, Picture.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor(Ink));

    // The title, and what each cell averages.
    painter.setFont(Font(Text.title, true));
    painter.drawText(QRect(0, Place.titleTop, Picture.width, Place.titleHeight), Qt::AlignCenter,
                     QStringLiteral("%1 after %2 years").arg(map.measure).arg(map.years, 0, 'f', 1));
    painter.setFont(Font(Text.note));
    QString averaged = QStringLiteral("Each cell: the mean of %1 runs (%2 seeds").arg(map.runsPerCell).arg(map.seeds);
    if (map.runsPerCell > map.seeds)
        averaged += QStringLiteral(" x %1 values of the other preferences").arg(map.runsPerCell / map.seeds);
    averaged += QStringLiteral(", base seed %1)").arg(map.baseSeed);
    painter.drawText(QRect(0, Place.noteTop, Picture.width, Place.lineHeight), Qt::AlignCenter, map.description);
    painter.drawText(QRect(0, Place.noteTop + Place.lineHeight, Picture.width, Place.lineHeight), Qt::AlignCenter,
                     averaged);

    const int plotWidth = Picture.width - Picture.left - Picture.right;
    const int plotHeight = Picture.height - Picture.top - Picture.bottom;
    const int cell = std::max(1, std::min(plotWidth / int(columns), plotHeight / int(rows)));
    const QRect grid(Picture.left, Picture.top + (plotHeight - cell * int(rows)) / 2, cell * int(columns), cell * int(rows));
    const auto [low, high] = ScaleRange(map);
    auto position = [low = low, high = high](double value) { return (value - low) / (high - low); };

    painter.setFont(Font(Text.cell));
    for (size_t yi = 0; yi < rows; ++yi) {
        for (size_t xi = 0; xi < columns; ++xi) {
            // The lowest y value at the bottom, as on any chart.
            const QRect box(grid.left() + int(xi) * cell, grid.bottom() + 1 - int(yi + 1) * cell, cell, cell);
            const auto mean = map.mean(xi, yi);
            if (!mean) {
                painter.fillRect(box, QBrush(QColor(Undefined), Qt::BDiagPattern));
                if (cell >= SmallestLabelledCell) {
                    painter.setPen(QColor(Ink));
                    painter.drawText(box, Qt::AlignCenter, QStringLiteral("undefined"));
                }
                continue;
            }
            painter.fillRect(box, ScaleColour(position(*mean)));
            if (cell >= SmallestLabelledCell) {
                painter.setPen(position(*mean) <= DarkUpTo ? QColor(Qt::white) : QColor(Ink));
                painter.drawText(box, Qt::AlignCenter, QString::number(*mean, 'f', 3));
            }
        }
    }
    // Thin white lines between the cells, so that neighbours of one colour still read as two.
    painter.setPen(QPen(Qt::white, 1));
    for (size_t xi = 1; xi < columns; ++xi)
        painter.drawLine(grid.left() + int(xi) * cell, grid.top(), grid.left() + int(xi) * cell, grid.bottom());
    for (size_t yi = 1; yi < rows; ++yi)
        painter.drawLine(grid.left(), grid.top() + int(yi) * cell, grid.right(), grid.top() + int(yi) * cell);
    painter.setPen(QColor(Ink));
    painter.drawRect(grid.adjusted(0, 0, -1, -1));

    // Axes: a label under each column and beside each row, and the axes' titles.
    painter.setFont(Font(Text.label));
    for (size_t xi = 0; xi < columns; ++xi) {
        const int centre = grid.left() + int(xi) * cell + cell / 2;
        painter.drawLine(centre, grid.bottom() + 1, centre, grid.bottom() + 1 + Picture.tick);
        painter.drawText(QRect(centre - cell / 2, grid.bottom() + Picture.tick + Place.labelGap, cell, Place.lineHeight),
                         Qt::AlignHCenter | Qt::AlignTop, Eighths(map.xValues[xi]));
    }
    for (size_t yi = 0; yi < rows; ++yi) {
        const int centre = grid.bottom() + 1 - int(yi) * cell - cell / 2;
        painter.drawLine(grid.left() - Picture.tick, centre, grid.left(), centre);
        painter.drawText(QRect(grid.left() - Picture.tick - Place.labelGap - Place.labelWidth, centre - Place.lineHeight / 2,
                               Place.labelWidth, Place.lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, Eighths(map.yValues[yi]));
    }
    painter.setFont(Font(Text.axisTitle, true));
    const int titleHeight = Place.titleHeight;
    painter.drawText(QRect(grid.left(), grid.bottom() + Place.axisTitleGap, grid.width(), titleHeight), Qt::AlignCenter,
                     QStringLiteral("%1 preference (eighths of the neighbours)").arg(ToQString(GroupName(map.x))));
    // A title turned to run along a vertical line through `centre`, reading upwards or down.
    auto turned = [&](QPoint centre, int length, qreal degrees, const QString &text) {
        painter.save();
        painter.translate(centre);
        painter.rotate(degrees);
        painter.drawText(QRect(-length / 2, -titleHeight / 2, length, titleHeight), Qt::AlignCenter, text);
        painter.restore();
    };
    constexpr qreal Upwards = -90;
    constexpr qreal Downwards = 90;
    turned({grid.left() - Place.yTitleOffset, grid.center().y()}, grid.height(), Upwards,
           QStringLiteral("%1 preference (eighths of the neighbours)").arg(ToQString(GroupName(map.y))));

    // The colour scale: the bar from low (bottom) to high, its ticks and its title.
    const QRect bar(grid.right() + Picture.scaleGap, grid.top(), Picture.scaleWidth, grid.height());
    for (int row = 0; row < bar.height(); ++row)
        painter.fillRect(QRect(bar.left(), bar.bottom() - row, bar.width(), 1), ScaleColour(double(row) / (bar.height() - 1)));
    painter.setPen(QColor(Ink));
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    painter.setFont(Font(Text.label));
    for (int t = 0; t < ScaleTicks; ++t) {
        const double f = double(t) / (ScaleTicks - 1);
        const int at = bar.bottom() - int(std::lround(f * (bar.height() - 1)));
        painter.drawLine(bar.right() + 1, at, bar.right() + 1 + Picture.tick, at);
        painter.drawText(QRect(bar.right() + Picture.tick + Place.labelGap, at - Place.lineHeight / 2, Place.labelWidth,
                               Place.lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::number(low + f * (high - low), 'g', 3));
    }
    painter.setFont(Font(Text.axisTitle, true));
    turned({bar.right() + Picture.tick + Place.scaleTitleOffset, bar.center().y()}, bar.height(), Downwards,
           QStringLiteral("mean %1").arg(map.measure));
    if (std::any_of(map.means.begin(), map.means.end(), [](const auto &mean) { return !mean; })) {
        painter.setFont(Font(Text.note));
        painter.drawText(QRect(0, Picture.height - Place.footerFromBottom, Picture.width, Place.lineHeight), Qt::AlignCenter,
                         QStringLiteral("Hatched: the measure is undefined in every run of the cell"));
    }
    painter.end();

    QBuffer png;
    png.open(QIODevice::WriteOnly);
    if (!image.save(&png, "PNG"))
        return CannotWrite(fileName, QStringLiteral("the picture could not be encoded as PNG"));
    return SaveWhole(fileName, png.data());
}
