#pragma once
// qrnconv's side of the core's host interface: messages go to stderr (title,
// then the text with its CR-joined lines one per line), progress is drawn on
// stderr only when it is a terminal, and the main-window boxes the core writes
// are remembered so the subcommands can report them.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>

#include "dataset/host.h"

namespace qrn::cli {

// Where a TerminalHost writes; the default is the process's stderr.
using TextSink = std::function<void(const QByteArray&)>;
TextSink stderrSink();
void writeStdout(const QByteArray& bytes);
// Whether stderr is an interactive terminal (progress is drawn only then).
bool stderrIsTerminal();

class TerminalHost : public Host {
  public:
    explicit TerminalHost(TextSink sink = stderrSink(), bool showProgress = stderrIsTerminal());
    ~TerminalHost() override;

    void showMessage(const QString& title, const QString& text) override;
    void setBusyCaption(const QString& caption) override;
    void setBusyVisible(bool visible) override;
    void repaintOnce() override {}
    void progress(double fraction) override;
    void setSettingsText(const QString& text) override { settingsText_ = text; }
    void setIntervalText(const QString& text) override { intervalText_ = text; }
    void setSaveExportEnabled(bool enabled) override { saveExportEnabled_ = enabled; }
    void uncheckSection() override { sectionUnchecked_ = true; }
    void setDataReady(bool ready) override { dataReady_ = ready; }
    void refreshFileList() override {}
    void openViewer(bool) override { viewerOpened_ = true; }

    // Ends a progress line that is on screen (before other output).
    void endProgress();

    const QStringList& messages() const { return messages_; }
    const QString& settingsText() const { return settingsText_; }
    const QString& intervalText() const { return intervalText_; }
    bool saveExportEnabled() const { return saveExportEnabled_; }
    bool sectionUnchecked() const { return sectionUnchecked_; }
    bool dataReady() const { return dataReady_; }
    bool viewerOpened() const { return viewerOpened_; }

    // The text a message is printed as.
    static QString messageText(const QString& title, const QString& text);

  private:
    TextSink sink_;
    bool showProgress_;
    QString caption_;
    bool busy_ = false;
    bool lineOpen_ = false;
    int lastPercent_ = -1;
    QElapsedTimer sinceDraw_;
    QStringList messages_;
    QString settingsText_;
    QString intervalText_;
    bool saveExportEnabled_ = false;
    bool sectionUnchecked_ = false;
    bool dataReady_ = false;
    bool viewerOpened_ = false;
};

}  // namespace qrn::cli
