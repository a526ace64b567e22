// The "グラフ" window on the offscreen platform, coupled to a stand-in for the
// viewer the way the viewer will couple it: the time line follows the
// viewer's step, a click moves the viewer to the nearest stored step.
#include <QGraphicsLineItem>
#include <QImage>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include "cli/cliargs.h"
#include "cli/readinput.h"
#include "cli/sample.h"
#include "dataset/error.h"
#include "plot/plotview.h"
#include "plot/plotwindow.h"
#include "plot/serieschart.h"

using namespace qrn;

// The viewer's side: its time bar, and the signal it raises when the bar moves.
class FakeViewer : public QObject {
    Q_OBJECT
  public:
    int step = 0;
  public slots:
    void setTimeStep(int s) {
        step = s;
        emit timeStepChanged(s);
    }
  signals:
    void timeStepChanged(int step);
};

class TestPlotWindow : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void timeLineFollowsAndClickMovesViewer();
    void zoomPanAndShowAll();
    void seriesAndOutputs();

  private:
    // The view position of time t at the middle height of the plot.
    static QPoint viewPos(plot::PlotWindow& w, double t);
    QTemporaryDir dir_;
    Dataset data_;
    QString interval_;
};

void TestPlotWindow::initTestCase() {
    sample::SampleOptions s;  // 400 steps of 0.05 s
    s.cables = 2;
    s.nodes = 8;
    sample::writeSample(dir_.path(), s);
    cli::TerminalHost host([](const QByteArray&) {}, false);
    const ReadRequest req =
        cli::makeReadRequest(QDir(dir_.path()).filePath(QStringLiteral("run1.his")), {});
    const ReadResult r = cli::readInput(data_, req, host);
    QVERIFY(r.completed);
    interval_ = r.intervalText;
}

QPoint TestPlotWindow::viewPos(plot::PlotWindow& w, double t) {
    plot::SeriesChart& c = w.chart();
    const QPointF inChart(c.xOf(t), c.plotArea().center().y());
    return w.view().mapFromScene(c.mapToScene(inChart));
}

void TestPlotWindow::timeLineFollowsAndClickMovesViewer() {
    plot::PlotWindow w(data_, interval_);
    FakeViewer viewer;
    connect(&w, &plot::PlotWindow::stepClicked, &viewer, &FakeViewer::setTimeStep);
    connect(&viewer, &FakeViewer::timeStepChanged, &w, &plot::PlotWindow::setCurrentStep);
    QVERIFY(w.addNode(data_.NodeTbl(0, 3)));
    QVERIFY(w.addTensionRecord(0));
    w.resize(1000, 640);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.plottedSeries().size(), std::size_t{5});

    // Playback: the line is at the viewer's step, every frame.
    const QGraphicsLineItem* line = w.chart().timeLine();
    for (const int step : {0, 1, 2, 120, 399}) {
        viewer.setTimeStep(step);
        QCOMPARE(*w.chart().timeMarker(), 0.05 * step);
        QVERIFY(line->isVisible());
        QCOMPARE(line->line().x1(), w.chart().xOf(0.05 * step));
    }

    // A click at t = 10.01 s moves the viewer to step 200, and the line with it.
    QTest::mouseClick(w.view().viewport(), Qt::LeftButton, {}, viewPos(w, 10.01));
    QCOMPARE(viewer.step, 200);
    QCOMPARE(w.currentStep(), 200);
    QCOMPARE(*w.chart().timeMarker(), 10.0);

    // The read-out names the time under the pointer and each series' value there.
    QTest::mouseMove(w.view().viewport(), viewPos(w, 5.0));
    QVERIFY2(w.readoutText().startsWith(QStringLiteral("時間 5 s")), qPrintable(w.readoutText()));
    QVERIFY(w.readoutText().contains(QStringLiteral("kg")));
    QVERIFY(w.readoutText().contains(QStringLiteral("mm")));
}

