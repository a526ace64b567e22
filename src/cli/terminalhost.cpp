#include "cli/terminalhost.h"

#include <algorithm>
#include <cmath>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "dataset/error.h"

namespace qrn::cli {

TextSink stderrSink() {
    return [](const QByteArray& b) {
        std::fwrite(b.constData(), 1, static_cast<std::size_t>(b.size()), stderr);
        std::fflush(stderr);
    };
}

void writeStdout(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

TerminalHost::TerminalHost(TextSink sink, bool showProgress)
    : sink_(std::move(sink)), showProgress_(showProgress) {}

TerminalHost::~TerminalHost() {
    // A destructor must not throw: a failing sink only loses the line end.
    try {
        endProgress();
    } catch (...) {
    }
}

QString TerminalHost::messageText(const QString& title, const QString& text) {
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QChar(u'\r'), QChar(u'\n'));
    // Messages "under the application's title" carry this program's name.
    const QString shown = title == kAppTitle ? QStringLiteral("qrnconv") : title;
    return shown.isEmpty() ? body + QChar(u'\n')
                           : shown + QStringLiteral(": ") + body + QChar(u'\n');
}

void TerminalHost::message(const QString& title, const QString& text) {
    endProgress();
    messages_ << text;
    sink_(messageText(title, text).toUtf8());
}

void TerminalHost::show(const std::vector<Notice>& notices) {
    for (const Notice& n : notices) message(n.title, n.text);
}

void TerminalHost::stage(const QString& caption) {
    endProgress();
    caption_ = caption;
}

void TerminalHost::progress(double fraction) {
    if (!showProgress_ || !std::isfinite(fraction)) return;
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
    if (percent == lastPercent_) return;
    // Redrawing is cheap but a terminal needs no more than a few updates a second.
    if (lineOpen_ && percent < 100 && sinceDraw_.isValid() && sinceDraw_.elapsed() < 100) return;
    lastPercent_ = percent;
    sinceDraw_.start();
    const QString label = caption_.isEmpty() ? QStringLiteral("処理中") : caption_;
    sink_((QChar(u'\r') + label + QStringLiteral(" %1%").arg(percent, 3)).toUtf8());
    lineOpen_ = true;
}

void TerminalHost::endProgress() {
    lastPercent_ = -1;  // the next stage starts its line afresh
    if (!lineOpen_) return;
    lineOpen_ = false;
    sink_(QByteArrayLiteral("\n"));
}

}  // namespace qrn::cli
