#pragma once
// The tests' independent view of a video: what ffprobe says of it, its frames
// decoded by ffmpeg, and the PSNR of two pictures.

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <cmath>

namespace qrn::test {

inline QString ffTool(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

inline QString runTool(const char* name, const QStringList& args) {
    QProcess p;
    p.start(ffTool(name), args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

struct VideoProbe {
    QString codec, rate;  // rate "num/den"
    int width = 0, height = 0, frames = 0;
    double duration = 0;
    bool indexFirst = false;  // moov before mdat
};

inline VideoProbe probeVideo(const QString& file) {
    const QString entries = QStringLiteral(
        "stream=codec_name,width,height,r_frame_rate,nb_read_packets:format=duration");
    const QString out =
        runTool("ffprobe", {QStringLiteral("-v"), QStringLiteral("error"),
                            QStringLiteral("-count_packets"), QStringLiteral("-show_entries"),
                            entries, QStringLiteral("-of"), QStringLiteral("flat"), file});
    VideoProbe v;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const QString key = line.section(u'=', 0, 0).section(u'.', -1);
        const QString value = line.section(u'=', 1).remove(u'"');
        if (key == QLatin1String("codec_name")) v.codec = value;
        if (key == QLatin1String("width")) v.width = value.toInt();
        if (key == QLatin1String("height")) v.height = value.toInt();
        if (key == QLatin1String("r_frame_rate")) v.rate = value;
        if (key == QLatin1String("nb_read_packets")) v.frames = value.toInt();
        if (key == QLatin1String("duration")) v.duration = value.toDouble();
    }
    QFile f(file);
    const QByteArray head = f.open(QIODevice::ReadOnly) ? f.read(1 << 16) : QByteArray();
    v.indexFirst = head.indexOf("moov") >= 0 && head.indexOf("moov") < head.indexOf("mdat");
    return v;
}

// Every frame of the video in order, decoded into `dir`.
inline QList<QImage> decodeFrames(const QString& file, const QString& dir) {
    runTool("ffmpeg", {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                       QStringLiteral("-fps_mode"), QStringLiteral("passthrough"),
                       QDir(dir).filePath(QStringLiteral("d%03d.png"))});
    QList<QImage> frames;
    for (int i = 1;; ++i) {
        const QImage image(
            QDir(dir).filePath(QStringLiteral("d%1.png").arg(i, 3, 10, QChar(u'0'))));
        if (image.isNull()) return frames;
        frames << image;
    }
}

// PSNR in dB over red, green and blue of every pixel; 0 for different sizes.
inline double psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d[3] = {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)};
            sum += d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace qrn::test
