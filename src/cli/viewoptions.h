#pragma once
// The view options of frame and gif (the viewer's controls) and the csv
// options (the CSV window's controls), taken from the command line. Malformed
// values are bad command-line use (UsageError); values the window itself
// would accept and correct are passed on as typed.

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "animation/gifexport.h"
#include "cli/cliargs.h"
#include "files/csvexport.h"
#include "viewer/framejob.h"

namespace qrn::cli {

// --view --window --time-step --p1 --p2 --markers --marker-size --twist-scale
// --line-width --disp-scale --zoom --h --v --node-range --pan and the
// switches --sideways --near-low --trace.
std::vector<OptionSpec> viewOptionSpecs();
QString viewOptionsHelp();

// Largest client width or height --window accepts.
inline constexpr int kMaxWindowSide = 10000;

// The view options as the frame job takes them; the display mode defaults to real.
viewer::FrameOptions frameOptionsFrom(const ParsedArgs& a);

// --nodes --axes --beams --from --to --every and --tension --init --split.
std::vector<OptionSpec> csvOptionSpecs();
// UsageError when an option text is malformed (csvOptionsError).
CsvCliOptions csvOptionsFrom(const ParsedArgs& a);

class TerminalHost;

// --from --to --every --speed: the animation dialog's boxes, for gif and video.
std::vector<OptionSpec> animationOptionSpecs();

// gif and video after their own options: reads positional INPUT, plans the
// export the dialog would make to positional OUTPUT and hands the plan and
// the frames to `write`. Messages and the exit status as for every subcommand.
using WriteAnimation = std::function<void(const gif::ExportPlan& plan, const gif::DrawFrame& draw,
                                          TerminalHost& host)>;
int runAnimationExport(const ParsedArgs& a, const WriteAnimation& write);

}  // namespace qrn::cli
