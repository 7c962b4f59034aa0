// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "caption.h"
#include "savefile.h"

#include <QImage>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

struct GifFileType;

// An animated GIF of the city map, written frame by frame as the run goes, so that no
// more than one encoded frame is ever held. Lossless: one global palette of white and the five
// group colours, and the caption's shades of ink when every frame has its caption under the
// map. It loops forever in browsers (the NETSCAPE2.0 extension). Nothing
// appears under the file's name until Finish() succeeds; a writer destroyed before that
// leaves no file behind.
class GifWriter
{
public:
    // Hundredths of a second per frame: ten frames a second.
    static constexpr int DefaultFrameDelay = 10;

    GifWriter();
    ~GifWriter();
    GifWriter(const GifWriter &) = delete;
    GifWriter &operator=(const GifWriter &) = delete;

    enum class Strip { None, Caption };

    // Starts the file: its size is that of the map times the scale, with the caption's
    // strip under it when asked, for every frame.
    WriteError Open(const QString &fileName, int scale = 1, int frameDelay = DefaultFrameDelay,
                    Strip strip = Strip::None);

    // Appends a map as MapImage() holds it, with its caption exactly when the file was
    // opened with Strip::Caption. A map that is not one (a wrong size, a colour that is no
    // group's) or a caption that cannot be drawn is refused and nothing is written, so the
    // file can go on; a failed write ends the file and every later call reports that failure.
    WriteError AddFrame(const QImage &map, const std::optional<MapCaption> &caption = std::nullopt);

    // Ends the file and gives it its name.
    WriteError Finish();

    bool isOpen() const { return file_ != nullptr; }
    int frameCount() const { return frames_; }

private:
    struct GifCloser
    {
        void operator()(GifFileType *gif) const;
    };

    int height() const;   // of every frame
    WriteError fail(const QString &reason);
    WriteError failInGif();
    WriteError writePending();
    void abandon();

    QString fileName_;
    std::unique_ptr<SaveFile> file_;
    QByteArray pending_;                            // what giflib wrote since the last frame
    std::unique_ptr<GifFileType, GifCloser> gif_;   // writes into pending_, so is closed first
    std::vector<uchar> row_;
    int scale_ = 1;
    Strip strip_ = Strip::None;
    int frameDelay_ = DefaultFrameDelay;
    int frames_ = 0;
    QString failure_;
};
