#include "files/csvwindow/csvexportwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>
#include <new>

#include "dataset/error.h"
#include "dataset/progress.h"
#include "widgets/overwrite.h"

namespace qrn {
namespace {

const QString kNodeTip = QStringLiteral("出力させたいノード情報にチェックを付けます。");
const QString kTimeTip = QStringLiteral("出力する時間範囲を指定します。");
const QString kJumpTip =
    QStringLiteral("ノード番号を入力すると、一覧がそのノードの行へ移動します。");
const QString kNoSuchNode = QStringLiteral("ノードNo.%1 はありません。");
const QString kBrowseFilter =
    QStringLiteral("CSVファイル (*.csv)|*.csv|") + QStringLiteral("すべてのファイル (*.*)|*.*|");

// Form geometry in pixels at 96 dpi (15 twips each); the window's heights are
// given in twips and converted, so that the beam frame starts just below the
// short height.
constexpr int kClientWidth = 480;
constexpr int kNodeRowHeight = 20;
constexpr int kBeamRowHeight = 18;
constexpr int kRowsTop = 40;
constexpr int kBeamFrameTop = 302;

// Columns of the node list: the X box carries the node number as its caption
// on its left, so that the number sits under "ノードNo." and the box under "X軸".
constexpr int kNodeBoxX[4] = {8, 114, 144, 174};
constexpr int kNodeBoxWidth[4] = {92, 22, 22, 22};
constexpr int kNodeHeaderX[4] = {80, 108, 138, 168};

// Patterns of one entry, as Qt lists them: separated by blanks.
QStringList filterPatterns(const QString& patterns) {
    QStringList out;
    for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (!t.isEmpty()) out << t;
    }
    return out;
}

// Restores the pointer however the export ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Reports the writer's progress to the window's bar and passes on a stop; the
// writer's failure comes back as its exception, so there are no messages to show
// on the way.
class ExportProgress : public Progress {
  public:
    ExportProgress(std::function<void(double)> onProgress, std::function<bool()> stop)
        : onProgress_(std::move(onProgress)), stop_(std::move(stop)) {}
    void message(const QString&, const QString&) override {}
    void progress(double fraction) override { onProgress_(fraction); }
    bool cancelRequested() override { return stop_(); }

  private:
    std::function<void(double)> onProgress_;
    std::function<bool()> stop_;
};

QLabel* makeLabel(QWidget* parent, const QString& text, int x, int y, int w, int h,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, h);
    l->setAlignment(align);
    return l;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, int x, int y, int w,
                        int h) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, h);
    // Return in a time box only confirms the box; it must not start the export.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, const QString& text, int x, int y, int w,
                    int h) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, w, h);
    return e;
}

}  // namespace

QString qtFileFilter(const QString& pipeFilter) {
    QStringList parts = pipeFilter.split(QLatin1Char('|'));
    if (!parts.isEmpty() && parts.back().isEmpty()) parts.removeLast();
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString text = parts[i].trimmed();
        const QStringList patterns = filterPatterns(parts[i + 1]);
        if (patterns.isEmpty()) continue;
        // Qt takes the patterns from the last "( ... )" of the text; keep the
        // text as it is when that already lists exactly these patterns.
        const qsizetype open = text.lastIndexOf(QLatin1Char('('));
        bool shown = false;
        if (open >= 0 && text.endsWith(QLatin1Char(')'))) {
            const QString inside = text.mid(open + 1, text.size() - open - 2);
            shown = inside.split(QRegularExpression(QStringLiteral("[\\s;]+")),
                                 Qt::SkipEmptyParts) == patterns;
        }
        entries << (shown ? text
                          : text + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                                QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

int CsvExportWindow::twipsToPixels(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / 15.0));
}

