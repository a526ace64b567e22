#include <QApplication>
#include <QTimer>
#include <array>
#include <memory>

#include "analysis/window/resultswindow.h"
#include "animation/dialog/gifexportdialog.h"
#include "app/mainwindow.h"
#include "app/plotlink.h"
#include "dataset/dataset.h"
#include "files/csvwindow/csvexportwindow.h"
#include "viewer/viewerwindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qrnview"));
    // The settings go to qrnview/qrnview.conf (or the registry key qrnview\qrnview),
    // not under "Unknown Organization".
    QApplication::setOrganizationName(QStringLiteral("qrnview"));

    // The application owns the one dataset; every window works on it by reference.
    qrn::Dataset data;
    qrn::MainWindow window(data);

    auto intervalText = [&window] { return window.intervalText(); };
    // "結果集計" of either viewer: one window, serving the viewer that opened it
    // and closed when the user leaves the viewers.
    qrn::ResultsWindow results(data, intervalText);
    // "グラフ" of either viewer, the same way; it takes the results window's curves.
    qrn::PlotLink plot(data, intervalText);
    plot.attach(&results);
    auto showMain = [&window, &results, &plot] {
        results.close();
        plot.close();
        window.show();
        window.raise();
        window.activateWindow();
    };
    // One viewer per display mode, living as long as the program.
    std::array<std::unique_ptr<qrn::viewer::ViewerWindow>, 2> viewers = {
        std::make_unique<qrn::viewer::ViewerWindow>(data, 0, intervalText, showMain),
        std::make_unique<qrn::viewer::ViewerWindow>(data, 1, intervalText, showMain)};
    window.setViewerOpener([&viewers, &results, &plot](int mode, bool resetTime) {
        results.checkDataset();  // a read may have replaced the dataset
        plot.checkDataset();
        // A read or load opens the viewer with its time reset: both viewers
        // then start fitted to the new model at their next opening.
        if (resetTime)
            for (auto& v : viewers) v->noteNewDataset();
        viewers[static_cast<std::size_t>(mode == 1 ? 1 : 0)]->open(resetTime);
    });
    for (auto& v : viewers) plot.attach(v.get());
    for (auto& v : viewers) {
        qrn::viewer::ViewerWindow* viewer = v.get();
        QObject::connect(
            viewer, &qrn::viewer::ViewerWindow::resultsRequested, &results, [viewer, &results] {
                qrn::ResultsWindow::Viewer hooks;
                hooks.window = viewer;
                hooks.showStep = [viewer](int step) {
                    viewer->stopPlayback();
                    viewer->setTimeStep(step);
                };
                hooks.selectTension = [viewer](int record) { viewer->selectTensionRecord(record); };
                hooks.showClearance = [viewer](const qrn::Clearance* c) {
                    if (!c) {
                        viewer->setClearanceOverlay(std::nullopt);
                        return;
                    }
                    viewer->setClearanceOverlay(qrn::render::ClearanceOverlay{
                        {c->a.slot, c->a.segment, c->a.u}, {c->b.slot, c->b.segment, c->b.u}});
                };
                results.openFor(hooks);
            });
    }

    qrn::gif::GifExportDialog gifDialog;
    viewers[1]->setGifAnimationHandler([&gifDialog, &viewers, intervalText] {
        qrn::viewer::ViewerWindow* real = viewers[1].get();
        qrn::gif::GifExportDialog::Viewer hooks;
        hooks.stopPlayback = [real] { real->stopPlayback(); };
        hooks.timeStepMaximum = [real] { return real->timeStepMaximum(); };
        hooks.setTimeStep = [real](int step) { real->setTimeStep(step); };
        hooks.currentImage = [real] { return real->currentImage(); };
        hooks.intervalText = intervalText;
        // A dialog: title and close button, no minimise or maximise.
        gifDialog.setParent(real, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                      Qt::WindowCloseButtonHint);
        gifDialog.openFor(hooks);
    });

    window.setCsvOpener([&window, &data] {
        qrn::CsvExportWindow csv(data, window.selectedPath(), window.intervalText(), data.DirPath,
                                 &window);
        csv.exec();
    });

    window.show();
    QTimer::singleShot(0, &window, [&window] { window.showAbout(); });
    const int rc = QApplication::exec();
    // Viewers show the main window when they close; end them quietly first.
    gifDialog.setParent(nullptr);
    results.close();
    results.setParent(nullptr);
    plot.close();
    for (auto& v : viewers) v->setGifAnimationHandler({});
    viewers = {};
    return rc;
}
