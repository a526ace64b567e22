#include "plot/chartimage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

#include "dataset/error.h"
#include "dataset/savetarget.h"
#include "plot/serieschart.h"

namespace qrn::plot {
namespace {

// Pixels per inch of the picture, for the physical size an SVG states.
constexpr int kScreenDpi = 96;

// While a picture is taken: no time line, antialiased curves.
class PictureMode {
  public:
    explicit PictureMode(SeriesChart& chart)
        : chart_(chart), shown_(chart.timeLine()->isVisible()), smooth_(chart.smoothCurves()) {
        chart_.timeLine()->setVisible(false);
        chart_.setSmoothCurves(true);
    }
    ~PictureMode() {
        chart_.timeLine()->setVisible(shown_);
        chart_.setSmoothCurves(smooth_);
    }
    PictureMode(const PictureMode&) = delete;
    PictureMode& operator=(const PictureMode&) = delete;

  private:
    SeriesChart& chart_;
    bool shown_;
    bool smooth_;
};

QSize pictureSize(const SeriesChart& chart) {
    const QSizeF s = chart.size();
    return QSize(std::max(1, qRound(s.width())), std::max(1, qRound(s.height())));
}

void paintChart(SeriesChart& chart, QPainter& painter, QSize size) {
    PictureMode picture(chart);
    painter.setRenderHint(QPainter::Antialiasing);
    chart.scene()->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), chart.sceneBoundingRect());
}

}  // namespace

bool isSvgPath(const QString& path) {
    return path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
}

QImage renderChart(SeriesChart& chart) {
    const QSize size = pictureSize(chart);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintChart(chart, painter, size);
    painter.end();
    return image;
}

void saveChartImage(SeriesChart& chart, const QString& path) {
    QSaveFile file(path);
    if (isReadOnlyFile(path) || !file.open(QIODevice::WriteOnly))
        throw QrnError(saveFailure(path, kCannotCreate), kWriteErrorTitle);
    // Drawn into memory first: the generators do not all report a short write.
    QBuffer picture;
    picture.open(QIODevice::WriteOnly);
    bool written = false;
    if (isSvgPath(path)) {
        const QSize size = pictureSize(chart);
        QSvgGenerator svg;
        svg.setOutputDevice(&picture);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(kScreenDpi);
        svg.setTitle(QStringLiteral("グラフ"));
        QPainter painter;
        written = painter.begin(&svg);
        if (written) {
            paintChart(chart, painter, size);
            written = painter.end();
        }
    } else {
        written = renderChart(chart).save(&picture, "PNG");
    }
    const QByteArray& bytes = picture.data();
    if (!written) throw QrnError(saveFailure(path, kCannotWrite), kWriteErrorTitle);
    if (file.write(bytes) != bytes.size() || !holdsAll(file, bytes.size()) || !file.commit())
        throw QrnError(saveFailure(path, kIncompleteWrite), kWriteErrorTitle);
}

StandaloneChart::StandaloneChart(QSize size)
    : scene_(std::make_unique<QGraphicsScene>()), chart_(new SeriesChart), size_(size) {
    scene_->addItem(chart_);
    chart_->setBackgroundRoundness(0);
    layOut();
}

StandaloneChart::~StandaloneChart() = default;

void StandaloneChart::layOut() {
    chart_->resize(QSizeF(size_));
    scene_->setSceneRect(QRectF(QPointF(0, 0), QSizeF(size_)));
    // The chart lays itself out on posted layout requests.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
}

}  // namespace qrn::plot