CsvExportWindow::CsvExportWindow(const Dataset& data, const QString& chosenPath,
                                 const QString& intervalText, const QString& dirPath,
                                 QWidget* parent)
    : QDialog(parent),
      data_(data),
      intervalText_(intervalText),
      dirPath_(dirPath),
      sel_(openCsvSelection(data, intervalText, chosenPath)),
      nodeLayout_(csvNodeListLayout(data)),
      beamLayout_(csvBeamListLayout(data)),
      heightTwips_(csvWindowHeightTwips(data)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(kCsvWindowTitle + QStringLiteral(" - ") + kAppTitle);
    setModal(true);
    setSizeGripEnabled(false);
    // A dialog: title and close button, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    buildNodeFrame();
    buildBeamFrame();
    buildOptions();

    // The short height leaves the beam frame below the window's edge; the window
    // cannot be enlarged, so an empty beam frame never comes into view.
    setFixedSize(kClientWidth, twipsToPixels(heightTwips_));
    beamFrame_->setVisible(data_.BeamRecCount >= 1);

    refreshNodeRows();
    refreshBeamRows();
}

CsvExportWindow::~CsvExportWindow() = default;

void CsvExportWindow::buildNodeFrame() {
    nodeFrame_ = new QGroupBox(QStringLiteral("ノード点出力情報選択"), this);
    nodeFrame_->setObjectName(QStringLiteral("NodeFrame"));
    nodeFrame_->setGeometry(8, 4, 232, kRowsTop + kNodeRows * kNodeRowHeight + 8);
    nodeFrame_->installEventFilter(this);

    makeLabel(nodeFrame_, QStringLiteral("ノードNo."), 8, 20, 72, 18);
    const QString headers[4] = {QStringLiteral("X軸"), QStringLiteral("Y軸"), QStringLiteral("Z軸"),
                                QStringLiteral("θ")};
    for (int c = 0; c < 4; ++c)
        makeLabel(nodeFrame_, headers[c], kNodeHeaderX[c], 20, 28, 18, Qt::AlignCenter);

    const char* names[4] = {"Check2_", "Check3_", "Check4_", "Check6_"};
    for (int k = 0; k < kNodeRows; ++k) {
        for (int c = 0; c < 4; ++c) {
            auto* box = new QCheckBox(nodeFrame_);
            box->setObjectName(QString::fromLatin1(names[c]) + QString::number(k));
            box->setToolTip(kNodeTip);
            box->setGeometry(kNodeBoxX[c], kRowsTop + k * kNodeRowHeight, kNodeBoxWidth[c],
                             kNodeRowHeight);
            if (c == 0) box->setLayoutDirection(Qt::RightToLeft);
            // clicked, not toggled: only the user's clicks store into NodeSel;
            // refreshing the rows sets the boxes from it.
            connect(box, &QCheckBox::clicked, this,
                    [this, k, c](bool checked) { nodeBoxClicked(k, c, checked); });
            nodeBox_[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] = box;
        }
    }

    vScroll1_ = new QScrollBar(Qt::Vertical, nodeFrame_);
    vScroll1_->setObjectName(QStringLiteral("VScroll1"));
    vScroll1_->setGeometry(206, kRowsTop, 17, kNodeRows * kNodeRowHeight);
    vScroll1_->setSingleStep(1);
    vScroll1_->setPageStep(kNodeRows);
    if (nodeLayout_.scrollEnabled) {
        vScroll1_->setRange(0, static_cast<int>(nodeLayout_.scrollMax));
        vScroll1_->setEnabled(true);
    } else {
        vScroll1_->setRange(0, 0);
        vScroll1_->setEnabled(false);
    }
    vScroll1_->setValue(0);
    connect(vScroll1_, &QScrollBar::valueChanged, this, [this] { refreshNodeRows(); });

    for (int k = 0; k < kNodeRows; ++k)
        for (QCheckBox* box : nodeBox_[static_cast<std::size_t>(k)])
            box->setVisible(k < nodeLayout_.rowsShown);
}

