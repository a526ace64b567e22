#pragma once
// What ffprobe says of a video, its frames decoded by ffmpeg, and the PSNR of
// two pictures: the tests' independent view of the files the video writer makes.

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <cmath>

namespace qrn::test {

inline QString ffTool(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

struct VideoProbe {
    QString codec;
    int width = 0, height = 0;
    QString rate;  // "num/den"
    int frames = 0;
    double duration = 0;
    bool indexFirst = false;  // MP4: moov before mdat
};

inline QString runTool(const char* name, const QStringList& args) {
    QProcess p;
    p.start(ffTool(name), args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline VideoProbe probeVideo(const QString& file) {
    VideoProbe v;
    const QString out = runTool(
        "ffprobe", {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_packets"),
                    QStringLiteral("-show_entries"),
                    QStringLiteral("stream=codec_name,width,height,r_frame_rate,nb_read_packets:"
                                   "format=duration"),
                    QStringLiteral("-of"), QStringLiteral("default=nw=1"), file});
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const QString key = line.section(u'=', 0, 0), value = line.section(u'=', 1);
        if (key == QLatin1String("codec_name")) v.codec = value;
        if (key == QLatin1String("width")) v.width = value.toInt();
        if (key == QLatin1String("height")) v.height = value.toInt();
        if (key == QLatin1String("r_frame_rate")) v.rate = value;
        if (key == QLatin1String("nb_read_packets")) v.frames = value.toInt();
        if (key == QLatin1String("duration")) v.duration = value.toDouble();
    }
    QFile f(file);
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray head = f.read(1 << 16);
        v.indexFirst = head.indexOf("moov") >= 0 && head.indexOf("moov") < head.indexOf("mdat");
    }
    return v;
}

// Every frame of the video as RGB pictures, in order.
inline QList<QImage> decodeFrames(const QString& file, const QString& dir) {
    runTool("ffmpeg", {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                       QStringLiteral("-fps_mode"), QStringLiteral("passthrough"),
                       QDir(dir).filePath(QStringLiteral("d%03d.png"))});
    QList<QImage> frames;
    for (int i = 1;; ++i) {
        QImage image(QDir(dir).filePath(QStringLiteral("d%1.png").arg(i, 3, 10, QChar(u'0'))));
        if (image.isNull()) return frames;
        frames << image.convertToFormat(QImage::Format_RGB32);
    }
}

// PSNR in dB over the red, green and blue of every pixel; 0 for different sizes.
inline double psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int r = 0; r < x.height(); ++r) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(r));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(r));
        for (int c = 0; c < x.width(); ++c) {
            const int d[3] = {qRed(p[c]) - qRed(q[c]), qGreen(p[c]) - qGreen(q[c]),
                              qBlue(p[c]) - qBlue(q[c])};
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace qrn::test
