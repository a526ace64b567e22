#pragma once
// What the core's long operations (the read sequence, the binary dataset file
// reader and writer) report to whoever started them. The main window
// implements it with widgets, qrnconv for a terminal, tests with a recorder.
// The core never shows a dialog or touches a widget itself.

#include <QString>

namespace qrn {

// Title of message boxes that are shown "under the application's title".
inline const QString kAppTitle = QStringLiteral("qrnview");

class Host {
  public:
    virtual ~Host() = default;

    // A modal message box with a single OK button.
    virtual void showMessage(const QString& title, const QString& text) = 0;
    // Busy label Label10: caption and visibility; visible also means the hourglass pointer.
    virtual void setBusyCaption(const QString& caption) = 0;
    virtual void setBusyVisible(bool visible) = 0;
    // Let the window repaint once (pending paint events are processed).
    virtual void repaintOnce() = 0;
    // Fraction 0..1 of the current file read; called often, cheap to ignore.
    virtual void progress(double fraction) = 0;

    // Main-window boxes the operations write.
    virtual void setSettingsText(const QString& text) = 0;  // Text5
    virtual void setIntervalText(const QString& text) = 0;  // Text1
    // Work modes 2 and 3 ("読込DTﾊﾞｲﾅﾘ保存", "CSVﾌｧｲﾙの出力").
    virtual void setSaveExportEnabled(bool enabled) = 0;
    // Untick Check1 (the host then hides Text2 and its browse button and sets DataReady 0).
    virtual void uncheckSection() = 0;
    virtual void setDataReady(bool ready) = 0;  // DataReady -1 (true) or 0 (false)
    // Refresh the file list so it shows a newly written file.
    virtual void refreshFileList() = 0;
    // Set the chosen display mode's viewer time scroll bar to 0 (when resetTime) and show it.
    virtual void openViewer(bool resetTime) = 0;
};

// A host that does nothing: a base for tests and batch hosts that need only a few calls.
class NullHost : public Host {
  public:
    void showMessage(const QString&, const QString&) override {}
    void setBusyCaption(const QString&) override {}
    void setBusyVisible(bool) override {}
    void repaintOnce() override {}
    void progress(double) override {}
    void setSettingsText(const QString&) override {}
    void setIntervalText(const QString&) override {}
    void setSaveExportEnabled(bool) override {}
    void uncheckSection() override {}
    void setDataReady(bool) override {}
    void refreshFileList() override {}
    void openViewer(bool) override {}
};

}  // namespace qrn