void CsvExportWindow::buildBeamFrame() {
    beamFrame_ = new QGroupBox(QStringLiteral("Beam軸力データ"), this);
    beamFrame_->setObjectName(QStringLiteral("BeamFrame"));
    beamFrame_->setGeometry(8, kBeamFrameTop, 232, kRowsTop + kBeamRows * kBeamRowHeight + 6);
    beamFrame_->installEventFilter(this);

    makeLabel(beamFrame_, QStringLiteral("ノードNo."), 8, 20, 72, 18);
    makeLabel(beamFrame_, QStringLiteral("出力コード"), 92, 20, 80, 18);
    for (int k = 0; k < kBeamRows; ++k) {
        const int y = kRowsTop + k * kBeamRowHeight;
        QLabel* label = makeLabel(beamFrame_, QString(), 8, y, 64, kBeamRowHeight,
                                  Qt::AlignRight | Qt::AlignVCenter);
        label->setObjectName(QStringLiteral("Label6_") + QString::number(k));
        label->setToolTip(QStringLiteral("Beam軸力ノードNo."));
        auto* box = new QCheckBox(beamFrame_);
        box->setObjectName(QStringLiteral("Check7_") + QString::number(k));
        box->setToolTip(QStringLiteral("軸力の種別コード"));
        box->setGeometry(92, y, 100, kBeamRowHeight);
        connect(box, &QCheckBox::clicked, this,
                [this, k](bool checked) { beamBoxClicked(k, checked); });
        label6_[static_cast<std::size_t>(k)] = label;
        check7_[static_cast<std::size_t>(k)] = box;
        label->setVisible(k < beamLayout_.rowsShown);
        box->setVisible(k < beamLayout_.rowsShown);
    }

    vScroll2_ = new QScrollBar(Qt::Vertical, beamFrame_);
    vScroll2_->setObjectName(QStringLiteral("VScroll2"));
    vScroll2_->setGeometry(206, kRowsTop, 17, kBeamRows * kBeamRowHeight);
    vScroll2_->setSingleStep(1);
    vScroll2_->setPageStep(kBeamRows);
    if (beamLayout_.scrollEnabled) {
        vScroll2_->setRange(0, static_cast<int>(beamLayout_.scrollMax));
        vScroll2_->setEnabled(true);
    } else {
        vScroll2_->setRange(0, 0);
        vScroll2_->setEnabled(false);
    }
    vScroll2_->setValue(0);
    connect(vScroll2_, &QScrollBar::valueChanged, this, [this] { refreshBeamRows(); });
}

void CsvExportWindow::buildOptions() {
    constexpr int x = 252;
    check1_ = new QCheckBox(QStringLiteral("張力データ出力"), this);
    check1_->setObjectName(QStringLiteral("Check1"));
    check1_->setToolTip(QStringLiteral("HISﾌｧｲﾙに出力されている全ての張力データが出力されます。"));
    check1_->setGeometry(x, 12, 220, 20);

    check5_ = new QCheckBox(QStringLiteral("変位ﾃﾞｰﾀに初期位置を付加"), this);
    check5_->setObjectName(QStringLiteral("Check5"));
    check5_->setToolTip(QStringLiteral("移動量に初期座標位置データを加算して出力します。"));
    check5_->setGeometry(x, 34, 220, 20);

    check8_ = new QCheckBox(QStringLiteral("軸毎にファイルを分割"), this);
    check8_->setObjectName(QStringLiteral("Check8"));
    check8_->setGeometry(x, 56, 220, 20);

    makeLabel(this, QStringLiteral("出力時間"), x, 88, 58, 22);
    text1_ = makeEdit(this, "Text1", sel_.fromText, x + 60, 88, 56, 22);
    text1_->setToolTip(kTimeTip);
    makeLabel(this, QStringLiteral("s～"), x + 118, 88, 22, 22);
    text2_ = makeEdit(this, "Text2", sel_.toText, x + 142, 88, 56, 22);
    text2_->setToolTip(kTimeTip);
    makeLabel(this, QStringLiteral("s"), x + 200, 88, 14, 22);

    makeLabel(this, QStringLiteral("出力間隔"), x, 116, 58, 22);
    text3_ = makeEdit(this, "Text3", sel_.everyText, x + 60, 116, 56, 22);
    text3_->setToolTip(QStringLiteral("出力時間間隔を指定します。"));
    makeLabel(this, QStringLiteral("s"), x + 118, 116, 14, 22);

    // The corrections run when an entry is finished (Return or leaving the box):
    // applied on every keystroke they would rewrite a half-typed "0." at once.
    connect(text2_, &QLineEdit::editingFinished, this, [this] { correctToText(); });
    connect(text3_, &QLineEdit::editingFinished, this, [this] { correctEveryText(); });

    command3_ = makeButton(this, "Command3", QStringLiteral("全選択"), x, 150, 100, 26);
    connect(command3_, &QPushButton::clicked, this, [this] { selectAll(); });

    // A node number typed here scrolls the node list to it; Return then
    // moves to that row's first box.
    makeLabel(this, QStringLiteral("ノードNo."), x + 106, 152, 62, 22,
              Qt::AlignRight | Qt::AlignVCenter);
    nodeJump_ = makeEdit(this, "NodeJump", QString(), x + 170, 152, 50, 22);
    nodeJump_->setToolTip(kJumpTip);
    connect(nodeJump_, &QLineEdit::textEdited, this, [this] { jumpToNode(false); });
    connect(nodeJump_, &QLineEdit::returnPressed, this, [this] { jumpToNode(true); });

    label5_ = makeLabel(this, QStringLiteral("データ保存中"), x, 186, 100, 20);
    label5_->setObjectName(QStringLiteral("Label5"));
    label5_->setVisible(false);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ProgressBar"));
    progress_->setGeometry(x + 104, 188, 116, 16);
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->setVisible(false);

    command1_ = makeButton(this, "Command1", QStringLiteral("実行"), x, 220, 100, 28);
    command1_->setToolTip(QStringLiteral("CSVﾌｧｲﾙ出力を実行します。"));
    connect(command1_, &QPushButton::clicked, this, [this] { exportCsv(); });
    command2_ = makeButton(this, "Command2", QStringLiteral("ｷｬﾝｾﾙ"), x + 120, 220, 100, 28);
    command2_->setToolTip(QStringLiteral("CSVﾌｧｲﾙ出力をｷｬﾝｾﾙします。"));
    connect(command2_, &QPushButton::clicked, this, &QDialog::reject);

    makeLabel(this, QStringLiteral("出力ファイル名"), 8, 264, 90, 22);
    text4_ = makeEdit(this, "Text4", sel_.outputPath, 100, 264, 306, 22);
    command4_ = makeButton(this, "Command4", QStringLiteral("参照"), 412, 263, 60, 24);
    connect(command4_, &QPushButton::clicked, this, [this] { browse(); });
}

