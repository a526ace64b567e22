#include "render/raster/imagecanvas.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

namespace qrn::render {

namespace {

QRgb toQRgb(Rgb c) { return qRgb(c.r, c.g, c.b); }

// Points this far outside the image are clipped before they reach the
// painter, whose fixed-point rasteriser cannot take arbitrary coordinates.
constexpr double kSafe = 1 << 20;

int toPixel(double v) { return static_cast<int>(std::nearbyint(v)); }

// Cohen-Sutherland clipping of a segment to [xlo, xhi] x [ylo, yhi]. A
// clipped end lies exactly on the border, so far-away ends lose no precision
// where the segment crosses the picture.
bool clipSegment(double& x1, double& y1, double& x2, double& y2, double xlo, double xhi, double ylo,
                 double yhi) {
    auto code = [&](double x, double y) {
        return (x < xlo ? 1 : 0) | (x > xhi ? 2 : 0) | (y < ylo ? 4 : 0) | (y > yhi ? 8 : 0);
    };
    int c1 = code(x1, y1), c2 = code(x2, y2);
    for (int guard = 0; guard < 8; ++guard) {
        if ((c1 | c2) == 0) return true;
        if ((c1 & c2) != 0) return false;
        const int out = c1 != 0 ? c1 : c2;
        double x = 0, y = 0;
        if (out & 8) {
            x = x1 + (x2 - x1) * ((yhi - y1) / (y2 - y1));
            y = yhi;
        } else if (out & 4) {
            x = x1 + (x2 - x1) * ((ylo - y1) / (y2 - y1));
            y = ylo;
        } else if (out & 2) {
            y = y1 + (y2 - y1) * ((xhi - x1) / (x2 - x1));
            x = xhi;
        } else {
            y = y1 + (y2 - y1) * ((xlo - x1) / (x2 - x1));
            x = xlo;
        }
        if (!std::isfinite(x) || !std::isfinite(y)) return false;
        if (out == c1) {
            x1 = x;
            y1 = y;
            c1 = code(x1, y1);
        } else {
            x2 = x;
            y2 = y;
            c2 = code(x2, y2);
        }
    }
    return (c1 | c2) == 0;
}

}  // namespace

ImageCanvas::ImageCanvas(QSize size) : image_(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32) {
    image_.fill(kBackground);
    setScaleWindow(window_);
}

ImageCanvas::~ImageCanvas() { endPainting(); }

QPainter& ImageCanvas::painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setBrush(Qt::NoBrush);  // hollow circles
        penWidth_ = -1;
    }
    return *painter_;
}

void ImageCanvas::endPainting() {
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

void ImageCanvas::usePen(QRgb colour) {
    if (penColour_ == colour && penWidth_ == lineWidth_) return;
    // Width 1 is the cosmetic one-pixel pen (the fast path); wider pens get
    // round ends and joins like the system's wide pens.
    QPen pen{QColor::fromRgb(colour)};
    pen.setWidth(lineWidth_ <= 1 ? 0 : lineWidth_);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter().setPen(pen);
    penColour_ = colour;
    penWidth_ = lineWidth_;
}

void ImageCanvas::resize(QSize pixels) {
    pixels = pixels.expandedTo(QSize(1, 1));
    if (pixels == image_.size()) return;
    endPainting();
    QImage next(pixels, QImage::Format_RGB32);
    next.fill(kBackground);
    {
        QPainter p(&next);
        p.drawImage(0, 0, image_);
    }
    image_ = std::move(next);
    setScaleWindow(window_);
}

void ImageCanvas::setScaleWindow(const CoordWindow& w) {
    window_ = w;
    ppuX_ = image_.width() / double(w.Width);
    ppuY_ = image_.height() / double(w.Height);
}

ScaleOrigin ImageCanvas::scaleOrigin() const { return {window_.Left, window_.Top}; }

void ImageCanvas::clear() {
    if (painter_) {
        painter_->fillRect(image_.rect(), QColor::fromRgb(kBackground));
    } else {
        image_.fill(kBackground);
    }
}

void ImageCanvas::setFillColor(Rgb colour) { fill_ = toQRgb(colour); }

void ImageCanvas::setLineWidth(int pixels) { lineWidth_ = std::clamp(pixels, 1, kMaxLineWidth); }

void ImageCanvas::circle(float x, float y, float radius, Rgb colour) {
    const double cx = (double(x) - window_.Left) * ppuX_;
    const double cy = (double(y) - window_.Top) * ppuY_;
    const double r = std::fabs(double(radius) * ppuX_);
    if (!std::isfinite(cx) || !std::isfinite(cy) || !(r < kSafe)) return;
    const double reach = r + lineWidth_;
    if (cx + reach < 0 || cy + reach < 0 || cx - reach > image_.width() ||
        cy - reach > image_.height())
        return;
    usePen(toQRgb(colour));
    const QPoint centre(toPixel(cx), toPixel(cy));
    const int ri = toPixel(r);
    if (ri == 0)
        painter().drawPoint(centre);
    else
        painter().drawEllipse(centre, ri, ri);
}

void ImageCanvas::segment(double x1, double y1, double x2, double y2) {
    const double m = lineWidth_ + 2.0;
    if (!clipSegment(x1, y1, x2, y2, -m, image_.width() + m, -m, image_.height() + m)) return;
    painter().drawLine(QPoint(toPixel(x1), toPixel(y1)), QPoint(toPixel(x2), toPixel(y2)));
}

void ImageCanvas::line(float x1, float y1, float x2, float y2, Rgb colour) {
    const double px1 = (double(x1) - window_.Left) * ppuX_;
    const double py1 = (double(y1) - window_.Top) * ppuY_;
    const double px2 = (double(x2) - window_.Left) * ppuX_;
    const double py2 = (double(y2) - window_.Top) * ppuY_;
    if (!std::isfinite(px1) || !std::isfinite(py1) || !std::isfinite(px2) || !std::isfinite(py2))
        return;
    usePen(toQRgb(colour));
    segment(px1, py1, px2, py2);
}

void ImageCanvas::polyline(const PixelPoint* points, int count) {
    if (count <= 0) return;
    usePen(foreground_);
    bool inside = true;
    buffer_.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const PixelPoint p = points[i];
        if (std::abs(double(p.x)) > kSafe || std::abs(double(p.y)) > kSafe) inside = false;
        buffer_[static_cast<std::size_t>(i)] = QPoint(p.x, p.y);
    }
    if (inside) {
        if (count == 1)
            painter().drawPoint(buffer_[0]);
        else
            painter().drawPolyline(buffer_.data(), count);
        return;
    }
    for (int i = 1; i < count; ++i)
        segment(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
}

void ImageCanvas::text(float x, float y, Rgb foreground, const QString& text) {
    foreground_ = toQRgb(foreground);
    // Fonts need a GUI application; a headless run prints nothing.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    const double px = (double(x) - window_.Left) * ppuX_;
    const double py = (double(y) - window_.Top) * ppuY_;
    if (!std::isfinite(px) || !std::isfinite(py) || std::fabs(px) > kSafe || std::fabs(py) > kSafe)
        return;
    QPainter& p = painter();
    p.setPen(QColor::fromRgb(foreground_));
    penWidth_ = -1;
    const QFontMetrics fm(p.font());
    p.drawText(QPoint(toPixel(px), toPixel(py) + fm.ascent()), text);
}

const QImage& ImageCanvas::image() {
    endPainting();
    return image_;
}

}  // namespace qrn::render
