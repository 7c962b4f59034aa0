// SPDX-License-Identifier: GPL-3.0-or-later
#include "caption.h"
#include "chart.h"
#include "citymap.h"
#include "constants.h"
#include "gifwriter.h"
#include "heatmap.h"
#include "labrun.h"
#include "mappalette.h"
#include "runrecorder.h"
#include "snapshot.h"
#include "systemerror.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <QThread>

#include <gif_lib.h>

#include <chrono>
#include <memory>
#include <random>

using MaybeCaption = std::optional<MapCaption>;
Q_DECLARE_METATYPE(MaybeCaption)
Q_DECLARE_METATYPE(GifWriter::Strip)
using Means = std::vector<std::optional<double>>;
Q_DECLARE_METATYPE(Means)

// Map snapshots with their captions, the animated map and the heat map, read back with
// independent decoders.
class TestLabPictures : public QObject
{
    Q_OBJECT

private slots:
    void snapshotHasOneSquarePerHome_data();
    void snapshotHasOneSquarePerHome();
    void captionSaysWhatItIsGiven_data();
    void captionSaysWhatItIsGiven();
    void captionOffTheMainThreadIsRefused();
    void recordedPicturesCarryTheirRunsCaption_data();
    void recordedPicturesCarryTheirRunsCaption();
    void snapshotRefusesAndLeavesNoFile_data();
    void snapshotRefusesAndLeavesNoFile();
    void gifFramesDecodeExactly_data();
    void gifFramesDecodeExactly();
    void gifRefusesAMapButGoesOn_data();
    void gifRefusesAMapButGoesOn();
    void unfinishedGifLeavesNoFile_data();
    void unfinishedGifLeavesNoFile();
    void chartWithoutApplicationIsRefused();
    void missingValuesAreGaps_data();
    void missingValuesAreGaps();
    void heatMapScaleSpansTheValuesDrawn_data();
    void heatMapScaleSpansTheValuesDrawn();
    void heatMapTitleNamesTheMeasure_data();
    void heatMapTitleNamesTheMeasure();
    void heatMapWastesNoSpace_data();
    void heatMapWastesNoSpace();

public:
    // A city drawn as construction draws it, with some empty homes, as mid-generation.
    static QImage RandomCity(unsigned seed)
    {
        std::mt19937 engine(seed);
        const auto uniform = [&] { return float(engine() >> 8) / float(1u << 24); };
        CityMap map(RgbOf(240, 240, 240));
        for (int y = 0; y < MapSize; ++y)
            for (int x = 0; x < MapSize; ++x)
                map.PlotResident(x, y, DrawGroup(uniform(), ConstructionCutoffs));
        for (int i = 0; i < MovesPerGeneration; ++i)
            map.PlotResident(int(uniform() * MapSize), int(uniform() * MapSize), NoGroup);
        return MapImage(map);
    }

    static QImage WithForeignHome()
    {
        QImage map = RandomCity(1);
        map.setPixel(100, 200, qRgb(255, 254, 0));
        return map;
    }

    // Fifty years on, with preferences that differ from group to group.
    static MapCaption SomeCaption()
    {
        using namespace std::chrono;
        return {year{2055} / January / day{3}, 50.0, {0, 4, 2, 6, 8, 0}, 7};
    }

private:
    QTemporaryDir dir_;
};

// The first pixel of the picture that is not the colour of its home, or nothing; only the
// map's rows, above a caption's strip, when the picture is that much higher.
static QString FirstDifference(const QImage &picture, const QImage &map, int scale, int stripRows = 0)
{
    if (picture.size() != QSize(map.width() * scale, map.height() * scale + stripRows))
        return QStringLiteral("the picture is %1 x %2").arg(picture.width()).arg(picture.height());
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < map.height() * scale; ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb got = rgb.pixel(x, y) & RGB_MASK;
            const QRgb home = map.pixel(x / scale, y / scale) & RGB_MASK;
            if (got != home)
                return QStringLiteral("(%1, %2) is %3, its home %4")
                    .arg(x).arg(y).arg(QColor(got).name(), QColor(home).name());
        }
    return {};
}

