// The video writer, decoded by ffmpeg: colours and the padding of odd sides;
// failures that leave nothing behind. (Timing and size: the dialog's and
// qrnconv's tests.)
#include <gtest/gtest.h>

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
        if (test::ffTool("ffmpeg").isEmpty()) GTEST_SKIP() << "ffmpeg is not installed";
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

TEST_F(VideoWriterTest, MissingEncoderIsNamedAndNothingIsWritten) {
    video::VideoSettings s;
    s.width = s.height = 16;
    s.encoder = "libnothing";
    try {
        write(path("a.mp4"), s, 1);
        ADD_FAILURE() << "no message";
    } catch (const QrnError& e) {
        EXPECT_TRUE(
            e.message().contains(QStringLiteral("動画エンコーダ「libnothing」が見つかりません")))
            << e.message().toStdString();
        EXPECT_EQ(e.title(), QStringLiteral("アニメーション作成"));
    }
    EXPECT_TRUE(entries().isEmpty());
}

}  // namespace
