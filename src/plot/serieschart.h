#pragma once
// The chart of the "グラフ" window and of qrnconv plot: time (s) along the
// bottom, one value axis per quantity (displacement in mm, torsion in °,
// tension in kg, beam results, and one per title of series added by name),
// a legend, and a vertical line at the current time. The chart holds only
// the reduced points of its series: every change of the time range reduces
// the visible part again at the plot area's pixel width.

#include <QChart>
#include <QList>
#include <QPointF>
#include <QString>
#include <optional>
#include <vector>

#include "analysis/series.h"

class QGraphicsLineItem;
class QLineSeries;
class QPainter;
class QValueAxis;

namespace qrn::plot {

class CurvesItem;

inline const QString kTimeAxisTitle = QStringLiteral("時間 (s)");

// The title of a quantity's value axis ("変位 (mm)", "ねじれ角 (°)", "張力 (kg)",
// "Beam軸力"); a series of Quantity::Other brings its own.
QString axisTitle(const analysis::Series& s);
// The unit its read-out shows ("mm", "°", "kg", the series' own).
QString readoutUnit(const analysis::Series& s);

// A tick interval of 1, 2 or 5 x 10^n giving about `ticks` intervals over `span`.
double niceInterval(double span, int ticks);

class SeriesChart : public QChart {
  public:
    SeriesChart();
    ~SeriesChart() override;

    // Shows these series in this order. The chart keeps the pointers: they
    // must stay valid until the next setSeries or the chart's end. The time
    // range is kept when `keepTimeRange` and the chart had series, else the
    // chart shows everything.
    void setSeries(std::vector<const analysis::Series*> series, bool keepTimeRange = false);
    const std::vector<const analysis::Series*>& series() const { return series_; }
    // Series k's entry in the legend (its pen is the curve's); the curve itself
    // is drawn from reducedPoints(k).
    QLineSeries* lineSeries(std::size_t k) const { return lines_[k]; }
    const QList<QPointF>& reducedPoints(std::size_t k) const { return reduced_[k]; }
    QValueAxis* timeAxis() const { return timeAxis_; }
    // The value axis series k is drawn against.
    QValueAxis* valueAxisOf(std::size_t k) const;
    std::size_t valueAxisCount() const { return axes_.size(); }
    QValueAxis* valueAxis(std::size_t i) const { return axes_[i].axis; }

    // "全体表示": the whole time range, every value axis fitted to its data.
    void showAll();
    // Zoom and pan: the new ranges, then the visible part reduced again.
    void setTimeRange(double t0, double t1);
    void setValueRange(std::size_t axis, double lo, double hi);
    // A rectangle in chart coordinates (a dragged rubber band): its time
    // range and, on every value axis, its value range.
    void zoomToRect(const QRectF& rect);
    // Scales the ranges about the point `at` (chart coordinates) by `factor`
    // (< 1 zooms in): the time axis, and the value axes when `values`.
    void zoomAbout(QPointF at, double factor, bool values);
    // Moves every range by a distance in pixels (x right, y down).
    void panBy(QPointF pixels);

    // The time at x and the x of a time, in chart coordinates over the plot area.
    double timeAt(double x) const;
    double xOf(double t) const;
    bool zoomed() const { return zoomed_; }

    // The vertical time line; none when empty.
    void setTimeMarker(std::optional<double> t);
    std::optional<double> timeMarker() const { return marker_; }
    QGraphicsLineItem* timeLine() const { return timeLine_; }

    // Reduces every series again for the current time range at the plot
    // area's width in pixels. Called after every range change and resize.
    void reduce();
    // Number of points drawn (all series).
    qsizetype pointsShown() const;

    // Antialiased curves: for pictures that are saved; the window draws
    // aliased curves, which is several times faster, and keeps them in a
    // pixmap that pictures (an SVG above all) must not get.
    void setSmoothCurves(bool smooth);
    bool smoothCurves() const { return smooth_; }

  private:
    friend class CurvesItem;
    void paintCurves(QPainter& painter) const;

    struct ValueAxis {
        QString title;
        QValueAxis* axis = nullptr;
        double lo = 0.0;  // data extent, display units
        double hi = 0.0;
        bool any = false;
    };
    void placeTimeLine();

    std::vector<const analysis::Series*> series_;
    std::vector<QLineSeries*> lines_;
    std::vector<QList<QPointF>> reduced_;  // series -> points in time and display units
    std::vector<std::size_t> axisOf_;      // series -> axes_
    std::vector<ValueAxis> axes_;
    QValueAxis* timeAxis_ = nullptr;
    double tLo_ = 0.0, tHi_ = 1.0;  // data extent of the time axis
    bool zoomed_ = false;
    bool smooth_ = false;
    std::optional<double> marker_;
    QGraphicsLineItem* timeLine_ = nullptr;
    CurvesItem* curves_ = nullptr;
};

}  // namespace qrn::plot
