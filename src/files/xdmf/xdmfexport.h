#pragma once
// HDF5 + XDMF export: the analysis as an HDF5 file (rest geometry, line cells,
// one group of datasets per exported step, the tension and beam histories)
// and an XDMF text beside it that describes it as a temporal collection of
// polyline grids, for ParaView, VisIt and Python. The layout is documented in
// docs/hdf5-layout.md.

#include <QString>
#include <cstdint>
#include <optional>

#include "dataset/dataset.h"
#include "dataset/progress.h"

namespace qrn {

// Busy caption while the pair is written.
inline const QString kXdmfStage = QStringLiteral("XDMF/HDF5出力中");

struct XdmfRequest {
    QString outputPath;    // OUT.xdmf; the HDF5 file goes beside it (xdmfDataPath)
    QString intervalText;  // the main window's interval box after the read (seconds per step)
    // The time boxes as typed, with the CSV window's rules; unset = as that
    // window opens ("0", the last step's time, the interval text).
    std::optional<QString> fromText, toText, everyText;
    bool compress = false;  // gzip + shuffle on every dataset
};

struct XdmfResult {
    QString xdmfPath;
    QString h5Path;
    std::int64_t steps = 0;   // exported steps
    std::int64_t points = 0;  // nodes of the grid
    std::int64_t cells = 0;   // cable segments and beam elements
    std::uint64_t bytes = 0;  // size of both files
};

// The HDF5 file written with an XDMF file: its name with the last suffix
// replaced by ".h5" (or ".h5" appended when it has none).
QString xdmfDataPath(const QString& xdmfPath);

// Writes the pair. Both files are written under temporary names in the target
// folder and replace the targets only when both are complete; on any failure
// (thrown QrnError with the Japanese message, or Cancelled when
// progress.cancelRequested() said so) no file of that name has changed and no
// temporary is left. Reports its stage and progress (0..1) through `progress`.
XdmfResult writeXdmf(const Dataset& data, const XdmfRequest& request, Progress& progress);

}  // namespace qrn
