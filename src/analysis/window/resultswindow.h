#pragma once
// The results window "結果集計": the time boxes, the cable groups and the
// clearance threshold; the report's clearances, tension peaks and beam results
// as tables sortable by column; a selected row shown in the viewer that opened
// the window. Computes nothing itself: every number comes from the report core,
// run on a worker thread with the window's progress bar and cancel button.
//
// Controls carry object names for tests and callers: "Groups", "DefaultGroups",
// "From", "To", "Threshold", "Run", "Range", "Note", "Tabs", "ClearanceTable",
// "TensionTable", "BeamTable", "SendCurve", "SaveEnvelope", "Progress",
// "Cancel", "Close".

#include <QString>
#include <QVector>
#include <QWidget>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/report.h"
#include "dataset/dataset.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTabWidget;
class QTableView;

namespace qrn {

class ResultsWindow : public QWidget {
    Q_OBJECT

  public:
    // What the window asks of the viewer it was opened from.
    struct Viewer {
        QWidget* window = nullptr;               // the window's parent while it serves this viewer
        std::function<void(int step)> showStep;  // stops playback, moves the time bar
        std::function<void(int record)> selectTension;        // the bottom bar's tension record
        std::function<void(const Clearance*)> showClearance;  // its two points joined; null: none
    };

    // `data` must outlive the window; `intervalText` is the main window's
    // interval box (seconds per stored step).
    ResultsWindow(const Dataset& data, std::function<QString()> intervalText,
                  QWidget* parent = nullptr);
    ~ResultsWindow() override;

    // Shows the window for a viewer. A report of other data (read since) goes;
    // without a report one is computed at once.
    void openFor(const Viewer& viewer);
    // Forgets the report when the dataset is no longer the one it was computed
    // on (a new read); the viewer's line goes with it.
    void checkDataset();

    // "集計": checks the boxes and computes the report. False when the input
    // was refused (a message says why), the run was cancelled or failed; the
    // previous report then stays.
    bool compute();
    // "包絡CSV保存" to `path`: asks before replacing an existing file.
    bool saveEnvelopeCsv(const QString& path);
    // "グラフへ送る" for the clearance at `index` of the report.
    bool sendClearanceCurve(int index);

    const std::optional<Report>& report() const { return report_; }
    bool running() const { return running_; }

    // Tests replace the message box and the overwrite question.
    std::function<void(const QString& title, const QString& text)> messageSink;
    std::function<bool(const QString& title, const QString& text)> questionSink;

  signals:
    // A clearance-versus-time curve for the plot window: `times` in seconds,
    // `values` in metres, one per step of the report's range.
    void clearanceCurveRequested(const QString& name, const QVector<double>& times,
                                 const QVector<double>& values);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildUi();
    QTableView* addTable(const QString& tab, const QString& name, QStandardItemModel*& model,
                         QSortFilterProxyModel*& proxy);
    void fillBoxes();
    void showReport();
    void clearReport();
    void showCounts();
    void rowSelected(QTableView* table, int sourceRow);
    void updateButtons();
    void chooseEnvelopeFile();
    // Runs `work` on a worker thread while the window shows its progress and
    // other windows take no input. False when it was cancelled or failed.
    bool runLong(const std::function<void(Progress&)>& work);
    void showMessage(const QString& title, const QString& text);
    bool ask(const QString& title, const QString& text);

    // What identifies the dataset a report was computed on.
    struct Stamp {
        const void* disp = nullptr;
        const void* pos = nullptr;
        const void* tension = nullptr;
        std::int32_t cables = 0, nodes = 0, steps = 0;
        bool operator==(const Stamp&) const = default;
    };
    Stamp stampOf() const;

    const Dataset& data_;
    std::function<QString()> intervalText_;
    Viewer viewer_;
    std::optional<Report> report_;
    Stamp stamp_;
    bool boxesFilled_ = false;
    QString defaultGroupsText_;
    bool running_ = false;
    std::atomic<bool> cancel_{false};

    QLineEdit* groups_ = nullptr;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    QLineEdit* threshold_ = nullptr;
    QPushButton* run_ = nullptr;
    QPushButton* defaultGroups_ = nullptr;
    QLabel* range_ = nullptr;
    QLabel* note_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QTableView* clearanceTable_ = nullptr;
    QTableView* tensionTable_ = nullptr;
    QTableView* beamTable_ = nullptr;
    QStandardItemModel* clearanceModel_ = nullptr;
    QStandardItemModel* tensionModel_ = nullptr;
    QStandardItemModel* beamModel_ = nullptr;
    QSortFilterProxyModel* clearanceProxy_ = nullptr;
    QSortFilterProxyModel* tensionProxy_ = nullptr;
    QSortFilterProxyModel* beamProxy_ = nullptr;
    QPushButton* sendCurve_ = nullptr;
    QPushButton* saveEnvelope_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* close_ = nullptr;
    QWidget* inputs_ = nullptr;
};

}  // namespace qrn
