#pragma once
// The viewer's picture: a sunken 2-pixel frame around the persistent image of
// an ImageCanvas. Mouse presses, moves, releases and wheel turns are reported
// in pixels of the drawable area (pixel (0, 0) is its top-left corner). The
// picked node's mark is painted over the image, never into it, so copies and
// exports of the picture do not carry it.

#include <QFrame>
#include <QPointF>
#include <functional>
#include <optional>

namespace qrn::render {
class ImageCanvas;
}

namespace qrn::viewer {

class PictureWidget final : public QFrame {
  public:
    enum class MouseAction { Press, Move, Release };
    using MouseHandler = std::function<void(MouseAction, Qt::MouseButton button,
                                            Qt::MouseButtons buttons, QPointF pixel)>;
    // Whole wheel notches turned (positive away from the user) at `pixel`.
    using WheelHandler = std::function<void(int notches, QPointF pixel)>;

    // Radius in pixels of the picked node's ring.
    static constexpr int kMarkRadius = 7;

    explicit PictureWidget(QWidget* parent = nullptr);

    // The canvas whose image is shown; it outlives the widget's use of it.
    void setCanvas(render::ImageCanvas* canvas) { canvas_ = canvas; }
    void setMouseHandler(MouseHandler handler) { mouse_ = std::move(handler); }
    void setWheelHandler(WheelHandler handler) { wheel_ = std::move(handler); }
    // The picked node's pixel in the drawable area; empty: no mark.
    void setMark(std::optional<QPointF> pixel);
    std::optional<QPointF> mark() const { return mark_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    void report(MouseAction action, QMouseEvent* event);

    render::ImageCanvas* canvas_ = nullptr;
    MouseHandler mouse_;
    WheelHandler wheel_;
    std::optional<QPointF> mark_;
    int wheelAngle_ = 0;  // eighths of a degree not yet a whole notch
};

}  // namespace qrn::viewer
