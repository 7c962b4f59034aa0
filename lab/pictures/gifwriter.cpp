// SPDX-License-Identifier: GPL-3.0-or-later
#include "gifwriter.h"

#include "constants.h"
#include "mappalette.h"

#include <QDir>

#include <gif_lib.h>

#include <array>
#include <string_view>

namespace {

// A GIF palette holds a power of two of colours, from 2 to 256; the entries past ours are unused.
constexpr int LargestPaletteBits = 8;
int PaletteBits(int colours)
{
    int bits = 1;
    while ((1 << bits) < colours)
        ++bits;
    return bits;
}

constexpr int ColourResolution = 8;      // bits per primary of the colours described
constexpr int BackgroundIndex = NoGroup; // white, never seen: every frame covers the screen
constexpr int LongestFrameDelay = 65535; // the delay is a 16-bit field

// The application extension browsers read as "loop forever": sub-block 1, a loop count
// of 0 in two little-endian bytes.
constexpr std::string_view LoopApplication = "NETSCAPE2.0";
constexpr std::array<GifByteType, 3> LoopForever = {1, 0, 0};

// giflib writes into memory; each frame goes to the file whole, where a failure has a reason.
int Collect(GifFileType *gif, const GifByteType *bytes, int count)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(bytes), count);
    return count;
}

} // namespace

void GifWriter::GifCloser::operator()(GifFileType *gif) const
{
    int error = 0;
    EGifCloseFile(gif, &error);
}

GifWriter::GifWriter() = default;

GifWriter::~GifWriter()
{
    abandon();
}

WriteError GifWriter::Open(const QString &fileName, int scale, int frameDelay, Strip strip)
{
    if (isOpen())
        return CannotWrite(fileName, QStringLiteral("the animation %1 is not finished yet")
                                         .arg(QDir::toNativeSeparators(fileName_)));
    if (const auto problem = ScaleProblem(scale))
        return CannotWrite(fileName, *problem);
    if (frameDelay < 0 || frameDelay > LongestFrameDelay)
        return CannotWrite(fileName, QStringLiteral("the frame delay %1 is not a whole number "
                                                    "of hundredths of a second from 0 to %2")
                                         .arg(frameDelay).arg(LongestFrameDelay));
    fileName_ = fileName;
    scale_ = scale;
    frameDelay_ = frameDelay;
    strip_ = strip;
    frames_ = 0;
    failure_.clear();
    pending_.clear();
    row_.assign(std::size_t(MapSize) * scale, NoGroup);

    file_ = std::make_unique<SaveFile>(fileName);
    if (!OpenForWriting(*file_))
        return fail(file_->errorString());
    int error = 0;
    gif_.reset(EGifOpen(&pending_, Collect, &error));
    if (!gif_)
        return fail(QString::fromLatin1(GifErrorString(error)));
    // Only GIF89a has frame delays and application extensions.
    EGifSetGifVersion(gif_.get(), true);

    const QList<QRgb> palette = strip == Strip::Caption ? CaptionPalette() : MapPalette();
    const int bits = PaletteBits(int(palette.size()));
    if (bits > LargestPaletteBits)
        return fail(QStringLiteral("the pictures have %1 colours, more than a GIF holds").arg(palette.size()));
    std::array<GifColorType, 1 << LargestPaletteBits> colours{};
    for (qsizetype i = 0; i < palette.size(); ++i)
        colours[std::size_t(i)] = {GifByteType(qRed(palette[i])), GifByteType(qGreen(palette[i])),
                                   GifByteType(qBlue(palette[i]))};
    ColorMapObject *colourMap = GifMakeMapObject(1 << bits, colours.data());
    if (!colourMap)
        return fail(QStringLiteral("out of memory"));
    const int side = MapSize * scale;
    // giflib keeps a copy of the palette.
    const int described = EGifPutScreenDesc(gif_.get(), side, height(), ColourResolution,
                                             BackgroundIndex, colourMap);
    GifFreeMapObject(colourMap);
    if (described == GIF_ERROR
        || EGifPutExtensionLeader(gif_.get(), APPLICATION_EXT_FUNC_CODE) == GIF_ERROR
        || EGifPutExtensionBlock(gif_.get(), int(LoopApplication.size()), LoopApplication.data())
               == GIF_ERROR
        || EGifPutExtensionBlock(gif_.get(), int(LoopForever.size()), LoopForever.data()) == GIF_ERROR
        || EGifPutExtensionTrailer(gif_.get()) == GIF_ERROR)
        return failInGif();
    return writePending();
}

