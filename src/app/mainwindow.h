#pragma once
// The main window: drive, folder and file choice, the eight work modes, the
// boxes the readers and writers use, and execute. It shows the progress and
// messages of the operations it runs and applies the outcome they return.

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "dataset/dataset.h"
#include "dataset/progress.h"
#include "dataset/windowoutcome.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace qrn {

class MainWindow : public QMainWindow, private Progress {
    Q_OBJECT

  public:
    explicit MainWindow(Dataset& data, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens the viewer of a display mode (0 normal, 1 real); resetTime sets its
    // time scroll bar to 0 first.
    using ViewerOpener = std::function<void(int displayMode, bool resetTime)>;
    void setViewerOpener(ViewerOpener opener) { viewerOpener_ = std::move(opener); }
    // Opens the CSV export window modally; without one, work mode 3 stays disabled.
    using CsvOpener = std::function<void()>;
    void setCsvOpener(CsvOpener opener);
    // Shows a message box; tests replace it with a recorder.
    using MessageSink = std::function<void(const QString& title, const QString& text)>;
    void setMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
    void setMemoryLimit(std::optional<std::uint64_t> bytes) { memoryLimit_ = bytes; }

    // The about box shown once at start.
    void showAbout();

    // Actions, as the user's clicks trigger them.
    void setFolder(const QString& path);  // folder change
    bool clickFile(const QString& name);  // file click; false when not listed
    void execute();                       // "実 行"
    void selectWorkMode(int mode);
    void selectFile(const QString& fullPath);  // what dropping a file does
    // Typing into the boxes and ticking the section box: the boxes' rules apply.
    void setSettingsText(const QString& text);
    void setSectionChecked(bool checked);
    void setSectionPath(const QString& text);
    void setIntervalText(const QString& text);

    // What an operation returned: boxes, work modes 2 and 3, DataReady, the file
    // list, the busy state, the viewer, then the notices.
    void apply(const WindowOutcome& outcome);

    // What the window shows.
    bool dataReady() const { return DataReady_; }
    int workMode() const;
    int displayMode() const;
    const QString& dirPath() const { return data_.DirPath; }
    QString selectedFileName() const;
    QStringList listedFiles() const;
    QString selectedPath() const;  // the chosen file, or the output path in modes 2 and 3
    QString settingsText() const;  // settings file (output name in modes 2 and 3)
    QString settingsCaption() const;
    bool settingsShown() const;
    bool settingsBrowseShown() const;
    bool sectionOffered() const;  // the static-equilibrium check box is shown
    bool sectionChecked() const;
    QString sectionPath() const;
    bool sectionPathShown() const;
    bool sectionBrowseShown() const;
    QString intervalText() const;
    bool workModeEnabled(int mode) const;
    QString workModeCaption(int mode) const;
    bool executeEnabled() const;
    bool busyShown() const;
    QString busyCaption() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // Progress of the operations execute runs.
    void message(const QString& title, const QString& text) override;
    void stage(const QString& caption) override;
    void progress(double fraction) override;

    void buildUi();
    void applyWorkMode(int mode);
    void fillDriveList();
    void driveChanged(int index);
    void fillFolderList();
    void refreshFileList();
    void fileActivated(QListWidgetItem* item);
    void outputNameRule();
    void intervalRule();
    void browseSettings();
    void browseSection();
    QString browse(const QString& filter, const QString& startPath);
    void setBusyVisible(bool visible);
    void setSaveExportEnabled(bool enabled);
    void openViewer(bool resetTime);

    Dataset& data_;
    bool DataReady_ = false;
    QString folder_;  // current folder, native separators, no trailing separator unless root
    QString filePattern_ = QStringLiteral("*.his");
    ViewerOpener viewerOpener_;
    CsvOpener csvOpener_;
    MessageSink messageSink_;
    std::optional<std::uint64_t> memoryLimit_;
    bool saveExportEnabled_ = false;
    bool busy_ = false;
    qint64 lastPaintMs_ = 0;

    // Controls.
    QComboBox* Drive1 = nullptr;
    QListWidget* Dir1 = nullptr;
    QListWidget* File1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label11 = nullptr;
    QLineEdit* Text5 = nullptr;
    std::array<QPushButton*, 2> Command2{};
    QCheckBox* Check1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command10 = nullptr;
    QLabel* Label10 = nullptr;
    QProgressBar* ProgressBar = nullptr;
    std::array<QRadioButton*, 8> Option1{};
    std::array<QRadioButton*, 2> Option2{};
};

// The native separator as text.
QString nativeSep();
// `path` with native separators and a trailing separator.
QString withTrailingSep(const QString& path);

}  // namespace qrn
