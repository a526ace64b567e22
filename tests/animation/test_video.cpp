// The video writer, checked with ffprobe and ffmpeg: size (odd sides padded),
// exact frame rate and duration, the MP4 index first, colours and padding, and
// failures that leave nothing behind.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "animation/videowriter.h"
#include "dataset/error.h"
#include "videoprobe.h"

using namespace qrn;
using qrn::video::Codec;

namespace {

class VideoWriterTest : public testing::Test {
  protected:
    void SetUp() override {
        if (test::ffTool("ffprobe").isEmpty()) GTEST_SKIP() << "ffprobe is not installed";
    }
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QStringList entries() const { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden); }

    // `frames` white pictures with a teal block that moves one pixel a frame,
    // and black along the right and bottom edges.
    void write(const QString& file, video::VideoSettings s, int frames, int crf = -1) {
        s.crf = crf;
        video::VideoWriter writer(file, s);
        for (int i = 0; i < frames; ++i) {
            QImage picture(s.width, s.height, QImage::Format_RGB32);
            picture.fill(Qt::white);
            for (int y = 4; y < s.height - 4; ++y)
                for (int x = 4 + i; x < s.width - 8 + i; ++x) picture.setPixel(x, y, 0x008080);
            for (int y = 0; y < s.height; ++y) picture.setPixel(s.width - 1, y, 0);
            for (int x = 0; x < s.width; ++x) picture.setPixel(x, s.height - 1, 0);
            writer.addFrame({reinterpret_cast<const std::uint32_t*>(picture.constBits()),
                             picture.width(), picture.height(), picture.bytesPerLine() / 4});
        }
        writer.finish();
    }

    QTemporaryDir dir_;
};

TEST_F(VideoWriterTest, ProbeShowsSizeRateFramesAndDuration) {
    struct Case {
        Codec codec;
        const char* name;
        int width, height;
        gif::FrameRate rate;
        int frames;
        const char* codecName;
        int videoWidth, videoHeight;
        const char* rateText;
        double duration;
    };
    const Case cases[] = {
        {Codec::H264, "a.mp4", 40, 30, {20, 1}, 5, "h264", 40, 30, "20/1", 0.25},
        {Codec::H264, "b.mp4", 41, 31, {100, 3}, 4, "h264", 42, 32, "100/3", 0.12},
        {Codec::Vp9, "c.webm", 41, 30, {20, 1}, 5, "vp9", 42, 30, "20/1", 0.25},
        {Codec::Vp9, "d.webm", 40, 31, {5, 2}, 3, "vp9", 40, 32, "5/2", 1.2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        video::VideoSettings s;
        s.codec = c.codec;
        s.width = c.width;
        s.height = c.height;
        s.rate = c.rate;
        write(path(c.name), s, c.frames);
        const test::VideoProbe v = test::probeVideo(path(c.name));
        EXPECT_EQ(v.codec, QString::fromLatin1(c.codecName));
        EXPECT_EQ(QSize(v.width, v.height), QSize(c.videoWidth, c.videoHeight));
        EXPECT_EQ(v.rate, QString::fromLatin1(c.rateText));
        EXPECT_EQ(v.frames, c.frames);
        EXPECT_NEAR(v.duration, c.duration, 1e-3);
        EXPECT_EQ(v.indexFirst, c.codec == Codec::H264);
    }
    EXPECT_EQ(entries().size(), 4);  // no temporaries left
}

TEST_F(VideoWriterTest, ColoursSurviveAndOddSidesArePaddedWithTheBackground) {
    video::VideoSettings s;
    s.width = 41;
    s.height = 31;
    write(path("p.mp4"), s, 1, 0);  // CRF 0: only the colour conversion remains
    const QList<QImage> frames = test::decodeFrames(path("p.mp4"), dir_.path());
    ASSERT_EQ(frames.size(), 1);
    const QImage& f = frames[0];
    ASSERT_EQ(f.size(), QSize(42, 32));
    auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 &&
               std::abs(qBlue(a) - qBlue(b)) <= 3;
    };
    EXPECT_TRUE(near(f.pixel(20, 15), qRgb(0, 128, 128))) << std::hex << f.pixel(20, 15);
    for (int y = 0; y < 32; ++y) EXPECT_TRUE(near(f.pixel(41, y), qRgb(255, 255, 255))) << y;
    for (int x = 0; x < 42; ++x) EXPECT_TRUE(near(f.pixel(x, 31), qRgb(255, 255, 255))) << x;
}

TEST_F(VideoWriterTest, FailuresNameTheCauseAndKeepTheEarlierFile) {
    {
        QFile old(path("keep.mp4"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents");
    }
    video::VideoSettings s;
    s.width = 16;
    s.height = 16;
    struct Case {
        QString file;
        const char* encoder;
        const char* fragment;
    };
    const Case cases[] = {
        {path("keep.mp4"), "libnothing", "動画エンコーダ「libnothing」が見つかりません"},
        {path("no/a.mp4"), nullptr, "を作成できません"},
    };
    for (const Case& c : cases) {
        s.encoder = c.encoder;
        try {
            write(c.file, s, 2);
            ADD_FAILURE() << c.fragment;
        } catch (const QrnError& e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fragment)))
                << e.message().toStdString();
            EXPECT_EQ(e.title(), QStringLiteral("アニメーション作成"));
        }
    }
    s.encoder = nullptr;
    {  // abandoned after two frames
        video::VideoWriter writer(path("keep.mp4"), s);
        const std::uint32_t pixels[256] = {};
        writer.addFrame({pixels, 16, 16, 16});
        writer.addFrame({pixels, 16, 16, 16});
    }
    QFile kept(path("keep.mp4"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old contents"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("keep.mp4")});
}

}  // namespace
