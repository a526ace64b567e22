#include "decoder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace qrn::gif::test {

namespace {

// Runs a tool; any complaint on stderr (a corrupt code stream, say) fails the test.
QString run(const QString& program, const QStringList& args, bool* ok) {
    QProcess p;
    p.start(program, args);
    *ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    const QByteArray complaints = p.readAllStandardError();
    if (!*ok || !complaints.isEmpty()) {
        ADD_FAILURE() << program.toStdString() << " " << args.join(QLatin1Char(' ')).toStdString()
                      << ": " << complaints.toStdString();
        *ok = false;
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Binary PPM (P6, maxval 255) as written by ImageMagick.
bool readPpm(const QString& path, int* width, int* height, std::vector<std::uint32_t>* pixels) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = f.readAll();
    qsizetype pos = 0;
    auto token = [&]() {
        while (pos < data.size()) {
            if (data[pos] == '#') {
                while (pos < data.size() && data[pos] != '\n') ++pos;
            } else if (QChar::isSpace(data[pos])) {
                ++pos;
            } else {
                break;
            }
        }
        const qsizetype begin = pos;
        while (pos < data.size() && !QChar::isSpace(data[pos])) ++pos;
        return data.mid(begin, pos - begin);
    };
    if (token() != "P6") return false;
    *width = token().toInt();
    *height = token().toInt();
    if (token() != "255") return false;
    ++pos;  // the single blank before the pixels
    const qsizetype n = static_cast<qsizetype>(*width) * *height;
    if (data.size() - pos != n * 3) return false;
    pixels->resize(static_cast<std::size_t>(n));
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData() + pos);
    for (qsizetype i = 0; i < n; ++i)
        (*pixels)[static_cast<std::size_t>(i)] =
            (std::uint32_t{p[3 * i]} << 16) | (std::uint32_t{p[3 * i + 1]} << 8) | p[3 * i + 2];
    return true;
}

}  // namespace

QString decoderMissing() {
    for (const char* tool : {"convert", "identify", "gifsicle"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QStringLiteral("%1 not installed").arg(QString::fromLatin1(tool));
    return {};
}

std::optional<Decoded> decode(const QString& path) {
    Decoded d;
    bool ok = false;
    const QString delays = run(QStringLiteral("identify"),
                               {QStringLiteral("-format"), QStringLiteral("%T\\n"), path}, &ok);
    if (!ok) return std::nullopt;
    for (const QString& line : delays.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        d.delays.push_back(line.toInt());

    const QString info = run(QStringLiteral("gifsicle"), {QStringLiteral("--info"), path}, &ok);
    if (!ok) return std::nullopt;
    d.loopsForever = info.contains(QStringLiteral("loop forever"));

    QTemporaryDir dir;
    // gifsicle decodes every frame too and reports any fault in the LZW data.
    run(QStringLiteral("gifsicle"),
        {QStringLiteral("-U"), path, QStringLiteral("-o"), dir.filePath(QStringLiteral("u.gif"))},
        &ok);
    if (!ok) return std::nullopt;
    run(QStringLiteral("convert"),
        {path, QStringLiteral("-coalesce"), QStringLiteral("+adjoin"),
         dir.filePath(QStringLiteral("f%05d.ppm"))},
        &ok);
    if (!ok) return std::nullopt;
    const QStringList names =
        QDir(dir.path()).entryList({QStringLiteral("*.ppm")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        std::vector<std::uint32_t> pixels;
        int w = 0, h = 0;
        if (!readPpm(dir.filePath(name), &w, &h, &pixels)) {
            ADD_FAILURE() << "unreadable frame " << name.toStdString();
            return std::nullopt;
        }
        d.width = w;
        d.height = h;
        d.frames.push_back(std::move(pixels));
    }
    return d;
}

}  // namespace qrn::gif::test
