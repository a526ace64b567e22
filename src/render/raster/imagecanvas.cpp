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

ImageCanvas::ImageCanvas(const QImage& picture)
    : image_(picture.isNull() ? QImage(1, 1, QImage::Format_RGB32)
                              : picture.convertToFormat(QImage::Format_RGB32)) {
    if (picture.isNull()) image_.fill(kBackground);
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
    // The next painter starts with the default pen, whatever was cached.
    penWidth_ = -1;
}

std::uint32_t* ImageCanvas::pixels() {
    if (!pixels_) {
        // bits() detaches the image from any copy handed out earlier.
        pixels_ = reinterpret_cast<std::uint32_t*>(image_.bits());
        stride_ = image_.bytesPerLine() / 4;
    }
    return pixels_;
}

// Bresenham; both ends must lie inside the image.
void ImageCanvas::thinLine(int x0, int y0, int x1, int y1, std::uint32_t colour) {
    std::uint32_t* px = pixels();
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const qsizetype sy = y0 < y1 ? stride_ : -stride_;
    const int stepY = y0 < y1 ? 1 : -1;
    std::uint32_t* at = px + y0 * stride_ + x0;
    int err = dx + dy;
    for (;;) {
        *at = colour;
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
            at += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += stepY;
            at += sy;
        }
    }
}

// Midpoint circle outline; pixels outside the image are left out.
void ImageCanvas::thinCircle(int cx, int cy, int r, std::uint32_t colour) {
    std::uint32_t* px = pixels();
    const int w = image_.width(), h = image_.height();
    auto plot = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[y * stride_ + x] = colour;
    };
    if (r == 0) {
        plot(cx, cy);
        return;
    }
    int x = r, y = 0, err = 1 - r;
    while (x >= y) {
        plot(cx + x, cy + y);
        plot(cx + y, cy + x);
        plot(cx - y, cy + x);
        plot(cx - x, cy + y);
        plot(cx - x, cy - y);
        plot(cx - y, cy - x);
        plot(cx + y, cy - x);
        plot(cx + x, cy - y);
        ++y;
        if (err < 0) {
            err += 2 * y + 1;
        } else {
            --x;
            err += 2 * (y - x) + 1;
        }
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
    pixels_ = nullptr;
    setScaleWindow(window_);
}

void ImageCanvas::setScaleWindow(const CoordWindow& w) {
    window_ = w;
    ppuX_ = image_.width() / double(w.Width);
    ppuY_ = image_.height() / double(w.Height);
}

ScaleOrigin ImageCanvas::scaleOrigin() const { return {window_.Left, window_.Top}; }

void ImageCanvas::clear() {
    std::uint32_t* px = pixels();
    for (int y = 0; y < image_.height(); ++y)
        std::fill_n(px + y * stride_, image_.width(), std::uint32_t(kBackground));
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
    const QPoint centre(toPixel(cx), toPixel(cy));
    const int ri = toPixel(r);
    if (lineWidth_ <= 1) {
        thinCircle(centre.x(), centre.y(), ri, toQRgb(colour));
        return;
    }
    usePen(toQRgb(colour));
    if (ri == 0)
        painter().drawPoint(centre);
    else
        painter().drawEllipse(centre, ri, ri);
}

void ImageCanvas::segment(double x1, double y1, double x2, double y2, QRgb colour) {
    const int w = image_.width(), h = image_.height();
    if (lineWidth_ <= 1) {
        const bool inside = x1 >= 0 && y1 >= 0 && x2 >= 0 && y2 >= 0 && x1 <= w - 1 &&
                            x2 <= w - 1 && y1 <= h - 1 && y2 <= h - 1;
        if (!inside && !clipSegment(x1, y1, x2, y2, 0, w - 1, 0, h - 1)) return;
        thinLine(toPixel(x1), toPixel(y1), toPixel(x2), toPixel(y2), colour);
        return;
    }
    const double m = lineWidth_ + 2.0;
    if (!clipSegment(x1, y1, x2, y2, -m, w + m, -m, h + m)) return;
    usePen(colour);
    painter().drawLine(QPoint(toPixel(x1), toPixel(y1)), QPoint(toPixel(x2), toPixel(y2)));
}

void ImageCanvas::line(float x1, float y1, float x2, float y2, Rgb colour) {
    const double px1 = (double(x1) - window_.Left) * ppuX_;
    const double py1 = (double(y1) - window_.Top) * ppuY_;
    const double px2 = (double(x2) - window_.Left) * ppuX_;
    const double py2 = (double(y2) - window_.Top) * ppuY_;
    if (!std::isfinite(px1) || !std::isfinite(py1) || !std::isfinite(px2) || !std::isfinite(py2))
        return;
    segment(px1, py1, px2, py2, toQRgb(colour));
}

void ImageCanvas::polyline(const PixelPoint* points, int count) {
    if (count <= 0) return;
    if (lineWidth_ <= 1) {
        if (count == 1) segment(points[0].x, points[0].y, points[0].x, points[0].y, foreground_);
        for (int i = 1; i < count; ++i)
            segment(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, foreground_);
        return;
    }
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
        segment(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, foreground_);
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
    pixels_ = nullptr;
    return image_;
}

}  // namespace qrn::render
