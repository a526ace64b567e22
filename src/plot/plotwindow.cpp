#include "plot/plotwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/seriescsv.h"
#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/progress.h"
#include "plot/chartimage.h"
#include "plot/checktable.h"
#include "plot/plotview.h"
#include "plot/serieschart.h"

namespace qrn::plot {
namespace {

using analysis::Series;

constexpr int kPanelWidth = 270;
// The read-out names this many series, then "…".
constexpr int kReadoutSeries = 10;

const QString kNodeTip = QStringLiteral("グラフにするノード情報にチェックを付けます。");
const QString kTimeTip = QStringLiteral("グラフにする時間範囲を指定します。");

QPushButton* makeButton(const QString& text, const QString& tip, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

QTableView* makeTable(CheckTableModel* model, QWidget* parent) {
    auto* t = new QTableView(parent);
    t->setModel(model);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

// Stored values are whole numbers and read exactly; computed ones (clearances,
// angles) to three decimals, which is millimetres for metres.
QString valueText(double v) {
    if (std::abs(v - std::round(v)) < 1e-9) return QString::number(v, 'f', 0);
    QString t = QString::number(v, 'f', 3);
    while (t.endsWith(QLatin1Char('0'))) t.chop(1);
    return t;
}

}  // namespace

PlotWindow::PlotWindow(const Dataset& data, const QString& intervalText, QWidget* parent)
    : QWidget(parent, Qt::Window),
      data_(data),
      intervalText_(intervalText),
      sel_(analysis::openPlotSelection(data, intervalText)),
      lastGood_(sel_),
      stored_(analysis::storedSteps(data, intervalText)) {
    setObjectName(QStringLiteral("PlotWindow"));
    setWindowTitle(kPlotWindowTitle + QStringLiteral(" - ") + kAppTitle);
    grid_ = stored_;

    chart_ = new SeriesChart;
    view_ = new PlotView(chart_, this);
    view_->setObjectName(QStringLiteral("PlotView"));
    view_->setMinimumSize(400, 300);

    auto* showAllButton =
        makeButton(QStringLiteral("全体表示"),
                   QStringLiteral("全時間範囲と全データを表示します（Home）。"), this);
    auto* imageButton =
        makeButton(QStringLiteral("画像保存..."),
                   QStringLiteral("グラフをPNGまたはSVG画像に保存します（Ctrl+S）。"), this);
    auto* copyButton =
        makeButton(QStringLiteral("コピー"),
                   QStringLiteral("グラフをクリップボードにコピーします（Ctrl+C）。"), this);
    auto* csvButton = makeButton(QStringLiteral("CSV保存..."),
                                 QStringLiteral("表示中の系列をCSVファイルに保存します。"), this);
    auto* clearButton = makeButton(QStringLiteral("全解除"),
                                   QStringLiteral("すべての系列をグラフから外します。"), this);
    showAllButton->setObjectName(QStringLiteral("ShowAll"));
    imageButton->setObjectName(QStringLiteral("SaveImage"));
    copyButton->setObjectName(QStringLiteral("Copy"));
    csvButton->setObjectName(QStringLiteral("SaveCsv"));
    clearButton->setObjectName(QStringLiteral("ClearAll"));
    connect(showAllButton, &QPushButton::clicked, this, [this] { showAll(); });
    connect(imageButton, &QPushButton::clicked, this, [this] { saveImageDialog(); });
    connect(copyButton, &QPushButton::clicked, this, [this] { copyToClipboard(); });
    connect(csvButton, &QPushButton::clicked, this, [this] { saveCsvDialog(); });
    connect(clearButton, &QPushButton::clicked, this, [this] { clearAll(); });
    new QShortcut(QKeySequence::Save, this, [this] { saveImageDialog(); });
    new QShortcut(QKeySequence::Copy, this, [this] { copyToClipboard(); });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {showAllButton, imageButton, copyButton, csvButton})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(clearButton);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(buildSelectionPanel());
    splitter->addWidget(view_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({kPanelWidth, 800});

    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("Readout"));
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    layout->addWidget(readout_);

    connect(view_, &PlotView::clickedAt, this, [this](double t) { clicked(t); });
    connect(view_, &PlotView::hoveredAt, this, [this](double t) { showReadout(t); });
    connect(view_, &PlotView::hoverLeft, this, [this] { showReadout(std::nullopt); });
    connect(view_, &PlotView::showAllRequested, this, [this] { showAll(); });

    resize(1100, 680);
    rebuild();
    setCurrentStep(0);
}

PlotWindow::~PlotWindow() = default;

SeriesChart& PlotWindow::chart() const { return *chart_; }

QWidget* PlotWindow::buildSelectionPanel() {
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    tabs_ = new QTabWidget(panel);
    CsvSelection& csv = sel_.csv;

    // Node entries with their X, Y, Z and θ boxes, as in the CSV window.
    CheckTableModel::Source nodes;
    nodes.headers = {QStringLiteral("ノードNo."), QStringLiteral("X軸"), QStringLiteral("Y軸"),
                     QStringLiteral("Z軸"), QStringLiteral("θ")};
    nodes.rows = [this] { return static_cast<int>(sel_.csv.NodeSel.bounds()[0].count()); };
    nodes.caption = [this](int row, int) { return csvNodeCaption(data_, row); };
    nodes.checked = [this](int row, int c) {
        return sel_.csv.NodeSel.contains(row, c) && sel_.csv.NodeSel(row, c) == 1;
    };
    nodes.setChecked = [this](int row, int c, bool on) {
        if (sel_.csv.NodeSel.contains(row, c)) sel_.csv.NodeSel(row, c) = on ? 1 : 0;
    };
    nodeModel_ = new CheckTableModel(std::move(nodes), this);
    auto* nodePage = new QWidget(tabs_);
    auto* nodeLayout = new QVBoxLayout(nodePage);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(new QLabel(QStringLiteral("ノードNo."), nodePage));
    nodeNumber_ = new QLineEdit(nodePage);
    nodeNumber_->setObjectName(QStringLiteral("NodeNumber"));
    nodeNumber_->setToolTip(
        QStringLiteral("ノード番号を入力して追加すると、X, Y, Z, θ を表示します。"));
    addRow->addWidget(nodeNumber_, 1);
    auto* addButton = makeButton(QStringLiteral("追加"), nodeNumber_->toolTip(), nodePage);
    addRow->addWidget(addButton);
    connect(addButton, &QPushButton::clicked, this, [this] { addNodeFromBox(); });
    connect(nodeNumber_, &QLineEdit::returnPressed, this, [this] { addNodeFromBox(); });
    nodeLayout->addLayout(addRow);
    nodeTable_ = makeTable(nodeModel_, nodePage);
    nodeTable_->setObjectName(QStringLiteral("NodeTable"));
    nodeTable_->setToolTip(kNodeTip);
    nodeTable_->horizontalHeader()->setStretchLastSection(false);
    nodeLayout->addWidget(nodeTable_, 1);
    tabs_->addTab(nodePage, QStringLiteral("ノード点"));

    CheckTableModel::Source tension;
    tension.headers = {QStringLiteral("ノードNo."), QStringLiteral("表示")};
    tension.rows = [this] { return static_cast<int>(sel_.tension.size()); };
    tension.caption = [this](int row, int) {
        return data_.TensionElem.contains(row) ? QString::number(data_.TensionElem(row))
                                               : QString();
    };
    tension.checked = [this](int row, int) {
        return sel_.tension[static_cast<std::size_t>(row)] == 1;
    };
    tension.setChecked = [this](int row, int, bool on) {
        sel_.tension[static_cast<std::size_t>(row)] = on ? 1 : 0;
    };
    tensionModel_ = new CheckTableModel(std::move(tension), this);
    auto* tensionTable = makeTable(tensionModel_, tabs_);
    tensionTable->setObjectName(QStringLiteral("TensionTable"));
    tabs_->addTab(tensionTable, QStringLiteral("張力"));

    CheckTableModel::Source beams;
    beams.headers = {QStringLiteral("ノードNo."), QStringLiteral("出力コード"),
                     QStringLiteral("表示")};
    beams.captionColumns = 2;
    beams.rows = [this] { return static_cast<int>(sel_.csv.BeamSel.size()); };
    beams.caption = [this](int row, int c) {
        return c == 0 ? csvBeamElementCaption(data_, row) : csvBeamCodeCaption(data_, row);
    };
    beams.checked = [this](int row, int) {
        return sel_.csv.BeamSel.contains(row) && sel_.csv.BeamSel(row) == 1;
    };
    beams.setChecked = [this](int row, int, bool on) {
        if (sel_.csv.BeamSel.contains(row)) sel_.csv.BeamSel(row) = on ? 1 : 0;
    };
    beamModel_ = new CheckTableModel(std::move(beams), this);
    auto* beamTable = makeTable(beamModel_, tabs_);
    beamTable->setObjectName(QStringLiteral("BeamTable"));
    const int beamTab = tabs_->addTab(beamTable, QStringLiteral("Beam軸力"));
    tabs_->setTabEnabled(beamTab, data_.BeamRecCount > 0);

    for (CheckTableModel* m : {nodeModel_, tensionModel_, beamModel_})
        connect(m, &CheckTableModel::edited, this, [this] { selectionEdited(); });
    layout->addWidget(tabs_, 1);

    init_ = new QCheckBox(QStringLiteral("変位ﾃﾞｰﾀに初期位置を付加"), panel);
    init_->setObjectName(QStringLiteral("Init"));
    init_->setToolTip(QStringLiteral("移動量に初期座標位置データを加算して表示します。"));
    init_->setChecked(csv.init);
    connect(init_, &QCheckBox::toggled, this, [this](bool on) {
        sel_.csv.init = on;
        selectionEdited();
    });
    layout->addWidget(init_);
    layout->addWidget(buildTimeBoxes());
    panel->setMinimumWidth(220);
    return panel;
}

QWidget* PlotWindow::buildTimeBoxes() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    from_ = new QLineEdit(sel_.csv.fromText, box);
    to_ = new QLineEdit(sel_.csv.toText, box);
    every_ = new QLineEdit(sel_.csv.everyText, box);
    from_->setObjectName(QStringLiteral("From"));
    to_->setObjectName(QStringLiteral("To"));
    every_->setObjectName(QStringLiteral("Every"));
    from_->setToolTip(kTimeTip);
    to_->setToolTip(kTimeTip);
    every_->setToolTip(QStringLiteral("表示する時間間隔を指定します。"));
    grid->addWidget(new QLabel(QStringLiteral("出力時間"), box), 0, 0);
    grid->addWidget(from_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("s～"), box), 0, 2);
    grid->addWidget(to_, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("s"), box), 0, 4);
    grid->addWidget(new QLabel(QStringLiteral("出力間隔"), box), 1, 0);
    grid->addWidget(every_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("s"), box), 1, 2);
    for (QLineEdit* e : {from_, to_, every_})
        connect(e, &QLineEdit::editingFinished, this, [this] { timeBoxesEdited(); });
    return box;
}

