#pragma once
// The drawing surface of a viewer's picture. The frame drawing uses only the
// drawing operations below; the picture's size and its user coordinate system
// are properties the layout pass and panning set.
//
// Drawing units: x grows to the right, y as the coordinate window says (up,
// because its height is negative). Pixel (0, 0) is the top-left corner.

#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

#include "render/palette.h"

namespace qrn::render {

struct PixelPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend constexpr bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// The user coordinate system: left/top edge and width/height in drawing units
// (height negative so that y grows upward).
struct CoordWindow {
    float Left = 0.0f;
    float Top = 0.0f;
    float Width = 100.0f;
    float Height = -100.0f;
    friend constexpr bool operator==(const CoordWindow&, const CoordWindow&) = default;
};

struct ScaleOrigin {
    float left = 0.0f;
    float top = 0.0f;
};

class Canvas {
  public:
    virtual ~Canvas() = default;

    // --- picture properties ---
    // Drawable size in pixels; the content in the common part is kept.
    virtual void resize(QSize pixels) = 0;
    virtual void setScaleWindow(const CoordWindow& window) = 0;

    // --- drawing operations ---
    // Fills the whole canvas with its background colour.
    virtual void clear() = 0;
    // Interior colour of circles when the fill style is solid.
    virtual void setFillColor(Rgb colour) = 0;
    // Width in pixels of every later line, circle outline and polyline.
    virtual void setLineWidth(int pixels) = 0;
    // Outline of a circle; the radius is in drawing units measured along x.
    virtual void circle(float x, float y, float radius, Rgb colour) = 0;
    virtual void line(float x1, float y1, float x2, float y2, Rgb colour) = 0;
    // Connected segments through pixel points, in the foreground colour.
    virtual void polyline(const PixelPoint* points, int count) = 0;
    virtual ScaleOrigin scaleOrigin() const = 0;
    // Prints `text` with its top-left at (x, y); `foreground` becomes the
    // canvas's foreground colour and stays in force for later polylines.
    virtual void text(float x, float y, Rgb foreground, const QString& text) = 0;
};

// Records every call, for tests and for checking what a frame draws.
class RecordingCanvas final : public Canvas {
  public:
    enum class Kind { Resize, Scale, Clear, FillColor, LineWidth, Circle, Line, Polyline, Text };
    struct Op {
        Kind kind;
        std::vector<double> args;  // numbers in call order (size, window, coordinates, width)
        Rgb colour{};              // colour argument, or the foreground for a polyline
        std::vector<PixelPoint> points;
        QString text;
    };

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

    const std::vector<Op>& ops() const { return ops_; }
    std::vector<Op> opsOf(Kind kind) const;
    void reset() { ops_.clear(); }
    const CoordWindow& window() const { return window_; }
    Rgb foreground() const { return foreground_; }

  private:
    std::vector<Op> ops_;
    CoordWindow window_;
    Rgb foreground_{0, 0, 0};
};

}  // namespace qrn::render
