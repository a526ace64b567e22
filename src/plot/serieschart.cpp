#include "plot/serieschart.h"

#include <QGraphicsLineItem>
#include <QLegend>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "analysis/reduce.h"

namespace qrn::plot {
namespace {

using analysis::Quantity;

constexpr int kTimeTicks = 8;
// Beyond this many curves a legend is a wall of unnamed markers.
constexpr std::size_t kMaxLegendEntries = 30;
constexpr int kValueTicks = 6;
// Smallest span a zoom may reach, relative to the span's size, so that the
// axis arithmetic never collapses to a point.
constexpr double kMinRelativeSpan = 1e-9;

// A range widened to whole tick intervals; a flat range gets a width of its own.
std::pair<double, double> niceRange(double lo, double hi) {
    if (!(hi > lo)) {
        const double pad = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
        lo -= pad;
        hi += pad;
    }
    const double step = niceInterval(hi - lo, kValueTicks);
    return {std::floor(lo / step) * step, std::ceil(hi / step) * step};
}

// Ten colours far enough apart to tell ten curves apart (the chart theme has five).
const QColor kLineColours[] = {QColor(31, 119, 180),  QColor(214, 39, 40),   QColor(44, 160, 44),
                               QColor(255, 127, 14),  QColor(148, 103, 189), QColor(140, 86, 75),
                               QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34),
                               QColor(23, 190, 207)};

bool validSpan(double lo, double hi) {
    return std::isfinite(lo) && std::isfinite(hi) &&
           hi - lo > kMinRelativeSpan * std::max({1.0, std::fabs(lo), std::fabs(hi)});
}

// Margin around the plot area within which segments are drawn as they are;
// longer ones are cut to it first (exactly, along the line), so that a point
// far outside a deep zoom never reaches the rasterizer's coordinate limits.
constexpr double kSafeMargin = 1000.0;

// Liang-Barsky: the part of segment a-b inside `box`, if any.
bool clipToBox(QPointF& a, QPointF& b, const QRectF& box) {
    double u0 = 0.0, u1 = 1.0;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - box.left(), box.right() - a.x(), a.y() - box.top(),
                         box.bottom() - a.y()};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0) return false;
            continue;
        }
        const double u = q[k] / p[k];
        if (p[k] < 0.0) {
            u0 = std::max(u0, u);
        } else {
            u1 = std::min(u1, u);
        }
        if (u0 > u1) return false;
    }
    const QPointF a0 = a;
    a = QPointF(a0.x() + u0 * dx, a0.y() + u0 * dy);
    b = QPointF(a0.x() + u1 * dx, a0.y() + u1 * dy);
    return true;
}

// A new range with ticks at a nice interval anchored at 0. The interval
// grows before the range when zooming out, so the axis never holds the old
// interval over the new span (thousands of labels for a moment).
void setAxisRange(QValueAxis* axis, double lo, double hi, int ticks) {
    const double interval = niceInterval(hi - lo, ticks);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    if (interval > axis->tickInterval()) axis->setTickInterval(interval);
    axis->setRange(lo, hi);
    axis->setTickInterval(interval);
}

}  // namespace

// Draws the reduced curves over the plot area. Qt Charts' own line items
// rebuild a stroked outline of every curve on each change, far too slow for
// thousands of points per curve; the chart's line series stay empty and only
// give the legend its entries and the curves their pens and axes.
class CurvesItem final : public QGraphicsItem {
  public:
    explicit CurvesItem(SeriesChart* chart) : QGraphicsItem(chart), chart_(chart) {}
    QRectF boundingRect() const override { return chart_->plotArea(); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        chart_->paintCurves(*painter);
    }
    void areaChanged() { prepareGeometryChange(); }

  private:
    SeriesChart* chart_;
};

QString axisTitle(const analysis::Series& s) {
    switch (s.quantity) {
        case Quantity::Displacement:
            return QStringLiteral("変位 (mm)");
        case Quantity::Twist:
            return QStringLiteral("ねじれ角 (°)");
        case Quantity::Tension:
            return QStringLiteral("張力 (kg)");
        case Quantity::Beam:
            return QStringLiteral("Beam軸力");
        case Quantity::Other:
            break;
    }
    return s.axisTitle;
}

