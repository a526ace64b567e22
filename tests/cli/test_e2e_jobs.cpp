// End to end: qrnconv save, csv, frame, gif and video run as processes on the
// sample analysis, checked against hand counts, an independent GIF decoder,
// ffprobe/ffmpeg and the core called directly.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstring>

#include "../animation/videoprobe.h"
#include "cli/cliargs.h"
#include "cli/readinput.h"
#include "cli/viewoptions.h"
#include "files/csvexport.h"
#include "qrnconvprocess.h"
#include "viewer/framejob.h"

using namespace qrn;
using qrn::test::Outcome;
using qrn::test::qrnconv;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Pixels whose colours differ (alpha ignored: PNG and GIF decoders and the
// canvas may disagree on it for opaque pictures); -1 for different sizes.
int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col)
            if (((p[col] ^ q[col]) & 0xFFFFFFu) != 0) ++n;
    }
    return n;
}

QJsonObject json(const Outcome& r) { return QJsonDocument::fromJson(r.out.toUtf8()).object(); }

// int16 little-endian at a byte offset of a binary dataset file.
int int16At(const QByteArray& file, qsizetype offset) {
    std::int16_t v = 0;
    std::memcpy(&v, file.constData() + offset, 2);
    return v;
}

class QrnconvJobs : public qrn::test::SampleSuite {
  protected:
    // A fresh folder per test for outputs, so "nothing left behind" can be checked.
    void SetUp() override { ASSERT_TRUE(out_.isValid()); }
    QString out(const QString& name) const { return QDir(out_.path()).filePath(name); }
    QString out(const char* name) const { return out(QString::fromUtf8(name)); }
    QStringList outFiles() const {
        return QDir(out_.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // Reads INPUT in-process exactly as qrnconv does.
    static Dataset readHere(const QString& input, QString* intervalText = nullptr,
                            const QString& interval = QStringLiteral("0.05")) {
        cli::ReadOptions o;
        o.interval = interval;
        Dataset d;
        cli::TerminalHost host([](const QByteArray&) {}, false);
        const ReadResult r = cli::readInput(d, cli::makeReadRequest(input, o), host);
        EXPECT_TRUE(r.completed);
        if (intervalText) *intervalText = r.intervalText;
        return d;
    }

    QTemporaryDir out_;
};

Outcome info(const QString& input) {
    return qrnconv({QStringLiteral("info"), input, QStringLiteral("--json")});
}

}  // namespace

// ---- save ----

TEST_F(QrnconvJobs, SaveThenInfoGivesTheSameRead) {
    for (const char* input : {"run1.his", "run1.f24", "run1.f08"}) {
        const QString saved = out("copy.qrn3");
        const Outcome s = qrnconv({QStringLiteral("save"), path(input), saved});
        ASSERT_EQ(s.exitCode, 0) << input << s.err.toStdString();
        EXPECT_TRUE(s.out.isEmpty() && s.err.isEmpty()) << s.err.toStdString();

        QJsonObject before = json(info(path(input)));
        QJsonObject after = json(info(saved));
        ASSERT_FALSE(after.isEmpty()) << input;
        EXPECT_EQ(after.value(QStringLiteral("files")).toArray().at(0).toString(), saved);
        before.remove(QStringLiteral("files"));
        after.remove(QStringLiteral("files"));
        EXPECT_EQ(after, before) << input;

        // After an analysis read no viewer has set the node range: both 0.
        // Offsets by hand: 3 int16, CableInfo 2 x 2 int32, NodeTblMax,
        // NodeTbl 3 x 15 int32 = 6 + 16 + 2 + 180 = 204.
        const QByteArray file = bytesOf(saved);
        ASSERT_GT(file.size(), 208);
        EXPECT_EQ(int16At(file, 4), 1);    // CableMax
        EXPECT_EQ(int16At(file, 22), 14);  // NodeTblMax
        EXPECT_EQ(int16At(file, 204), 0);  // FirstNode
        EXPECT_EQ(int16At(file, 206), 0);  // LastNode
    }
}

TEST_F(QrnconvJobs, SaveOfADatasetFileKeepsItsNodeRangeWhateverTheOutputName) {
    const QString first = out("first.qrn3");
    ASSERT_EQ(qrnconv({QStringLiteral("save"), path("run1.his"), first}).exitCode, 0);
    // FirstNode 2 and LastNode 3, as a viewer would have left them.
    QByteArray edited = bytesOf(first);
    const std::int16_t range[2] = {2, 3};
    edited.replace(204, 4, reinterpret_cast<const char*>(range), 4);
    const QString input = out("edited.QRN3");
    {
        QFile f(input);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(edited);
    }
    // The output is the current generation, byte for byte, even named like an old one.
    for (const char* name : {"again.qrn3", "again.qrn1", "again.bin"}) {
        const Outcome r = qrnconv({QStringLiteral("save"), input, out(name)});
        ASSERT_EQ(r.exitCode, 0) << name << r.err.toStdString();
        EXPECT_EQ(bytesOf(out(name)), edited) << name;
    }
    // Saved onto itself: the file is read whole before it is replaced.
    const Outcome self = qrnconv({QStringLiteral("save"), input, input});
    ASSERT_EQ(self.exitCode, 0) << self.err.toStdString();
    EXPECT_EQ(bytesOf(input), edited);
}

TEST_F(QrnconvJobs, SaveAndCsvRefuseAfterASettingsOnlyRead) {
    struct C {
        QStringList args;
        const char* what;
    };
    const C cases[] = {
        {{QStringLiteral("save"), path("st.dat"), out("s.qrn3")}, "保存できません。"},
        {{QStringLiteral("save"), path("self.dat"), out("s.qrn3"), QStringLiteral("--mode"),
          QStringLiteral("7")},
         "保存できません。"},
        {{QStringLiteral("csv"), path("st.dat"), out("s.csv"), QStringLiteral("--nodes"),
          QStringLiteral("all")},
         "CSVファイルに出力できません。"},
    };
    for (const C& c : cases) {
        const Outcome r = qrnconv(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, QStringLiteral("qrnconv: 初期設定ファイルだけの読込（作業モード 4, "
                                        "7）の後は") +
                             QString::fromUtf8(c.what) + QChar(u'\n'));
        EXPECT_TRUE(outFiles().isEmpty()) << outFiles().join(' ').toStdString();
    }
}

// ---- csv ----

TEST_F(QrnconvJobs, CsvBytesAreTheWindowsExport) {
    struct C {
        QStringList options;
        int files;
    };
    const C cases[] = {
        {{QStringLiteral("--nodes"), QStringLiteral("all"), QStringLiteral("--tension"),
          QStringLiteral("--beams"), QStringLiteral("all"), QStringLiteral("--init")},
         1},
        {{QStringLiteral("--nodes"), QStringLiteral("all"), QStringLiteral("--axes"),
          QStringLiteral("xt"), QStringLiteral("--split"), QStringLiteral("--from"),
          QStringLiteral("0.1"), QStringLiteral("--to"), QStringLiteral("9"),
          QStringLiteral("--every"), QStringLiteral("0.1")},
         5},
        {{}, 1},  // nothing selected: the header line only
    };
    QString interval;
    const Dataset data = readHere(path("run1.his"), &interval);
    int n = 0;
    for (const C& c : cases) {
        const QString name = QStringLiteral("cli%1.csv").arg(n);
        const QString direct = QStringLiteral("direct%1.csv").arg(n++);
        QStringList args = {QStringLiteral("csv"), path("run1.his"),
                            QDir(out_.path()).filePath(name)};
        const Outcome r = qrnconv(args + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

        const cli::ParsedArgs parsed = cli::parseArgs(c.options, cli::csvOptionSpecs());
        const CsvSelection sel = csvSelectionFromOptions(
            data, cli::csvOptionsFrom(parsed), interval, QDir(out_.path()).filePath(direct));
        NullProgress host;
        writeCsv(data, sel, interval, host);

        const QStringList ours = csvOutputFiles(QDir(out_.path()).filePath(name), sel.split);
        const QStringList theirs = csvOutputFiles(QDir(out_.path()).filePath(direct), sel.split);
        ASSERT_EQ(ours.size(), c.files);
        for (qsizetype i = 0; i < ours.size(); ++i) {
            const QByteArray bytes = bytesOf(ours[i]);
            EXPECT_FALSE(bytes.isEmpty()) << ours[i].toStdString();
            EXPECT_TRUE(bytes.endsWith("\r\n")) << ours[i].toStdString();
            EXPECT_EQ(bytes, bytesOf(theirs[i])) << ours[i].toStdString();
        }
    }
}

TEST_F(QrnconvJobs, CsvFailuresLeaveNoFile) {
    struct C {
        QStringList args;
        int exit;
        const char* message;
    };
    const C cases[] = {
        {{QStringLiteral("--nodes"), QStringLiteral("99999")},
         1,
         "ノード番号99999はノードテーブル"},
        {{QStringLiteral("--beams"), QStringLiteral("99999")}, 1, "Beam要素番号99999"},
        {{QStringLiteral("--axes"), QStringLiteral("q")}, 2, "--axes"},
        {{QStringLiteral("--nodes"), QStringLiteral("1;2")}, 2, "--nodes"},
    };
    for (const C& c : cases) {
        const Outcome r =
            qrnconv(QStringList{QStringLiteral("csv"), path("run1.his"), out("x.csv")} + c.args);
        EXPECT_EQ(r.exitCode, c.exit) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
    }
    // An output folder that does not exist.
    const QString bad = out("none/x.csv");
    const Outcome r = qrnconv({QStringLiteral("csv"), path("run1.his"), bad,
                               QStringLiteral("--nodes"), QStringLiteral("all")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("ファイル書き込みエラー: ")))
        << r.err.toStdString();
    EXPECT_TRUE(outFiles().isEmpty()) << outFiles().join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(out("none")));
}

// ---- frame ----

TEST_F(QrnconvJobs, FrameSizeIsTheClientLessTheLayoutMargins) {
    // The picture sits 20 px in, leaves 74 px on the right and 9 px below for
    // the panels, and has a 2 px border: the image is (W - 98) x (H - 33).
    struct C {
        QStringList options;
        QSize size;
    };
    const C cases[] = {
        {{}, QSize(678 - 98, 445 - 33)},
        {{QStringLiteral("--view"), QStringLiteral("normal")}, QSize(682 - 98, 446 - 33)},
        {{QStringLiteral("--window"), QStringLiteral("500x300")}, QSize(402, 267)},
        {{QStringLiteral("--view"), QStringLiteral("normal"), QStringLiteral("--window"),
          QStringLiteral("800X600"), QStringLiteral("--zoom"), QStringLiteral("2")},
         QSize(702, 567)},
    };
    for (const C& c : cases) {
        const Outcome r = qrnconv(
            QStringList{QStringLiteral("frame"), path("run1.his"), out("f.png")} + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QImage png(out("f.png"));
        EXPECT_EQ(png.size(), c.size) << c.options.join(' ').toStdString();
    }
}

TEST_F(QrnconvJobs, FrameIsTheViewersPictureWithItsPoints) {
    const QStringList view = {
        QStringLiteral("--view"),     QStringLiteral("normal"),       QStringLiteral("--time-step"),
        QStringLiteral("3"),          QStringLiteral("--p2"),         QStringLiteral("400"),
        QStringLiteral("--sideways"), QStringLiteral("--line-width"), QStringLiteral("2")};
    const Outcome r = qrnconv(QStringList{QStringLiteral("frame"), path("run1.f24"), out("f.png"),
                                          QStringLiteral("--points"), out("p.txt")} +
                              view);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    // Two cables of nodes 0..4, then the five beam-only nodes.
    const QList<QByteArray> lines = bytesOf(out("p.txt")).split('\n');
    ASSERT_EQ(lines.size(), 2 * 5 + 5 + 1);
    EXPECT_TRUE(lines.back().isEmpty());
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split(',');
        ASSERT_EQ(f.size(), 5) << lines[i].toStdString();
        const int slot = i < 5 ? 0 : i < 10 ? 1 : 2;
        EXPECT_EQ(f[0].toInt(), slot) << i;
        EXPECT_EQ(f[1].toInt(), i % 5) << i;
        if (slot < 2) {
            EXPECT_FALSE(f[2].isEmpty()) << "cable nodes are in the node table";
        }
    }

    // The same frame drawn here from the same read and options.
    Dataset data = readHere(path("run1.f24"));
    const cli::ParsedArgs parsed = cli::parseArgs(view, cli::viewOptionSpecs());
    viewer::FrameOptions o = cli::frameOptionsFrom(parsed);
    o.wantPoints = true;
    const viewer::FrameResult here = viewer::renderFrame(data, o);
    EXPECT_EQ(here.end, render::FrameEnd::Complete);
    EXPECT_EQ(differingPixels(QImage(out("f.png")), here.image), 0);
    EXPECT_EQ(bytesOf(out("p.txt")), here.points);
}

TEST_F(QrnconvJobs, FrameWithABadOutputLeavesNothingBehind) {
    struct C {
        QString png;
        QString points;
    };
    const C cases[] = {
        {out("none/f.png"), QString()},
        {out("none/f.png"), out("p.txt")},  // the points file is not left alone either
        {out("f.png"), out("none/p.txt")},
        {out_.path(), QString()},  // a folder
    };
    for (const C& c : cases) {
        QStringList args = {QStringLiteral("frame"), path("run1.his"), c.png};
        if (!c.points.isEmpty()) args << QStringLiteral("--points") << c.points;
        const Outcome r = qrnconv(args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("ファイル書き込みエラー: ファイル ")))
            << r.err.toStdString();
        EXPECT_TRUE(outFiles().isEmpty()) << outFiles().join(' ').toStdString();
    }
}

