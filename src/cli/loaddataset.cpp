// Mode 1 (ﾊﾞｲﾅﾘ保管DT読込) for qrnconv. The binary dataset reader is not part of
// the program yet; once it is, this file calls DataLood and nothing else changes.
#include "cli/readinput.h"

namespace qrn::cli {

ReadResult loadDatasetFile(Dataset&, const ReadRequest& request, TerminalHost& host) {
    ReadResult r;
    r.intervalText = request.intervalText;
    host.showMessage(QStringLiteral("qrnconv"),
                     QStringLiteral("ﾊﾞｲﾅﾘ保管DT読込（作業モード 1）はまだ使用できません。"));
    return r;
}

}  // namespace qrn::cli
