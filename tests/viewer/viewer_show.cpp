// Shows a viewer on a synthetic model, for looking at the window by eye:
//   viewer_show [normal|real] [seconds] [play|click] [wait] [repeat]
// quits after the given time (default: stays open) and then prints how many
// frames playback drew.

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "../render/model.h"
#include "viewer/viewerwindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool real = argc > 1 && QByteArray(argv[1]) == "real";
    const int seconds = argc > 2 ? QByteArray(argv[2]).toInt() : 0;
    const bool play = argc > 3 && QByteArray(argv[3]) == "play";
    const QString wait = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral("0");
    const bool repeat = argc > 5 && QByteArray(argv[5]) == "repeat";

    // Four cables of 40 elements swinging over 200 steps.
    constexpr int kCables = 4, kNodes = 40, kSteps = 200;
    qrn::Dataset ds = qrn::test::blankModel(std::vector<int>(kCables, kNodes), 2, kSteps, kCables);
    for (int s = 0; s < kCables; ++s) {
        for (int n = 0; n <= kNodes; ++n) {
            const double u = double(n) / kNodes;
            qrn::test::setPos(ds, s, n, float(300 * u), float(8 * s - 12),
                              float(12 - 9 * std::sin(M_PI * u) + 3 * (s % 2)));
            for (int t = 0; t <= kSteps + 1; ++t) {
                const double w = std::sin(2 * M_PI * t / 50.0) * std::sin(M_PI * u);
                ds.NodeDisp(s, 0, n, t) = std::int32_t(4000 * w);
                ds.NodeDisp(s, 1, n, t) = std::int32_t(-1500 * std::fabs(w));
                ds.NodeDisp(s, 2, n, t) = std::int32_t(600 * w);
            }
        }
    }
    qrn::test::setPos(ds, kCables, 0, 150, -16, 16);
    qrn::test::setPos(ds, kCables, 1, 150, 16, 16);
    qrn::test::addBeams(ds, {{kCables, 0, kCables, 1}});
    for (int t = 0; t <= kSteps + 1; ++t)
        for (int r = 0; r < kCables; ++r)
            ds.TensionHist(t, r) =
                std::int16_t(1500 + 400 * std::sin(2 * M_PI * t / 50.0) + 10 * r);

    QString interval = QStringLiteral("0.05");
    qrn::viewer::ViewerWindow w(
        ds, real ? 1 : 0, [&] { return interval; }, [] {});
    w.move(10, 10);
    w.open(true);
    int frames = 0;
    qint64 lastFrameMs = 0;
    QElapsedTimer clock;
    QObject::connect(w.findChild<QScrollBar*>(QStringLiteral("HScroll1")),
                     &QScrollBar::valueChanged, &w, [&] {
                         ++frames;
                         if (clock.isValid()) lastFrameMs = clock.elapsed();
                     });
    if (play) {
        w.findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(wait);
        w.findChild<QCheckBox*>(QStringLiteral("Check4"))->setChecked(repeat);
        QTimer::singleShot(300, &w, [&] {
            frames = 0;
            clock.start();
            w.findChild<QToolButton*>(QStringLiteral("Image0"))->click();
        });
    }
    if (argc > 3 && QByteArray(argv[3]) == "click") {
        // Clicks node 20 of cable 1, as a user picking a node would.
        QTimer::singleShot(500, &w, [&] {
            const auto& st = w.state();
            QWidget* pic = w.findChild<QWidget*>(QStringLiteral("Picture1"));
            const QPointF p((st.ScrX(1, 20) - st.Window.Left) * st.PixPerUnitX + 2,
                            (st.ScrY(1, 20) - st.Window.Top) * st.PixPerUnitY + 2);
            QMouseEvent press(QEvent::MouseButtonPress, p, pic->mapToGlobal(p), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(pic, &press);
            QMouseEvent release(QEvent::MouseButtonRelease, p, pic->mapToGlobal(p), Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(pic, &release);
        });
    }
    if (seconds > 0) QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    const int rc = QApplication::exec();
    if (play && clock.isValid())
        std::printf("%d frames in %.2f s: %.1f per second (screen %.0f Hz)\n", frames,
                    lastFrameMs / 1000.0,
                    frames * 1000.0 / double(std::max<qint64>(lastFrameMs, 1)),
                    QGuiApplication::primaryScreen()->refreshRate());
    return rc;
}
