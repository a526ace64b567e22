#pragma once
// The main window: drive, folder and file choice, the eight work modes, the
// boxes the readers and writers use, and execute. It shows the progress and
// messages of the operations it runs and applies the outcome they return.
// Its "ファイル" menu opens a file the usual way (also from the command line),
// keeps the recent files and exports XDMF/HDF5; the window remembers its
// folder, modes and place between sessions.

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "dataset/dataset.h"
#include "dataset/progress.h"
#include "dataset/windowoutcome.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

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
    // Called when a read or load has replaced the dataset, before the viewer opens.
    using DatasetReplaced = std::function<void()>;
    void setDatasetReplacedHandler(DatasetReplaced handler) {
        datasetReplaced_ = std::move(handler);
    }
    // Opens the CSV export window modally and returns the files it wrote (none
    // when the user closed it); without one, work mode 3 stays disabled.
    using CsvOpener = std::function<QStringList()>;
    void setCsvOpener(CsvOpener opener);
    // Shows a message box; tests replace it with a recorder.
    using MessageSink = std::function<void(const QString& title, const QString& text)>;
    void setMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
    void setMemoryLimit(std::optional<std::uint64_t> bytes) { memoryLimit_ = bytes; }

    // The about box shown once at start.
    void showAbout();

    // The window's memory between sessions (QSettings group "main"): last
    // folder, work and display modes, the window's place and the recent files.
    // recallSettings() applies it and from then on the window keeps it;
    // rememberSettings() writes it.
    void recallSettings();
    void rememberSettings() const;

    // "開く…", a recent file and `qrnview FILE`: selects the folder, the work mode
    // the name implies and the file. False, after a message, when the file is
    // missing or of no kind the window reads.
    bool openFile(const QString& path);
    QStringList recentFiles() const { return recent_; }  // newest first, native separators
    static constexpr int kRecentFiles = 8;

    // "XDMF/HDF5 出力…" with the file chosen: the overwrite question, then the
    // export with progress and "中止". True when the pair was written.
    bool exportXdmf(const QString& outputPath, bool compress);
    bool xdmfExportEnabled() const;

    // The status line at the bottom of the window.
    void showStatus(const QString& text);
    QString statusText() const;

    // "中止" of the running read, load or export; shown only while one runs.
    void requestCancel() { cancelRequested_ = true; }
    bool cancelShown() const;

    // Actions, as the user's clicks trigger them.
    void setFolder(const QString& path);  // folder change
    bool clickFile(const QString& name);  // file click; false when not listed
    void execute();                       // "実 行"
    void selectWorkMode(int mode);
    void selectDisplayMode(int mode);          // 0 "ノーマル", 1 "リアル"
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
    // What the dataset in memory was read or loaded from, as the boxes said.
    // Execute in a reading mode reads again unless the boxes still say so.
    struct ReadSource {
        int mode = -1;
        QString selectedPath, settingsPath, sectionPath, intervalText;
        bool sectionChecked = false;
        bool operator==(const ReadSource&) const = default;
    };
    std::optional<ReadSource> loadedSource() const { return loaded_; }
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
    bool cancelRequested() override;
    void letEventsRun();

    void buildUi();
    void buildMenu();
    void applyWorkMode(int mode);
    void fillDriveList();
    void driveChanged(int index);
    void fillFolderList();
    void refreshFileList();
    void fileActivated(QTreeWidgetItem* item);
    void outputNameRule();
    void intervalRule();
    void browseSettings();
    void browseSection();
    QString browse(const QString& filter, const QString& startPath);
    void setBusyVisible(bool visible);
    void setSaveExportEnabled(bool enabled);
    void openViewer(bool resetTime);
    // Runs a read, load or export with "中止" offered and the rest of the window
    // locked; a Cancelled operation leaves everything as it was. True when
    // "中止" was pressed.
    template <typename Operation>
    bool runCancellable(Operation&& operation);
    void setLocked(bool locked);
    ReadSource currentSource() const;
    void restoreSource();
    void datasetReplaced();
    void saveBinary();
    void exportCsv();
    void openFileDialog();
    void exportXdmfDialog();
    void addRecent(const QString& path);
    void fillRecentMenu();

    Dataset& data_;
    bool DataReady_ = false;
    std::optional<ReadSource> loaded_;
    int shownMode_ = 0;  // the work mode the boxes were last set up for
    QString folder_;     // current folder, native separators, no trailing separator unless root
    QString filePattern_ = QStringLiteral("*.his");
    ViewerOpener viewerOpener_;
    DatasetReplaced datasetReplaced_;
    CsvOpener csvOpener_;
    MessageSink messageSink_;
    std::optional<std::uint64_t> memoryLimit_;
    bool saveExportEnabled_ = false;
    bool busy_ = false;
    qint64 lastPaintMs_ = 0;
    bool cancelRequested_ = false;
    bool locked_ = false;
    bool closeAfterBusy_ = false;
    bool remembering_ = false;  // recallSettings() ran: the recent list is written as it changes
    QStringList recent_;
    int aboutWaits_ = 0;

    // Controls.
    QComboBox* Drive1 = nullptr;
    QListWidget* Dir1 = nullptr;
    QTreeWidget* File1 = nullptr;
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
    QPushButton* abortButton_ = nullptr;  // "中止"
    QWidget* form_ = nullptr;             // everything locked while an operation runs
    QWidget* buttons_ = nullptr;          // "実 行" and "終 了"
    QMenu* recentMenu_ = nullptr;
    QAction* xdmfAction_ = nullptr;
    std::array<QRadioButton*, 8> Option1{};
    std::array<QRadioButton*, 2> Option2{};
};

// The native separator as text.
QString nativeSep();
// `path` with native separators and a trailing separator.
QString withTrailingSep(const QString& path);

}  // namespace qrn
