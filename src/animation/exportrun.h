#pragma once
// One export run for every file type the animation dialog writes: the images of
// a checked ExportPlan are drawn in order and handed, as they are drawn, to a
// FrameSink opened for the first image's size. Progress and cancel go through
// qrn::Progress. The GIF sink lives here; the video sinks (FFmpeg) in
// animation/videoexport.h, so the GIF side needs no FFmpeg.

#include <QString>
#include <functional>
#include <memory>

#include "animation/frame.h"
#include "animation/gifexport.h"
#include "animation/palette.h"
#include "dataset/progress.h"

namespace qrn::gif {

enum class ExportFormat { Gif, Mp4, WebM };

// By the name's extension, in any case: .mp4 and .webm are videos; every other
// name is a GIF, as the dialog has always written whatever name it was given.
ExportFormat formatOf(const QString& path);

// Where the images go. Destroyed without finish(), it leaves no file behind and
// any earlier file of the name as it was.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    // The pixels are only read during the call.
    virtual void addFrame(const Rgb32View& view) = 0;
    virtual void finish() = 0;
};

// Opens the sink for the size of the first image.
using OpenSink = std::function<std::unique_ptr<FrameSink>(int width, int height)>;

// Draws each image of the plan (draw(step)) and adds it to the sink, reporting
// progress after each. cancelRequested() is polled before each image and before
// the file is completed; a request throws qrn::Cancelled and nothing is written.
// QrnError from any part aborts the same way.
void runExport(const ExportPlan& plan, const DrawFrame& draw, const OpenSink& open,
               Progress& progress);

// The GIF writer as a sink: every image shown plan.delay hundredths of a second.
OpenSink gifSink(const ExportPlan& plan, const Palette& palette);

// The busy caption of an export of that format.
QString exportCaption(ExportFormat format);

}  // namespace qrn::gif
