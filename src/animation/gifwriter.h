#pragma once
// Animated GIF writer on giflib: GIF89a, one global colour table (Palette),
// a NETSCAPE2.0 block that loops forever, and every frame after the first
// cut to the rectangle that changed, with unchanged pixels transparent.
// giflib writes the file's structure; the pixel data is compressed by our
// LzwEncoder, which may keep an unchanged pixel's colour where that compresses
// better than transparency (about a quarter smaller for moving line art).
// Frames are streamed, so memory stays at two frames however long the film.
//
// Delays are in 1/100 s, GIF's own unit (0..65535).
// Every failure throws qrn::QrnError with a Japanese message naming the file;
// a file path is written through a temporary and appears only on finish().

#include <QString>
#include <cstdint>
#include <memory>

#include "animation/frame.h"
#include "animation/palette.h"

class QIODevice;

namespace qrn::gif {

// Title of the messages of the GIF export.
inline const QString kGifTitle = QStringLiteral("アニメーション作成");

inline constexpr int kMaxDelay = 65535;  // the GIF delay field is 16 bits
inline constexpr int kMaxSide = 65535;   // so are the image sides

class GifWriter {
  public:
    // Writes `path` through a temporary next to it (QSaveFile).
    GifWriter(const QString& path, const Palette& palette, int width, int height);
    // Writes to an open device; `name` stands for it in messages.
    GifWriter(QIODevice& device, const QString& name, const Palette& palette, int width,
              int height);
    // Without finish() the temporary is removed and the target left untouched.
    ~GifWriter();
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;

    // Frames must have the writer's size, indexed ones only indices of the
    // palette's colours. `delay` in 1/100 s.
    void addFrame(const Rgb32View& view, int delay);
    void addFrame(const IndexedFrame& frame, int delay);
    // Ends the file (at least one frame) and, for a path, replaces the target with it.
    void finish();

    int frameCount() const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qrn::gif
