#pragma once
// qrnconv's side of the core's Progress: messages go to stderr (title, then the
// text with its CR-joined lines one per line), and the stage's progress is
// drawn on stderr only when it is a terminal.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <vector>

#include "dataset/progress.h"
#include "dataset/windowoutcome.h"

namespace qrn::cli {

// Where a TerminalHost writes; the default is the process's stderr.
using TextSink = std::function<void(const QByteArray&)>;
TextSink stderrSink();
void writeStdout(const QByteArray& bytes);
// Whether stderr is an interactive terminal (progress is drawn only then).
bool stderrIsTerminal();

class TerminalHost : public Progress {
  public:
    explicit TerminalHost(TextSink sink = stderrSink(), bool showProgress = stderrIsTerminal());
    ~TerminalHost() override;

    void message(const QString& title, const QString& text) override;
    // Labels the progress line that follows.
    void stage(const QString& caption) override;
    void progress(double fraction) override;

    // Prints an operation's notices, in order.
    void show(const std::vector<Notice>& notices);
    // Ends a progress line that is on screen (before other output).
    void endProgress();

    const QStringList& messages() const { return messages_; }

    // The text a message is printed as.
    static QString messageText(const QString& title, const QString& text);

  private:
    TextSink sink_;
    bool showProgress_;
    QString caption_;
    bool lineOpen_ = false;
    int lastPercent_ = -1;
    QElapsedTimer sinceDraw_;
    QStringList messages_;
};

}  // namespace qrn::cli
