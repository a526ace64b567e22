#include <QApplication>
#include <QTimer>
#include <array>
#include <memory>

#include "animation/dialog/gifexportdialog.h"
#include "app/mainwindow.h"
#include "dataset/dataset.h"
#include "files/csvwindow/csvexportwindow.h"
#include "viewer/viewerwindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qrnview"));

    // The application owns the one dataset; every window works on it by reference.
    qrn::Dataset data;
    qrn::MainWindow window(data);

    auto intervalText = [&window] { return window.intervalText(); };
    auto showMain = [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    };
    // One viewer per display mode, living as long as the program.
    std::array<std::unique_ptr<qrn::viewer::ViewerWindow>, 2> viewers = {
        std::make_unique<qrn::viewer::ViewerWindow>(data, 0, intervalText, showMain),
        std::make_unique<qrn::viewer::ViewerWindow>(data, 1, intervalText, showMain)};
    window.setViewerOpener([&viewers](int mode, bool resetTime) {
        viewers[static_cast<std::size_t>(mode == 1 ? 1 : 0)]->open(resetTime);
    });

    qrn::gif::GifExportDialog gifDialog;
    viewers[1]->setGifAnimationHandler([&gifDialog, &viewers, intervalText] {
        qrn::viewer::ViewerWindow* real = viewers[1].get();
        qrn::gif::GifExportDialog::Viewer hooks;
        hooks.stopPlayback = [real] { real->stopPlayback(); };
        hooks.timeStepMaximum = [real] { return real->timeStepMaximum(); };
        hooks.setTimeStep = [real](int step) { real->setTimeStep(step); };
        hooks.currentImage = [real] { return real->currentImage(); };
        hooks.intervalText = intervalText;
        gifDialog.setParent(real, Qt::Dialog);
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
    for (auto& v : viewers) v->setGifAnimationHandler({});
    viewers = {};
    return rc;
}