void PlotWindow::selectionEdited() { rebuild(); }

void PlotWindow::timeBoxesEdited() {
    // The CSV window's correction rules, applied when an entry is finished.
    const QString to = csvCorrectToText(to_->text(), data_, intervalText_);
    const QString every = csvCorrectEveryText(every_->text(), intervalText_);
    if (to != to_->text()) to_->setText(to);
    if (every != every_->text()) every_->setText(every);
    if (from_->text() == sel_.csv.fromText && to == sel_.csv.toText && every == sel_.csv.everyText)
        return;
    sel_.csv.fromText = from_->text();
    sel_.csv.toText = to;
    sel_.csv.everyText = every;
    try {
        analysis::plotGrid(data_, sel_, intervalText_);
    } catch (const QrnError& e) {
        sel_ = lastGood_;
        refreshLists();
        showError(e.title(), e.message());
        return;
    }
    rebuild();
}

bool PlotWindow::rebuild() {
    try {
        const std::vector<analysis::SeriesKey> keys = analysis::plotKeys(data_, sel_);
        analysis::StepGrid grid = grid_;
        if (!keys.empty()) grid = analysis::plotGrid(data_, sel_, intervalText_);
        const bool reuse = grid == grid_ && sel_.csv.init == cacheInit_;
        std::vector<Cached> next;
        next.reserve(keys.size());
        for (const analysis::SeriesKey& k : keys) {
            const auto it = std::find_if(cache_.begin(), cache_.end(),
                                         [&](const Cached& c) { return c.key == k; });
            if (reuse && it != cache_.end()) {
                next.push_back({k, it->series});
            } else {
                next.push_back({k, std::make_shared<const Series>(
                                       analysis::extractSeries(data_, k, grid, sel_.csv.init))});
            }
        }
        cache_ = std::move(next);
        grid_ = grid;
        cacheInit_ = sel_.csv.init;
        lastGood_ = sel_;
    } catch (const QrnError& e) {
        sel_ = lastGood_;
        refreshLists();
        showError(e.title(), e.message());
        return false;
    } catch (const std::bad_alloc&) {
        sel_ = lastGood_;
        refreshLists();
        showError(kAppTitle, QStringLiteral("メモリが不足しているため、系列を表示できません。"));
        return false;
    }
    chart_->setSeries(plottedSeries(), true);
    showReadout(hover_);
    return true;
}

