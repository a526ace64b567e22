#pragma once
// The export run for all three file types: the animation dialog and qrnconv
// hand it a checked plan, and the name's extension picks the writer (.gif the
// GIF writer, .mp4 H.264, .webm VP9) on the same images and progress.

#include <optional>

#include "animation/exportrun.h"
#include "animation/videowriter.h"

namespace qrn::gif {

struct ExportSettings {
    Palette palette;                      // GIF: the colour table
    std::uint32_t background = 0xFFFFFF;  // video: 0xRRGGBB of the padding to even sides
    std::optional<int> crf;               // video quality; the codec's default when empty
};

// The video writer as a sink; frames per second speed / every of the plan.
OpenSink videoSink(const ExportPlan& plan, video::Codec codec, const ExportSettings& settings);

// Draws the plan's images and writes them in the format of plan.path (formatOf),
// through runExport; the busy caption is set first (exportCaption).
void exportFile(const ExportPlan& plan, const ExportSettings& settings, const DrawFrame& draw,
                Progress& progress);

}  // namespace qrn::gif
