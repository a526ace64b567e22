#pragma once
// CSV export: the state of the CSV window as plain data, the rules of its time
// boxes, and the writer. The window (CsvExportWindow) and qrnconv csv both fill
// a CsvSelection and call writeCsv, so both follow the same rules and produce
// the same bytes.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

#include "dataset/barray.h"
#include "dataset/dataset.h"
#include "dataset/error.h"
#include "dataset/progress.h"

namespace qrn {

inline const QString kCsvWindowTitle = QStringLiteral("CSVデータ保存");

// Axis columns of NodeSel.
enum CsvAxis : int { CsvX = 0, CsvY = 1, CsvZ = 2, CsvTheta = 3 };

// What the CSV window holds between its opening and "実行".
struct CsvSelection {
    BArray<std::int16_t, 2> NodeSel;  // [0..NodeTblMax, 0..3]: 1 = export this cell
    BArray<std::int16_t, 1> BeamSel;  // [0..BeamRecCount-1]; empty when there is no record
    bool tension = false;             // "張力データ出力"
    bool init = false;                // "変位ﾃﾞｰﾀに初期位置を付加"
    bool split = false;               // "軸毎にファイルを分割"
    QString fromText;                 // start time (s)
    QString toText;                   // end time (s)
    QString everyText;                // output interval (s)
    QString outputPath;               // output file
};

// The window's state when it opens: nothing selected, start "0", end
// (StepCount - 1) x dt, interval = the main window's interval text, output path
// derived from the main window's chosen file.
CsvSelection openCsvSelection(const Dataset& data, const QString& intervalText,
                              const QString& chosenPath);

// The chosen file's path up to and including the first "." of its file-name
// part, then "csv" (the path + ".csv" when the file-name part has no ".").
QString csvDefaultPath(const QString& chosenPath);

// "全選択": every node cell and every beam record (tension is left alone).
void csvSelectAll(CsvSelection& sel);
// Number of cells set to 1 (node cells, beam records).
std::int64_t csvSelectedNodeCells(const CsvSelection& sel);
std::int64_t csvSelectedBeams(const CsvSelection& sel);

// The seconds per time step behind the main window's interval box; the box
// never holds 0 (it turns 0 into "0.1"), so neither does this.
double csvStepSeconds(const QString& intervalText);

// Correction rules of the time boxes. Each returns the text the box ends with
// (the input itself when no rule applies).
// End time: capped at StepCount x dt.
QString csvCorrectToText(const QString& text, const Dataset& data, const QString& intervalText);
// Interval: a whole multiple of dt, never 0 (then the main window's interval text).
QString csvCorrectEveryText(const QString& text, const QString& intervalText);

// The exported time steps m = first, first + step, ... (count of them), after
// rounding the time boxes to steps and clamping to the stored history.
struct CsvSteps {
    std::int64_t first = 0;
    std::int64_t step = 1;
    std::int64_t count = 0;
    std::int64_t at(std::int64_t i) const { return first + i * step; }
};
CsvSteps csvSteps(const CsvSelection& sel, const Dataset& data, const QString& intervalText);

// Files written for an output path: the path itself, or the five split files
// base + "X軸.csv", "Y軸.csv", "Z軸.csv", "θ.csv", "他.csv" where base is the
// path up to the first "." of its file-name part.
QString csvSplitBase(const QString& outputPath);
QStringList csvOutputFiles(const QString& outputPath, bool split);

struct CsvResult {
    QStringList files;        // written, in order
    std::int64_t rows = 0;    // data lines per file
    std::uint64_t bytes = 0;  // over all files
};

// Writes the export. Every file goes through a temporary and replaces its
// target only when all files are complete. Throws QrnError naming the file
// that could not be created or written; no target file is then changed.
// Reports progress (0..1).
CsvResult writeCsv(const Dataset& data, const CsvSelection& sel, const QString& intervalText,
                   Progress& progress);

// For the tests: called with each target just before its finished file
// replaces it; false makes that replacement fail as a failed rename would.
// Empty (no call) unless a test sets it.
using CsvReplaceHook = std::function<bool(const QString& target)>;
void setCsvReplaceHook(CsvReplaceHook hook);

// --- layout of the window's lists (windows onto NodeSel and BeamSel) ---
inline constexpr int kCsvNodeRows = 10;
inline constexpr int kCsvBeamRows = 5;
inline constexpr int kCsvHeightNoBeams = 4485;  // twips: beam frame out of view
inline constexpr int kCsvHeightBeams = 6645;

struct CsvListLayout {
    int rowsShown = 0;           // rows 0..rowsShown-1 visible, the rest hidden
    bool scrollEnabled = false;  // scroll bar enabled, range 0..scrollMax
    std::int64_t scrollMax = 0;
};
CsvListLayout csvNodeListLayout(const Dataset& data);
CsvListLayout csvBeamListLayout(const Dataset& data);
int csvWindowHeightTwips(const Dataset& data);

// Captions: node number of entry j, element number and component code of beam
// record i, as decimal integers.
QString csvNodeCaption(const Dataset& data, std::int64_t j);
QString csvBeamElementCaption(const Dataset& data, std::int64_t i);
QString csvBeamCodeCaption(const Dataset& data, std::int64_t i);

// --- qrnconv csv ---
struct CsvCliOptions {
    std::optional<QString> nodes;  // "all" or comma-separated node numbers
    QString axes = QStringLiteral("xyzt");
    bool tension = false;
    bool init = false;
    bool split = false;
    std::optional<QString> beams;  // "all" or comma-separated element numbers
    std::optional<QString> from, to, every;
};

// A message when the option texts themselves are malformed (bad command-line
// use), empty when they are fine.
QString csvOptionsError(const CsvCliOptions& opt);

// The selection the window would hold after the user set these options: opened
// as the window opens, the listed entries and records ticked, the time texts
// typed into their boxes (with their correction rules). Throws QrnError for a
// malformed option or a node or element number the dataset does not hold.
CsvSelection csvSelectionFromOptions(const Dataset& data, const CsvCliOptions& opt,
                                     const QString& intervalText, const QString& outputPath);

}  // namespace qrn
