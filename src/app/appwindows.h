#pragma once
// The program's windows and how they work together: the main window, one
// viewer per display mode, "結果集計", "グラフ", the animation dialog and the
// CSV window, all on the one dataset. qrnview and the soak run build the
// same set.

#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "analysis/window/resultswindow.h"
#include "animation/dialog/gifexportdialog.h"
#include "app/mainwindow.h"
#include "app/plotlink.h"
#include "dataset/dataset.h"
#include "viewer/viewerwindow.h"

namespace qrn {

class AppWindows {
  public:
    // `data` must outlive the windows.
    explicit AppWindows(Dataset& data);
    // Ends the windows quietly (viewers show the main window when they close).
    ~AppWindows();
    AppWindows(const AppWindows&) = delete;
    AppWindows& operator=(const AppWindows&) = delete;

    MainWindow& main() { return window_; }
    // 0: the normal-mode viewer, 1: the real-mode one.
    viewer::ViewerWindow& viewer(int mode) { return *viewers_[mode == 1 ? 1 : 0]; }
    gif::GifExportDialog& gifDialog() { return gifDialog_; }

    // Messages of the main window and the animation dialog go to `sink`
    // instead of a box (a run without a user).
    void setMessageSink(const std::function<void(const QString&, const QString&)>& sink);

  private:
    void wireResults(viewer::ViewerWindow* viewer);
    void wireGifDialog();

    Dataset& data_;
    MainWindow window_;
    ResultsWindow results_;
    PlotLink plot_;
    std::array<std::unique_ptr<viewer::ViewerWindow>, 2> viewers_;
    gif::GifExportDialog gifDialog_;
};

}  // namespace qrn
