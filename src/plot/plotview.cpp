#include "plot/plotview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>
#include <cmath>

#include "plot/serieschart.h"

namespace qrn::plot {
namespace {

// A press that moves less than this is a click.
constexpr int kDragThreshold = 4;
// One wheel notch (120 eighths of a degree) zooms by this factor.
constexpr double kWheelZoom = 0.8;
constexpr double kKeyZoom = 0.8;
constexpr double kKeyPanFraction = 0.1;

}  // namespace

PlotView::PlotView(SeriesChart* chart, QWidget* parent)
    : QChartView(chart, parent),
      chart_(chart),
      band_(new QRubberBand(QRubberBand::Rectangle, this)) {
    setRubberBand(QChartView::NoRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setDragMode(QGraphicsView::NoDrag);
}

PlotView::~PlotView() = default;

QPointF PlotView::toChart(QPoint viewPos) const {
    return chart_->mapFromScene(mapToScene(viewPos));
}

bool PlotView::inPlot(QPoint viewPos) const {
    return chart_->plotArea().contains(toChart(viewPos));
}

void PlotView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    pressAt_ = at;
    lastAt_ = at;
    if (event->button() == Qt::LeftButton && inPlot(at)) {
        drag_ = Drag::Pressed;
    } else if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        drag_ = Drag::Pan;
        setCursor(Qt::ClosedHandCursor);
    }
    event->accept();
}

void PlotView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (drag_ == Drag::Pressed && (at - pressAt_).manhattanLength() >= kDragThreshold) {
        drag_ = Drag::Band;
        band_->show();
    }
    if (drag_ == Drag::Band) {
        band_->setGeometry(QRect(pressAt_, at).normalized());
    } else if (drag_ == Drag::Pan) {
        chart_->panBy(QPointF(at - lastAt_));
    }
    lastAt_ = at;
    if (inPlot(at)) {
        emit hoveredAt(chart_->timeAt(toChart(at).x()));
    } else {
        emit hoverLeft();
    }
    event->accept();
}

void PlotView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (drag_ == Drag::Band) {
        band_->hide();
        chart_->zoomToRect(QRectF(toChart(pressAt_), toChart(at)));
    } else if (drag_ == Drag::Pressed && event->button() == Qt::LeftButton) {
        emit clickedAt(chart_->timeAt(toChart(at).x()));
    }
    if (drag_ == Drag::Pan) unsetCursor();
    drag_ = Drag::None;
    event->accept();
}

void PlotView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0) return;
    const QPoint at = event->position().toPoint();
    chart_->zoomAbout(toChart(at), std::pow(kWheelZoom, notches),
                      event->modifiers().testFlag(Qt::ControlModifier));
    event->accept();
}

void PlotView::keyPressEvent(QKeyEvent* event) {
    const QRectF pa = chart_->plotArea();
    const QPointF centre = pa.center();
    switch (event->key()) {
        case Qt::Key_Left:
            chart_->panBy(QPointF(pa.width() * kKeyPanFraction, 0));
            break;
        case Qt::Key_Right:
            chart_->panBy(QPointF(-pa.width() * kKeyPanFraction, 0));
            break;
        case Qt::Key_Up:
            chart_->panBy(QPointF(0, pa.height() * kKeyPanFraction));
            break;
        case Qt::Key_Down:
            chart_->panBy(QPointF(0, -pa.height() * kKeyPanFraction));
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            chart_->zoomAbout(centre, kKeyZoom, event->modifiers().testFlag(Qt::ControlModifier));
            break;
        case Qt::Key_Minus:
            chart_->zoomAbout(centre, 1.0 / kKeyZoom,
                              event->modifiers().testFlag(Qt::ControlModifier));
            break;
        case Qt::Key_Home:
            emit showAllRequested();
            break;
        default:
            QChartView::keyPressEvent(event);
            return;
    }
    event->accept();
}

void PlotView::leaveEvent(QEvent* event) {
    emit hoverLeft();
    QChartView::leaveEvent(event);
}

}  // namespace qrn::plot