void PlotWindow::refreshLists() {
    nodeModel_->refresh();
    tensionModel_->refresh();
    beamModel_->refresh();
    const QSignalBlocker block(init_);
    init_->setChecked(sel_.csv.init);
    from_->setText(sel_.csv.fromText);
    to_->setText(sel_.csv.toText);
    every_->setText(sel_.csv.everyText);
}

std::vector<const Series*> PlotWindow::plottedSeries() const {
    std::vector<const Series*> out;
    for (const Cached& c : cache_) out.push_back(c.series.get());
    for (const auto& s : named_) out.push_back(s.get());
    return out;
}

bool PlotWindow::addNode(std::int32_t number) {
    const std::vector<std::int64_t> entries = analysis::nodeEntries(data_, number);
    if (entries.empty()) return false;
    for (const std::int64_t j : entries)
        for (int c = 0; c < 4; ++c)
            if (sel_.csv.NodeSel.contains(j, c)) sel_.csv.NodeSel(j, c) = 1;
    refreshLists();
    nodeTable_->scrollTo(nodeModel_->index(static_cast<int>(entries.front()), 0));
    rebuild();
    return true;
}

bool PlotWindow::addTensionRecord(std::int64_t record) {
    if (record < 0 || record >= static_cast<std::int64_t>(sel_.tension.size())) return false;
    sel_.tension[static_cast<std::size_t>(record)] = 1;
    refreshLists();
    rebuild();
    return true;
}

