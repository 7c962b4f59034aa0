// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart.h"
#include "citymap.h"
#include "constants.h"
#include "gifwriter.h"
#include "mappalette.h"
#include "snapshot.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gif_lib.h>

#include <memory>
#include <random>

// Map snapshots and the animated map, read back with independent decoders.
class TestLabPictures : public QObject
{
    Q_OBJECT

private slots:
    void snapshotHasOneSquarePerHome_data();
    void snapshotHasOneSquarePerHome();
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

private:
    QTemporaryDir dir_;
};

// The first pixel of the picture that is not the colour of its home, or nothing.
static QString FirstDifference(const QImage &picture, const QImage &map, int scale)
{
    if (picture.size() != map.size() * scale)
        return QStringLiteral("the picture is %1 x %2").arg(picture.width()).arg(picture.height());
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
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

void TestLabPictures::snapshotHasOneSquarePerHome_data()
{
    QTest::addColumn<int>("scale");
    QTest::newRow("1") << 1;
    QTest::newRow("3") << 3;
    QTest::newRow("16") << 16;
}

void TestLabPictures::snapshotHasOneSquarePerHome()
{
    QFETCH(int, scale);
    const QImage map = RandomCity(7);
    const QString path = Kept(QStringLiteral("snapshot-scale%1.png").arg(scale));
    QCOMPARE(ErrorText(WriteSnapshot(map, path, scale)), QString());
    QCOMPARE(FirstDifference(QImage(path), map, scale), QString());
}

void TestLabPictures::snapshotRefusesAndLeavesNoFile_data()
{
    QTest::addColumn<QImage>("map");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("reason");
    const QImage city = RandomCity(3);
    QTest::newRow("missing folder") << city << "gone/map.png" << 1 << "No such file";
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
    QTest::newRow("scale 1, default delay") << 1 << GifWriter::DefaultFrameDelay;
    QTest::newRow("scale 2, half a second") << 2 << 50;
}

void TestLabPictures::gifFramesDecodeExactly()
{
    QFETCH(int, scale);
    QFETCH(int, delay);
    constexpr int Frames = 3;
    const QString path = Kept(QStringLiteral("run-scale%1.gif").arg(scale));
    GifWriter writer;
    QCOMPARE(ErrorText(writer.open(path, scale, delay)), QString());
    for (int f = 0; f < Frames; ++f)
        QCOMPARE(ErrorText(writer.addFrame(RandomCity(f))), QString());
    QCOMPARE(ErrorText(writer.finish()), QString());

    const GifHandle gif = Slurp(path);
    QVERIFY(gif);
    QCOMPARE(gif->ImageCount, Frames);
    QVERIFY(LoopsForever(gif.get()));
    for (int f = 0; f < Frames; ++f) {
        GraphicsControlBlock control;
        QCOMPARE(DGifSavedExtensionToGCB(gif.get(), f, &control), GIF_OK);
        QCOMPARE(control.DelayTime, delay);
        QCOMPARE(FirstDifference(Decoded(gif.get(), f), RandomCity(f), scale), QString());
    }
}

void TestLabPictures::gifRefusesAMapButGoesOn_data()
{
    QTest::addColumn<QImage>("map");
    QTest::addColumn<QString>("reason");
    QTest::newRow("foreign colour") << WithForeignHome() << "#fffe00 at (100, 200)";
    QTest::newRow("half a map") << RandomCity(2).copy(0, 0, MapSize, 132) << "265 x 132";
}

void TestLabPictures::gifRefusesAMapButGoesOn()
{
    QFETCH(QImage, map);
    QFETCH(QString, reason);
    const QString path = dir_.filePath(QStringLiteral("refused.gif"));
    GifWriter writer;
    QCOMPARE(ErrorText(writer.open(path)), QString());
    QCOMPARE(ErrorText(writer.addFrame(RandomCity(1))), QString());
    const QString error = ErrorText(writer.addFrame(map));
    QVERIFY2(error.contains(reason) && error.contains(QStringLiteral("refused.gif")), qPrintable(error));
    QCOMPARE(ErrorText(writer.addFrame(RandomCity(2))), QString());
    QCOMPARE(ErrorText(writer.finish()), QString());
    const GifHandle gif = Slurp(path);
    QVERIFY(gif);
    QCOMPARE(gif->ImageCount, 2);
    QCOMPARE(FirstDifference(Decoded(gif.get(), 1), RandomCity(2), 1), QString());
}

enum class Ending { Destroyed, NoFrames, FolderRemoved, FolderMissing };

void TestLabPictures::unfinishedGifLeavesNoFile_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<QString>("reason");
    QTest::newRow("destroyed after frames") << Ending::Destroyed << "";
    QTest::newRow("finished with no frames") << Ending::NoFrames << "no frames";
    QTest::newRow("folder removed while writing") << Ending::FolderRemoved << "No such file";
    QTest::newRow("folder missing") << Ending::FolderMissing << "No such file";
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
        error = writer.open(path);
        if (ending != Ending::NoFrames && !error)
            error = writer.addFrame(RandomCity(4));
        if (ending == Ending::FolderRemoved)
            QVERIFY(QDir(folder).removeRecursively());
        if (ending != Ending::Destroyed && !error)
            error = writer.finish();
        // After a failure, every later call reports it.
        if (error)
            QCOMPARE(ErrorText(writer.addFrame(RandomCity(5))), *error);
    }
    QCOMPARE(error.has_value(), !reason.isEmpty());
    if (error)
        QVERIFY2(error->contains(reason) && error->contains(QStringLiteral("run.gif")), qPrintable(*error));
    // Neither the file nor its temporary.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestLabPictures::chartWithoutApplicationIsRefused()
{
    const ChartData chart{QStringLiteral("Run"), {}, {0.0, 1.0}, {{QStringLiteral("Share"), QStringLiteral("Share")}},
                          {{QStringLiteral("Blue"), Qt::blue, 0, {0.4, 0.5}}}};
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

QTEST_GUILESS_MAIN(TestLabPictures)
#include "tst_labpictures.moc"