void CsvExportWindow::refreshNodeRows() {
    const std::int64_t v = vScroll1_->value();
    for (int k = 0; k < nodeLayout_.rowsShown; ++k) {
        const std::int64_t j = v + k;
        auto& row = nodeBox_[static_cast<std::size_t>(k)];
        row[0]->setText(csvNodeCaption(data_, j));
        for (int c = 0; c < 4; ++c) {
            const bool on = sel_.NodeSel.contains(j, c) && sel_.NodeSel(j, c) == 1;
            row[static_cast<std::size_t>(c)]->setChecked(on);
        }
    }
}

void CsvExportWindow::refreshBeamRows() {
    const std::int64_t w = vScroll2_->value();
    for (int k = 0; k < beamLayout_.rowsShown; ++k) {
        const std::int64_t i = w + k;
        label6_[static_cast<std::size_t>(k)]->setText(csvBeamElementCaption(data_, i));
        QCheckBox* box = check7_[static_cast<std::size_t>(k)];
        box->setText(csvBeamCodeCaption(data_, i));
        box->setChecked(sel_.BeamSel.contains(i) && sel_.BeamSel(i) == 1);
    }
}

void CsvExportWindow::nodeBoxClicked(int row, int column, bool checked) {
    const std::int64_t j = static_cast<std::int64_t>(vScroll1_->value()) + row;
    if (sel_.NodeSel.contains(j, column)) sel_.NodeSel(j, column) = checked ? 1 : 0;
}

void CsvExportWindow::beamBoxClicked(int row, bool checked) {
    const std::int64_t i = static_cast<std::int64_t>(vScroll2_->value()) + row;
    if (sel_.BeamSel.contains(i)) sel_.BeamSel(i) = checked ? 1 : 0;
}

void CsvExportWindow::selectAll() {
    csvSelectAll(sel_);
    refreshNodeRows();
    if (data_.BeamRecCount > 0) refreshBeamRows();
}

void CsvExportWindow::correctToText() {
    const QString fixed = csvCorrectToText(text2_->text(), data_, intervalText_);
    if (fixed != text2_->text()) text2_->setText(fixed);
}