// Where the pictures of passing cases are kept.
static QString Kept(const QString &name)
{
    const QDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/lab-pictures"));
    dir.mkpath(QStringLiteral("."));
    return dir.filePath(name);
}

static QString ErrorText(const WriteError &error)
{
    return error.value_or(QString());
}

// The strip under the map as the colours of CaptionIndices(), for comparing with a picture's.
static QImage ExpectedStrip(const MapCaption &caption, int scale)
{
    QString reason;
    const auto indices = CaptionIndices(caption, scale, &reason);
    if (!indices)
        return {};
    const int width = MapSize * scale;
    QImage strip(width, CaptionHeight(scale), QImage::Format_Indexed8);
    strip.setColorTable(CaptionPalette());
    for (int y = 0; y < strip.height(); ++y)
        std::copy_n(indices->data() + std::size_t(y) * std::size_t(width), width, strip.scanLine(y));
    return strip.convertToFormat(QImage::Format_RGB32);
}

static QImage StripOf(const QImage &picture, int scale)
{
    const int side = MapSize * scale;
    return picture.copy(0, side, side, picture.height() - side).convertToFormat(QImage::Format_RGB32);
}

void TestLabPictures::snapshotHasOneSquarePerHome_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<MaybeCaption>("caption");
    QTest::newRow("1, bare") << 1 << MaybeCaption();
    QTest::newRow("3, bare") << 3 << MaybeCaption();
    QTest::newRow("16, bare") << 16 << MaybeCaption();
    QTest::newRow("1, captioned") << 1 << MaybeCaption(SomeCaption());
    QTest::newRow("2, captioned") << 2 << MaybeCaption(SomeCaption());
    QTest::newRow("16, captioned") << 16 << MaybeCaption(SomeCaption());
}

void TestLabPictures::snapshotHasOneSquarePerHome()
{
    QFETCH(int, scale);
    QFETCH(MaybeCaption, caption);
    const QImage map = RandomCity(7);
    const QString path = Kept(QStringLiteral("snapshot-scale%1%2.png").arg(scale).arg(caption ? "-captioned" : ""));
    QCOMPARE(ErrorText(WriteSnapshot(map, path, scale, caption)), QString());
    const QImage picture(path);
    const int stripRows = caption ? CaptionHeight(scale) : 0;
    QCOMPARE(FirstDifference(picture, map, scale, stripRows), QString());
    // The map's palette first, so that a pixel of the map is still its group's index.
    QCOMPARE(picture.colorTable(), caption ? CaptionPalette() : MapPalette());
    QVERIFY(picture.colorTable().mid(0, PaletteSize) == MapPalette());
    if (caption)
        QVERIFY(StripOf(picture, scale) == ExpectedStrip(*caption, scale));
}

// Each thing the caption says changes the strip; the same caption gives the same strip.
void TestLabPictures::captionSaysWhatItIsGiven_data()
{
    QTest::addColumn<MapCaption>("other");
    QTest::addColumn<int>("scale");
    QTest::addColumn<bool>("same");
    const MapCaption base = SomeCaption();
    MapCaption other = base;
    QTest::newRow("the same caption") << other << 1 << true;
    QTest::newRow("the same, at scale 4") << other << 4 << true;
    other.date = std::chrono::year{2055} / std::chrono::January / std::chrono::day{11};
    QTest::newRow("a day later") << other << 1 << false;
    other = base;
    other.years = 50.1;
    QTest::newRow("a tenth of a year later") << other << 1 << false;
    other = base;
    other.seed = 8;
    QTest::newRow("another seed") << other << 1 << false;
    for (GroupIndex g = 1; g <= GroupCount; ++g) {
        other = base;
        other.prefEighths[std::size_t(g)] = std::int16_t((base.prefEighths[std::size_t(g)] + 1) % 9);
        QTest::addRow("%s's preference", GroupName(g).c_str()) << other << 1 << false;
        QTest::addRow("%s's preference, at scale 3", GroupName(g).c_str()) << other << 3 << false;
    }
}

