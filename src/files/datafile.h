#pragma once
// The binary dataset file: writer DataSave (current generation ".qrn3") and
// reader DataLood (generations A, 0, 1, 2, 3 by file name).

#include <QString>

#include "dataset/dataset.h"
#include "dataset/host.h"

namespace qrn {

struct SaveRequest {
    QString outputPath;    // Label1 (DirPath + base + ".qrn3")
    QString outputText;    // Text5
    QString selectedName;  // name selected in the file list (empty when none)
    QString dirPath;       // DirPath, ending in the native separator
    QString intervalText;  // Text1
};

// Writes the dataset; on failure shows a message and leaves every file as it was.
// Returns true on success.
bool DataSave(const Dataset& data, const SaveRequest& request, Host& host);

struct LoadRequest {
    QString path;          // Label1
    QString selectedName;  // the file list's selected name: decides the generation
    bool dataReady = false;  // DataReady = -1: only reopen the viewer
};

// Reads the file into a fresh dataset and swaps it in when complete; on failure
// shows a message naming the file and leaves `data` unchanged. Returns true
// when the dataset in memory is ready to view (read, or already ready).
bool DataLood(Dataset& data, const LoadRequest& request, Host& host);

}  // namespace qrn
