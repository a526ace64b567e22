#pragma once
// The picture's persistent image: a Canvas that paints onto a QImage the size
// of the drawable area, aliased like the original picture. One-pixel lines
// and circles are set straight into the pixels (a frame draws tens of
// thousands of them); wider pens and text go through QPainter.
// Defaults: white background, black foreground (cable polylines and the
// screen-copy text), hollow circles.

#include <QColor>
#include <QImage>
#include <QPoint>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/canvas.h"

class QPainter;

namespace qrn::render {

class ImageCanvas final : public Canvas {
  public:
    static constexpr QRgb kBackground = 0xffffffff;  // white
    static constexpr QRgb kForeground = 0xff000000;  // black
    // Wider lines than this are drawn at this width.
    static constexpr int kMaxLineWidth = 64;

    explicit ImageCanvas(QSize size = QSize(1, 1));
    // Draws onto a copy of `picture` (the picture itself stays as it is).
    explicit ImageCanvas(const QImage& picture);
    ~ImageCanvas() override;
    ImageCanvas(const ImageCanvas&) = delete;
    ImageCanvas& operator=(const ImageCanvas&) = delete;

    void resize(QSize pixels) override;
    void setScaleWindow(const CoordWindow& window) override;
    void clear() override;
    void setFillColor(Rgb colour) override;
    void setLineWidth(int pixels) override;
    void circle(float x, float y, float radius, Rgb colour) override;
    void line(float x1, float y1, float x2, float y2, Rgb colour) override;
    void polyline(const PixelPoint* points, int count) override;
    ScaleOrigin scaleOrigin() const override;
    void text(float x, float y, Rgb foreground, const QString& text) override;

    // The picture as drawn so far. Ends any painting in progress, so the
    // image may be copied (clipboard, GIF, PNG) safely.
    const QImage& image();
    QSize size() const { return image_.size(); }
    int lineWidth() const { return lineWidth_; }

  private:
    QPainter& painter();
    void endPainting();
    void usePen(QRgb colour);
    // A segment in pixels, clipped to the picture, in `colour` at the current width.
    void segment(double x1, double y1, double x2, double y2, QRgb colour);
    std::uint32_t* pixels();
    void thinLine(int x0, int y0, int x1, int y1, std::uint32_t colour);
    void thinCircle(int cx, int cy, int r, std::uint32_t colour);

    QImage image_;
    std::unique_ptr<QPainter> painter_;
    CoordWindow window_;
    double ppuX_ = 1.0;
    double ppuY_ = -1.0;
    int lineWidth_ = 1;
    QRgb foreground_ = kForeground;
    QRgb fill_ = kForeground;
    // Pen currently set on the painter, to avoid resetting it per call.
    QRgb penColour_ = 0;
    int penWidth_ = -1;
    std::vector<QPoint> buffer_;
    // Pixel buffer for direct drawing; fetched again after the image was
    // handed out (a copy shares it until one side writes).
    std::uint32_t* pixels_ = nullptr;
    qsizetype stride_ = 0;  // pixels per row
};

}  // namespace qrn::render
