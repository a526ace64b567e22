// Soak run of the program as a user drives it, on the offscreen platform:
// the main window, both viewers, the results and plot windows and the GIF
// dialog as qrnview has them. Each cycle reads the sample (.his, .f08
// and .qrn3 in turn) with "実 行", plays it through in the real-mode viewer,
// picks a node, writes a GIF of 20 images through "GIFアニメ" (answering the
// overwrite question) and goes back with "前画面".
//
//   qrn_soak_viewer SAMPLE.his SAMPLE.f08 SAMPLE.qrn3 WORKDIR [--cycles N] [--paced] [--trace]
//
// Playback steps the time bar through every step and lets events run after
// each frame, as the frame loop does; --paced presses the start button with
// no wait instead, and the loop then keeps to the screen's refresh rate.
// Prints one line: resident memory after cycle 10 and at the end (kB), open
// file descriptors then, files left over or changed in the sample's folder
// and WORKDIR, ms per cycle over the first and the last ten cycles (wall
// clock, then processor), the run's seconds and the cycles.
#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "app/appwindows.h"
#include "probe.h"
#include "viewer/navigation.h"
#include "viewer/viewerwindow.h"

namespace {

using qrn::viewer::ViewerWindow;

[[noreturn]] void fail(int cycle, const QString& what) {
    std::fprintf(stderr, "qrn_soak_viewer: cycle %d: %s\n", cycle, qPrintable(what));
    std::exit(1);
}

// Names, sizes and times of a folder's files: what the run must leave alone.
QMap<QString, QString> listing(const QDir& dir) {
    QMap<QString, QString> files;
    for (const QFileInfo& fi : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System))
        files.insert(fi.fileName(), QStringLiteral("%1 %2").arg(fi.size()).arg(
                                        fi.lastModified().toMSecsSinceEpoch()));
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int cycles = 200;
    const bool paced = args.removeAll(QStringLiteral("--paced")) > 0;
    const bool trace = args.removeAll(QStringLiteral("--trace")) > 0;
    if (const qsizetype i = args.indexOf(QStringLiteral("--cycles"));
        i >= 0 && i + 1 < args.size()) {
        cycles = args[i + 1].toInt();
        args.remove(i, 2);
    }
    if (args.size() != 4 || cycles < 1) {
        std::fprintf(stderr,
                     "usage: qrn_soak_viewer SAMPLE.his SAMPLE.f08 SAMPLE.qrn3 WORKDIR "
                     "[--cycles N] [--paced] [--trace]\n");
        return 2;
    }
    const std::array<QString, 3> inputs = {QFileInfo(args[0]).absoluteFilePath(),
                                           QFileInfo(args[1]).absoluteFilePath(),
                                           QFileInfo(args[2]).absoluteFilePath()};
    const QDir work(args[3]);
    const QDir sampleDir = QFileInfo(inputs[0]).absoluteDir();
    const QString gifPath = work.filePath(QStringLiteral("soak.gif"));
    // The windows remember their places and boxes: not in the user's settings.
    QCoreApplication::setOrganizationName(QStringLiteral("qrnview-soak"));
    QCoreApplication::setApplicationName(QStringLiteral("qrnview"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QDir(work.filePath(QStringLiteral("settings"))).absolutePath());
    const QMap<QString, QString> sampleBefore = listing(sampleDir);

    // The windows as qrnview has them.
    QStringList messages;
    qrn::Dataset data;
    qrn::AppWindows windows(data);
    windows.setMessageSink([&messages](const QString& title, const QString& text) {
        messages << title + u'|' + text;
    });
    qrn::MainWindow& window = windows.main();
    window.recallSettings();
    ViewerWindow* real = &windows.viewer(1);
    qrn::gif::GifExportDialog& gifDialog = windows.gifDialog();
    window.show();
    window.selectDisplayMode(1);

    // The user at the GIF dialog and at the overwrite question.
    QString gifCount;
    bool gifStarted = false;
    QTimer user;
    user.setInterval(2);
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal);
            box && box->objectName() == QLatin1String("OverwriteQuestion")) {
            box->button(QMessageBox::Yes)->click();
            return;
        }
        if (modal != &gifDialog || gifStarted || gifDialog.running()) return;
        // 20 images: from 0 s, one every calculation interval.
        const double every = window.intervalText().toDouble();
        gifDialog.Text1[0]->setText(QStringLiteral("0"));
        gifDialog.Text1[2]->setText(window.intervalText());
        gifDialog.Text1[1]->setText(QString::number(19.0 * every, 'g', 12));
        gifDialog.Text2->setText(QDir::toNativeSeparators(gifPath));
        gifCount = gifDialog.Label3->text();
        gifStarted = true;
        // Clicked once this handler has returned: a timer does not fire again
        // inside its own handler, and the overwrite question waits for it.
        QMetaObject::invokeMethod(gifDialog.Command2, &QPushButton::click, Qt::QueuedConnection);
    });
    user.start();

    long rss10 = -1;
    int fds10 = -1;
    double wallFirst = 0, wallLast = 0, cpuFirst = 0, cpuLast = 0;
    const int firstN = std::min(10, cycles), lastFrom = std::max(cycles - 10, 0);
    QElapsedTimer total;
    total.start();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        QElapsedTimer t;
        t.start();
        const double cpu0 = qrn::soak::cpuMs();

        // Load: the file chosen as "開く…" does, then "実 行" (the viewer opens).
        const QString& input = inputs[static_cast<std::size_t>((cycle - 1) % 3)];
        if (!window.openFile(input)) fail(cycle, QStringLiteral("cannot select ") + input);
        window.execute();
        if (!messages.isEmpty()) fail(cycle, messages.join(u'\n'));
        if (!real->isVisible()) fail(cycle, QStringLiteral("the viewer did not open"));

        // Playback of the whole sample.
        const int last = real->timeStepMaximum();
        if (paced) {
            auto* wait = real->findChild<QLineEdit*>(QStringLiteral("Text6"));
            if (wait->text() != QStringLiteral("0")) {
                wait->selectAll();
                QTest::keyClicks(wait, QStringLiteral("0"));
            }
            QTest::mouseClick(real->findChild<QWidget*>(QStringLiteral("Image0")), Qt::LeftButton);
            while (!real->playback().startVisible()) QTest::qWait(1);
        } else {
            for (int step = 1; step <= last; ++step) {
                real->setTimeStep(step);
                QCoreApplication::processEvents();
            }
        }
        if (real->timeStep() != last) fail(cycle, QStringLiteral("playback stopped short"));

        // Pick the middle node of the first cable.
        const qrn::viewer::NodeRef node{0, data.CableInfo(1, 0) / 2};
        const std::optional<QPointF> at = qrn::viewer::nodePixel(real->state(), node);
        if (!at) fail(cycle, QStringLiteral("the node is not drawn"));
        QTest::mouseClick(real->findChild<QWidget*>(QStringLiteral("Picture1")), Qt::LeftButton, {},
                          at->toPoint() + QPoint(2, 2));
        if (real->pickedNode() != node) fail(cycle, QStringLiteral("the click picked no node"));

        // "GIFアニメ": the dialog runs modally until the file is written.
        gifStarted = false;
        real->findChild<QAction*>(QStringLiteral("GifAni"))->trigger();
        if (!messages.isEmpty()) fail(cycle, messages.join(u'\n'));
        if (!gifStarted || gifCount != QStringLiteral("20") || !QFileInfo(gifPath).isFile())
            fail(cycle, QStringLiteral("no GIF of 20 images (%1)").arg(gifCount));

        // "前画面".
        real->returnToMain();
        QCoreApplication::processEvents();
        if (real->isVisible() || !window.isVisible())
            fail(cycle, QStringLiteral("not back at the main window"));

        const double wall = double(t.nsecsElapsed()) / 1e6, cpu = qrn::soak::cpuMs() - cpu0;
        if (cycle <= firstN) {
            wallFirst += wall;
            cpuFirst += cpu;
        }
        if (cycle > lastFrom) {
            wallLast += wall;
            cpuLast += cpu;
        }
        qrn::soak::trace(trace, cycle, wall, cpu);
        if (cycle == firstN) {
            rss10 = qrn::soak::residentKb();
            fds10 = qrn::soak::openFiles();
        }
    }
    const double seconds = double(total.elapsed()) / 1000.0;

    // Left over: anything new or changed in the sample's folder, anything
    // besides the GIF (and the settings folder) in WORKDIR.
    int leftovers = 0;
    const QMap<QString, QString> sampleAfter = listing(sampleDir);
    for (auto it = sampleAfter.begin(); it != sampleAfter.end(); ++it)
        if (sampleBefore.value(it.key()) != it.value()) ++leftovers;
    for (const QString& name : work.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (name != QFileInfo(gifPath).fileName()) ++leftovers;
    std::printf("%ld %ld %d %d %d %.1f %.1f %.1f %.1f %.1f %d\n", rss10, qrn::soak::residentKb(),
                fds10, qrn::soak::openFiles(), leftovers, wallFirst / firstN,
                wallLast / (cycles - lastFrom), cpuFirst / firstN, cpuLast / (cycles - lastFrom),
                seconds, cycles);

    window.rememberSettings();
    return 0;
}