QString readoutUnit(const analysis::Series& s) {
    switch (s.quantity) {
        case Quantity::Displacement:
            return QStringLiteral("mm");
        case Quantity::Twist:
            return QStringLiteral("°");
        case Quantity::Tension:
            return QStringLiteral("kg");
        case Quantity::Beam:
            return QString();
        case Quantity::Other:
            break;
    }
    return s.unit;
}

double niceInterval(double span, int ticks) {
    if (!(span > 0.0) || !std::isfinite(span)) return 1.0;
    const double raw = span / std::max(ticks, 1);
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / decade;
    return (f <= 1.0 ? 1.0 : f <= 2.0 ? 2.0 : f <= 5.0 ? 5.0 : 10.0) * decade;
}

SeriesChart::SeriesChart() {
    legend()->setAlignment(Qt::AlignBottom);
    legend()->setVisible(true);
    timeAxis_ = new QValueAxis(this);
    timeAxis_->setTitleText(kTimeAxisTitle);
    timeAxis_->setLabelFormat(QStringLiteral("%g"));
    addAxis(timeAxis_, Qt::AlignBottom);
    timeLine_ = new QGraphicsLineItem(this);
    // Black, so that it stands apart from every curve colour.
    timeLine_->setPen(QPen(Qt::black, 1.5));
    timeLine_->setZValue(100);
    timeLine_->setVisible(false);
    curves_ = new CurvesItem(this);
    curves_->setZValue(50);
    // The time line moves every frame of playback: the curves under it are
    // copied from a cache instead of being stroked again.
    setSmoothCurves(false);
    connect(this, &QChart::plotAreaChanged, this, [this] {
        curves_->areaChanged();
        placeTimeLine();
        reduce();
    });
    connect(timeAxis_, &QValueAxis::rangeChanged, this, [this] { placeTimeLine(); });
}

SeriesChart::~SeriesChart() = default;

void SeriesChart::setSmoothCurves(bool smooth) {
    smooth_ = smooth;
    curves_->setCacheMode(smooth ? QGraphicsItem::NoCache : QGraphicsItem::DeviceCoordinateCache);
}

QValueAxis* SeriesChart::valueAxisOf(std::size_t k) const { return axes_[axisOf_[k]].axis; }

