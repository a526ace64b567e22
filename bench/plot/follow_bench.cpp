// Playback with the "グラフ" window following it: the real viewer on the sample
// analysis draws every step (time bar, frame, repaint), first alone, then with
// the plot window coupled through the viewers' link and holding 4 series x
// 1,000,000 steps over the same 20 s. The machine is shared: alone / with the
// plot / alone again, CPU time per frame. Prints "frames alone_ms plot_ms".
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

#include "app/plotlink.h"
#include "cli/cliargs.h"
#include "cli/readinput.h"
#include "cli/sample.h"
#include "series.h"

namespace {

// CPU milliseconds per frame of one pass over every step.
double pass(qrn::viewer::ViewerWindow& v) {
    const int last = v.timeStepMaximum();
    const std::clock_t cpu = std::clock();
    for (int step = 0; step <= last; ++step) {
        v.setTimeStep(step);
        QCoreApplication::processEvents();
    }
    return static_cast<double>(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC / (last + 1);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The viewer remembers its boxes: not in the user's settings.
    QCoreApplication::setOrganizationName(QStringLiteral("qrnview-bench"));
    QTemporaryDir dir;
    qrn::sample::writeSample(dir.path(), qrn::sample::SampleOptions{});
    qrn::Dataset data;
    qrn::cli::TerminalHost host([](const QByteArray&) {}, false);
    const qrn::ReadRequest request = qrn::cli::makeReadRequest(
        QDir(dir.path()).filePath(QStringLiteral("run1.his")), qrn::cli::ReadOptions{});
    const qrn::ReadResult read = qrn::cli::readInput(data, request, host);
    if (!read.completed) return 1;
    const QString interval = read.intervalText;
    auto intervalText = [interval] { return interval; };

    qrn::viewer::ViewerWindow viewer(data, 1, intervalText, [] {});
    viewer.open(true);
    QCoreApplication::processEvents();
    const double alone1 = pass(viewer);

    qrn::PlotLink link(data, intervalText);
    link.attach(&viewer);
    link.open(&viewer);
    const double span = 0.05 * (viewer.timeStepMaximum() + 1);
    for (auto& s : qrn::bench::longSeries()) {
        s.grid.dt = span / static_cast<double>(qrn::bench::kSteps);
        link.window()->addNamedSeries(std::move(s));
    }
    link.window()->resize(1920, 900);
    QCoreApplication::processEvents();
    const double withPlot = pass(viewer);
    link.close();
    QCoreApplication::processEvents();
    const double alone2 = pass(viewer);

    std::printf("%d %.2f %.2f\n", viewer.timeStepMaximum() + 1, (alone1 + alone2) / 2, withPlot);
    return 0;
}
