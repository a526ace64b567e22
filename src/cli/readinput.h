#pragma once
// Reading INPUT exactly as the main window's execute does in a work mode: the
// read sequence in the reading modes, the binary dataset reader in mode 1.

#include <QByteArray>

#include "cli/terminalhost.h"
#include "dataset/dataset.h"
#include "readers/readsequence.h"

namespace qrn::cli {

// Fills `data` from the request's input; `completed` false means `data` kept
// its content. The outcome's notices (a failure, the thinning note) are printed
// through `host` before it returns, and intervalText has the box's rule applied.
ReadResult readInput(Dataset& data, const ReadRequest& request, TerminalHost& host);

// Mode 1: the binary dataset file at request.selectedPath.
ReadResult loadDatasetFile(Dataset& data, const ReadRequest& request, TerminalHost& host);

// What `qrnconv info` prints: the counts, the thinning step, the interval text
// after the read, the unit factors and the files read; one JSON object when
// `json`, else one "name value" line each.
QByteArray infoText(const Dataset& data, const ReadResult& result, bool json);

// A JSON string literal (quotes included) for any text.
QByteArray jsonString(const QString& text);

}  // namespace qrn::cli