void SeriesChart::setSeries(std::vector<const analysis::Series*> series, bool keepTimeRange) {
    const bool keep = keepTimeRange && !series_.empty() && zoomed_;
    const double t0 = timeAxis_->min();
    const double t1 = timeAxis_->max();
    removeAllSeries();
    for (ValueAxis& a : axes_) {
        removeAxis(a.axis);
        delete a.axis;
    }
    axes_.clear();
    lines_.clear();
    reduced_.clear();
    axisOf_.clear();
    series_ = std::move(series);

    bool anyTime = false;
    for (const analysis::Series* s : series_) {
        const QString title = axisTitle(*s);
        auto it = std::find_if(axes_.begin(), axes_.end(),
                               [&](const ValueAxis& a) { return a.title == title; });
        if (it == axes_.end()) {
            ValueAxis a;
            a.title = title;
            a.axis = new QValueAxis(this);
            a.axis->setTitleText(title);
            a.axis->setLabelFormat(QStringLiteral("%g"));
            addAxis(a.axis, axes_.size() % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
            axes_.push_back(a);
            it = axes_.end() - 1;
        }
        axisOf_.push_back(static_cast<std::size_t>(it - axes_.begin()));
        const double scale = analysis::displayScale(s->quantity);
        for (const double v : s->values) {
            if (std::isnan(v)) continue;
            const double d = v * scale;
            it->lo = it->any ? std::min(it->lo, d) : d;
            it->hi = it->any ? std::max(it->hi, d) : d;
            it->any = true;
        }
        if (s->grid.count > 0) {
            const double a = s->grid.time(0);
            const double b = s->grid.time(s->grid.count - 1);
            tLo_ = anyTime ? std::min(tLo_, a) : a;
            tHi_ = anyTime ? std::max(tHi_, b) : b;
            anyTime = true;
        }

        auto* line = new QLineSeries(this);
        line->setName(s->label);
        addSeries(line);
        line->attachAxis(timeAxis_);
        line->attachAxis(it->axis);
        // A one-pixel pen: the reduced points already fill every column.
        QPen pen = line->pen();
        pen.setWidthF(1.0);
        pen.setColor(kLineColours[lines_.size() % std::size(kLineColours)]);
        line->setPen(pen);
        lines_.push_back(line);
    }
    legend()->setVisible(series_.size() <= kMaxLegendEntries);
    if (!anyTime) {
        tLo_ = 0.0;
        tHi_ = 1.0;
    }
    showAll();
    if (keep) setTimeRange(t0, t1);
}

void SeriesChart::showAll() {
    double lo = tLo_;
    double hi = tHi_;
    if (!(hi > lo)) {
        lo -= 0.5;
        hi += 0.5;
    }
    setAxisRange(timeAxis_, lo, hi, kTimeTicks);
    for (ValueAxis& a : axes_) {
        const auto [vlo, vhi] = niceRange(a.any ? a.lo : 0.0, a.any ? a.hi : 0.0);
        setAxisRange(a.axis, vlo, vhi, kValueTicks);
    }
    zoomed_ = false;
    reduce();
}

void SeriesChart::setTimeRange(double t0, double t1) {
    if (!validSpan(t0, t1)) return;
    setAxisRange(timeAxis_, t0, t1, kTimeTicks);
    zoomed_ = true;
    reduce();
}

void SeriesChart::setValueRange(std::size_t axis, double lo, double hi) {
    if (axis >= axes_.size() || !validSpan(lo, hi)) return;
    setAxisRange(axes_[axis].axis, lo, hi, kValueTicks);
    zoomed_ = true;
    curves_->update();  // the cached curves were drawn on the old range
}

void SeriesChart::zoomToRect(const QRectF& rect) {
    const QRectF pa = plotArea();
    const QRectF r = rect.normalized().intersected(pa);
    if (r.width() < 2.0 || pa.height() <= 0.0) return;
    // Every range is read off the plot area as it is now: a new range may
    // change the axes' label widths and with them the plot area.
    const double t0 = timeAt(r.left());
    const double t1 = timeAt(r.right());
    std::vector<std::pair<double, double>> values;
    for (const ValueAxis& va : axes_) {
        const QValueAxis* a = va.axis;
        const auto valueAt = [&](double y) {
            return a->max() - (y - pa.top()) / pa.height() * (a->max() - a->min());
        };
        values.emplace_back(valueAt(r.bottom()), valueAt(r.top()));
    }
    if (r.height() >= 2.0)
        for (std::size_t i = 0; i < values.size(); ++i)
            setValueRange(i, values[i].first, values[i].second);
    setTimeRange(t0, t1);
}

void SeriesChart::zoomAbout(QPointF at, double factor, bool values) {
    const QRectF pa = plotArea();
    if (pa.width() <= 0.0 || pa.height() <= 0.0 || !(factor > 0.0)) return;
    const double t = timeAt(at.x());
    if (values) {
        for (std::size_t i = 0; i < axes_.size(); ++i) {
            const QValueAxis* a = axes_[i].axis;
            const double v = a->max() - (at.y() - pa.top()) / pa.height() * (a->max() - a->min());
            setValueRange(i, v - (v - a->min()) * factor, v + (a->max() - v) * factor);
        }
    }
    setTimeRange(t - (t - timeAxis_->min()) * factor, t + (timeAxis_->max() - t) * factor);
}

void SeriesChart::panBy(QPointF pixels) {
    const QRectF pa = plotArea();
    if (pa.width() <= 0.0 || pa.height() <= 0.0) return;
    const double dt = -pixels.x() / pa.width() * (timeAxis_->max() - timeAxis_->min());
    for (std::size_t i = 0; i < axes_.size(); ++i) {
        const QValueAxis* a = axes_[i].axis;
        const double dv = pixels.y() / pa.height() * (a->max() - a->min());
        setValueRange(i, a->min() + dv, a->max() + dv);
    }
    setTimeRange(timeAxis_->min() + dt, timeAxis_->max() + dt);
}

double SeriesChart::timeAt(double x) const {
    const QRectF pa = plotArea();
    if (pa.width() <= 0.0) return timeAxis_->min();
    return timeAxis_->min() + (x - pa.left()) / pa.width() * (timeAxis_->max() - timeAxis_->min());
}

double SeriesChart::xOf(double t) const {
    const QRectF pa = plotArea();
    const double span = timeAxis_->max() - timeAxis_->min();
    return pa.left() + (span > 0.0 ? (t - timeAxis_->min()) / span * pa.width() : 0.0);
}

void SeriesChart::setTimeMarker(std::optional<double> t) {
    marker_ = t;
    placeTimeLine();
}

void SeriesChart::placeTimeLine() {
    const QRectF pa = plotArea();
    const bool shown =
        marker_ && pa.width() > 0.0 && *marker_ >= timeAxis_->min() && *marker_ <= timeAxis_->max();
    if (shown) {
        const double x = xOf(*marker_);
        timeLine_->setLine(x, pa.top(), x, pa.bottom());
    }
    timeLine_->setVisible(shown);
}

void SeriesChart::reduce() {
    const int columns = std::max(1, static_cast<int>(std::lround(plotArea().width())));
    const double t0 = timeAxis_->min();
    const double t1 = timeAxis_->max();
    // While setSeries adds them, only the first lines_.size() series have a line.
    reduced_.resize(lines_.size());
    for (std::size_t k = 0; k < lines_.size(); ++k)
        reduced_[k] = analysis::reduceToColumns(*series_[k], t0, t1, columns);
    curves_->update();
}

qsizetype SeriesChart::pointsShown() const {
    qsizetype n = 0;
    for (const QList<QPointF>& r : reduced_) n += r.size();
    return n;
}

void SeriesChart::paintCurves(QPainter& painter) const {
    const QRectF pa = plotArea();
    const double t0 = timeAxis_->min();
    const double t1 = timeAxis_->max();
    if (pa.width() <= 0.0 || pa.height() <= 0.0 || !(t1 > t0)) return;
    const QRectF safe = pa.adjusted(-kSafeMargin, -kSafeMargin, kSafeMargin, kSafeMargin);
    const double sx = pa.width() / (t1 - t0);
    const auto inSafe = [&](QPointF p) {
        return p.x() >= safe.left() && p.x() <= safe.right() && p.y() >= safe.top() &&
               p.y() <= safe.bottom();
    };
    painter.save();
    painter.setClipRect(pa);
    // Aliased one-pixel lines take the rasterizer's fast path; the reduced
    // points are a pixel column apart, so on screen they look the same.
    painter.setRenderHint(QPainter::Antialiasing, smooth_);
    QPolygonF run;
    for (std::size_t k = 0; k < reduced_.size() && k < lines_.size(); ++k) {
        const QValueAxis* axis = valueAxisOf(k);
        const double v0 = axis->min();
        const double sy = pa.height() / (axis->max() - v0);
        const auto toPixel = [&](QPointF p) {
            return QPointF(pa.left() + (p.x() - t0) * sx, pa.bottom() - (p.y() - v0) * sy);
        };
        painter.setPen(lines_[k]->pen());
        const QList<QPointF>& pts = reduced_[k];
        run.clear();
        const auto flush = [&] {
            if (run.size() > 1) painter.drawPolyline(run);
            run.clear();
        };
        for (qsizetype i = 0; i < pts.size(); ++i) {
            const QPointF b = toPixel(pts[i]);
            if (i == 0) {
                if (inSafe(b)) run.append(b);
                continue;
            }
            const QPointF a = toPixel(pts[i - 1]);
            if (inSafe(a) && inSafe(b)) {
                if (run.isEmpty()) run.append(a);
                run.append(b);
                continue;
            }
            QPointF ca = a, cb = b;
            if (!clipToBox(ca, cb, safe)) {
                flush();
                continue;
            }
            if (run.isEmpty() || run.back() != ca) {
                flush();
                run.append(ca);
            }
            run.append(cb);
            if (cb != b) flush();
        }
        flush();
    }
    painter.restore();
}

}  // namespace qrn::plot
