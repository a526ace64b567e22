#pragma once
// The read sequence ReadAnalysis: one complete read for any of the five reading
// work modes (0, 4, 5, 6, 7). It reports progress and messages while it runs and
// returns what the main window applies.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "dataset/dataset.h"
#include "dataset/progress.h"
#include "dataset/windowoutcome.h"

namespace qrn {

// Work modes of the main window.
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
    QString selectedPath;         // the chosen file
    QString settingsPath;         // the settings file box
    bool sectionChecked = false;  // "静的釣合条件ＤＴ(時間断面ファイル)読込"
    QString sectionPath;          // the static-equilibrium file box
    QString intervalText = QStringLiteral("0.05");  // the interval box before the read
    // Bytes the displacement history may take; empty = what the machine has available.
    std::optional<std::uint64_t> memoryLimit;
};

struct ReadResult {
    bool completed = false;  // false: `data` kept its content; the failure is a notice
    // The user stopped the read (Progress::cancelRequested): `data` and the
    // window stay as they were, the outcome is empty and nothing is shown.
    bool cancelled = false;
    // A settings-only read (modes 4, 7): the histories are one frame at rest, so
    // there is nothing to save or export.
    bool settingsOnly = false;
    int thinning = 1;      // N
    QString intervalText;  // the interval box after the read (before the box's own rule)
    double forceFactor = 1.0;
    double lengthFactor = 1.0;
    QStringList filesRead;
    WindowOutcome outcome;  // what the main window applies
};

// Reads into a fresh dataset and swaps it into `data` only when the read completed.
// A missing settings file sets only data.StepMax to 0. While it runs, it reports
// the stage "データ読込中", progress, and a missing static-equilibrium file as a
// message, and polls cancelRequested() between blocks of work; a failure ends
// it with the failure as the outcome's notice and the window's state as it was
// (a settings-only read still names its file in the settings box). A settings
// file without any cable or beam element is a failure; a history file cut short
// is read as far as its steps are complete, with a warning among the notices.
ReadResult ReadAnalysis(Dataset& data, const ReadRequest& request, Progress& progress);

// The work mode a file's name implies (fileFormatOf): *.his 0, *.f24 5, *.f08 6,
// *.dat 4, a name ending in ".qrn" or "qrn0".."qrn3" 1; empty for other names.
std::optional<int> workModeForName(const QString& path);

}  // namespace qrn