void TestPlotWindow::zoomPanAndShowAll() {
    plot::PlotWindow w(data_, interval_);
    QVERIFY(w.addNode(data_.NodeTbl(0, 3)));
    w.resize(1000, 640);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    plot::SeriesChart& c = w.chart();
    QCOMPARE(c.timeAxis()->min(), 0.0);
    QCOMPARE(c.timeAxis()->max(), 19.95);
    const int columns = qRound(c.plotArea().width());
    // Each of the four series: at most four points per column, plus the edges.
    QVERIFY(c.pointsShown() <= 4 * (4 * columns + 2));

    // A rectangle dragged from 5 s to 10 s shows that range (to a pixel).
    QWidget* vp = w.view().viewport();
    const double pixel = 19.95 / c.plotArea().width();
    QTest::mousePress(vp, Qt::LeftButton, {}, viewPos(w, 5.0) - QPoint(0, 40));
    QTest::mouseMove(vp, viewPos(w, 7.0));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, viewPos(w, 10.0) + QPoint(0, 40));
    QVERIFY(std::abs(c.timeAxis()->min() - 5.0) < 2 * pixel);
    QVERIFY(std::abs(c.timeAxis()->max() - 10.0) < 2 * pixel);
    QVERIFY(c.zoomed());
    // The zoomed range is reduced again: its first point is the one just before 5 s.
    const QList<QPointF> pts = c.reducedPoints(0);
    QVERIFY(pts.front().x() < c.timeAxis()->min() && pts.front().x() > c.timeAxis()->min() - 0.05);

    // The wheel zooms in about the pointer: the time under it stays put.
    const double pointerX = c.xOf(7.5);
    QWheelEvent wheel(viewPos(w, 7.5), vp->mapToGlobal(viewPos(w, 7.5)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(vp, &wheel);
    QVERIFY(c.timeAxis()->max() - c.timeAxis()->min() < 5.0 * 0.81);
    QVERIFY(std::abs(c.timeAt(pointerX) - 7.5) < pixel);

    // A right-button drag pans: dragging left shows later times.
    const double min0 = c.timeAxis()->min();
    QTest::mousePress(vp, Qt::RightButton, {}, viewPos(w, 8.0));
    QTest::mouseMove(vp, viewPos(w, 8.0) - QPoint(100, 0));
    QTest::mouseRelease(vp, Qt::RightButton, {}, viewPos(w, 8.0) - QPoint(100, 0));
    QVERIFY(c.timeAxis()->min() > min0);

    w.findChild<QPushButton*>(QStringLiteral("ShowAll"))->click();
    QCOMPARE(c.timeAxis()->min(), 0.0);
    QCOMPARE(c.timeAxis()->max(), 19.95);
    QVERIFY(!c.zoomed());
}

void TestPlotWindow::seriesAndOutputs() {
    plot::PlotWindow w(data_, interval_);
    w.resize(900, 600);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.addNode(987654));
    QVERIFY(!w.addTensionRecord(-1));
    QVERIFY(w.plottedSeries().empty());
    QVERIFY(w.addTensionRecord(1));

    analysis::Series clearance;
    clearance.label = QStringLiteral("離隔 1-2");
    clearance.csvHeader = clearance.label;
    clearance.axisTitle = QStringLiteral("離隔 (m)");
    clearance.unit = QStringLiteral("m");
    clearance.grid.dt = 0.05;
    clearance.grid.count = 3;
    clearance.values = {2.5, 2.0, 2.25};
    w.addNamedSeries(clearance);
    QCOMPARE(w.plottedSeries().size(), std::size_t{2});
    QCOMPARE(w.chart().valueAxisOf(1)->titleText(), QStringLiteral("離隔 (m)"));
    clearance.values = {1.0, 1.0, 1.0};
    w.addNamedSeries(clearance);  // same label: replaced
    QCOMPARE(w.plottedSeries().size(), std::size_t{2});
    QCOMPARE(w.plottedSeries()[1]->values[0], 1.0);

    QTemporaryDir out;
    const QString png = out.filePath(QStringLiteral("g.png"));
    const QString svg = out.filePath(QStringLiteral("g.svg"));
    w.saveImage(png);
    w.saveImage(svg);
    QImage image(png);
    QCOMPARE(image.size(),
             QSize(qRound(w.chart().size().width()), qRound(w.chart().size().height())));
    QVERIFY(QSvgRenderer(svg).isValid());
    // The curves are lines in the SVG, not the window's cached pixmap.
    QFile svgFile(svg);
    QVERIFY(svgFile.open(QIODevice::ReadOnly));
    QVERIFY(!svgFile.readAll().contains("<image"));
    w.saveCsv(out.filePath(QStringLiteral("g.csv")));
    QFile csv(out.filePath(QStringLiteral("g.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QVERIFY(csv.readLine().endsWith(",\x97\xa3\x8a\x75 1-2\r\n"));  // 離隔 in Shift_JIS

    const QString missing = out.filePath(QStringLiteral("no/such/folder/g.png"));
    QVERIFY_THROWS_EXCEPTION(QrnError, w.saveImage(missing));
    QVERIFY(!QFile::exists(missing));

    QVERIFY(w.removeNamedSeries(clearance.label));
    QVERIFY(!w.removeNamedSeries(clearance.label));
    QCOMPARE(w.plottedSeries().size(), std::size_t{1});
}

QTEST_MAIN(TestPlotWindow)
#include "test_plotwindow.moc"
