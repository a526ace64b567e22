#include "app/plotlink.h"

#include <QEvent>
#include <cmath>

#include "analysis/series.h"
#include "analysis/window/resultswindow.h"
#include "plot/plotwindow.h"
#include "viewer/viewerwindow.h"

namespace qrn {

namespace {

const QString kUnitSuffix = QStringLiteral(" (m)");

}  // namespace

PlotLink::PlotLink(const Dataset& data, std::function<QString()> intervalText, QObject* parent)
    : QObject(parent), data_(data), intervalText_(std::move(intervalText)) {}

PlotLink::~PlotLink() { delete window_.data(); }

PlotLink::Stamp PlotLink::stampNow() const {
    return {data_.NodeDisp.data(),
            data_.NodePos.data(),
            data_.TensionHist.data(),
            data_.CableMax,
            data_.NodeMax,
            data_.StepMax,
            intervalText_ ? intervalText_() : QString()};
}

void PlotLink::attach(viewer::ViewerWindow* viewer) {
    using viewer::ViewerWindow;
    connect(viewer, &ViewerWindow::plotRequested, this, [this, viewer] { open(viewer); });
    connect(viewer, &ViewerWindow::timeStepShown, this, [this, viewer](int step) {
        if (!window_ || viewer != viewer_) return;
        checkDataset();
        if (window_) window_->setCurrentStep(step);
    });
    connect(viewer, &ViewerWindow::nodePicked, this, [this, viewer](std::int32_t number) {
        if (!window_ || viewer != viewer_) return;
        checkDataset();
        if (window_) window_->addNode(number);
    });
}

void PlotLink::attach(ResultsWindow* results) {
    connect(results, &ResultsWindow::clearanceCurveRequested, this,
            [this, results](const QString& name, const QVector<double>& times,
                            const QVector<double>& values) {
                addClearanceCurve(results, name, times, values);
            });
}

void PlotLink::ensureWindow(viewer::ViewerWindow* viewer) {
    checkDataset();
    if (!window_) {
        stamp_ = stampNow();
        // A window of the viewer's own: it stays above it.
        window_ = new plot::PlotWindow(data_, stamp_.interval, viewer);
        window_->setAttribute(Qt::WA_DeleteOnClose);
        window_->installEventFilter(this);
        viewer_ = nullptr;
    }
    if (viewer == viewer_) return;
    if (viewer && window_->parentWidget() != viewer) {
        const QRect place = window_->geometry();
        const bool shown = window_->isVisible();
        window_->setParent(viewer, Qt::Window);
        window_->setGeometry(place);
        if (shown) window_->show();
    }
    disconnect(clicks_);
    // A click shows that step and stays there, as the results window's rows do.
    if (viewer)
        clicks_ = connect(window_, &plot::PlotWindow::stepClicked, viewer, [viewer](int step) {
            viewer->stopPlayback();
            viewer->setTimeStep(step);
        });
    viewer_ = viewer;
}

void PlotLink::open(viewer::ViewerWindow* viewer) { show(viewer, true); }

void PlotLink::show(viewer::ViewerWindow* viewer, bool viewerSelection) {
    const bool newViewer = !window_ || viewer != viewer_;
    ensureWindow(viewer);
    if (newViewer && viewer && viewerSelection) {
        if (const auto number = viewer->pickedNodeNumber()) window_->addNode(*number);
        window_->addTensionRecord(viewer->tensionRecord());
    }
    if (viewer) window_->setCurrentStep(viewer->timeStep());
    if (window_->isMinimized())
        window_->showNormal();
    else
        window_->show();
    window_->raise();
    window_->activateWindow();
}

void PlotLink::close() {
    if (!window_) return;
    window_->close();  // deletes it
    window_ = nullptr;
    disconnect(clicks_);
    viewer_ = nullptr;
}

void PlotLink::checkDataset() {
    if (window_ && stampNow() != stamp_) close();
}

bool PlotLink::eventFilter(QObject* watched, QEvent* event) {
    // Closed by the user: the window deletes itself.
    if (event->type() == QEvent::Close && watched == window_.data()) {
        window_ = nullptr;
        disconnect(clicks_);
        viewer_ = nullptr;
    }
    return QObject::eventFilter(watched, event);
}

void PlotLink::addClearanceCurve(ResultsWindow* results, const QString& name,
                                 const QVector<double>& times, const QVector<double>& values) {
    if (times.isEmpty() || times.size() != values.size()) return;
    // The results window serves the viewer it is a window of.
    auto* viewer = qobject_cast<viewer::ViewerWindow*>(results->parentWidget());
    checkDataset();
    // A window opened for the curve shows the curve alone.
    if (!window_) show(viewer, false);

    analysis::Series s;
    s.label = name.endsWith(kUnitSuffix) ? name.chopped(kUnitSuffix.size()) : name;
    // CSV heads are Shift_JIS, which has no en dash.
    s.csvHeader = QString(name).replace(QChar(0x2013), QLatin1Char('-'));
    s.quantity = analysis::Quantity::Other;
    s.axisTitle = QStringLiteral("離隔 (m)");
    s.unit = QStringLiteral("m");
    // The curve's times are stored steps' times: the plot's own grid carries them.
    const analysis::StepGrid stored = analysis::storedSteps(data_, stamp_.interval);
    s.grid.dt = stored.dt;
    s.grid.first = stored.dt > 0.0 ? std::llround(times.front() / stored.dt) : 0;
    s.grid.stride = 1;
    s.grid.count = times.size();
    s.values.assign(values.begin(), values.end());
    window_->addNamedSeries(std::move(s));
    window_->raise();
    window_->activateWindow();
}

}  // namespace qrn
