#pragma once
// The binary dataset file: writer DataSave (current generation ".qrn3") and
// reader DataLood (generations A, 0, 1, 2, 3 by file name).

#include <QString>
#include <cstdint>

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
    QString path;            // Label1
    QString selectedName;    // the file list's selected name: decides the generation
    bool dataReady = false;  // DataReady = -1: only reopen the viewer
};

// Reads the file into a fresh dataset and swaps it in when complete; on failure
// shows a message naming the file and leaves `data` unchanged. Returns true
// when the dataset in memory is ready to view (read, or already ready).
bool DataLood(Dataset& data, const LoadRequest& request, Host& host);

// ---- Lower-level pieces, shared with qrnconv and the tests ----

// File generations, told apart by the last four characters of the name only.
enum class DataFileGeneration { A, G0, G1, G2, G3 };
DataFileGeneration dataFileGeneration(const QString& fileName);
// True for names that end in ".qrn" or "qrn0".."qrn3" (any case): qrnconv's
// default of work mode 1.
bool isDataFileName(const QString& fileName);

// Text1 as stored in the file: its value x 100, ties to even. Throws QrnError
// (title "ファイル書き込みエラー") when it does not fit 16 bits.
std::int16_t intervalHundredths(const QString& intervalText);
// The stored interval as Text1 shows it after a load ("0.05" for 5).
QString intervalText(std::int16_t hundredths);

// Reads the file at `path` into `out` (which should be fresh); `fileName`
// decides the generation and the tension table. Returns the stored interval.
// Throws QrnError naming the file; `host` only gets progress.
std::int16_t readDataFile(const QString& path, const QString& fileName, Dataset& out,
                          Host* host = nullptr);

// Writes `data` as the current generation to `path` through QSaveFile, whatever
// the name. Refuses (throws QrnError, nothing written) when the dataset cannot
// be stored so that it reads back exactly.
void writeDataFile(const Dataset& data, const QString& path, std::int16_t interval,
                   Host* host = nullptr);

// `qrnconv save` with a dataset already read (by the read sequence or a binary
// load): writes `outputPath` as the current generation whatever its name, with
// the interval box text `intervalText`. Deletes nothing, opens no viewer.
// Shows the message through `host` and returns false on failure.
bool SaveDataFileAs(const Dataset& data, const QString& outputPath, const QString& intervalText,
                    Host& host);

// `qrnconv save` with a binary dataset file of any generation as INPUT: loads
// it into `data` (as DataLood, without the viewer; the host gets the interval
// text) and writes `outputPath` as the current generation.
bool ConvertDataFile(Dataset& data, const QString& inputPath, const QString& outputPath,
                     Host& host);

}  // namespace qrn
