// Round trips through independent decoders, the imgctl calls, and failed writes.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <random>
#include <stdexcept>

#include "animation/gifexport.h"
#include "animation/gifwriter.h"
#include "animation/imgctl.h"
#include "dataset/error.h"
#include "decoder.h"

using namespace qrn::gif;
using qrn::gif::test::decode;
using qrn::gif::test::Decoded;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kNavy = 0x000080, kGreen = 0x008000,
                        kTeal = 0x008080, kSilver = 0xC0C0C0, kRed = 0xFF0000;

// A picture in QImage's RGB32 layout, with a padded row to prove the stride is used.
struct Picture {
    int width, height;
    std::ptrdiff_t stride;
    std::vector<std::uint32_t> px;
    Picture(int w, int h, std::uint32_t fill)
        : width(w),
          height(h),
          stride(w + 3),
          px(static_cast<std::size_t>(stride * h), 0xFF000000u | fill) {}
    void set(int x, int y, std::uint32_t rgb) {
        px[static_cast<std::size_t>(y * stride + x)] = 0xFF000000u | rgb;
    }
    std::uint32_t at(int x, int y) const {
        return px[static_cast<std::size_t>(y * stride + x)] & 0xFFFFFF;
    }
    void fill(std::uint32_t rgb) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) set(x, y, rgb);
    }
    void rect(int x0, int y0, int w, int h, std::uint32_t rgb) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) set(x, y, rgb);
    }
    Rgb32View view() const { return {px.data(), width, height, stride}; }
    std::vector<std::uint32_t> rgb() const {
        std::vector<std::uint32_t> out;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) out.push_back(at(x, y));
        return out;
    }
};

class GifRoundTrip : public testing::Test {
  protected:
    void SetUp() override {
        const QString missing = test::decoderMissing();
        if (!missing.isEmpty()) GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(dir.isValid());
    }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QTemporaryDir dir;
};

// Image k of gifsicle's listing: "WxH" and, when not at 0,0, "at X,Y".
QString rectOf(const QString& info, int k) {
    const QRegularExpression re(QStringLiteral("\\+ image #%1 (\\d+x\\d+)( at \\d+,\\d+)?").arg(k));
    const auto m = re.match(info);
    return m.hasMatch() ? m.captured(1) + m.captured(2) : QString();
}

QString gifsicleInfo(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("gifsicle"), {QStringLiteral("--info"), file});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QByteArray head(const QString& file, int n) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

