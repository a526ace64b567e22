#pragma once
// The binary dataset file: writer DataSave (current generation ".qrn3") and
// reader DataLood (generations A, 0, 1, 2, 3 by file name).

#include <QString>
#include <cstdint>

#include "dataset/dataset.h"
#include "dataset/fileformat.h"
#include "dataset/progress.h"
#include "dataset/windowoutcome.h"

namespace qrn {

struct SaveRequest {
    QString outputPath;    // DirPath + base + ".qrn3", as the window shows it
    QString outputText;    // the output name box
    QString selectedName;  // name selected in the file list (empty when none)
    QString dirPath;       // DirPath, ending in the native separator
    QString intervalText;  // the interval box
};

struct SaveResult {
    bool saved = false;
    WindowOutcome outcome;  // on failure only its notice: every file is as it was
};

// Writes the dataset (stage "データ保存中", progress); then the selected file of
// the same name goes, and the outcome refreshes the file list and sets DataReady.
SaveResult DataSave(const Dataset& data, const SaveRequest& request, Progress& progress);

struct LoadRequest {
    QString path;            // the chosen file
    QString selectedName;    // the file list's selected name: decides the generation
    bool dataReady = false;  // DataReady = -1: only reopen the viewer
};

struct LoadResult {
    bool ready = false;  // the dataset in memory is ready to view (read, or already ready)
    // The user stopped the load: `data` and the window stay as they were, the
    // outcome is empty and nothing is shown.
    bool cancelled = false;
    WindowOutcome outcome;  // on failure only its notice, naming the file
};

// Reads the file into a fresh dataset (stage "データ読込中", progress, polling
// cancelRequested() between arrays and with each progress report) and swaps it
// in when complete; on failure or cancel leaves `data` unchanged.
LoadResult DataLood(Dataset& data, const LoadRequest& request, Progress& progress);

// ---- Lower-level pieces, shared with qrnconv and the tests ----

// The interval box as stored in the file: its value x 100, ties to even. Throws QrnError
// (title "ファイル書き込みエラー") when it does not fit 16 bits.
std::int16_t intervalHundredths(const QString& intervalText);
// The stored interval as the interval box shows it after a load ("0.05" for 5).
QString intervalText(std::int16_t hundredths);

// Reads the file at `path` into `out` (which should be fresh); `fileName`'s
// format (fileFormatOf) decides the generation and the tension table. Returns the stored interval.
// Throws QrnError naming the file, Cancelled when `progress` asks to stop.
std::int16_t readDataFile(const QString& path, const QString& fileName, Dataset& out,
                          Progress* progress = nullptr);

// Writes `data` as the current generation to `path` through QSaveFile, whatever
// the name. Refuses (throws QrnError, nothing written) when the dataset cannot
// be stored so that it reads back exactly.
void writeDataFile(const Dataset& data, const QString& path, std::int16_t interval,
                   Progress* progress = nullptr);

// `qrnconv save` with a dataset already read (by the read sequence or a binary
// load): writes `outputPath` as the current generation whatever its name, with
// the interval box text `intervalText`. Deletes nothing; the outcome holds
// only the failure's notice.
SaveResult SaveDataFileAs(const Dataset& data, const QString& outputPath,
                          const QString& intervalText, Progress& progress);

// A binary dataset file of any generation loaded into `data` (as DataLood; the
// outcome has the stored interval) and written to `outputPath` as the current
// generation with that interval unchanged.
SaveResult ConvertDataFile(Dataset& data, const QString& inputPath, const QString& outputPath,
                           Progress& progress);

}  // namespace qrn
