#pragma once
// The chart's view in the "グラフ" window: a dragged rectangle zooms, the
// wheel zooms the time axis about the pointer (with Ctrl the value axes
// too), the right or middle button drags the chart, arrow keys pan, + and -
// zoom, Home shows everything. A click that does not drag reports its time;
// moving the pointer over the plot reports the time under it.

#include <QChartView>
#include <QPoint>

class QRubberBand;

namespace qrn::plot {

class SeriesChart;

class PlotView : public QChartView {
    Q_OBJECT

  public:
    // The view takes ownership of `chart`.
    explicit PlotView(SeriesChart* chart, QWidget* parent = nullptr);
    ~PlotView() override;

    SeriesChart& seriesChart() const { return *chart_; }
    // A view position in the chart's coordinates.
    QPointF toChart(QPoint viewPos) const;

  signals:
    // A click (press and release without dragging) inside the plot area.
    void clickedAt(double time);
    // The pointer moved over the plot area (time under it), or left it.
    void hoveredAt(double time);
    void hoverLeft();
    // "全体表示" asked for from the keyboard (Home).
    void showAllRequested();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    enum class Drag { None, Pressed, Band, Pan };
    bool inPlot(QPoint viewPos) const;

    SeriesChart* chart_;
    QRubberBand* band_;
    Drag drag_ = Drag::None;
    QPoint pressAt_;
    QPoint lastAt_;
};

}  // namespace qrn::plot