void PlotWindow::addNamedSeries(Series series) {
    const auto it = std::find_if(named_.begin(), named_.end(),
                                 [&](const auto& s) { return s->label == series.label; });
    auto owned = std::make_unique<Series>(std::move(series));
    if (it != named_.end()) {
        *it = std::move(owned);
    } else {
        named_.push_back(std::move(owned));
    }
    rebuild();
}

bool PlotWindow::removeNamedSeries(const QString& label) {
    const auto it = std::find_if(named_.begin(), named_.end(),
                                 [&](const auto& s) { return s->label == label; });
    if (it == named_.end()) return false;
    named_.erase(it);
    rebuild();
    return true;
}

void PlotWindow::clearAll() {
    std::fill(sel_.csv.NodeSel.data(), sel_.csv.NodeSel.data() + sel_.csv.NodeSel.size(), 0);
    std::fill(sel_.csv.BeamSel.data(), sel_.csv.BeamSel.data() + sel_.csv.BeamSel.size(), 0);
    std::fill(sel_.tension.begin(), sel_.tension.end(), 0);
    named_.clear();
    refreshLists();
    rebuild();
}

void PlotWindow::addNodeFromBox() {
    const auto v = num::strictValue(nodeNumber_->text());
    const auto number = v && *v == std::floor(*v) ? num::roundToInt32(*v) : std::nullopt;
    if (!number) {
        showError(kAppTitle, QStringLiteral("ノード番号を整数で入力してください。"));
        return;
    }
    if (!addNode(*number))
        showError(kAppTitle, QStringLiteral("ノード番号") + QString::number(*number) +
                                 QStringLiteral("はノードテーブルにありません。"));
}