void CsvExportWindow::correctEveryText() {
    const QString fixed = csvCorrectEveryText(text3_->text(), intervalText_);
    if (fixed != text3_->text()) text3_->setText(fixed);
}

void CsvExportWindow::jumpToNode(bool focusRow) {
    const QString text = nodeJump_->text().trimmed();
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    std::int64_t entry = -1;
    if (ok && data_.NodeTbl.contains(0, 0)) {
        for (std::int64_t j = 0; j <= data_.NodeTblMax && data_.NodeTbl.contains(0, j); ++j)
            if (data_.NodeTbl(0, j) == number) {
                entry = j;
                break;
            }
    }
    const bool unknown = !text.isEmpty() && entry < 0;
    nodeJump_->setToolTip(unknown ? kNoSuchNode.arg(text) : kJumpTip);
    QPalette palette = nodeJump_->palette();
    palette.setColor(QPalette::Text,
                     unknown ? QColor(Qt::red) : QApplication::palette().color(QPalette::Text));
    nodeJump_->setPalette(palette);
    if (entry < 0) return;
    // The node's row comes to the top, or as near as the list's end allows.
    const int value = static_cast<int>(std::min<std::int64_t>(entry, vScroll1_->maximum()));
    vScroll1_->setValue(value);
    const std::int64_t row = entry - vScroll1_->value();
    if (focusRow && row >= 0 && row < nodeLayout_.rowsShown)
        nodeBox_[static_cast<std::size_t>(row)][0]->setFocus(Qt::OtherFocusReason);
}

std::int64_t CsvExportWindow::widestFileColumns(const Dataset& data, const CsvSelection& sel,
                                                bool split) {
    std::array<std::int64_t, 4> axis{};
    const std::int64_t last =
        sel.NodeSel.empty() ? -1 : std::min<std::int64_t>(data.NodeTblMax, sel.NodeSel.hi(0));
    for (std::int64_t j = 0; j <= last; ++j)
        for (int c = 0; c < 4; ++c)
            if (sel.NodeSel.contains(j, c) && sel.NodeSel(j, c) == 1) ++axis[std::size_t(c)];
    const std::int64_t others =
        (sel.tension ? std::int64_t(data.TensionMax) + 1 : 0) + csvSelectedBeams(sel);
    // Every file starts with the time column.
    if (!split) return 1 + axis[0] + axis[1] + axis[2] + axis[3] + others;
    return 1 + std::max({axis[0], axis[1], axis[2], axis[3], others});
}

bool CsvExportWindow::confirmWideFile() {
    const std::int64_t columns = widestFileColumns(data_, sel_, sel_.split);
    if (columns <= kSpreadsheetColumns) return true;
    const bool canSplit = !sel_.split && widestFileColumns(data_, sel_, true) < columns;
    QString text = QStringLiteral(
                       "出力するファイルの列数が %1 列になり、表計算ソフトで開ける "
                       "16,384 列を超えます。")
                       .arg(QLocale(QLocale::Japanese).toString(qlonglong(columns)));
    text += canSplit ? QStringLiteral("\n軸毎にファイルを分割して出力しますか？")
                     : QStringLiteral("\nこのまま出力しますか？");
    QMessageBox box(QMessageBox::Question, kCsvWindowTitle, text, QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("WideFileQuestion"));
    QPushButton* split =
        canSplit ? box.addButton(QStringLiteral("軸毎に分割"), QMessageBox::AcceptRole) : nullptr;
    QPushButton* anyway = box.addButton(QStringLiteral("そのまま出力"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    box.setDefaultButton(split ? split : anyway);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == split && split) {
        sel_.split = true;
        check8_->setChecked(true);
        return true;
    }
    return box.clickedButton() == anyway;
}

void CsvExportWindow::browse() {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The output need not exist yet.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(qtFileFilter(kBrowseFilter));
    const QFileInfo current(QDir::fromNativeSeparators(text4_->text()));
    if (!text4_->text().isEmpty() && current.absoluteDir().exists()) {
        dialog.setDirectory(current.absoluteDir());
        dialog.selectFile(current.fileName());
    } else if (!dirPath_.isEmpty()) {
        dialog.setDirectory(QDir::fromNativeSeparators(dirPath_));
    }
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return;
    text4_->setText(QDir::toNativeSeparators(files.front()));
}

void CsvExportWindow::showProgress(double fraction) {
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
    if (percent == progressShown_) return;
    progressShown_ = percent;
    progress_->setValue(percent);
    // The rest of the window is disabled: only "中止" and Esc get through.
    QCoreApplication::processEvents();
}

void CsvExportWindow::lockForExport(bool locked) {
    exporting_ = locked;
    if (locked) {
        lockedWidgets_.clear();
        for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w == command2_ || w == progress_ || w == label5_ || !w->isEnabled()) continue;
            w->setEnabled(false);
            lockedWidgets_ << w;
        }
        command2_->setText(QStringLiteral("中止"));
        command2_->setToolTip(QStringLiteral("CSVﾌｧｲﾙ出力を中止します。"));
        command2_->setFocus(Qt::OtherFocusReason);
    } else {
        for (QWidget* w : std::as_const(lockedWidgets_)) w->setEnabled(true);
        lockedWidgets_.clear();
        command2_->setText(QStringLiteral("ｷｬﾝｾﾙ"));
        command2_->setToolTip(QStringLiteral("CSVﾌｧｲﾙ出力をｷｬﾝｾﾙします。"));
    }
}

