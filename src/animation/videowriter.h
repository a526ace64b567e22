#pragma once
// Video writer on FFmpeg's libraries: H.264 (libx264) in MP4 with the index at
// the front, so the file plays while it downloads, or VP9 (libvpx-vp9) in WebM;
// yuv420p, constant quality (CRF). Frames are converted straight from the
// caller's 32-bit pixels into the encoder's picture, one colour conversion and
// no other copy; a side of odd length is padded to even with the background.
// Frame i is stamped i × den / num seconds, so the timing is exact.
//
// The file is written under a temporary name in the target's folder and
// renamed over the target by finish(); a writer destroyed before that removes
// the temporary and leaves any earlier file as it was. Every failure throws
// qrn::QrnError with a Japanese message naming the file (title kGifTitle).

#include <QString>
#include <cstdint>
#include <memory>
#include <utility>

#include "animation/frame.h"
#include "animation/gifexport.h"

namespace qrn::video {

enum class Codec { H264, Vp9 };

// The encoder's name in FFmpeg and its CRF scale.
const char* encoderName(Codec codec);
int defaultCrf(Codec codec);                // 18 for H.264, 32 for VP9
std::pair<int, int> crfRange(Codec codec);  // inclusive

struct VideoSettings {
    Codec codec = Codec::H264;
    int width = 0;  // the pictures' size; the video's is rounded up to even
    int height = 0;
    gif::FrameRate rate{20, 1};
    int crf = -1;                         // -1: defaultCrf
    std::uint32_t background = 0xFFFFFF;  // 0xRRGGBB of the padding
    const char* encoder = nullptr;        // another encoder of the codec (tests)
};

class VideoWriter {
  public:
    VideoWriter(const QString& path, const VideoSettings& settings);
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // A picture of the settings' size; its pixels are read during the call only.
    void addFrame(const gif::Rgb32View& view);
    // Drains the encoder, completes the file and replaces the target with it.
    void finish();
    int frameCount() const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qrn::video