// ---- gif ----

namespace {

QString tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }

// Per frame "delay width height" of the logical screen, from ImageMagick.
QStringList identifyFrames(const QString& gif) {
    const Outcome r = qrn::test::runProgram(
        tool("identify"), {QStringLiteral("-format"), QStringLiteral("%T %W %H\\n"), gif});
    if (r.exitCode != 0) return {QStringLiteral("identify failed: ") + r.err};
    return r.out.split(QChar(u'\n'), Qt::SkipEmptyParts);
}

}  // namespace

TEST_F(QrnconvJobs, GifFrameCountAndDelayFollowTheDialogsRules) {
    if (tool("identify").isEmpty()) GTEST_SKIP() << "ImageMagick identify is not installed";
    struct C {
        QStringList options;
        int images;
        const char* delay;
        QSize size;
    };
    const C cases[] = {
        // Defaults: end at the data's end 6 x 0.05 = 0.3 s, images every 0.1 s
        // at steps 0, 2, 4, 6; delay round(100 x 0.1 / 10) = 1.
        {{}, 4, "1", QSize(580, 412)},
        // Interval 0.5: the data end at 3 s, so "10" is cut to 3; 0, 1, 2, 3 s
        // are steps 0, 2, 4, 6; delay round(100 x 1 / 1).
        {{QStringLiteral("--interval"), QStringLiteral("0.5"), QStringLiteral("--to"),
          QStringLiteral("10"), QStringLiteral("--every"), QStringLiteral("1"),
          QStringLiteral("--speed"), QStringLiteral("1")},
         4,
         "100",
         QSize(580, 412)},
        // 2.9 intervals: images at 0.5, 1.5, 2.5 s; delay round(100 x 1 / 0.5).
        {{QStringLiteral("--interval"), QStringLiteral("0.5"), QStringLiteral("--from"),
          QStringLiteral("0.5"), QStringLiteral("--to"), QStringLiteral("3.4"),
          QStringLiteral("--every"), QStringLiteral("1"), QStringLiteral("--speed"),
          QStringLiteral("0.5"), QStringLiteral("--window"), QStringLiteral("300x200")},
         3,
         "200",
         QSize(202, 167)},
    };
    for (const C& c : cases) {
        const QString gif = out("a.gif");
        const Outcome r =
            qrnconv(QStringList{QStringLiteral("gif"), path("run1.his"), gif} + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList frames = identifyFrames(gif);
        ASSERT_EQ(frames.size(), c.images) << frames.join('|').toStdString();
        const QString want = QString::fromLatin1(c.delay) +
                             QStringLiteral(" %1 %2").arg(c.size.width()).arg(c.size.height());
        for (const QString& f : frames) EXPECT_EQ(f, want) << c.options.join(' ').toStdString();
        EXPECT_EQ(outFiles(), QStringList{QStringLiteral("a.gif")});
    }
}

TEST_F(QrnconvJobs, GifFramesAreTheRealViewersPictures) {
    if (tool("convert").isEmpty()) GTEST_SKIP() << "ImageMagick convert is not installed";
    const QStringList view = {QStringLiteral("--h"),          QStringLiteral("30"),
                              QStringLiteral("--v"),          QStringLiteral("20"),
                              QStringLiteral("--disp-scale"), QStringLiteral("50"),
                              QStringLiteral("--window"),     QStringLiteral("400x300")};
    const QStringList gifOptions = {QStringLiteral("--interval"), QStringLiteral("1"),
                                    QStringLiteral("--every"),    QStringLiteral("2"),
                                    QStringLiteral("--to"),       QStringLiteral("6")};
    const Outcome r = qrnconv(QStringList{QStringLiteral("gif"), path("run1.his"), out("a.gif")} +
                              view + gifOptions);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const Outcome c = qrn::test::runProgram(
        tool("convert"), {out("a.gif"), QStringLiteral("-coalesce"), out("f%d.png")});
    ASSERT_EQ(c.exitCode, 0) << c.err.toStdString();

    // Images at 0, 2, 4, 6 s are steps 0, 2, 4, 6 (interval 1 s).
    // The interval box decides which history rows are read, so read with the same.
    Dataset data = readHere(path("run1.his"), nullptr, QStringLiteral("1"));
    viewer::FrameOptions o = cli::frameOptionsFrom(cli::parseArgs(view, cli::viewOptionSpecs()));
    for (int i = 0; i < 4; ++i) {
        o.timeStep = 2 * i;
        const QImage want =
            viewer::renderFrame(data, o).image.convertToFormat(QImage::Format_RGB32);
        const QImage got =
            QImage(out(QStringLiteral("f%1.png").arg(i))).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(differingPixels(got, want), 0) << "image " << i;
    }
    EXPECT_FALSE(QFileInfo::exists(out("f4.png")));
}

TEST_F(QrnconvJobs, GifFailuresLeaveNothingBehind) {
    struct C {
        QStringList args;
        const char* message;
    };
    const QString gif = out("a.gif");
    const C cases[] = {
        {{gif, QStringLiteral("--speed"), QStringLiteral("0")}, "描画速度には0より大きい値"},
        {{gif, QStringLiteral("--every"), QStringLiteral("x")}, "作成間隔(s)には0より大きい値"},
        {{gif, QStringLiteral("--from"), QStringLiteral("-1")}, "開始時間(s)には0以上"},
        {{gif, QStringLiteral("--from"), QStringLiteral("1")}, "データの終了時間(0.3秒)を超えて"},
        {{out("none/a.gif")}, "none/a.gif"},
    };
    for (const C& c : cases) {
        const Outcome r = qrnconv(QStringList{QStringLiteral("gif"), path("run1.his")} + c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("アニメーション作成: ")))
            << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
        EXPECT_TRUE(outFiles().isEmpty()) << outFiles().join(' ').toStdString();
    }
}

