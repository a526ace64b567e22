#pragma once
// The viewer's picture: a sunken 2-pixel frame around the persistent image of
// an ImageCanvas. Mouse presses, moves and releases are reported in pixels of
// the drawable area (pixel (0, 0) is its top-left corner).

#include <QFrame>
#include <QPointF>
#include <functional>

namespace qrn::render {
class ImageCanvas;
}

namespace qrn::viewer {

class PictureWidget final : public QFrame {
  public:
    enum class MouseAction { Press, Move, Release };
    using MouseHandler = std::function<void(MouseAction, Qt::MouseButton button,
                                            Qt::MouseButtons buttons, QPointF pixel)>;

    explicit PictureWidget(QWidget* parent = nullptr);

    // The canvas whose image is shown; it outlives the widget's use of it.
    void setCanvas(render::ImageCanvas* canvas) { canvas_ = canvas; }
    void setMouseHandler(MouseHandler handler) { mouse_ = std::move(handler); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void report(MouseAction action, QMouseEvent* event);

    render::ImageCanvas* canvas_ = nullptr;
    MouseHandler mouse_;
};

}  // namespace qrn::viewer
