#include "app/appwindows.h"

#include "files/csvwindow/csvexportwindow.h"
#include "widgets/overwrite.h"

namespace qrn {

AppWindows::AppWindows(Dataset& data)
    : data_(data),
      window_(data),
      // "結果集計" and "グラフ" of either viewer: one window each, serving the
      // viewer that opened it and closed when the user leaves the viewers.
      results_(data, [this] { return window_.intervalText(); }),
      plot_(data, [this] { return window_.intervalText(); }) {
    plot_.attach(&results_);
    auto intervalText = [this] { return window_.intervalText(); };
    auto showMain = [this] {
        results_.close();
        plot_.close();
        window_.show();
        window_.raise();
        window_.activateWindow();
    };
    viewers_ = {std::make_unique<viewer::ViewerWindow>(data, 0, intervalText, showMain),
                std::make_unique<viewer::ViewerWindow>(data, 1, intervalText, showMain)};
    window_.setViewerOpener([this](int mode, bool resetTime) {
        results_.checkDataset();  // a read may have replaced the dataset
        plot_.checkDataset();
        viewer(mode).open(resetTime);
    });
    // Both viewers start fitted to a new model at their next opening; the
    // plot's numbers are of the old one.
    window_.setDatasetReplacedHandler([this] {
        plot_.close();
        for (auto& v : viewers_) v->noteNewDataset();
    });
    for (auto& v : viewers_) {
        plot_.attach(v.get());
        wireResults(v.get());
    }
    wireGifDialog();

    window_.setCsvOpener([this] {
        CsvExportWindow csv(data_, window_.selectedPath(), window_.intervalText(), data_.DirPath,
                            &window_);
        csv.setWindowFlags(kDialogWindowFlags);
        if (csv.exec() != QDialog::Accepted) return QStringList();
        return csvOutputFiles(csv.selection().outputPath, csv.selection().split);
    });
}

AppWindows::~AppWindows() {
    gifDialog_.setParent(nullptr);
    results_.close();
    results_.setParent(nullptr);
    plot_.close();
    for (auto& v : viewers_) v->setGifAnimationHandler({});
    viewers_ = {};
}

void AppWindows::setMessageSink(const std::function<void(const QString&, const QString&)>& sink) {
    window_.setMessageSink(sink);
    gifDialog_.messageSink = sink;
}

void AppWindows::wireResults(viewer::ViewerWindow* viewer) {
    QObject::connect(viewer, &viewer::ViewerWindow::resultsRequested, &results_, [this, viewer] {
        ResultsWindow::Viewer hooks;
        hooks.window = viewer;
        hooks.showStep = [viewer](int step) {
            viewer->stopPlayback();
            viewer->setTimeStep(step);
        };
        hooks.selectTension = [viewer](int record) { viewer->selectTensionRecord(record); };
        hooks.showClearance = [viewer](const Clearance* c) {
            if (!c) {
                viewer->setClearanceOverlay(std::nullopt);
                return;
            }
            viewer->setClearanceOverlay(render::ClearanceOverlay{
                {c->a.slot, c->a.segment, c->a.u}, {c->b.slot, c->b.segment, c->b.u}});
        };
        results_.openFor(hooks);
    });
}

// "GIFアニメ" belongs to the real-mode viewer.
void AppWindows::wireGifDialog() {
    viewer::ViewerWindow* real = viewers_[1].get();
    QObject::connect(
        &gifDialog_, &gif::GifExportDialog::fileWritten, real,
        [real](const QString& path) { real->showStatus(QStringLiteral("保存しました: ") + path); });
    real->setGifAnimationHandler([this, real] {
        gif::GifExportDialog::Viewer hooks;
        hooks.stopPlayback = [real] { real->stopPlayback(); };
        hooks.timeStepMaximum = [real] { return real->timeStepMaximum(); };
        hooks.setTimeStep = [real](int step) { real->setTimeStep(step); };
        hooks.currentImage = [real] { return real->currentImage(); };
        hooks.intervalText = [this] { return window_.intervalText(); };
        // A dialog: title and close button, no minimise or maximise.
        gifDialog_.setParent(real, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                       Qt::WindowCloseButtonHint);
        gifDialog_.openFor(hooks);
    });
}

}  // namespace qrn
