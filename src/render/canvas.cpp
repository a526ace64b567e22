#include "render/canvas.h"

namespace qrn::render {

void RecordingCanvas::resize(QSize pixels) {
    ops_.push_back({Kind::Resize, {double(pixels.width()), double(pixels.height())}, {}, {}, {}});
}

void RecordingCanvas::setScaleWindow(const CoordWindow& w) {
    window_ = w;
    ops_.push_back({Kind::Scale, {w.Left, w.Top, w.Width, w.Height}, {}, {}, {}});
}

void RecordingCanvas::clear() { ops_.push_back({Kind::Clear, {}, {}, {}, {}}); }

void RecordingCanvas::setFillColor(Rgb colour) {
    ops_.push_back({Kind::FillColor, {}, colour, {}, {}});
}

void RecordingCanvas::setLineWidth(int pixels) {
    ops_.push_back({Kind::LineWidth, {double(pixels)}, {}, {}, {}});
}

void RecordingCanvas::circle(float x, float y, float radius, Rgb colour) {
    ops_.push_back({Kind::Circle, {x, y, radius}, colour, {}, {}});
}

void RecordingCanvas::line(float x1, float y1, float x2, float y2, Rgb colour) {
    ops_.push_back({Kind::Line, {x1, y1, x2, y2}, colour, {}, {}});
}

void RecordingCanvas::polyline(const PixelPoint* points, int count) {
    ops_.push_back({Kind::Polyline, {}, foreground_, {points, points + count}, {}});
}

ScaleOrigin RecordingCanvas::scaleOrigin() const { return {window_.Left, window_.Top}; }

void RecordingCanvas::text(float x, float y, Rgb foreground, const QString& text) {
    foreground_ = foreground;
    ops_.push_back({Kind::Text, {x, y}, foreground, {}, text});
}

std::vector<RecordingCanvas::Op> RecordingCanvas::opsOf(Kind kind) const {
    std::vector<Op> out;
    for (const auto& op : ops_)
        if (op.kind == kind) out.push_back(op);
    return out;
}

}  // namespace qrn::render