void TestLabPictures::captionSaysWhatItIsGiven()
{
    QFETCH(MapCaption, other);
    QFETCH(int, scale);
    QFETCH(bool, same);
    QString reason;
    const auto base = CaptionIndices(SomeCaption(), scale, &reason);
    QVERIFY2(base, qPrintable(reason));
    const auto changed = CaptionIndices(other, scale, &reason);
    QVERIFY2(changed, qPrintable(reason));
    QCOMPARE(*changed == *base, same);
    // Every group's colour is a square of the legend, whole inside its dark edge.
    GroupTable<int> pixels{};
    for (const uchar index : *changed) {
        if (index < PaletteSize)
            ++pixels[index];
    }
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        QVERIFY2(pixels[std::size_t(g)] >= 36 * scale * scale, GroupName(g).c_str());
    QVERIFY(std::all_of(changed->begin(), changed->end(), [](uchar index) { return index < CaptionPalette().size(); }));
}

void TestLabPictures::captionOffTheMainThreadIsRefused()
{
    QString reason;
    std::optional<std::vector<uchar>> drawn;
    std::unique_ptr<QThread> thread(QThread::create([&] { drawn = CaptionIndices(SomeCaption(), 1, &reason); }));
    thread->start();
    QVERIFY(thread->wait());
    QVERIFY(!drawn);
    QVERIFY2(reason.contains(QStringLiteral("main thread")), qPrintable(reason));
}

void TestLabPictures::snapshotRefusesAndLeavesNoFile_data()
{
    QTest::addColumn<QImage>("map");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("reason");
    const QImage city = RandomCity(3);
    QTest::newRow("missing folder") << city << "gone/map.png" << 1 << SystemError(ENOENT);
    QTest::newRow("scale 0") << city << "map.png" << 0 << "scale 0";
    QTest::newRow("scale 17") << city << "map.png" << 17 << "scale 17";
    QTest::newRow("foreign colour") << WithForeignHome() << "map.png" << 1 << "#fffe00 at (100, 200)";
    QTest::newRow("half a map") << city.copy(0, 0, 132, MapSize) << "map.png" << 1 << "132 x 265";
    QTest::newRow("null image") << QImage() << "map.png" << 1 << "0 x 0";
}