WriteError GifWriter::AddFrame(const QImage &map, const std::optional<MapCaption> &caption)
{
    if (!failure_.isEmpty())
        return failure_;
    if (!isOpen())
        return QStringLiteral("cannot add a frame: no animation is open");
    if (caption.has_value() != (strip_ == Strip::Caption))
        return CannotWrite(fileName_, strip_ == Strip::Caption
                                          ? QStringLiteral("every frame of this animation has a caption, and this one has none")
                                          : QStringLiteral("the frames of this animation have no caption, and this one has one"));
    QString reason;
    const auto indices = PaletteIndices(map, &reason);
    if (!indices)
        return CannotWrite(fileName_, reason);
    std::vector<uchar> strip;
    if (caption) {
        auto drawn = CaptionIndices(*caption, scale_, &reason);
        if (!drawn)
            return CannotWrite(fileName_, reason);
        strip = std::move(*drawn);
    }

    const GraphicsControlBlock control = {.DisposalMode = DISPOSE_DO_NOT,
                                          .UserInputFlag = false,
                                          .DelayTime = frameDelay_,
                                          .TransparentColor = NO_TRANSPARENT_COLOR};
    std::array<GifByteType, 4> extension{};
    const auto extensionLength = EGifGCBToExtension(&control, extension.data());
    const int side = MapSize * scale_;
    GifFileType *gif = gif_.get();
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extensionLength), extension.data())
            == GIF_ERROR
        || EGifPutImageDesc(gif, 0, 0, side, height(), false, nullptr) == GIF_ERROR)
        return failInGif();
    for (int y = 0; y < MapSize; ++y) {
        ScaledRow(*indices, y, scale_, row_.data());
        for (int copy = 0; copy < scale_; ++copy) {
            if (EGifPutLine(gif, row_.data(), side) == GIF_ERROR)
                return failInGif();
        }
    }
    for (std::size_t at = 0; at < strip.size(); at += std::size_t(side)) {
        if (EGifPutLine(gif, strip.data() + at, side) == GIF_ERROR)
            return failInGif();
    }
    if (const auto error = writePending())
        return error;
    ++frames_;
    return std::nullopt;
}

WriteError GifWriter::Finish()
{
    if (!failure_.isEmpty())
        return failure_;
    if (!isOpen())
        return QStringLiteral("cannot finish the animation: none is open");
    if (frames_ == 0)
        return fail(QStringLiteral("the animation has no frames"));
    // Adds the trailer to pending_.
    int error = 0;
    if (EGifCloseFile(gif_.release(), &error) == GIF_ERROR)
        return fail(QString::fromLatin1(GifErrorString(error)));
    if (const auto failure = writePending())
        return failure;
    if (!file_->commit())
        return fail(file_->errorString());
    file_.reset();
    return std::nullopt;
}

int GifWriter::height() const
{
    return MapSize * scale_ + (strip_ == Strip::Caption ? CaptionHeight(scale_) : 0);
}

WriteError GifWriter::fail(const QString &reason)
{
    failure_ = CannotWrite(fileName_, reason);
    abandon();
    return failure_;
}

WriteError GifWriter::failInGif()
{
    return fail(QString::fromLatin1(GifErrorString(gif_->Error)));
}

WriteError GifWriter::writePending()
{
    if (!WriteAll(*file_, pending_))
        return fail(file_->errorString());
    pending_.clear();
    return std::nullopt;
}

void GifWriter::abandon()
{
    gif_.reset();
    if (file_)
        file_->cancelWriting();
    file_.reset();
}
