#pragma once
// The read sequence ReadAnalysis: one complete read for any of the five reading
// work modes (0, 4, 5, 6, 7), reported through a Host.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "dataset/dataset.h"
#include "dataset/host.h"

namespace qrn {

// Work modes of the main window (Option1).
enum WorkMode : int {
    ReadHis = 0,
    LoadBinary = 1,
    SaveBinary = 2,
    ExportCsv = 3,
    CheckSettings = 4,
    ReadProText = 5,
    ReadProBinary = 6,
    CheckProSettings = 7,
};

// The main window's boxes the read needs.
struct ReadRequest {
    int mode = ReadHis;
    QString selectedPath;                           // Label1: the chosen file
    QString settingsPath;                           // Text5
    bool sectionChecked = false;                    // Check1
    QString sectionPath;                            // Text2
    QString intervalText = QStringLiteral("0.05");  // Text1 before the read
    // Bytes the displacement history may take; empty = what the machine has available.
    std::optional<std::uint64_t> memoryLimit;
    // Whether work modes 2 and 3 were enabled before the read: a read that fails
    // puts them back, as the previous dataset stays in memory.
    bool saveExportEnabled = false;
};

struct ReadResult {
    bool completed = false;  // false: a message was shown and `data` kept its content
    int thinning = 1;        // N
    QString intervalText;    // Text1 after the read
    double forceFactor = 1.0;
    double lengthFactor = 1.0;
    QStringList filesRead;
};

// Reads into a fresh dataset and swaps it into `data` only when the read completed.
// A missing settings file sets only data.StepMax to 0. A read that fails shows
// its message, hides the busy label and puts back what it had changed in the
// main window (DataReady, the interval box, work modes 2 and 3). The interval
// text written back is the core's; the host applies its own box rules to it.
ReadResult ReadAnalysis(Dataset& data, const ReadRequest& request, Host& host);

// The work mode a file's name implies (any case): *.his 0, *.f24 5, *.f08 6,
// *.dat 4, a name ending in ".qrn" or "qrn0".."qrn3" 1; empty for other names.
std::optional<int> workModeForName(const QString& path);

}  // namespace qrn