void TestLabPictures::snapshotRefusesAndLeavesNoFile()
{
    QFETCH(QImage, map);
    QFETCH(QString, name);
    QFETCH(int, scale);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString error = ErrorText(WriteSnapshot(map, dir.filePath(name), scale));
    QVERIFY2(error.contains(name) && error.contains(reason), qPrintable(error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

static QImage Decoded(const GifFileType *gif, int frame)
{
    const SavedImage &image = gif->SavedImages[frame];
    const ColorMapObject *colours = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    QImage decoded(image.ImageDesc.Width, image.ImageDesc.Height, QImage::Format_RGB32);
    for (int y = 0; y < decoded.height(); ++y)
        for (int x = 0; x < decoded.width(); ++x) {
            const GifColorType c = colours->Colors[image.RasterBits[y * decoded.width() + x]];
            decoded.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
        }
    return decoded;
}

using GifHandle = std::unique_ptr<GifFileType, void (*)(GifFileType *)>;
static GifHandle Slurp(const QString &path)
{
    int error = 0;
    GifHandle gif(DGifOpenFileName(QFile::encodeName(path).constData(), &error),
                  [](GifFileType *g) { int e = 0; DGifCloseFile(g, &e); });
    if (gif && DGifSlurp(gif.get()) != GIF_OK)
        gif.reset();
    return gif;
}

static bool LoopsForever(const GifFileType *gif)
{
    const ExtensionBlock *blocks = gif->SavedImages[0].ExtensionBlocks;
    for (int i = 0; i + 1 < gif->SavedImages[0].ExtensionBlockCount; ++i) {
        const QByteArray id(reinterpret_cast<const char *>(blocks[i].Bytes), blocks[i].ByteCount);
        const QByteArray sub(reinterpret_cast<const char *>(blocks[i + 1].Bytes), blocks[i + 1].ByteCount);
        if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && id == "NETSCAPE2.0"
            && sub == QByteArray("\x01\x00\x00", 3))
            return true;
    }
    return false;
}

void TestLabPictures::gifFramesDecodeExactly_data()
{
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("delay");
    QTest::addColumn<GifWriter::Strip>("strip");
    QTest::newRow("scale 1, default delay") << 1 << GifWriter::DefaultFrameDelay << GifWriter::Strip::None;
    QTest::newRow("scale 2, half a second") << 2 << 50 << GifWriter::Strip::None;
    QTest::newRow("scale 1, captioned") << 1 << GifWriter::DefaultFrameDelay << GifWriter::Strip::Caption;
    QTest::newRow("scale 3, captioned") << 3 << GifWriter::DefaultFrameDelay << GifWriter::Strip::Caption;
}

void TestLabPictures::gifFramesDecodeExactly()
{
    QFETCH(int, scale);
    QFETCH(int, delay);
    QFETCH(GifWriter::Strip, strip);
    constexpr int Frames = 3;
    const bool captioned = strip == GifWriter::Strip::Caption;
    // A caption a generation apart for each frame.
    auto caption = [&](int frame) {
        MapCaption caption = SomeCaption();
        caption.date = std::chrono::sys_days(caption.date) + std::chrono::days(DaysPerGeneration * frame);
        return captioned ? MaybeCaption(caption) : MaybeCaption();
    };
    const QString path = Kept(QStringLiteral("run-scale%1%2.gif").arg(scale).arg(captioned ? "-captioned" : ""));
    GifWriter writer;
    QCOMPARE(ErrorText(writer.Open(path, scale, delay, strip)), QString());
    for (int f = 0; f < Frames; ++f)
        QCOMPARE(ErrorText(writer.AddFrame(RandomCity(f), caption(f))), QString());
    QCOMPARE(ErrorText(writer.Finish()), QString());

    const GifHandle gif = Slurp(path);
    QVERIFY(gif);
    QCOMPARE(gif->ImageCount, Frames);
    QVERIFY(LoopsForever(gif.get()));
    // The palette: a power of two that holds the pictures' colours, the map's first.
    const QList<QRgb> palette = captioned ? CaptionPalette() : MapPalette();
    QVERIFY(gif->SColorMap->ColorCount >= palette.size() && gif->SColorMap->ColorCount < 2 * palette.size());
    for (int f = 0; f < Frames; ++f) {
        GraphicsControlBlock control;
        QCOMPARE(DGifSavedExtensionToGCB(gif.get(), f, &control), GIF_OK);
        QCOMPARE(control.DelayTime, delay);
        const QImage frame = Decoded(gif.get(), f);
        QCOMPARE(FirstDifference(frame, RandomCity(f), scale, captioned ? CaptionHeight(scale) : 0), QString());
        if (captioned)
            QVERIFY(StripOf(frame, scale) == ExpectedStrip(*caption(f), scale));
    }
    if (captioned)
        QVERIFY(StripOf(Decoded(gif.get(), 0), scale) != StripOf(Decoded(gif.get(), 1), scale));
}

void TestLabPictures::gifRefusesAMapButGoesOn_data()
{
    QTest::addColumn<GifWriter::Strip>("strip");
    QTest::addColumn<QImage>("map");
    QTest::addColumn<MaybeCaption>("caption");
    QTest::addColumn<QString>("reason");
    const auto none = GifWriter::Strip::None;
    const auto captioned = GifWriter::Strip::Caption;
    QTest::newRow("foreign colour") << none << WithForeignHome() << MaybeCaption() << "#fffe00 at (100, 200)";
    QTest::newRow("half a map") << none << RandomCity(2).copy(0, 0, MapSize, 132) << MaybeCaption() << "265 x 132";
    QTest::newRow("a caption in a bare animation") << none << RandomCity(2) << MaybeCaption(SomeCaption())
                                                   << "have no caption, and this one has one";
    QTest::newRow("no caption in a captioned animation") << captioned << RandomCity(2) << MaybeCaption()
                                                         << "has a caption, and this one has none";
    QTest::newRow("foreign colour, captioned") << captioned << WithForeignHome() << MaybeCaption(SomeCaption())
                                               << "#fffe00 at (100, 200)";
}

void TestLabPictures::gifRefusesAMapButGoesOn()
{
    QFETCH(GifWriter::Strip, strip);
    QFETCH(QImage, map);
    QFETCH(MaybeCaption, caption);
    QFETCH(QString, reason);
    const bool captioned = strip == GifWriter::Strip::Caption;
    const MaybeCaption good = captioned ? MaybeCaption(SomeCaption()) : MaybeCaption();
    const QString path = dir_.filePath(QStringLiteral("refused.gif"));
    GifWriter writer;
    QCOMPARE(ErrorText(writer.Open(path, 1, GifWriter::DefaultFrameDelay, strip)), QString());
    QCOMPARE(ErrorText(writer.AddFrame(RandomCity(1), good)), QString());
    const QString error = ErrorText(writer.AddFrame(map, caption));
    QVERIFY2(error.contains(reason) && error.contains(QStringLiteral("refused.gif")), qPrintable(error));
    QCOMPARE(ErrorText(writer.AddFrame(RandomCity(2), good)), QString());
    QCOMPARE(ErrorText(writer.Finish()), QString());
    const GifHandle gif = Slurp(path);
    QVERIFY(gif);
    QCOMPARE(gif->ImageCount, 2);
    QCOMPARE(FirstDifference(Decoded(gif.get(), 1), RandomCity(2), 1, captioned ? CaptionHeight(1) : 0), QString());
}

enum class Ending { Destroyed, NoFrames, FolderRemoved, FolderMissing };

void TestLabPictures::unfinishedGifLeavesNoFile_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<QString>("reason");
    QTest::newRow("destroyed after frames") << Ending::Destroyed << "";
    QTest::newRow("finished with no frames") << Ending::NoFrames << "no frames";
    QTest::newRow("folder removed while writing") << Ending::FolderRemoved << SystemError(ENOENT);
    QTest::newRow("folder missing") << Ending::FolderMissing << SystemError(ENOENT);
}

void TestLabPictures::unfinishedGifLeavesNoFile()
{
    QFETCH(Ending, ending);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("run"));
    QVERIFY(ending == Ending::FolderMissing || QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/run.gif");
    WriteError error;
    {
        GifWriter writer;
        error = writer.Open(path);
        if (ending != Ending::NoFrames && !error)
            error = writer.AddFrame(RandomCity(4));
        if (ending == Ending::FolderRemoved)
            QVERIFY(QDir(folder).removeRecursively());
        if (ending != Ending::Destroyed && !error)
            error = writer.Finish();
        // After a failure, every later call reports it.
        if (error)
            QCOMPARE(ErrorText(writer.AddFrame(RandomCity(5))), *error);
    }
    QCOMPARE(error.has_value(), !reason.isEmpty());
    if (error)
        QVERIFY2(error->contains(reason) && error->contains(QStringLiteral("run.gif")), qPrintable(*error));
    // Neither the file nor its temporary.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestLabPictures::chartWithoutApplicationIsRefused()
{
    ChartData chart;
    chart.title = QStringLiteral("Run");
    chart.years = {0.0, 1.0};
    chart.panels = {{QStringLiteral("Share"), QStringLiteral("Share")}};
    chart.series = {{QStringLiteral("Blue"), Qt::blue, 0, {0.4, 0.5}}};
    const QString path = dir_.filePath(QStringLiteral("chart.png"));
    const auto error = WriteChartPng(chart, path);
    QVERIFY(error && error->contains(QStringLiteral("QApplication")));
    QVERIFY(!QFile::exists(path));
}

void TestLabPictures::missingValuesAreGaps_data()
{
    QTest::addColumn<QString>("values");   // "-" a missing value
    QTest::addColumn<QString>("runs");
    QTest::newRow("none") << "" << "";
    QTest::newRow("all present") << "0.4 0.5 0.6" << "[0,3)";
    QTest::newRow("all missing") << "- -" << "";
    QTest::newRow("gap inside") << "0.4 - - 0.6 0.7" << "[0,1) [3,5)";
    QTest::newRow("gaps at the ends") << "- 0.5 0.6 -" << "[1,3)";
    QTest::newRow("lone value") << "- 0 -" << "[1,2)";
    QTest::newRow("nan and inf") << "0.1 nan 0.2 inf" << "[0,1) [2,3)";
}

void TestLabPictures::missingValuesAreGaps()
{
    QFETCH(QString, values);
    QFETCH(QString, runs);
    std::vector<std::optional<double>> parsed;
    for (const QString &word : values.split(u' ', Qt::SkipEmptyParts))
        parsed.push_back(word == u'-' ? std::nullopt : std::optional(word.toDouble()));
    QStringList found;
    for (const auto &[first, last] : PresentRuns(parsed))
        found << QStringLiteral("[%1,%2)").arg(first).arg(last);
    QCOMPARE(found.join(u' '), runs);
}

// What a run writes: the strip says the date, years, seed and preferences of the generation
// pictured, changes included; a bare run draws the map alone.
void TestLabPictures::recordedPicturesCarryTheirRunsCaption_data()
{
    QTest::addColumn<bool>("captions");
    QTest::addColumn<int>("scale");
    QTest::newRow("captioned") << true << 1;
    QTest::newRow("captioned, scale 2") << true << 2;
    QTest::newRow("bare") << false << 1;
    QTest::newRow("bare, scale 2") << false << 2;
}

void TestLabPictures::recordedPicturesCarryTheirRunsCaption()
{
    QFETCH(bool, captions);
    QFETCH(int, scale);
    QTemporaryDir dir;
    RunPlan plan;
    plan.seed = 11;
    plan.prefTexts = {"50%", "25%", "0", "100%", "75%"};
    plan.changes = {{20, {"0", "0", "12.5%", "0", "0"}}};
    plan.generations = 30;
    plan.every = 10;
    plan.snapshotEvery = 30;
    plan.scale = scale;
    plan.gif = true;
    plan.gifEvery = 30;
    plan.captions = captions;
    plan.outDir = dir.path().toStdString();
    RunRecorder recorder(plan, {});
    QCOMPARE(ErrorText(recorder.Begin()), QString());
    LabRun run(plan);
    QString failure;
    const auto end = run.Execute([&](std::int64_t g, const HeadlessCity &city) {
        failure = ErrorText(recorder.Visit(g, city));
        return failure.isEmpty();
    });
    QCOMPARE(failure, QString());
    QCOMPARE(end, LabRun::End::Finished);
    QCOMPARE(ErrorText(recorder.Finish()), QString());

    // Generation 30 is 240 days on, under the preferences typed before generation 20.
    const MapCaption atStart{FirstDay, 0.0, {0, 4, 2, 0, 8, 6}, plan.seed};
    MapCaption atEnd{std::chrono::sys_days(FirstDay) + std::chrono::days(240), YearsOfGeneration(30), {0, 0, 0, 1, 0, 0},
                     plan.seed};
    const GifHandle gif = Slurp(dir.filePath(QStringLiteral("map.gif")));
    QVERIFY(gif);
    QCOMPARE(gif->ImageCount, 2);
    for (const auto &[generation, caption] : {std::pair(0, atStart), std::pair(30, atEnd)}) {
        const QImage snapshot(dir.filePath(RunRecorder::SnapshotName(generation)));
        const QImage frame = Decoded(gif.get(), generation == 0 ? 0 : 1);
        for (const QImage &picture : {snapshot, frame}) {
            QCOMPARE(picture.height(), MapSize * scale + (captions ? CaptionHeight(scale) : 0));
            if (captions)
                QVERIFY2(StripOf(picture, scale) == ExpectedStrip(caption, scale), qPrintable(QString::number(generation)));
        }
    }
}


// A heat map of Blue's preference across and Gray's up, its values row by row from the
// lowest Gray value; eighths spread from 0 to 8 on each axis.
static HeatMap SomeHeatMap(int columns, int rows, const Means &means, const QString &measure = QStringLiteral("same_share_all"))
{
    HeatMap map;
    map.measure = measure;
    map.description = QStringLiteral("Mean share of a resident's in-grid neighbours that belong to its own group, over all residents");
    map.x = 1;
    map.y = 4;
    const auto spread = [](int count) {
        PreferenceSet values;
        for (int i = 0; i < count; ++i)
            values.push_back(std::int16_t(count == 1 ? 4 : i * 8 / (count - 1)));
        return values;
    };
    map.xValues = spread(columns);
    map.yValues = spread(rows);
    map.means = means;
    map.counts.assign(means.size(), 2);
    map.runsPerCell = 2;
    map.years = 10.0;
    map.seeds = 2;
    map.baseSeed = 11;
    return map;
}

// The ends of the colour scale (viridis).
constexpr QRgb LowestColour = qRgb(68, 1, 84);
constexpr QRgb HighestColour = qRgb(253, 231, 37);

void TestLabPictures::heatMapScaleSpansTheValuesDrawn_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<Means>("means");
    QTest::addColumn<QString>("low");    // as the scale writes it; empty when nothing is drawn
    QTest::addColumn<QString>("high");
    QTest::newRow("shares in a corner of 0 to 1") << 2 << Means{0.2, 0.9, std::nullopt, 0.55} << "0.200" << "0.900";
    QTest::newRow("shares close together") << 3 << Means{0.481, 0.4952, 0.4876} << "0.481" << "0.495";
    QTest::newRow("numbers of clusters") << 2 << Means{24, 46.5, 33.5, 31} << "24.00" << "46.50";
    QTest::newRow("thousands") << 2 << Means{120.4, 3999.6} << "120" << "4000";
    QTest::newRow("one value everywhere") << 2 << Means{0.5, 0.5, 0.5, 0.5} << "0.500" << "0.500";
    QTest::newRow("one cell with a value") << 2 << Means{std::nullopt, 0.3, std::nullopt, std::nullopt} << "0.300" << "0.300";
    QTest::newRow("no value at all") << 2 << Means{std::nullopt, std::nullopt} << "" << "";
    QTest::newRow("not a number, infinite") << 2 << Means{0.2, NAN, INFINITY, 0.4} << "0.200" << "0.400";
    QTest::newRow("huge") << 2 << Means{1e300, 2e300} << "1e+300" << "2e+300";
    QTest::newRow("a span beyond doubles") << 2 << Means{-1e308, 1e308} << "-1e+308" << "1e+308";
    QTest::newRow("a hair apart on a huge value") << 2 << Means{1e16, 1e16 + 2} << "1e+16" << "1e+16";
}

void TestLabPictures::heatMapScaleSpansTheValuesDrawn()
{
    QFETCH(int, columns);
    QFETCH(Means, means);
    QFETCH(QString, low);
    QFETCH(QString, high);
    const HeatMap map = SomeHeatMap(columns, int(means.size()) / columns, means);
    const auto scale = ColourScaleOf(map);
    QCOMPARE(scale.has_value(), !low.isEmpty());
    std::vector<double> values;
    for (const auto &mean : means) {
        if (mean && std::isfinite(*mean))
            values.push_back(*mean);
    }
    const QString path = Kept(QStringLiteral("heatmap-%1.png").arg(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-')));
    QCOMPARE(ErrorText(WriteHeatMapPng(map, path)), QString());
    const QImage image = QImage(path).convertToFormat(QImage::Format_RGB32);
    const HeatMapLayout place = HeatMapPlaces(map);
    QCOMPARE(image.size(), place.size);
    if (!scale) {
        QVERIFY(place.bar.isNull());
        return;
    }
    const auto [min, max] = std::minmax_element(values.begin(), values.end());
    QCOMPARE(scale->low, *min);
    QCOMPARE(scale->high, *max);
    QCOMPARE(scale->ticks.front(), std::pair(*min, low));
    QCOMPARE(scale->ticks.back(), std::pair(*max, high));
    for (std::size_t t = 1; t < scale->ticks.size(); ++t)
        QVERIFY(scale->ticks[t - 1].first < scale->ticks[t].first);
    if (*min == *max)
        return;

    // The lowest value drawn in the scale's lowest colour, the highest in its highest, and
    // the bar from one to the other.
    const auto inside = [&](std::size_t cell) {
        const int xi = int(cell) % columns;
        const int yi = int(cell) / columns;
        return image.pixel(place.grid.left() + xi * place.cell + place.cell / 8,
                           place.grid.bottom() - yi * place.cell - place.cell / 8);
    };
    for (std::size_t cell = 0; cell < means.size(); ++cell) {
        if (means[cell] == *min)
            QCOMPARE(QColor(inside(cell)), QColor(LowestColour));
        if (means[cell] == *max)
            QCOMPARE(QColor(inside(cell)), QColor(HighestColour));
    }
    const QPoint barMiddle = place.bar.center();
    QCOMPARE(QColor(image.pixel(barMiddle.x(), place.bar.bottom())), QColor(LowestColour));
    QCOMPARE(QColor(image.pixel(barMiddle.x(), place.bar.top())), QColor(HighestColour));
}

void TestLabPictures::heatMapTitleNamesTheMeasure_data()
{
    QTest::addColumn<QString>("measure");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("title");
    const QString described = QStringLiteral("Isolation of the Blue residents");
    QTest::newRow("all residents") << "same_share_all" << described << "Same-group share of neighbours (all residents)";
    QTest::newRow("a group") << "same_share_red" << described << "Same-group share of neighbours (Red)";
    QTest::newRow("dissatisfied") << "dissatisfied_yellow" << described << "Share of residents dissatisfied (Yellow)";
    QTest::newRow("largest cluster") << "largest_cluster_share_gray" << described << "Share living in the largest cluster (Gray)";
    QTest::newRow("clusters") << "clusters_blue" << described << "Number of clusters (Blue)";
    QTest::newRow("a whole city's") << "theil_h" << described << "Theil's information theory index H";
    QTest::newRow("a radius") << "spatial_h_r2" << described << "Spatial information theory index H, radius 2";
    QTest::newRow("no radius") << "spatial_h_r" << described << described;
    QTest::newRow("an unknown group") << "same_share_purple" << described << described;
    QTest::newRow("no words of its own") << "isolation_blue" << described << described;
    QTest::newRow("nor a description") << "isolation_blue" << "" << "isolation_blue";
}

void TestLabPictures::heatMapTitleNamesTheMeasure()
{
    QFETCH(QString, measure);
    QFETCH(QString, description);
    QFETCH(QString, title);
    HeatMap map = SomeHeatMap(1, 1, {0.5}, measure);
    map.description = description;
    QCOMPARE(HeatMapTitle(map), title);
}

void TestLabPictures::heatMapWastesNoSpace_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("undefined");   // cells without a value, from the first
    QTest::newRow("1 x 1") << 1 << 1 << 0;
    QTest::newRow("2 x 2") << 2 << 2 << 1;
    QTest::newRow("9 x 2") << 9 << 2 << 0;
    QTest::newRow("2 x 9") << 2 << 9 << 0;
    QTest::newRow("9 x 9") << 9 << 9 << 3;
    QTest::newRow("5 x 3, nothing defined") << 5 << 3 << 15;
}

void TestLabPictures::heatMapWastesNoSpace()
{
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(int, undefined);
    Means means;
    for (int cell = 0; cell < columns * rows; ++cell)
        means.push_back(cell < undefined ? std::nullopt : std::optional(0.3 + 0.01 * cell));
    const HeatMap map = SomeHeatMap(columns, rows, means);
    const QString path = Kept(QStringLiteral("heatmap-%1x%2.png").arg(columns).arg(rows));
    QCOMPARE(ErrorText(WriteHeatMapPng(map, path)), QString());
    const QImage image = QImage(path).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!image.isNull());
    // What is drawn reaches every edge but for a margin.
    QRect drawn;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & RGB_MASK) != 0xffffff)
                drawn |= QRect(x, y, 1, 1);
        }
    }
    constexpr int Border = 40;
    const QString where = QStringLiteral("%1 x %2 drawn at (%3, %4) to (%5, %6)")
                              .arg(image.width()).arg(image.height())
                              .arg(drawn.left()).arg(drawn.top()).arg(drawn.right()).arg(drawn.bottom());
    QVERIFY2(drawn.left() <= Border && drawn.top() <= Border && image.width() - 1 - drawn.right() <= Border
                 && image.height() - 1 - drawn.bottom() <= Border,
             qPrintable(where));
}

int main(int argc, char *argv[])
{
    // Fonts for the captions and heat maps, but no QApplication: charts must refuse.
    QGuiApplication app(argc, argv);
    TestLabPictures test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_labpictures.moc"