TEST_F(GifRoundTrip, FramesDelaysLoopAndChangedRectangles) {
    Picture p(40, 24, kWhite);
    std::vector<std::vector<std::uint32_t>> expected;
    GifWriter w(path("a.gif"), Palette{kWhite, kBlack}, 40, 24);

    // 0: a line, a corner pixel, and colours off the palette.
    p.rect(2, 5, 29, 1, kBlack);
    p.set(39, 23, kNavy);
    p.set(10, 10, 0xC80A0A);        // nearest is light red (255,0,0)
    p.rect(0, 20, 4, 1, 0xFAFAFA);  // nearest is white
    Picture e = p;
    e.set(10, 10, kRed);
    e.rect(0, 20, 4, 1, kWhite);
    w.addFrame(p.view(), 10);
    expected.push_back(e.rgb());
    // 1: the line moves down one row.
    p.rect(2, 5, 29, 1, kWhite);
    p.rect(2, 6, 29, 1, kBlack);
    e.rect(2, 5, 29, 1, kWhite);
    e.rect(2, 6, 29, 1, kBlack);
    w.addFrame(p.view(), 10);
    expected.push_back(e.rgb());
    // 2: nothing changes.
    w.addFrame(p.view(), 10);
    expected.push_back(e.rgb());
    // 3: one corner pixel.
    p.set(0, 0, kGreen);
    e.set(0, 0, kGreen);
    w.addFrame(p.view(), 10);
    expected.push_back(e.rgb());
    // 4: that pixel back to white (as two frames ago), the other corner changes.
    p.set(0, 0, kWhite);
    e.set(0, 0, kWhite);
    p.set(39, 23, kTeal);
    e.set(39, 23, kTeal);
    w.addFrame(p.view(), 10);
    expected.push_back(e.rgb());
    // 5: everything.
    p.fill(kSilver);
    e.fill(kSilver);
    w.addFrame(p.view(), 10);
    expected.push_back(e.rgb());
    w.finish();
    EXPECT_EQ(w.frameCount(), 6);

    EXPECT_EQ(head(path("a.gif"), 6), QByteArray("GIF89a"));
    const auto d = decode(path("a.gif"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->width, 40);
    EXPECT_EQ(d->height, 24);
    EXPECT_TRUE(d->loopsForever);
    EXPECT_EQ(d->delays, std::vector<int>(6, 10));
    ASSERT_EQ(d->frames.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(d->frames[i], expected[i]) << "frame " << i;

    const QString info = gifsicleInfo(path("a.gif"));
    EXPECT_EQ(rectOf(info, 0), QStringLiteral("40x24"));
    EXPECT_EQ(rectOf(info, 1), QStringLiteral("29x2 at 2,5"));
    EXPECT_EQ(rectOf(info, 2), QStringLiteral("1x1"));
    EXPECT_EQ(rectOf(info, 3), QStringLiteral("1x1"));
    EXPECT_EQ(rectOf(info, 4), QStringLiteral("40x24"));  // (0,0) and (39,23)
    EXPECT_TRUE(info.contains(QStringLiteral("global color table [32]")));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("a.gif")});
}

TEST_F(GifRoundTrip, CanvasColoursOutsideTheClassicPaletteStayExact) {
    const std::uint32_t face = 0xF0F0F0;
    Picture p(16, 8, face);
    p.rect(1, 1, 5, 1, kBlack);
    p.set(7, 7, 0xEBEBEB);  // nearest is the canvas colour, not silver
    GifWriter w(path("c.gif"), Palette{face, kBlack}, 16, 8);
    w.addFrame(p.view(), 0);
    w.finish();
    p.set(7, 7, face);
    const auto d = decode(path("c.gif"));
    ASSERT_TRUE(d);
    ASSERT_EQ(d->frames.size(), 1u);
    EXPECT_EQ(d->frames[0], p.rgb());
    EXPECT_EQ(d->delays, std::vector<int>{0});
    EXPECT_TRUE(d->loopsForever);
}

