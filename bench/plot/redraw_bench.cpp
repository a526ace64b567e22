// Redraw of the "グラフ" window with 4 series x 1,000,000 steps after a zoom:
// the new range, its reduction at the plot's width, the chart's layout and a
// full repaint of the chart, timed together over zooms from the whole range
// down to a few seconds. The machine is shared, so the process's CPU time is
// reported beside the wall time. Prints "zooms cpu_mean_ms cpu_max_ms
// wall_mean_ms points".
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "plot/plotview.h"
#include "plot/plotwindow.h"
#include "plot/serieschart.h"
#include "series.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qrn::Dataset empty;
    qrn::plot::PlotWindow w(empty, QStringLiteral("0.001"));
    for (auto& s : qrn::bench::longSeries()) w.addNamedSeries(std::move(s));
    w.resize(1920, 900);
    w.show();
    QCoreApplication::processEvents();
    qrn::plot::SeriesChart& chart = w.chart();
    const double end = 0.001 * static_cast<double>(qrn::bench::kSteps - 1);

    constexpr int kZooms = 40;
    double cpuTotal = 0.0, cpuWorst = 0.0, wallTotal = 0.0;
    qsizetype points = 0;
    for (int i = 0; i < kZooms; ++i) {
        const double span = end / (1 << (i % 10));
        const double centre = end * (0.2 + 0.015 * i);
        QElapsedTimer wall;
        wall.start();
        const std::clock_t cpu = std::clock();
        chart.setTimeRange(centre - span / 2, centre + span / 2);
        QCoreApplication::processEvents();
        w.view().viewport()->repaint();
        const double cpuMs = static_cast<double>(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC;
        wallTotal += static_cast<double>(wall.nsecsElapsed()) / 1e6;
        cpuTotal += cpuMs;
        cpuWorst = std::max(cpuWorst, cpuMs);
        points = std::max(points, chart.pointsShown());
    }
    std::printf("%d %.2f %.2f %.2f %lld\n", kZooms, cpuTotal / kZooms, cpuWorst, wallTotal / kZooms,
                static_cast<long long>(points));
    return 0;
}
