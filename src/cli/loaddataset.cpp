// Mode 1 (ﾊﾞｲﾅﾘ保管DT読込) for qrnconv: the binary dataset reader, with INPUT's
// own name choosing the file generation as the file list's selection does.
#include <QFileInfo>

#include "cli/readinput.h"
#include "files/datafile.h"

namespace qrn::cli {

ReadResult loadDatasetFile(Dataset& data, const ReadRequest& request, TerminalHost& host) {
    LoadRequest load;
    load.path = request.selectedPath;
    load.selectedName = QFileInfo(request.selectedPath).fileName();
    load.dataReady = false;  // every run of qrnconv starts without data
    LoadResult loaded = DataLood(data, load, host);
    ReadResult r;
    r.completed = loaded.ready;
    // The load writes the stored interval into the box; a failed load leaves it.
    r.intervalText = loaded.outcome.intervalText.value_or(request.intervalText);
    if (r.completed) r.filesRead << request.selectedPath;
    r.outcome = std::move(loaded.outcome);
    return r;
}

}  // namespace qrn::cli