void PlotWindow::setCurrentStep(int step) {
    currentStep_ = step;
    chart_->setTimeMarker(stored_.dt * static_cast<double>(step));
    if (!hover_) showReadout(std::nullopt);
}

void PlotWindow::showAll() { chart_->showAll(); }

void PlotWindow::clicked(double time) {
    const std::int64_t i = stored_.nearest(time);
    if (i < 0) return;
    const int step = static_cast<int>(stored_.step(i));
    setCurrentStep(step);
    emit stepClicked(step);
}

QString PlotWindow::readoutText() const { return readout_->text(); }

void PlotWindow::showReadout(std::optional<double> time) {
    hover_ = time;
    const std::vector<const Series*> shown = plottedSeries();
    if (shown.empty()) {
        readout_->setText(QStringLiteral("グラフにする系列を左の一覧で選んでください。"));
        return;
    }
    // Away from the plot the read-out follows the time line.
    const double t = time ? *time : stored_.dt * static_cast<double>(currentStep_);
    const Series& first = *shown.front();
    const std::int64_t at = first.grid.nearest(t);
    QStringList parts;
    parts
        << QStringLiteral("時間 %1 s").arg(num::formatGeneralQ(at >= 0 ? first.grid.time(at) : t));
    int listed = 0;
    for (const Series* s : shown) {
        if (listed == kReadoutSeries) {
            parts << QStringLiteral("…");
            break;
        }
        const std::int64_t i = s->grid.nearest(t);
        if (i < 0) continue;
        const double v =
            s->values[static_cast<std::size_t>(i)] * analysis::displayScale(s->quantity);
        parts << s->label + QLatin1Char(' ') + valueText(v) + readoutUnit(*s);
        ++listed;
    }
    readout_->setText(parts.join(QStringLiteral("   ")));
}

void PlotWindow::saveImage(const QString& path) { saveChartImage(*chart_, path); }

void PlotWindow::saveCsv(const QString& path) const {
    std::vector<const Series*> selected;
    for (const Cached& c : cache_) selected.push_back(c.series.get());
    std::vector<const Series*> extra;
    for (const auto& s : named_) extra.push_back(s.get());
    analysis::savePlotCsv(data_, lastGood_, intervalText_, selected, extra, path);
}

void PlotWindow::copyToClipboard() { QApplication::clipboard()->setImage(renderChart(*chart_)); }

bool PlotWindow::confirmOverwrite(const QString& path) {
    if (!QFileInfo::exists(path)) return true;
    return QMessageBox::question(this, kPlotWindowTitle,
                                 QStringLiteral("%1 は既にあります。\n上書きしますか？")
                                     .arg(QFileInfo(path).fileName()),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void PlotWindow::saveImageDialog() {
    QString filter;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("グラフ画像の保存"),
                                                data_.DirPath + QStringLiteral("graph.png"),
                                                QStringLiteral("PNG画像 (*.png);;SVG画像 (*.svg)"),
                                                &filter, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter.contains(QStringLiteral("svg")) ? QStringLiteral(".svg")
                                                       : QStringLiteral(".png");
    if (!confirmOverwrite(path)) return;
    try {
        saveImage(path);
    } catch (const QrnError& e) {
        showError(e.title(), e.message());
    }
}

void PlotWindow::saveCsvDialog() {
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("CSVファイルの保存"), data_.DirPath + QStringLiteral("graph.csv"),
        QStringLiteral("CSVファイル (*.csv)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
    if (!confirmOverwrite(path)) return;
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        saveCsv(path);
        QApplication::restoreOverrideCursor();
    } catch (const QrnError& e) {
        QApplication::restoreOverrideCursor();
        showError(e.title(), e.message());
    }
}

void PlotWindow::showError(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.exec();
}

}  // namespace qrn::plot
