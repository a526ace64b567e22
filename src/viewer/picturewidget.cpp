#include "viewer/picturewidget.h"

#include <QMouseEvent>
#include <QPainter>

#include "render/layout.h"
#include "render/raster/imagecanvas.h"

namespace qrn::viewer {

PictureWidget::PictureWidget(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(render::kPictureBorder);
}

void PictureWidget::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!canvas_) return;
    QPainter p(this);
    p.setClipRect(contentsRect());
    p.drawImage(contentsRect().topLeft(), canvas_->image());
}

void PictureWidget::report(MouseAction action, QMouseEvent* event) {
    if (!mouse_) return;
    const QPointF pixel = event->position() - QPointF(contentsRect().topLeft());
    mouse_(action, event->button(), event->buttons(), pixel);
}

void PictureWidget::mousePressEvent(QMouseEvent* event) { report(MouseAction::Press, event); }
void PictureWidget::mouseMoveEvent(QMouseEvent* event) { report(MouseAction::Move, event); }
void PictureWidget::mouseReleaseEvent(QMouseEvent* event) { report(MouseAction::Release, event); }

}  // namespace qrn::viewer
