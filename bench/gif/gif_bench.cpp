// Renders synthetic real-mode-like line art (cables as polylines, markers with
// torsion bars, beam lines) and exports it, for bench/rows/gif.sh:
//   qrn_gifbench export OUT.gif [FRAMES]   stream every frame through exportAnimation
//   qrn_gifbench imgctl OUT.gif [FRAMES]   capture all (DCtoDIB) then DIBtoGIFAni
//   qrn_gifbench png DIR [FRAMES]          the same frames as DIR/f0000.png …
//   qrn_gifbench render [FRAMES]           drawing only, for reference
// Prints the milliseconds spent on stderr.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <vector>

#include "animation/gifexport.h"
#include "animation/imgctl.h"
#include "animation/qimageview.h"
#include "dataset/error.h"

namespace {

constexpr int kWidth = 678, kHeight = 445;
constexpr double kPi = 3.14159265358979323846;
const QRgb kBackground = qRgb(255, 255, 255);
const QRgb kForeground = qRgb(0, 0, 0);
const QColor kMarkers[] = {QColor(0, 128, 128), QColor(128, 0, 0),     QColor(128, 0, 128),
                           QColor(128, 128, 0), QColor(192, 192, 192), QColor(0, 0, 128),
                           QColor(0, 128, 0)};

// Six cables of 61 nodes in perspective, swinging with the time step.
void drawFrame(QImage& image, int step) {
    image.fill(kBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const double t = step * 0.1;
    constexpr int kCables = 6, kNodes = 61;
    std::vector<std::vector<QPointF>> cables(kCables);
    for (int c = 0; c < kCables; ++c) {
        const double depth = 1.0 - 0.08 * c;
        for (int n = 0; n < kNodes; ++n) {
            const double u = static_cast<double>(n) / (kNodes - 1);
            const double shape = std::sin(kPi * u);
            const double swing = 18 * std::sin(2 * kPi * t / 3.1 + c * 0.7) * shape;
            const double gallop = 9 * std::sin(2 * kPi * t / 1.7 + c) * std::sin(2 * kPi * u);
            const double x = 339 + (u - 0.5) * 600 * depth + swing * 0.4;
            const double y = 90 + 40 * c * depth + 70 * shape * depth + swing + gallop;
            cables[static_cast<std::size_t>(c)].push_back(QPointF(x, y));
        }
        std::vector<QPoint> pts;
        for (const QPointF& q : cables[static_cast<std::size_t>(c)]) pts.push_back(q.toPoint());
        p.setPen(QPen(QColor(kForeground), 1));
        p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
    }
    // Markers on every second node: a circle and a torsion bar.
    for (int c = 0; c < kCables; ++c) {
        int k = 1;
        for (int n = 2; n < kNodes - 1; n += 2) {
            k = (k + 1) % 7;
            const QColor colour = kMarkers[(k + 6) % 7];
            const QPointF q = cables[static_cast<std::size_t>(c)][static_cast<std::size_t>(n)];
            p.setPen(QPen(colour, 1));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(q, 2.5, 2.5);
            const double theta = 0.8 * std::sin(2 * kPi * t / 2.3 + n * 0.1);
            const QPointF d(12 * std::cos(theta), 12 * std::sin(theta));
            p.drawLine(q - d, q + d);
        }
    }
    // Spacers between neighbouring cables.
    p.setPen(QPen(QColor(0, 0, 128), 2));
    for (int c = 0; c + 1 < kCables; c += 2)
        for (int n = 10; n < kNodes; n += 20)
            p.drawLine(cables[static_cast<std::size_t>(c)][static_cast<std::size_t>(n)],
                       cables[static_cast<std::size_t>(c + 1)][static_cast<std::size_t>(n)]);
}

qrn::gif::Palette palette() {
    return qrn::gif::Palette{kBackground & 0xFFFFFF, kForeground & 0xFFFFFF};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fputs(
            "usage: qrn_gifbench export|imgctl OUT.gif [FRAMES] | png DIR [FRAMES] | render "
            "[FRAMES]\n",
            stderr);
        return 2;
    }
    const QString mode = args[1];
    const int argFrames = mode == QLatin1String("render") ? 2 : 3;
    const int frames = args.size() > argFrames ? args[argFrames].toInt() : 500;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QElapsedTimer timer;
    timer.start();
    try {
        if (mode == QLatin1String("export")) {
            qrn::gif::ExportPlan plan;
            plan.path = args[2];
            plan.every = 0.1;
            plan.interval = 0.1;
            plan.stepMax = frames - 1;
            plan.count = frames;
            plan.delay = 10;
            qrn::gif::exportAnimation(plan, palette(), [&](int step) {
                drawFrame(image, step);
                return qrn::gif::viewOf(image);
            });
        } else if (mode == QLatin1String("imgctl")) {
            qrn::gif::ImgCtl ctl(palette());
            std::vector<qrn::gif::DibHandle> handles;
            for (int i = 0; i < frames; ++i) {
                drawFrame(image, i);
                handles.push_back(ctl.DCtoDIB(qrn::gif::viewOf(image), 0, 0, kWidth, kHeight));
            }
            ctl.DIBtoGIFAni(args[2], handles.data(), frames, 10);
            for (auto h : handles) ctl.DeleteDIB(h);
        } else if (mode == QLatin1String("png")) {
            QDir().mkpath(args[2]);
            for (int i = 0; i < frames; ++i) {
                drawFrame(image, i);
                image.save(QDir(args[2]).filePath(
                    QStringLiteral("f%1.png").arg(i, 4, 10, QLatin1Char('0'))));
            }
        } else if (mode == QLatin1String("render")) {
            for (int i = 0; i < frames; ++i) drawFrame(image, i);
        } else {
            std::fputs("unknown mode\n", stderr);
            return 2;
        }
    } catch (const qrn::QrnError& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    std::fprintf(stderr, "%lld ms\n", static_cast<long long>(timer.elapsed()));
    return 0;
}
