// SPDX-License-Identifier: GPL-3.0-or-later
#include "heatmap.h"

#include "caption.h"
#include "roundstep.h"
#include "savepng.h"
#include "corestrings.h"
#include "measurestable.h"

#include "measurecolumns.h"
#include "runplan.h"
#include "sweeptable.h"

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace {

// Lengths in pixels. The picture is as large as what it holds: the grid's cells grow to fill
// about targetGrid pixels, within a range, and every margin follows from the texts in it.
struct PictureLayout
{
    int margin;          // around everything
    int targetGrid;      // the grid's longer side, before its cells are held to their range
    int smallestCell;    // large enough to hold its value
    int largestCell;
    int narrowest;       // the least width, for the title and notes to wrap in
    int scaleGap;        // between the cells and the colour bar
    int scaleWidth;      // of the colour bar
    int tick;            // length of a tick mark
    int labelGap;        // between a tick and its label
    int sectionGap;      // between the notes and the grid, the labels and an axis' title
};
constexpr PictureLayout Picture = {16, 630, 60, 110, 640, 28, 24, 6, 4, 14};

struct TextSizes
{
    int title;
    int note;
    int axisTitle;
    int label;
    int cell;
};
constexpr TextSizes Text = {17, 12, 13, 12, 12};

// The colour scale's ticks: its ends, and between them round values about a quarter of the
// span apart, none nearer an end than half a step. On a short bar, the ends alone, if the
// ticks would come nearer than two label lines.
constexpr double StepsInSpan = 4;
constexpr double NearestToAnEnd = 0.5;
constexpr int LinesBetweenTicks = 2;
// Significant digits of the values written, whatever their size; from a million on, in
// exponent form.
constexpr int SignificantDigits = 4;
constexpr int FractionDigitsBelowOne = 3;
constexpr double LargestInFixed = 1e6;
// Round values between the ends: a span of StepsInSpan rough steps holds no more than these.
constexpr int MostBetweenTicks = int(StepsInSpan) + 1;

// Viridis (van der Walt and Smith, matplotlib), sampled at nine even steps: its lightness
// rises steadily, so the order of values reads in grey print and to colour-blind eyes.
constexpr std::array<QRgb, 9> Viridis = {qRgb(68, 1, 84),    qRgb(71, 44, 122),  qRgb(59, 81, 139),
                                         qRgb(44, 113, 142), qRgb(33, 144, 141), qRgb(39, 173, 129),
                                         qRgb(92, 200, 99),  qRgb(170, 220, 50), qRgb(253, 231, 37)};
constexpr QRgb Undefined = qRgb(160, 160, 160);   // the hatching of a cell without a value
constexpr QRgb Ink = qRgb(30, 30, 30);
// A value is written in white on the darker half of the scale.
constexpr double DarkUpTo = 0.55;
// Where a scale of one value puts it.
constexpr double MiddleOfScale = 0.5;

// The measures in words, for titles: a stem, then "_all" or a group's key for per-group
// measures, or the radius for spatial H. A measure not here is described by its column.
struct MeasureWords
{
    const char *stem;
    const char *words;
    enum Kind { Whole, PerGroup, PerRadius } kind;
};
constexpr std::array<MeasureWords, 8> MeasureNames = {{
    {"same_share", "Same-group share of neighbours", MeasureWords::PerGroup},
    {"dissatisfied", "Share of residents dissatisfied", MeasureWords::PerGroup},
    {"clusters", "Number of clusters", MeasureWords::PerGroup},
    {"largest_cluster_share", "Share living in the largest cluster", MeasureWords::PerGroup},
    {"dissimilarity", "Dissimilarity index D", MeasureWords::Whole},
    {"theil_h", "Theil's information theory index H", MeasureWords::Whole},
    {"spatial_h_r", "Spatial information theory index H, radius", MeasureWords::PerRadius},
    {"interface_density", "Interface density (share of unlike neighbour pairs)", MeasureWords::Whole},
}};

// An axis' title, from the longest to the shortest form: the first that fits is drawn.
constexpr std::array<const char *, 4> AxisTitles = {"%1 preference (eighths of the neighbours)",
                                                    "%1 preference (eighths)", "%1 (eighths)", "%1"};

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

// Text is measured as it is drawn, on an image: the screen's resolution may differ.
QFontMetrics Metrics(const QFont &font)
{
    static const QImage probe(1, 1, QImage::Format_RGB32);
    return QFontMetrics(font, &probe);
}

std::optional<std::pair<double, double>> ValueRange(const HeatMap &map)
{
    std::optional<std::pair<double, double>> range;
    for (const auto &mean : map.means) {
        if (mean && std::isfinite(*mean))
            range = range ? std::pair(std::min(range->first, *mean), std::max(range->second, *mean))
                          : std::pair(*mean, *mean);
    }
    return range;
}

// Where the scale puts a value, from 0 at the lowest to 1 at the highest.
double ScalePosition(const HeatMapScale &scale, double value)
{
    // In halves, so that a span wider than the largest double still divides.
    return scale.high > scale.low ? (value / 2 - scale.low / 2) / (scale.high / 2 - scale.low / 2) : MiddleOfScale;
}

// How every value of a map is written, so that they line up: one number of digits after the
// point for all.
struct NumberForm
{
    char format;
    int precision;
};

NumberForm FormOf(const HeatMap &map)
{
    const auto range = ValueRange(map);
    const double largest = range ? std::max(std::abs(range->first), std::abs(range->second)) : 0.0;
    if (!(largest >= 1.0))
        return {'f', FractionDigitsBelowOne};
    if (largest >= LargestInFixed)
        return {'g', SignificantDigits};
    return {'f', std::max(0, SignificantDigits - 1 - int(std::floor(std::log10(largest))))};
}

QString ValueText(double value, NumberForm form)
{
    return QString::number(value, form.format, form.precision);
}


// The text of the colour scale's tick: its ends say that they are the values' ends.
QString TickText(const HeatMapScale &scale, size_t tick)
{
    const QString &value = scale.ticks[tick].second;
    if (scale.ticks.size() == 1)
        return QStringLiteral("%1 every cell").arg(value);
    if (tick == 0)
        return QStringLiteral("%1 lowest").arg(value);
    if (tick + 1 == scale.ticks.size())
        return QStringLiteral("%1 highest").arg(value);
    return value;
}

int TextHeight(const QFont &font, int width, const QString &text)
{
    return Metrics(font).boundingRect(QRect(0, 0, width, INT_MAX / 2), Qt::TextWordWrap | Qt::AlignHCenter, text)
        .height();
}

// The longest form of an axis' title that fits the length.
QString AxisTitle(GroupIndex group, const QFont &font, int length)
{
    const QFontMetrics metrics = Metrics(font);
    const QString name = ToQString(GroupName(group));
    for (const char *form : AxisTitles) {
        const QString title = QString::fromLatin1(form).arg(name);
        if (metrics.horizontalAdvance(title) <= length)
            return title;
    }
    return metrics.elidedText(QString::fromLatin1(AxisTitles.back()).arg(name), Qt::ElideRight, length);
}

QString AveragedNote(const HeatMap &map)
{
    const auto counted = [](quint64 n, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QString averaged = QStringLiteral("Each cell: the mean, after %1 years, of %2 (%3")
                           .arg(map.years, 0, 'f', 1)
                           .arg(counted(map.runsPerCell, "run", "runs"), counted(map.seeds, "seed", "seeds"));
    if (map.seeds > 0 && map.runsPerCell > map.seeds)
        averaged += QStringLiteral(" x %1 values of the other preferences").arg(map.runsPerCell / map.seeds);
    return averaged + QStringLiteral(", base seed %1)").arg(map.baseSeed);
}

QString DescriptionNote(const HeatMap &map)
{
    return map.description.isEmpty() ? map.measure : QStringLiteral("%1: %2").arg(map.measure, map.description);
}

bool AnyUndefined(const HeatMap &map)
{
    return std::any_of(map.means.begin(), map.means.end(), [](const auto &mean) { return !mean || !std::isfinite(*mean); });
}

QString UndefinedNote()
{
    return QStringLiteral("Hatched: the measure is undefined in every run of the cell");
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

std::optional<HeatMapScale> ColourScaleOf(const HeatMap &map)
{
    const auto range = ValueRange(map);
    if (!range)
        return std::nullopt;
    HeatMapScale scale{range->first, range->second, {}};
    const NumberForm form = FormOf(map);
    scale.ticks.emplace_back(scale.low, ValueText(scale.low, form));
    if (scale.low == scale.high)
        return scale;
    const double span = scale.high - scale.low;
    const double step = std::isfinite(span) ? RoundStep(span / StepsInSpan) : 0.0;
    // Round values only where the map's digits tell them apart, and only so many, whatever
    // the values (a step lost against a huge value would not move).
    const bool shown = step > 0 && std::isfinite(step)
        && (form.format != 'f' || -std::floor(std::log10(step)) <= form.precision);
    const double first = shown ? std::ceil(scale.low / step) : 0.0;
    for (int i = 0; shown && i < MostBetweenTicks; ++i) {
        const double value = (first + i) * step;
        if (!(value <= scale.high - NearestToAnEnd * step))
            break;
        if (value >= scale.low + NearestToAnEnd * step && value > scale.ticks.back().first && value < scale.high)
            scale.ticks.emplace_back(value, ValueText(value, form));
    }
    scale.ticks.emplace_back(scale.high, ValueText(scale.high, form));
    return scale;
}

QString MeasureInWords(const QString &measure, const QString &description)
{
    for (const MeasureWords &entry : MeasureNames) {
        const QString stem = QString::fromLatin1(entry.stem);
        const QString words = QString::fromLatin1(entry.words);
        switch (entry.kind) {
        case MeasureWords::Whole:
            if (measure == stem)
                return words;
            break;
        case MeasureWords::PerGroup:
            if (measure == stem + QStringLiteral("_all"))
                return QStringLiteral("%1 (all residents)").arg(words);
            for (GroupIndex g = 1; g <= GroupCount; ++g) {
                if (measure == stem + u'_' + ToQString(GroupKey(g)))
                    return QStringLiteral("%1 (%2)").arg(words, ToQString(GroupName(g)));
            }
            break;
        case MeasureWords::PerRadius: {
            bool ok = false;
            const int radius = measure.startsWith(stem) ? measure.mid(stem.size()).toInt(&ok) : 0;
            if (ok && radius > 0)
                return QStringLiteral("%1 %2").arg(words).arg(radius);
            break;
        }
        }
    }
    return description.isEmpty() ? measure : description;
}

QString HeatMapTitle(const HeatMap &map)
{
    return MeasureInWords(map.measure, map.description);
}

HeatMapLayout HeatMapPlaces(const HeatMap &map)
{
    const int columns = std::max(1, int(map.xValues.size()));
    const int rows = std::max(1, int(map.yValues.size()));
    const auto scale = ColourScaleOf(map);
    const QFontMetrics label = Metrics(Font(Text.label));
    const QFontMetrics axisTitle = Metrics(Font(Text.axisTitle, true));

    HeatMapLayout place;
    place.cell = std::clamp(Picture.targetGrid / std::max(columns, rows), Picture.smallestCell, Picture.largestCell);
    const QSize grid(place.cell * columns, place.cell * rows);
    int yLabels = 0;
    for (const qint16 e : map.yValues)
        yLabels = std::max(yLabels, label.horizontalAdvance(EighthsText(e)));
    int scaleLabels = 0;
    if (scale) {
        for (size_t t = 0; t < scale->ticks.size(); ++t)
            scaleLabels = std::max(scaleLabels, label.horizontalAdvance(TickText(*scale, t)));
    }
    const int left = Picture.margin + axisTitle.height() + Picture.sectionGap + yLabels + Picture.labelGap + Picture.tick;
    const int right = scale ? Picture.scaleGap + Picture.scaleWidth + Picture.tick + Picture.labelGap + scaleLabels
                            : 0;
    const int block = left + grid.width() + right + Picture.margin;
    // As wide as the grid and its scale need; the title and notes wrap to that.
    const int width = std::max(block, Picture.narrowest);
    const int textWidth = width - 2 * Picture.margin;

    place.title = QRect(Picture.margin, Picture.margin, textWidth,
                        TextHeight(Font(Text.title, true), textWidth, HeatMapTitle(map)));
    const int notes = TextHeight(Font(Text.note), textWidth, DescriptionNote(map))
        + TextHeight(Font(Text.note), textWidth, AveragedNote(map));
    place.notes = QRect(Picture.margin, place.title.bottom() + 1, textWidth, notes);
    // The top scale label is centred on the grid's top edge.
    const int gridTop = place.notes.bottom() + 1 + std::max(Picture.sectionGap, label.height() / 2);
    const int blockLeft = (width - block) / 2;
    place.grid = QRect(QPoint(blockLeft + left, gridTop), grid);
    place.yTitle = QRect(blockLeft + Picture.margin, gridTop, axisTitle.height(), grid.height());
    if (scale)
        place.bar = QRect(place.grid.right() + 1 + Picture.scaleGap, place.grid.top(), Picture.scaleWidth, grid.height());
    place.xTitle = QRect(Picture.margin,
                         place.grid.bottom() + 1 + Picture.tick + Picture.labelGap + label.height() + Picture.sectionGap,
                         textWidth, axisTitle.height());
    int bottom = place.xTitle.bottom() + 1;
    if (AnyUndefined(map)) {
        const int footer = TextHeight(Font(Text.note), textWidth, UndefinedNote());
        place.footer = QRect(Picture.margin, bottom + Picture.sectionGap, textWidth, footer);
        bottom = place.footer.bottom() + 1;
    }
    place.size = QSize(width, bottom + Picture.margin);
    return place;
}

namespace {

constexpr int Wrapped = Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop;

// The title, then what the measure is and what each cell averages.
void DrawTitleAndNotes(QPainter &painter, const HeatMap &map, const HeatMapLayout &place)
{
    painter.setFont(Font(Text.title, true));
    painter.drawText(place.title, Wrapped, HeatMapTitle(map));
    painter.setFont(Font(Text.note));
    QRect note = place.notes;
    for (const QString &line : {DescriptionNote(map), AveragedNote(map)}) {
        QRect drawn;
        painter.drawText(note, Wrapped, line, &drawn);
        note.setTop(drawn.bottom() + 1);
    }
}

// Each cell in its colour with its mean, where the mean fits; hatched when it has none.
void DrawCells(QPainter &painter, const HeatMap &map, const HeatMapLayout &place,
               const std::optional<HeatMapScale> &scale)
{
    const QRect grid = place.grid;
    const int cell = place.cell;
    const NumberForm form = FormOf(map);
    painter.setFont(Font(Text.cell));
    const QFontMetrics cellText = Metrics(Font(Text.cell));
    for (size_t yi = 0; yi < map.yValues.size(); ++yi) {
        for (size_t xi = 0; xi < map.xValues.size(); ++xi) {
            // The lowest y value at the bottom, as on any chart.
            const QRect box(grid.left() + int(xi) * cell, grid.bottom() + 1 - int(yi + 1) * cell, cell, cell);
            const auto mean = map.mean(xi, yi);
            if (!scale || !mean || !std::isfinite(*mean)) {
                painter.fillRect(box, QBrush(QColor(Undefined), Qt::BDiagPattern));
                painter.setPen(QColor(Ink));
                // The hatching and the note under the picture say it when the word has no room.
                const QString undefined = QStringLiteral("undefined");
                if (cellText.horizontalAdvance(undefined) < cell)
                    painter.drawText(box, Qt::AlignCenter, undefined);
                continue;
            }
            const double at = ScalePosition(*scale, *mean);
            painter.fillRect(box, ScaleColour(at));
            painter.setPen(at <= DarkUpTo ? QColor(Qt::white) : QColor(Ink));
            const QString value = ValueText(*mean, form);
            if (cellText.horizontalAdvance(value) < cell)
                painter.drawText(box, Qt::AlignCenter, value);
        }
    }
    // Thin white lines between the cells, so that neighbours of one colour still read as two.
    painter.setPen(QPen(Qt::white, 1));
    for (size_t xi = 1; xi < map.xValues.size(); ++xi)
        painter.drawLine(grid.left() + int(xi) * cell, grid.top(), grid.left() + int(xi) * cell, grid.bottom());
    for (size_t yi = 1; yi < map.yValues.size(); ++yi)
        painter.drawLine(grid.left(), grid.top() + int(yi) * cell, grid.right(), grid.top() + int(yi) * cell);
    painter.setPen(QColor(Ink));
    painter.drawRect(grid.adjusted(0, 0, -1, -1));
}

// A label under each column and beside each row, and the axes' titles.
void DrawAxes(QPainter &painter, const HeatMap &map, const HeatMapLayout &place)
{
    const QRect grid = place.grid;
    const int cell = place.cell;
    painter.setFont(Font(Text.label));
    const int lineHeight = Metrics(Font(Text.label)).height();
    for (size_t xi = 0; xi < map.xValues.size(); ++xi) {
        const int centre = grid.left() + int(xi) * cell + cell / 2;
        painter.drawLine(centre, grid.bottom() + 1, centre, grid.bottom() + 1 + Picture.tick);
        painter.drawText(QRect(centre - cell / 2, grid.bottom() + 1 + Picture.tick + Picture.labelGap, cell, lineHeight),
                         Qt::AlignHCenter | Qt::AlignTop, EighthsText(map.xValues[xi]));
    }
    const int yLabelsRight = grid.left() - Picture.tick - Picture.labelGap;
    for (size_t yi = 0; yi < map.yValues.size(); ++yi) {
        const int centre = grid.bottom() + 1 - int(yi) * cell - cell / 2;
        painter.drawLine(grid.left() - Picture.tick, centre, grid.left(), centre);
        painter.drawText(QRect(place.yTitle.right() + 1, centre - lineHeight / 2, yLabelsRight - place.yTitle.right() - 1, lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, EighthsText(map.yValues[yi]));
    }
    const QFont axisFont = Font(Text.axisTitle, true);
    painter.setFont(axisFont);
    painter.drawText(place.xTitle, Qt::AlignCenter, AxisTitle(map.x, axisFont, place.xTitle.width()));
    // The y axis' title turned to read upwards, along the grid.
    painter.save();
    painter.translate(place.yTitle.center());
    painter.rotate(-90);
    painter.drawText(QRect(-place.yTitle.height() / 2, -place.yTitle.width() / 2, place.yTitle.height(), place.yTitle.width()),
                     Qt::AlignCenter, AxisTitle(map.y, axisFont, place.yTitle.height()));
    painter.restore();
}

// The colour bar from the lowest value drawn (bottom) to the highest, each end saying so.
void DrawColourBar(QPainter &painter, const HeatMapScale &scale, const HeatMapLayout &place)
{
    const QRect bar = place.bar;
    for (int row = 0; row < bar.height(); ++row) {
        const double at = scale.ticks.size() == 1 ? MiddleOfScale : double(row) / std::max(1, bar.height() - 1);
        painter.fillRect(QRect(bar.left(), bar.bottom() - row, bar.width(), 1), ScaleColour(at));
    }
    // The frame around the bar, outside it, so that its ends show the scale's own colours.
    const QRect frame = bar.adjusted(-1, -1, 1, 1);
    for (const QRect &side : {QRect(frame.topLeft(), QSize(frame.width(), 1)), QRect(frame.bottomLeft(), QSize(frame.width(), 1)),
                              QRect(frame.topLeft(), QSize(1, frame.height())), QRect(frame.topRight(), QSize(1, frame.height()))})
        painter.fillRect(side, QColor(Ink));
    painter.setPen(QColor(Ink));
    painter.setFont(Font(Text.label));
    const int lineHeight = Metrics(Font(Text.label)).height();
    // Every tick when the bar has room for them, else its ends alone.
    const size_t ticks = scale.ticks.size();
    const int room = std::max(1, bar.height() / (LinesBetweenTicks * lineHeight));
    const size_t step = ticks > 1 && int(ticks - 1) > room ? ticks - 1 : 1;
    for (size_t t = 0; t < ticks; t += step) {
        const double f = ticks == 1 ? MiddleOfScale : ScalePosition(scale, scale.ticks[t].first);
        const int at = bar.bottom() - int(std::lround(f * (bar.height() - 1)));
        painter.drawLine(bar.right() + 1, at, bar.right() + 1 + Picture.tick, at);
        painter.drawText(QRect(bar.right() + 1 + Picture.tick + Picture.labelGap, at - lineHeight / 2,
                               place.size.width() - bar.right(), lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, TickText(scale, t));
    }
}

} // namespace

WriteError WriteHeatMapPng(const HeatMap &map, const QString &fileName)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return CannotWrite(fileName, QStringLiteral("drawing a heat map needs a QGuiApplication, and there is none"));
    if (map.xValues.empty() || map.yValues.empty() || map.means.size() != map.xValues.size() * map.yValues.size())
        return CannotWrite(fileName, QStringLiteral("the heat map has no cells"));

    const HeatMapLayout place = HeatMapPlaces(map);
    const auto scale = ColourScaleOf(map);
    QImage image(place.size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor(Ink));
    DrawTitleAndNotes(painter, map, place);
    DrawCells(painter, map, place, scale);
    DrawAxes(painter, map, place);
    if (scale)
        DrawColourBar(painter, *scale, place);
    if (!place.footer.isNull()) {
        painter.setFont(Font(Text.note));
        painter.drawText(place.footer, Wrapped, UndefinedNote());
    }
    painter.end();
    return SavePng(image, fileName);
}
