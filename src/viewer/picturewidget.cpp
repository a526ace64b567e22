#include "viewer/picturewidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "render/layout.h"
#include "render/raster/imagecanvas.h"

namespace qrn::viewer {

namespace {

constexpr int kNotch = 120;  // eighths of a degree per wheel notch

}  // namespace

PictureWidget::PictureWidget(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(render::kPictureBorder);
    // The picture takes the keyboard first: playback and navigation keys.
    setFocusPolicy(Qt::StrongFocus);
}

void PictureWidget::setMark(std::optional<QPointF> pixel) {
    if (pixel == mark_) return;
    mark_ = pixel;
    update();
}

void PictureWidget::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!canvas_) return;
    QPainter p(this);
    p.setClipRect(contentsRect());
    p.drawImage(contentsRect().topLeft(), canvas_->image());
    if (!mark_) return;
    // A ring with a white halo, visible on the white background and on lines.
    const QPointF at = *mark_ + QPointF(contentsRect().topLeft());
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 4));
    p.drawEllipse(at, kMarkRadius, kMarkRadius);
    p.setPen(QPen(QColor(255, 110, 0), 2));
    p.drawEllipse(at, kMarkRadius, kMarkRadius);
}

void PictureWidget::report(MouseAction action, QMouseEvent* event) {
    if (!mouse_) return;
    const QPointF pixel = event->position() - QPointF(contentsRect().topLeft());
    mouse_(action, event->button(), event->buttons(), pixel);
}

void PictureWidget::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    report(MouseAction::Press, event);
}
void PictureWidget::mouseMoveEvent(QMouseEvent* event) { report(MouseAction::Move, event); }
void PictureWidget::mouseReleaseEvent(QMouseEvent* event) { report(MouseAction::Release, event); }

void PictureWidget::wheelEvent(QWheelEvent* event) {
    if (!wheel_) {
        event->ignore();
        return;
    }
    // Fine-grained wheels and touch pads add up to whole notches.
    wheelAngle_ += event->angleDelta().y();
    const int notches = wheelAngle_ / kNotch;
    wheelAngle_ -= notches * kNotch;
    if (notches != 0) wheel_(notches, event->position() - QPointF(contentsRect().topLeft()));
    event->accept();
}

}  // namespace qrn::viewer
