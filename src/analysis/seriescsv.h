#pragma once
// The plotted series saved as CSV, in the CSV export's format: a "時間(s)"
// column, one column per series with the export's column heads, values in
// the general number format, Shift_JIS, CR LF.

#include <QString>
#include <vector>

#include "analysis/series.h"
#include "dataset/dataset.h"

namespace qrn::analysis {

// Writes `series` to `path` through a temporary that replaces the file only
// when complete. Rows: every time any series has a point at, ascending; a
// series without a point at a row's time leaves its cell empty. Throws
// QrnError (no file changed) when the file cannot be written.
void writeSeriesCsv(const std::vector<const Series*>& series, const QString& path);

// Saves what a plot shows: its selection's series (`selected`, as
// selectionSeries gave them) and any series added by name (`extra`). When
// the plot shows exactly a CSV selection (no extra series, every tension
// record or none) this is the CSV export itself (writeCsv), byte for byte;
// otherwise writeSeriesCsv. Throws QrnError for nothing to save or a failed
// write.
void savePlotCsv(const Dataset& data, const PlotSelection& sel, const QString& intervalText,
                 const std::vector<const Series*>& selected,
                 const std::vector<const Series*>& extra, const QString& path);

}  // namespace qrn::analysis
