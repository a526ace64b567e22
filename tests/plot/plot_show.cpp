// Not a test: opens the "グラフ" window on an analysis to look at it by eye.
//   plot_show INPUT [NODE] [TENSION-RECORD] [STEP] [viewer [play]]
// With "viewer", a real-mode viewer opens beside it, coupled as the viewers'
// "グラフ" menu will couple them: the time line follows the viewer's time bar,
// a click in the plot moves the bar; "play" starts playback.
#include <QApplication>
#include <QScrollBar>
#include <QToolButton>
#include <memory>

#include "cli/cliargs.h"
#include "cli/readinput.h"
#include "plot/plotwindow.h"
#include "viewer/viewerwindow.h"

using namespace qrn;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) return 2;
    const ReadRequest request = cli::makeReadRequest(args[1], cli::ReadOptions{});
    Dataset data;
    cli::TerminalHost host;
    const ReadResult r = cli::readInput(data, request, host);
    if (!r.completed) return 1;
    plot::PlotWindow w(data, r.intervalText);
    if (args.size() > 2) w.addNode(args[2].toInt());
    if (args.size() > 3) w.addTensionRecord(args[3].toInt());
    if (args.size() > 4) w.setCurrentStep(args[4].toInt());

    std::unique_ptr<viewer::ViewerWindow> v;
    if (args.size() > 5 && args[5] == QLatin1String("viewer")) {
        const QString interval = r.intervalText;
        v = std::make_unique<viewer::ViewerWindow>(
            data, 1, [interval] { return interval; }, [] {});
        v->move(0, 0);
        v->open(true);
        auto* bar = v->findChild<QScrollBar*>(QStringLiteral("HScroll1"));
        QObject::connect(bar, &QScrollBar::valueChanged, &w, &plot::PlotWindow::setCurrentStep);
        QObject::connect(&w, &plot::PlotWindow::stepClicked, v.get(),
                         &viewer::ViewerWindow::setTimeStep);
        w.setCurrentStep(v->timeStep());
        w.resize(900, 560);
        w.move(700, 420);
        if (args.size() > 6 && args[6] == QLatin1String("play"))
            v->findChild<QToolButton*>(QStringLiteral("Image0"))->click();
    }
    w.show();
    return QApplication::exec();
}
