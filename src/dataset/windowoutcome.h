#pragma once
// What the main window applies once a read, a load or a save has returned. The
// operation itself only reports progress and messages while it runs (Progress);
// everything it means for the window's boxes comes back here, so the core
// never knows the window and qrnconv reads the same result.

#include <QString>
#include <optional>
#include <vector>

namespace qrn {

// A message box with a single OK button.
struct Notice {
    QString title;
    QString text;
};

struct WindowOutcome {
    // Boxes the operation fills; empty = left as they are. The interval text is
    // the core's: the box still applies its own rule to it.
    std::optional<QString> settingsText;
    std::optional<QString> intervalText;
    // Work modes 2 and 3 ("読込DTﾊﾞｲﾅﾘ保存", "CSVﾌｧｲﾙの出力") enabled or disabled.
    std::optional<bool> saveExportAllowed;
    // DataReady: the dataset in memory matches the boxes, so execute only shows it.
    std::optional<bool> dataReady;
    // The static-equilibrium file was missing: its check box is unticked (after
    // DataReady is set, so the untick clears it again as a user's untick does).
    bool sectionUnticked = false;
    // A file was written into the folder the file list shows.
    bool refreshFileList = false;
    // Show the viewer of the chosen display mode; resetViewerTime first sets its
    // time scroll bar to 0.
    bool openViewer = false;
    bool resetViewerTime = false;
    // Shown in order once the busy state is over and the viewer is open: the
    // failure of the operation, or a note on what it did.
    std::vector<Notice> notices;
};

}  // namespace qrn
