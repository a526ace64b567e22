#pragma once
// The view options of frame and gif (the viewer's controls) and the csv
// options (the CSV window's controls), taken from the command line. Malformed
// values are bad command-line use (UsageError); values the window itself
// would accept and correct are passed on as typed.

#include <QString>
#include <optional>
#include <vector>

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

}  // namespace qrn::cli
