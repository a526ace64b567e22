// The "グラフ" window coupled to a real viewer and the results window on the
// offscreen platform, over a small sample analysis (400 steps of 0.05 s).
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

#include "analysis/window/resultswindow.h"
#include "app/plotlink.h"
#include "cli/cliargs.h"
#include "cli/readinput.h"
#include "cli/sample.h"
#include "plot/plotview.h"
#include "plot/serieschart.h"
#include "viewer/navigation.h"

using namespace qrn;

class TestPlotLink : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void menuOpensWithPickAndTension();
    void timeLineAndClickFollowTheViewer();
    void newReadOrIntervalClosesTheWindow();
    void resultsSendTheClearanceCurve();

  private:
    void read();
    // Clicks node `index` of cable `slot` in the viewer's picture.
    void pick(int slot, int index);
    std::size_t shown() const { return link_->window()->plottedSeries().size(); }

    QTemporaryDir dir_;
    Dataset data_;
    QString interval_ = QStringLiteral("0.05");
    std::unique_ptr<viewer::ViewerWindow> viewer_;
    std::unique_ptr<PlotLink> link_;
};

void TestPlotLink::initTestCase() {
    QCoreApplication::setOrganizationName(QStringLiteral("qrnview-test"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    sample::SampleOptions s;  // three pairs of sub-conductors
    s.nodes = 11;
    sample::writeSample(dir_.path(), s);
    read();
}

void TestPlotLink::read() {
    cli::TerminalHost host([](const QByteArray&) {}, false);
    const ReadRequest req =
        cli::makeReadRequest(QDir(dir_.path()).filePath(QStringLiteral("run1.his")), {});
    QVERIFY(cli::readInput(data_, req, host).completed);
}

void TestPlotLink::init() {
    QSettings().clear();
    interval_ = QStringLiteral("0.05");
    viewer_ = std::make_unique<viewer::ViewerWindow>(
        data_, 1, [this] { return interval_; }, [] {});
    link_ = std::make_unique<PlotLink>(data_, [this] { return interval_; });
    link_->attach(viewer_.get());
    viewer_->open(true);
}

void TestPlotLink::cleanup() {
    link_.reset();
    viewer_.reset();
}

void TestPlotLink::pick(int slot, int index) {
    auto* picture = viewer_->findChild<QWidget*>(QStringLiteral("Picture1"));
    const QPoint at = viewer::nodePixel(viewer_->state(), {slot, index})->toPoint();
    QTest::mouseClick(picture, Qt::LeftButton, {}, at);
    QVERIFY(viewer_->pickedNode().has_value());
}

void TestPlotLink::menuOpensWithPickAndTension() {
    auto* menu = viewer_->findChild<QAction*>(QStringLiteral("Plot"));
    QCOMPARE(menu->text(), QStringLiteral("グラフ"));
    // Nothing picked: the tension record of the bottom bar alone.
    viewer_->selectTensionRecord(2);
    menu->trigger();
    QVERIFY(link_->window() && link_->window()->isVisible());
    QCOMPARE(shown(), std::size_t{1});
    QCOMPARE(link_->window()->plottedSeries()[0]->label,
             QString::number(data_.TensionElem(2)) + QStringLiteral(" 張力"));
    link_->close();
    QVERIFY(!link_->window());

    // A picked node: its four axes and the tension record.
    pick(0, 5);
    const std::int32_t first = *viewer_->pickedNodeNumber();
    menu->trigger();
    QCOMPARE(shown(), std::size_t{5});
    QVERIFY(link_->window()->plottedSeries()[1]->label.startsWith(QString::number(first)));
    // Another pick while the window is open adds its four axes.
    pick(2, 7);
    QVERIFY(*viewer_->pickedNodeNumber() != first);
    QCOMPARE(shown(), std::size_t{9});
}

void TestPlotLink::timeLineAndClickFollowTheViewer() {
    viewer_->findChild<QAction*>(QStringLiteral("Plot"))->trigger();
    plot::PlotWindow& w = *link_->window();
    w.resize(1000, 640);
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    viewer_->setTimeStep(120);
    QCOMPARE(w.currentStep(), 120);
    // Playback: the line is at the frame shown, frame by frame.
    viewer_->findChild<QAbstractButton*>(QStringLiteral("Image0"))->click();
    QTRY_VERIFY(viewer_->timeStep() > 130);
    QCOMPARE(w.currentStep(), viewer_->timeStep());

    // A click at t = 10.01 s while playing: playback stops with the viewer's
    // time bar at step 200, its frame drawn.
    plot::SeriesChart& c = w.chart();
    const QPointF inChart(c.xOf(10.01), c.plotArea().center().y());
    QTest::mouseClick(w.view().viewport(), Qt::LeftButton, {},
                      w.view().mapFromScene(c.mapToScene(inChart)));
    QCOMPARE(viewer_->timeStep(), 200);
    QCOMPARE(viewer_->params().timeStep, 200);
    QCOMPARE(w.currentStep(), 200);
    QTest::qWait(100);
    QCOMPARE(viewer_->timeStep(), 200);
}

void TestPlotLink::newReadOrIntervalClosesTheWindow() {
    viewer_->findChild<QAction*>(QStringLiteral("Plot"))->trigger();
    read();
    link_->checkDataset();  // what the main window's viewer opener does
    QVERIFY(!link_->window());

    viewer_->findChild<QAction*>(QStringLiteral("Plot"))->trigger();
    QVERIFY(link_->window());
    interval_ = QStringLiteral("0.1");
    viewer_->setTimeStep(3);  // the next frame finds the interval changed
    QVERIFY(!link_->window());
}

void TestPlotLink::resultsSendTheClearanceCurve() {
    ResultsWindow results(data_, [this] { return interval_; });
    link_->attach(&results);
    ResultsWindow::Viewer hooks;
    hooks.window = viewer_.get();
    results.openFor(hooks);
    QTRY_VERIFY(results.report().has_value());
    auto* table = results.findChild<QTableView*>(QStringLiteral("ClearanceTable"));
    table->setCurrentIndex(table->model()->index(0, 0));
    auto* send = results.findChild<QPushButton*>(QStringLiteral("SendCurve"));
    send->click();
    QTRY_VERIFY(link_->window() != nullptr);

    // A window opened for the curve shows it alone, coupled to the results' viewer.
    QCOMPARE(link_->servedViewer(), viewer_.get());
    QCOMPARE(shown(), std::size_t{1});
    const analysis::Series& s = *link_->window()->plottedSeries()[0];
    QCOMPARE(s.grid.count, 400);
    // The curve's lowest point is the table's minimum, at its step.
    QVERIFY(!s.csvHeader.contains(QChar(0x2013)));  // not in Shift_JIS
    const Clearance& c = results.report()->clearances[0];
    const auto low = std::min_element(s.values.begin(), s.values.end());
    QCOMPARE(*low, c.distance);
    QCOMPARE(s.grid.step(low - s.values.begin()), c.step);
    results.close();
}

QTEST_MAIN(TestPlotLink)
#include "test_plotlink.moc"
