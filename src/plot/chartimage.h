#pragma once
// The chart as a picture: PNG or SVG files (through a temporary, so a failed
// save leaves an earlier file as it was), and the image for the clipboard.

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>

class QGraphicsScene;

namespace qrn::plot {

class SeriesChart;

// Whether a path names an SVG file (".svg", any case); every other name is PNG.
bool isSvgPath(const QString& path);

// The chart at its current size, without the time line.
QImage renderChart(SeriesChart& chart);

// Writes the chart (without the time line) as SVG or PNG by the path's
// suffix. Throws QrnError naming the file when it cannot be written; the
// file is then unchanged.
void saveChartImage(SeriesChart& chart, const QString& path);

// A chart of its own, outside any window (qrnconv plot): laid out at a
// fixed size in a scene of its own.
class StandaloneChart {
  public:
    explicit StandaloneChart(QSize size);
    ~StandaloneChart();
    SeriesChart& chart() { return *chart_; }
    // Lays the chart out at its size again (after its series changed), so
    // that the plot area and the reduction match the picture.
    void layOut();

  private:
    std::unique_ptr<QGraphicsScene> scene_;
    SeriesChart* chart_ = nullptr;  // owned by the scene
    QSize size_;
};

}  // namespace qrn::plot