TEST_F(GifRoundTrip, RandomRectanglesSurviveEveryFrame) {
    std::mt19937 rng(7);
    const int w = 64, h = 48;
    Picture p(w, h, kWhite);
    GifWriter writer(path("r.gif"), Palette{kWhite, kBlack}, w, h);
    std::vector<std::vector<std::uint32_t>> expected;
    for (int f = 0; f < 12; ++f) {
        const int rects = static_cast<int>(rng() % 4);
        for (int r = 0; r < rects; ++r) {
            const int x = static_cast<int>(rng() % w), y = static_cast<int>(rng() % h);
            const int rw = 1 + static_cast<int>(rng() % (w - x)),
                      rh = 1 + static_cast<int>(rng() % (h - y));
            p.rect(x, y, rw, rh, kClassicColours[rng() % 16]);
        }
        writer.addFrame(p.view(), 3 + f);
        expected.push_back(p.rgb());
    }
    writer.finish();
    const auto d = decode(path("r.gif"));
    ASSERT_TRUE(d);
    ASSERT_EQ(d->frames.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(d->frames[i], expected[i]) << "frame " << i;
    std::vector<int> delays;
    for (int f = 0; f < 12; ++f) delays.push_back(3 + f);
    EXPECT_EQ(d->delays, delays);
}

TEST_F(GifRoundTrip, NoisyFramesFillTheCodeTableAndWidePalettesWork) {
    // 60000 random pixels need several table clears; 150 canvas colours make
    // 8-bit codes. Frame 1 changes a noisy band, frame 2 only a few pixels.
    std::vector<Rgb> extra;
    for (int i = 0; i < 150; ++i) extra.push_back(static_cast<Rgb>(0x102030 + i * 0x010101));
    const Palette palette(extra.data(), static_cast<int>(extra.size()));
    ASSERT_EQ(palette.tableSize(), 256);
    std::mt19937 rng(11);
    auto colour = [&] { return palette.colours()[rng() % palette.colours().size()]; };
    Picture p(300, 200, kWhite);
    GifWriter w(path("n.gif"), palette, 300, 200);
    std::vector<std::vector<std::uint32_t>> expected;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) p.set(x, y, colour());
    w.addFrame(p.view(), 1);
    expected.push_back(p.rgb());
    for (int y = 50; y < 150; ++y)
        for (int x = 0; x < 300; ++x)
            if (rng() % 3 == 0) p.set(x, y, colour());
    w.addFrame(p.view(), 2);
    expected.push_back(p.rgb());
    for (int i = 0; i < 5; ++i)
        p.set(static_cast<int>(rng() % 300), static_cast<int>(rng() % 200), colour());
    w.addFrame(p.view(), 3);
    expected.push_back(p.rgb());
    w.finish();
    const auto d = decode(path("n.gif"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->delays, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(d->frames.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(d->frames[i], expected[i]) << "frame " << i;
}

TEST_F(GifRoundTrip, ExportStepsTheViewerAndWritesEveryImage) {
    // 100 steps of 0.05 s, end typed as 10: 51 images at steps 0, 2, ..., 100.
    ExportRequest r;
    r.texts.end = QStringLiteral("10");
    r.path = path("x.gif");
    r.intervalText = QStringLiteral("0.05");
    r.stepMax = 100;
    const ExportPlan plan = planExport(r);
    Picture p(120, 10, kWhite);
    std::vector<int> drawn;
    std::vector<std::vector<std::uint32_t>> expected;
    std::vector<std::int32_t> progress;
    exportAnimation(
        plan, Palette{kWhite, kBlack},
        [&](int step) {
            drawn.push_back(step);
            p.fill(kWhite);
            p.rect(step, 0, 1, 10, kBlack);  // the time step as a bar position
            expected.push_back(p.rgb());
            return p.view();
        },
        [&](std::int32_t done, std::int32_t total) {
            EXPECT_EQ(total, 51);
            progress.push_back(done);
        });
    ASSERT_EQ(drawn.size(), 51u);
    for (int i = 0; i < 51; ++i) EXPECT_EQ(drawn[static_cast<std::size_t>(i)], 2 * i);
    EXPECT_EQ(progress.size(), 51u);
    EXPECT_EQ(progress.back(), 51);
    const auto d = decode(path("x.gif"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->delays, std::vector<int>(51, 1));
    EXPECT_TRUE(d->loopsForever);
    ASSERT_EQ(d->frames.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(d->frames[i], expected[i]) << "frame " << i;
}

TEST_F(GifRoundTrip, CapturesAreIndependentCopiesWrittenInArrayOrder) {
    Picture p(20, 10, kWhite);
    ImgCtl ctl(Palette{kWhite, kBlack});
    p.rect(0, 0, 20, 1, kBlack);
    const auto first = p.rgb();
    const DibHandle a = ctl.DCtoDIB(p.view(), 0, 0, 20, 10);
    p.rect(0, 0, 20, 1, kWhite);  // the picture is redrawn after the capture
    p.rect(0, 9, 20, 1, kNavy);
    const auto second = p.rgb();
    const DibHandle b = ctl.DCtoDIB(p.view(), 0, 0, 20, 10);
    EXPECT_NE(a, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(ctl.heldCount(), 2);

    const DibHandle order[] = {b, a, b};
    ctl.DIBtoGIFAni(path("i.gif"), order, 3, 200);
    const auto d = decode(path("i.gif"));
    ASSERT_TRUE(d);
    ASSERT_EQ(d->frames.size(), 3u);
    EXPECT_EQ(d->frames[0], second);
    EXPECT_EQ(d->frames[1], first);
    EXPECT_EQ(d->frames[2], second);
    EXPECT_EQ(d->delays, std::vector<int>(3, 200));
    EXPECT_TRUE(d->loopsForever);

    EXPECT_TRUE(ctl.DeleteDIB(a));
    EXPECT_FALSE(ctl.DeleteDIB(a));
    EXPECT_TRUE(ctl.DeleteDIB(b));
    EXPECT_EQ(ctl.heldCount(), 0);
}

TEST_F(GifRoundTrip, CaptureIsClippedToThePicture) {
    Picture p(20, 10, kWhite);
    p.set(19, 9, kBlack);
    ImgCtl ctl(Palette{kWhite, kBlack});
    // The picture's outer size may exceed its image by a border.
    const DibHandle h = ctl.DCtoDIB(p.view(), 0, 0, 22, 12);
    ctl.DIBtoGIFAni(path("k.gif"), &h, 1, 0);
    const auto d = decode(path("k.gif"));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->width, 20);
    EXPECT_EQ(d->height, 10);
    ASSERT_EQ(d->frames.size(), 1u);
    EXPECT_EQ(d->frames[0], p.rgb());
    EXPECT_THROW(ctl.DCtoDIB(p.view(), 20, 0, 5, 5), qrn::QrnError);
    EXPECT_THROW(ctl.DCtoDIB(Rgb32View{}, 0, 0, 5, 5), qrn::QrnError);
}

// ---- failures: a message naming the file, no file, no temporary, nothing replaced

void expectMessageNames(const qrn::QrnError& e, const QString& file) {
    EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(file))) << e.message().toStdString();
    EXPECT_EQ(e.title(), QStringLiteral("アニメーション作成"));
}

class GifFailure : public testing::Test {
  protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    void writeOld(const QString& file) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    QByteArray contents(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
    Picture picture{30, 20, kWhite};
};

TEST_F(GifFailure, MissingFolder) {
    const QString file = path("nosuch/a.gif");
    try {
        GifWriter w(file, Palette{}, 30, 20);
        ADD_FAILURE() << "no message";
    } catch (const qrn::QrnError& e) {
        expectMessageNames(e, file);
    }
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(GifFailure, TargetIsAFolder) {
    const QString file = path("taken.gif");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.gif")));
    try {
        GifWriter w(file, Palette{}, 30, 20);
        w.addFrame(picture.view(), 0);
        w.finish();
        ADD_FAILURE() << "no message";
    } catch (const qrn::QrnError& e) {
        expectMessageNames(e, file);
    }
    EXPECT_EQ(entries(), QStringList{QStringLiteral("taken.gif")});
    EXPECT_TRUE(QFileInfo(file).isDir());
}

TEST_F(GifFailure, AbortedExportKeepsTheOldFileAndLeavesNoTemporary) {
    const QString file = path("a.gif");
    writeOld(file);
    ExportRequest r;
    r.path = file;
    r.intervalText = QStringLiteral("0.05");
    r.stepMax = 100;
    const ExportPlan plan = planExport(r);
    int calls = 0;
    EXPECT_THROW(exportAnimation(plan, Palette{},
                                 [&](int) -> Rgb32View {
                                     if (++calls == 4) throw std::runtime_error("stop");
                                     return picture.view();
                                 }),
                 std::runtime_error);
    EXPECT_EQ(contents(file), QByteArray("old contents"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("a.gif")});
}

TEST_F(GifFailure, FrameOfAnotherSizeIsRefused) {
    const QString file = path("s.gif");
    Picture small(10, 10, kWhite);
    try {
        GifWriter w(file, Palette{}, 30, 20);
        w.addFrame(picture.view(), 0);
        w.addFrame(small.view(), 0);
        ADD_FAILURE() << "no message";
    } catch (const qrn::QrnError& e) {
        expectMessageNames(e, file);
        EXPECT_TRUE(e.message().contains(QStringLiteral("10×10")));
    }
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(GifFailure, NoFramesOrForeignIndicesLeaveNoFile) {
    const QString file = path("e.gif");
    IndexedFrame bad{30, 20, std::vector<std::uint8_t>(600, 0)};
    bad.pixels[599] = 16;  // the transparent slot of the 16 classic colours
    const std::function<void(GifWriter&)> cases[] = {
        [](GifWriter&) {},
        [&](GifWriter& w) { w.addFrame(bad, 0); },
        [&](GifWriter& w) {
            w.addFrame(picture.view(), 0);
            w.addFrame(bad, 0);
        },
    };
    for (const auto& fill : cases) {
        try {
            GifWriter w(file, Palette{}, 30, 20);
            fill(w);
            w.finish();
            ADD_FAILURE() << "no message";
        } catch (const qrn::QrnError& e) {
            expectMessageNames(e, file);
        }
        EXPECT_TRUE(entries().isEmpty());
    }
}

TEST_F(GifFailure, ImgCtlRefusesBeforeWriting) {
    const QString file = path("h.gif");
    writeOld(file);
    ImgCtl ctl(Palette{});
    const DibHandle good = ctl.DCtoDIB(picture.view(), 0, 0, 30, 20);
    const DibHandle bad[] = {good, good + 1000};
    struct Case {
        const DibHandle* handles;
        std::int32_t count, delay;
        const char* fragment;
    };
    const Case cases[] = {
        {bad, 2, 0, "2枚目の画像がありません"},
        {bad, 0, 0, "画像がありません"},
        {bad, 1, -1, "表示時間 -1/100秒"},
        {bad, 1, 65536, "表示時間 65536/100秒"},
    };
    for (const auto& c : cases) {
        try {
            ctl.DIBtoGIFAni(file, c.handles, c.count, c.delay);
            ADD_FAILURE() << "no message for " << c.fragment;
        } catch (const qrn::QrnError& e) {
            expectMessageNames(e, file);
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment)))
                << e.message().toStdString();
        }
    }
    EXPECT_EQ(contents(file), QByteArray("old contents"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("h.gif")});
}

// A device that takes `room` bytes and then refuses.
class FullDevice : public QIODevice {
  public:
    explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override {
        if (len > room_) {
            setErrorString(QStringLiteral("device full"));
            return -1;
        }
        room_ -= len;
        return len;
    }

  private:
    qint64 room_;
};

TEST_F(GifFailure, DeviceThatFillsUp) {
    // 128 bytes of header, then the frame.
    for (qint64 room : {0, 130}) {
        SCOPED_TRACE(room);
        FullDevice device(room);
        try {
            GifWriter w(device, QStringLiteral("full.gif"), Palette{}, 30, 20);
            w.addFrame(picture.view(), 0);
            w.finish();
            ADD_FAILURE() << "no message";
        } catch (const qrn::QrnError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("「full.gif」の書き込みに失敗")))
                << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("device full")));
        }
    }
}

TEST_F(GifFailure, WritesToAnyDevice) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    GifWriter w(buffer, QStringLiteral("memory"), Palette{}, 30, 20);
    w.addFrame(picture.view(), 0);
    w.finish();
    EXPECT_TRUE(buffer.data().startsWith("GIF89a"));
    EXPECT_TRUE(buffer.data().contains("NETSCAPE2.0"));
    EXPECT_TRUE(buffer.data().endsWith(';'));
}

TEST_F(GifFailure, SizesGifCannotHold) {
    for (auto [w, h] : {std::pair{0, 10}, {10, -1}, {70000, 10}}) {
        try {
            GifWriter writer(path("z.gif"), Palette{}, w, h);
            ADD_FAILURE() << "no message";
        } catch (const qrn::QrnError& e) {
            expectMessageNames(e, path("z.gif"));
        }
    }
    EXPECT_TRUE(entries().isEmpty());
}

}  // namespace
