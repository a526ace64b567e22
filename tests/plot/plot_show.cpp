// Not a test: opens the "グラフ" window on an analysis to look at it by eye.
//   plot_show INPUT [NODE] [TENSION-RECORD] [STEP]
#include <QApplication>

#include "cli/cliargs.h"
#include "cli/readinput.h"
#include "plot/plotwindow.h"

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
    w.show();
    return QApplication::exec();
}