void CsvExportWindow::reject() {
    if (exporting_) {
        stopRequested_ = true;
        return;
    }
    QDialog::reject();
}

void CsvExportWindow::showError(const QString& title, const QString& message) {
    QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Ok, this);
    box.exec();
}

void CsvExportWindow::exportCsv() {
    // A box still being edited counts as edited once the export starts.
    correctToText();
    correctEveryText();

    sel_.tension = check1_->isChecked();
    sel_.init = check5_->isChecked();
    sel_.split = check8_->isChecked();
    sel_.fromText = text1_->text();
    sel_.toText = text2_->text();
    sel_.everyText = text3_->text();
    sel_.outputPath = text4_->text().trimmed();
    if (sel_.outputPath.isEmpty()) {
        showError(kWriteErrorTitle, QStringLiteral("出力ファイル名を指定してください。"));
        return;
    }
    if (!confirmWideFile()) return;
    if (!confirmOverwrite(this, kCsvWindowTitle, csvOutputFiles(sel_.outputPath, sel_.split)))
        return;

    QString errorTitle;
    QString errorText;
    bool stopped = false;
    {
        WaitCursor wait;
        label5_->setVisible(true);
        progressShown_ = -1;
        progress_->setValue(0);
        progress_->setVisible(true);
        stopRequested_ = false;
        lockForExport(true);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        try {
            ExportProgress progress([this](double f) { showProgress(f); },
                                    [this] { return stopRequested_; });
            writeCsv(data_, sel_, intervalText_, progress);
        } catch (const Cancelled&) {
            stopped = true;  // the writer removed its temporaries; earlier files stand
        } catch (const QrnError& e) {
            errorTitle = e.title();
            errorText = e.message();
        } catch (const std::bad_alloc&) {
            errorTitle = kWriteErrorTitle;
            errorText = QStringLiteral("メモリが不足しているため、") +
                        QDir::toNativeSeparators(sel_.outputPath) +
                        QStringLiteral("を出力できませんでした。");
        } catch (const std::exception& e) {
            errorTitle = kWriteErrorTitle;
            errorText = QDir::toNativeSeparators(sel_.outputPath) +
                        QStringLiteral("を出力できませんでした。\r") + QString::fromUtf8(e.what());
        }
        lockForExport(false);
        label5_->setVisible(false);
        progress_->setVisible(false);
    }
    if (stopped) return;  // the window stays as it was, for another try
    if (!errorText.isEmpty()) {
        // The window stays open so that another name can be chosen.
        showError(errorTitle, errorText);
        return;
    }
    accept();
}

bool CsvExportWindow::eventFilter(QObject* watched, QEvent* event) {
    // The wheel over a list scrolls it, as over its scroll bar.
    if (event->type() == QEvent::Wheel && (watched == nodeFrame_ || watched == beamFrame_)) {
        QScrollBar* bar = watched == nodeFrame_ ? vScroll1_ : vScroll2_;
        if (bar->isEnabled()) {
            QCoreApplication::sendEvent(bar, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace qrn
