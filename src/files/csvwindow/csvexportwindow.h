#pragma once
// The CSV export window (Form3): lists of node and beam check boxes that are
// windows onto the selection tables, the time boxes with their corrections,
// the output name with its browse dialog, and the export through writeCsv.
//
// Controls carry the names they have in the form, as object names, so that
// tests and callers can find them: "Check2_k", "Check3_k", "Check4_k",
// "Check6_k" (node row k = 0..9), "VScroll1", "Label6_k", "Check7_k" (beam row
// k = 0..4), "VScroll2", "Check1", "Check5", "Check8", "Text1".."Text4",
// "Command1".."Command4", "Label5", "NodeFrame", "BeamFrame", "ProgressBar",
// "NodeJump" (the node-number box that scrolls the node list); the browse
// dialog is "CommonDialog1".

#include <QDialog>
#include <QString>
#include <array>

#include "dataset/dataset.h"
#include "files/csvexport.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;

namespace qrn {

// Qt's ";;" form of a file-dialog filter written as "text|pattern|text|pattern|"
// (patterns within one entry separated by ";"). A text that does not already
// show its patterns in parentheses gets them appended, since Qt reads the
// patterns from there.
QString qtFileFilter(const QString& pipeFilter);

class CsvExportWindow : public QDialog {
    Q_OBJECT

  public:
    // data: the loaded dataset; read only, and it must outlive the window.
    // chosenPath: the main window's chosen file, from which the output name is derived.
    // intervalText: the main window's interval box (seconds per time step).
    // dirPath: the main window's current folder, where browsing starts when the
    // output name has no folder of its own.
    CsvExportWindow(const Dataset& data, const QString& chosenPath, const QString& intervalText,
                    const QString& dirPath, QWidget* parent = nullptr);
    ~CsvExportWindow() override;

    // The selection tables and option state as the controls hold them now.
    const CsvSelection& selection() const { return sel_; }

    // Window height chosen at opening, in twips (1/1440 inch).
    int heightTwips() const { return heightTwips_; }
    // Layout unit: twips to device-independent pixels (15 twips per pixel at
    // 96 dpi; Qt scales these for high-density screens).
    static int twipsToPixels(int twips);

    static constexpr int kNodeRows = kCsvNodeRows;
    static constexpr int kBeamRows = kCsvBeamRows;
    // The most columns spreadsheet programs open; a wider file is written
    // only after asking.
    static constexpr std::int64_t kSpreadsheetColumns = 16384;
    // Columns of the widest file the selection writes, split per axis or not.
    static std::int64_t widestFileColumns(const Dataset& data, const CsvSelection& sel, bool split);

    // During an export the window only stops it (Esc, the close box, "中止").
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildNodeFrame();
    void buildBeamFrame();
    void buildOptions();
    void refreshNodeRows();
    void refreshBeamRows();
    void nodeBoxClicked(int row, int column, bool checked);
    void beamBoxClicked(int row, bool checked);
    void selectAll();
    void correctToText();
    void correctEveryText();
    void jumpToNode(bool focusRow);
    bool confirmWideFile();
    void browse();
    void exportCsv();
    void showProgress(double fraction);
    // Everything but the stop button waits while an export runs.
    void lockForExport(bool locked);
    void showError(const QString& title, const QString& message);

    const Dataset& data_;
    QString intervalText_;
    QString dirPath_;
    CsvSelection sel_;
    CsvListLayout nodeLayout_;
    CsvListLayout beamLayout_;
    int heightTwips_ = kCsvHeightNoBeams;

    QGroupBox* nodeFrame_ = nullptr;
    QGroupBox* beamFrame_ = nullptr;
    // Node columns X, Y, Z, θ: Check2, Check3, Check4, Check6.
    std::array<std::array<QCheckBox*, 4>, kCsvNodeRows> nodeBox_{};
    QScrollBar* vScroll1_ = nullptr;
    std::array<QLabel*, kCsvBeamRows> label6_{};
    std::array<QCheckBox*, kCsvBeamRows> check7_{};
    QScrollBar* vScroll2_ = nullptr;
    QCheckBox* check1_ = nullptr;
    QCheckBox* check5_ = nullptr;
    QCheckBox* check8_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QLineEdit* text3_ = nullptr;
    QLineEdit* text4_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command4_ = nullptr;
    QLabel* label5_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLineEdit* nodeJump_ = nullptr;
    int progressShown_ = -1;
    bool exporting_ = false;
    bool stopRequested_ = false;
    QList<QWidget*> lockedWidgets_;
};

}  // namespace qrn