// ---- video ----

namespace {
QStringList words(const char* text) {
    return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts);
}
}  // namespace

TEST_F(QrnconvJobs, VideoTimingSizeAndPicturesFollowTheGifRules) {
    if (test::ffTool("ffprobe").isEmpty()) GTEST_SKIP() << "ffprobe is not installed";
    struct C {
        const char* file;
        const char* options;
        const char* view;
        std::vector<int> steps;  // of the images, 0.05 s each
        const char* rate;
        double duration;
        QSize size;
        double minPsnr;  // every frame against the frame drawn for its step
    };
    const C cases[] = {
        // 0 .. 0.3 s every 0.1 s at speed 2: 20 per second.
        {"a.mp4", "--every 0.1 --speed 2", "", {0, 2, 4, 6}, "20/1", 0.2, {580, 412}, 35},
        // 0.1 .. 0.3 s every 0.05 s at the default speed 10: 200 per second.
        {"b.webm", "--from 0.1 --every 0.05", "", {2, 3, 4, 5, 6}, "200/1", 0.025, {580, 412}, 30},
        // Every 0.03 s at speed 1: 100/3 per second; 203 x 167 padded to even sides.
        {"c.mp4",
         "--every 0.03 --speed 1 --crf 23",
         "--window 301x200",
         {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6},
         "100/3",
         0.33,
         {204, 168},
         35},
    };
    Dataset data = readHere(path("run1.his"));
    for (const C& c : cases) {
        SCOPED_TRACE(c.file);
        const QString file = out(c.file);
        const Outcome r = qrnconv(QStringList{QStringLiteral("video"), path("run1.his"), file} +
                                  words(c.options) + words(c.view));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const test::VideoProbe v = test::probeVideo(file);
        EXPECT_EQ(v.codec, QLatin1String(file.endsWith(QLatin1String("mp4")) ? "h264" : "vp9"));
        EXPECT_EQ(QSize(v.width, v.height), c.size);
        EXPECT_EQ(v.rate, QString::fromLatin1(c.rate));
        EXPECT_EQ(v.frames, static_cast<int>(c.steps.size()));
        EXPECT_NEAR(v.duration, c.duration, 1e-3);
        EXPECT_EQ(v.indexFirst, v.codec == QLatin1String("h264"));

        viewer::FrameOptions o =
            cli::frameOptionsFrom(cli::parseArgs(words(c.view), cli::viewOptionSpecs()));
        QDir().mkpath(file + QStringLiteral(".frames"));
        const QList<QImage> frames = test::decodeFrames(file, file + QStringLiteral(".frames"));
        ASSERT_EQ(frames.size(), static_cast<qsizetype>(c.steps.size()));
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            o.timeStep = c.steps[i];
            const QImage want = viewer::renderFrame(data, o).image;
            const QImage got = frames[static_cast<qsizetype>(i)].copy(QRect(QPoint(), want.size()));
            EXPECT_GE(test::psnr(got, want), c.minPsnr) << "image " << i;
        }
    }
}

TEST_F(QrnconvJobs, VideoBadInputWritesNothing) {
    struct C {
        const char* args;  // after INPUT, in the output folder
        int exitCode;
        const char* message;
    };
    const C cases[] = {
        {"a.avi", 2, ".mp4 か .webm"},
        {"a.mp4 --crf 52", 2, "--crf"},
        {"a.webm --crf -1", 2, "--crf"},
        {"a.mp4 --speed 0", 1, "描画速度には0より大きい値"},
        {"a.mp4 --every -0.1", 1, "作成間隔(s)には0より大きい値"},
        {"a.mp4 --from 0.2 --to 0.1", 1, "終了時間(s)には開始時間(s)以上"},
        {"none/a.mp4", 1, "none/a.mp4"},
    };
    for (const C& c : cases) {
        QStringList args = words(c.args);
        args[0] = out(args[0]);
        const Outcome r = qrnconv(QStringList{QStringLiteral("video"), path("run1.his")} + args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
        EXPECT_TRUE(outFiles().isEmpty()) << outFiles().join(' ').toStdString();
    }
}
