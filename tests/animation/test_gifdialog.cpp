#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "../overwriteanswer.h"
#include "animation/dialog/gifexportdialog.h"
#include "videoprobe.h"

using qrn::gif::GifExportDialog;

namespace {

// A stand-in viewer of 100 time steps at 0.05 s whose picture shows the step.
struct FakeViewer {
    QString interval = QStringLiteral("0.05");
    int stepMax = 100;
    int step = 0;
    int stops = 0;
    QList<int> drawn;
    std::function<void()> onDraw;  // runs as each picture is drawn
    QImage picture{40, 30, QImage::Format_RGB32};

    GifExportDialog::Viewer hooks() {
        GifExportDialog::Viewer v;
        v.stopPlayback = [this] { ++stops; };
        v.timeStepMaximum = [this] { return stepMax; };
        v.setTimeStep = [this](int s) {
            step = s;
            drawn << s;
            picture.fill(Qt::white);
            for (int x = 0; x < s % 40; ++x) picture.setPixel(x, 10, 0x000000);
            if (onDraw) onDraw();
        };
        v.currentImage = [this] { return picture.copy(); };
        v.intervalText = [this] { return interval; };
        return v;
    }
};

}  // namespace

class TestGifDialog : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void openingSetsStartEndAndStopsPlayback() {
        GifExportDialog d;
        FakeViewer v;
        d.Text1[0]->setText(QStringLiteral("3"));
        d.prepare(v.hooks());
        QCOMPARE(v.stops, 1);
        QCOMPARE(d.Text1[0]->text(), QStringLiteral("0"));
        QCOMPARE(d.Text1[1]->text(), QStringLiteral("5"));  // 0.05 x 100
        QCOMPARE(d.Text1[2]->text(), QStringLiteral("0.1"));
        QCOMPARE(d.Text1[3]->text(), QStringLiteral("10"));
        QCOMPARE(d.Label3->text(), QStringLiteral("51"));
        QVERIFY(!d.Command2->isEnabled());
        QCOMPARE(d.windowTitle(), QStringLiteral("アニメーション作成"));
    }

    void countFollowsTheBoxes_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("every");
        QTest::addColumn<QString>("count");
        QTest::newRow("initial") << "0"
                                 << "5"
                                 << "0.1"
                                 << "51";
        QTest::newRow("fraction dropped") << "0"
                                          << "5.9"
                                          << "1"
                                          << "6";
        QTest::newRow("zero interval") << "0"
                                       << "5"
                                       << "0"
                                       << "0";
    }
    void countFollowsTheBoxes() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, every);
        QFETCH(QString, count);
        GifExportDialog d;
        d.Text1[0]->setText(start);
        d.Text1[1]->setText(end);
        d.Text1[2]->setText(every);
        QCOMPARE(d.Label3->text(), count);
    }

    void startCapsTheEndAndWritesEveryImage() {
        QTemporaryDir dir;
        GifExportDialog d;
        FakeViewer v;
        QStringList messages;
        d.messageSink = [&](const QString& t, const QString& m) { messages << t + m; };
        d.prepare(v.hooks());
        d.Text1[1]->setText(QStringLiteral("10"));
        const QString path = dir.filePath(QStringLiteral("anim.gif"));
        d.Text2->setText(path);
        QVERIFY(d.Command2->isEnabled());
        d.Text2->clear();
        QVERIFY(d.Command2->isEnabled());  // never disabled again
        d.Text2->setText(path);
        QVERIFY(d.start());
        QCOMPARE(messages, QStringList());
        QCOMPARE(d.Text1[1]->text(), QStringLiteral("5"));
        QCOMPARE(d.Label3->text(), QStringLiteral("51"));
        QCOMPARE(v.drawn.size(), 51);
        QCOMPARE(v.drawn.first(), 0);
        QCOMPARE(v.drawn[1], 2);
        QCOMPARE(v.drawn.last(), 100);
        QCOMPARE(v.step, 100);  // the viewer stays at the last image
        QImageReader reader(path);
        QCOMPARE(reader.imageCount(), 51);
        QCOMPARE(reader.loopCount(), -1);  // forever
        QImage first = reader.read();
        QCOMPARE(first.size(), QSize(40, 30));
        // The delay value 1 (round(100 x 0.1 / 10)) is checked by the writer tests;
        // Qt's reader reports so short a delay as its own default.
    }

    void delayFromIntervalAndSpeed() {
        QTemporaryDir dir;
        GifExportDialog d;
        FakeViewer v;
        d.prepare(v.hooks());
        d.Text1[1]->setText(QStringLiteral("4"));
        d.Text1[2]->setText(QStringLiteral("2"));
        d.Text1[3]->setText(QStringLiteral("1"));
        const QString path = dir.filePath(QStringLiteral("slow.gif"));
        d.Text2->setText(path);
        QVERIFY(d.start());
        QImageReader reader(path);
        QCOMPARE(reader.imageCount(), 3);
        reader.read();
        QCOMPARE(reader.nextImageDelay(), 2000);  // 200 hundredths of a second
    }

    void badRequestsShowAMessageAndWriteNothing_data() {
        QTest::addColumn<QString>("every");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("file");
        struct Bad {
            const char *name, *every, *speed, *start, *folder;
        };
        const Bad bad[] = {{"interval 0", "0", "10", "0", ""},
                           {"speed 0", "0.1", "0", "0", ""},
                           {"negative start", "0.1", "10", "-1", ""},
                           {"end before start", "0.1", "10", "4", ""},
                           {"missing folder", "0.1", "10", "0", "no/"}};
        for (const char* file : {"anim.gif", "anim.mp4", "anim.webm"})
            for (const Bad& b : bad)
                QTest::addRow("%s, %s", b.name, file)
                    << QString::fromLatin1(b.every) << QString::fromLatin1(b.speed)
                    << QString::fromLatin1(b.start) << QString::fromLatin1(b.folder) + file;
    }
    void badRequestsShowAMessageAndWriteNothing() {
        QFETCH(QString, every);
        QFETCH(QString, speed);
        QFETCH(QString, start);
        QFETCH(QString, file);
        QTemporaryDir dir;
        GifExportDialog d;
        FakeViewer v;
        QStringList messages;
        d.messageSink = [&](const QString& t, const QString& m) { messages << t + u'|' + m; };
        d.prepare(v.hooks());
        d.Text1[0]->setText(start);
        d.Text1[1]->setText(QStringLiteral("3"));
        d.Text1[2]->setText(every);
        d.Text1[3]->setText(speed);
        d.Text2->setText(dir.filePath(file));
        QVERIFY(!d.start());
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().startsWith(QStringLiteral("アニメーション作成|")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // Video from the dialog: 0 .. 1 s every 0.1 s at speed 2 is 11 pictures at 20 per second.
    void videoFollowsTheNamesExtension_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("codec");
        QTest::newRow("mp4") << QStringLiteral("anim.mp4") << QStringLiteral("h264");
        QTest::newRow("webm") << QStringLiteral("anim.WebM") << QStringLiteral("vp9");
    }
    void videoFollowsTheNamesExtension() {
        QFETCH(QString, file);
        QFETCH(QString, codec);
        if (qrn::test::ffTool("ffprobe").isEmpty()) QSKIP("ffprobe is not installed");
        QTemporaryDir dir;
        GifExportDialog d;
        FakeViewer v;
        d.prepare(v.hooks());
        d.Text1[1]->setText(QStringLiteral("1"));
        d.Text1[3]->setText(QStringLiteral("2"));
        d.Text2->setText(dir.filePath(file));
        QVERIFY(d.start());
        QCOMPARE(d.progressBar->value(), d.progressBar->maximum());
        const qrn::test::VideoProbe p = qrn::test::probeVideo(dir.filePath(file));
        QCOMPARE(p.codec, codec);
        QCOMPARE(QSize(p.width, p.height), QSize(40, 30));
        QCOMPARE(p.rate, QStringLiteral("20/1"));
        QCOMPARE(p.frames, 11);
        QCOMPARE(qRound(p.duration * 1000), 550);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{file});
    }

    // "中止" pressed while the fourth picture is drawn.
    void abortKeepsTheEarlierFile_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("gif") << QStringLiteral("anim.gif");
        QTest::newRow("mp4") << QStringLiteral("anim.mp4");
    }
    void abortKeepsTheEarlierFile() {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old contents");
        }
        GifExportDialog d;
        FakeViewer v;
        QStringList messages;
        d.messageSink = [&](const QString& t, const QString& m) { messages << t + m; };
        v.onDraw = [&] {
            QVERIFY(d.abortButton->isEnabled());
            QVERIFY(!d.Command2->isEnabled());
            if (v.drawn.size() == 4) d.abortButton->click();
        };
        d.prepare(v.hooks());
        d.Text2->setText(path);
        qrn::test::OverwriteAnswerer yes(true);
        QVERIFY(!d.start());
        QCOMPARE(yes.asked.size(), 1);
        QCOMPARE(v.drawn.size(), 4);
        QCOMPARE(messages, QStringList());
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old contents"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{file});
        QVERIFY(!d.abortButton->isEnabled());
        QVERIFY(d.Command2->isEnabled());
        QCOMPARE(d.progressBar->value(), 0);
    }

    // An existing file is replaced only after "はい"; "いいえ" leaves it byte for byte.
    void overwriteQuestion_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void overwriteQuestion() {
        QFETCH(bool, yes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("anim.gif"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old contents");
        }
        GifExportDialog d;
        FakeViewer v;
        d.prepare(v.hooks());
        d.Text2->setText(path);
        QSignalSpy written(&d, &GifExportDialog::fileWritten);
        qrn::test::OverwriteAnswerer answer(yes);
        QCOMPARE(d.start(), yes);
        QCOMPARE(answer.asked.size(), 1);
        QVERIFY(answer.asked.first().contains(QDir::toNativeSeparators(path)));
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll() == QByteArray("old contents"), !yes);
        QCOMPARE(v.drawn.isEmpty(), !yes);
        QCOMPARE(written.size(), yes ? 1 : 0);
    }

    void onlyTheRealViewerExports() {
        QTemporaryDir dir;
        GifExportDialog d;
        FakeViewer v;
        d.prepare(v.hooks(), QStringLiteral("N"));
        d.Text2->setText(dir.filePath(QStringLiteral("anim.gif")));
        QVERIFY(!d.start());
        QVERIFY(v.drawn.isEmpty());
    }

    void chooserFillsTheOutputBox() {
        GifExportDialog d;
        d.fileChooser = [] { return QStringLiteral("/tmp/x.gif"); };
        d.Command1->click();
        QCOMPARE(d.Text2->text(), QDir::toNativeSeparators(QStringLiteral("/tmp/x.gif")));
        d.fileChooser = [] { return QString(); };  // cancel changes nothing
        d.Command1->click();
        QCOMPARE(d.Text2->text(), QDir::toNativeSeparators(QStringLiteral("/tmp/x.gif")));
    }
};

QTEST_MAIN(TestGifDialog)
#include "test_gifdialog.moc"
