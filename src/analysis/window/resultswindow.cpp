#include "analysis/window/resultswindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaMethod>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "dataset/error.h"
#include "dataset/numbers.h"

namespace qrn {

namespace {

constexpr int kSortRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;  // the row's index in the report, column 0
constexpr int kProgressSteps = 1000;
constexpr int kPollMs = 50;

const QString kNoReport = QStringLiteral("「集計」を押すと、この範囲とグループで集計します。");

QString metres(double v) { return QString::number(v, 'f', 3); }

// A cell showing `text`, sorted by `key`.
QStandardItem* cell(const QString& text, double key, bool number = true) {
    auto* item = new QStandardItem(text);
    item->setData(key, kSortRole);
    item->setEditable(false);
    if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}
QStandardItem* cell(std::int64_t v) { return cell(QString::number(v), static_cast<double>(v)); }

QString groupText(const ReportSetup& s, int g) {
    return QStringLiteral("G%1（%2）")
        .arg(g)
        .arg(cableGroupsText({s.groups[static_cast<std::size_t>(g)]}));
}

QStandardItem* pointCell(const ClearancePoint& p) {
    QStandardItem* item = cell(QStringLiteral("ケーブル%1 区間%2 u=%3")
                                   .arg(p.slot)
                                   .arg(p.segment)
                                   .arg(QString::number(p.u, 'f', 3)),
                               p.slot * 1e7 + p.segment + p.u * 0.5, false);
    item->setToolTip(
        QStringLiteral("(x, y, z) = (%1, %2, %3) m").arg(metres(p.x), metres(p.y), metres(p.z)));
    return item;
}

// Max and min of a peak with their steps and times.
QList<QStandardItem*> peakCells(const ReportSetup& s, const Peak& p) {
    const auto time = [&](std::int64_t step) {
        const double t = s.timeOf(step);
        return cell(num::formatGeneralQ(t), t);
    };
    return {cell(p.max), cell(p.maxStep), time(p.maxStep),
            cell(p.min), cell(p.minStep), time(p.minStep)};
}

QStringList peakHeaders(const QString& unit) {
    return {QStringLiteral("最大") + unit,    QStringLiteral("最大のステップ"),
            QStringLiteral("最大の時間(s)"),  QStringLiteral("最小") + unit,
            QStringLiteral("最小のステップ"), QStringLiteral("最小の時間(s)")};
}

// Reports progress and cancel across threads: the worker writes, the window polls.
class WorkerProgress final : public Progress {
  public:
    explicit WorkerProgress(const std::atomic<bool>& cancel) : cancel_(cancel) {}
    void message(const QString& title, const QString& text) override {
        const std::lock_guard lock(mutex_);
        messages_.emplace_back(title, text);
    }
    void progress(double fraction) override { fraction_.store(fraction); }
    bool cancelRequested() override { return cancel_.load(); }
    double fraction() const { return fraction_.load(); }
    std::vector<std::pair<QString, QString>> takeMessages() {
        const std::lock_guard lock(mutex_);
        return std::exchange(messages_, {});
    }

  private:
    const std::atomic<bool>& cancel_;
    std::atomic<double> fraction_{0.0};
    std::mutex mutex_;
    std::vector<std::pair<QString, QString>> messages_;
};

}  // namespace

ResultsWindow::ResultsWindow(const Dataset& data, std::function<QString()> intervalText,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), data_(data), intervalText_(std::move(intervalText)) {
    setWindowTitle(kReportTitle);
    buildUi();
    resize(960, 560);
}

ResultsWindow::~ResultsWindow() {
    if (running_) cancel_ = true;
    qApp->removeEventFilter(this);
}

void ResultsWindow::buildUi() {
    auto* outer = new QVBoxLayout(this);

    inputs_ = new QWidget(this);
    auto* grid = new QGridLayout(inputs_);
    grid->setContentsMargins(0, 0, 0, 0);
    auto box = [this](const char* name, const QString& tip) {
        auto* e = new QLineEdit(inputs_);
        e->setObjectName(QLatin1String(name));
        e->setToolTip(tip);
        connect(e, &QLineEdit::returnPressed, this, [this] { compute(); });
        return e;
    };
    groups_ =
        box("Groups", QStringLiteral("互いに比べないケーブルのグループ。ケーブル番号（0 から）"
                                     "を \",\" で、グループを \";\" で区切ります"
                                     "（例 0,1;2,3）。書かないケーブルは１本で１グループ。"));
    defaultGroups_ = new QPushButton(QStringLiteral("既定に戻す"), inputs_);
    defaultGroups_->setObjectName(QStringLiteral("DefaultGroups"));
    defaultGroups_->setToolTip(
        QStringLiteral("変位のない形で %1 m 以内に近づくケーブルを同じグループにします。")
            .arg(num::formatGeneralQ(kDefaultBundleGap)));
    connect(defaultGroups_, &QPushButton::clicked, this,
            [this] { groups_->setText(defaultGroupsText_); });
    from_ = box("From", QStringLiteral("集計を始める時間(s)"));
    to_ = box("To", QStringLiteral("集計を終える時間(s)"));
    threshold_ =
        box("Threshold", QStringLiteral("離隔の判定基準(m)。空欄なら判定しません。基準未満の時間、"
                                        "最初に基準未満となるステップと判定（OK/NG）を加えます。"));
    run_ = new QPushButton(QStringLiteral("集計"), inputs_);
    run_->setObjectName(QStringLiteral("Run"));
    connect(run_, &QPushButton::clicked, this, [this] { compute(); });

    grid->addWidget(new QLabel(QStringLiteral("グループ:"), inputs_), 0, 0);
    grid->addWidget(groups_, 0, 1, 1, 6);
    grid->addWidget(defaultGroups_, 0, 7);
    grid->addWidget(new QLabel(QStringLiteral("開始時間(s):"), inputs_), 1, 0);
    grid->addWidget(from_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("終了時間(s):"), inputs_), 1, 2);
    grid->addWidget(to_, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("離隔の判定基準(m):"), inputs_), 1, 4);
    grid->addWidget(threshold_, 1, 5);
    grid->addWidget(run_, 1, 7);
    grid->setColumnStretch(6, 1);
    outer->addWidget(inputs_);

    range_ = new QLabel(kNoReport, this);
    range_->setObjectName(QStringLiteral("Range"));
    range_->setWordWrap(true);
    range_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    outer->addWidget(range_);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("Tabs"));
    clearanceTable_ = addTable(QStringLiteral("相間離隔"), QStringLiteral("ClearanceTable"),
                               clearanceModel_, clearanceProxy_);
    tensionTable_ = addTable(QStringLiteral("張力"), QStringLiteral("TensionTable"), tensionModel_,
                             tensionProxy_);
    beamTable_ =
        addTable(QStringLiteral("梁の結果"), QStringLiteral("BeamTable"), beamModel_, beamProxy_);
    // The note says why the clearance list is empty; it sits above that table.
    note_ = new QLabel;
    note_->setObjectName(QStringLiteral("Note"));
    note_->setWordWrap(true);
    note_->hide();
    static_cast<QVBoxLayout*>(tabs_->widget(0)->layout())->insertWidget(0, note_);
    outer->addWidget(tabs_, 1);

    auto* buttons = new QHBoxLayout;
    sendCurve_ = new QPushButton(QStringLiteral("グラフへ送る"), this);
    sendCurve_->setObjectName(QStringLiteral("SendCurve"));
    sendCurve_->setToolTip(
        QStringLiteral("選んだグループ間の離隔の時間変化をグラフ画面に送ります。"));
    connect(sendCurve_, &QPushButton::clicked, this, [this] {
        const QModelIndex i = clearanceProxy_->mapToSource(clearanceTable_->currentIndex());
        if (i.isValid())
            sendClearanceCurve(clearanceModel_->item(i.row(), 0)->data(kIndexRole).toInt());
    });
    saveEnvelope_ = new QPushButton(QStringLiteral("包絡CSV保存..."), this);
    saveEnvelope_->setObjectName(QStringLiteral("SaveEnvelope"));
    saveEnvelope_->setToolTip(
        QStringLiteral("ケーブル上の節点ごとの変位の最大・最小と Y, Z 方向の全振幅を CSV "
                       "ファイルに保存します。"));
    connect(saveEnvelope_, &QPushButton::clicked, this, [this] { chooseEnvelopeFile(); });
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("Progress"));
    progress_->setRange(0, kProgressSteps);
    progress_->setTextVisible(false);
    progress_->hide();
    cancelButton_ = new QPushButton(QStringLiteral("中止"), this);
    cancelButton_->setObjectName(QStringLiteral("Cancel"));
    cancelButton_->hide();
    connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel_ = true; });
    close_ = new QPushButton(QStringLiteral("閉じる"), this);
    close_->setObjectName(QStringLiteral("Close"));
    connect(close_, &QPushButton::clicked, this, [this] { close(); });
    buttons->addWidget(sendCurve_);
    buttons->addWidget(saveEnvelope_);
    buttons->addStretch(1);
    buttons->addWidget(progress_, 2);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(close_);
    outer->addLayout(buttons);
    updateButtons();
}

QTableView* ResultsWindow::addTable(const QString& tab, const QString& name,
                                    QStandardItemModel*& model, QSortFilterProxyModel*& proxy) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* table = new QTableView(page);
    table->setObjectName(name);
    model = new QStandardItemModel(table);
    proxy = new QSortFilterProxyModel(table);
    proxy->setSourceModel(model);
    proxy->setSortRole(kSortRole);
    table->setModel(proxy);
    table->setSortingEnabled(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, table, proxy](const QModelIndex& current) {
                rowSelected(table, current.isValid() ? proxy->mapToSource(current).row() : -1);
            });
    layout->addWidget(table);
    tabs_->addTab(page, tab);
    return table;
}

ResultsWindow::Stamp ResultsWindow::stampOf() const {
    return {data_.NodeDisp.data(), data_.NodePos.data(), data_.TensionHist.data(),
            data_.CableMax,        data_.NodeMax,        data_.StepMax};
}

void ResultsWindow::fillBoxes() {
    const QString interval = intervalText_ ? intervalText_() : QStringLiteral("0.05");
    from_->setText(reportDefaultFromText());
    to_->setText(reportDefaultToText(data_, interval));
    try {
        defaultGroupsText_ = cableGroupsText(defaultCableGroups(data_));
    } catch (const std::exception&) {
        defaultGroupsText_.clear();  // no geometry: the report says so when run
    }
    groups_->setText(defaultGroupsText_);
    stamp_ = stampOf();
    boxesFilled_ = true;
}

void ResultsWindow::checkDataset() {
    if (running_ || !boxesFilled_ || stampOf() == stamp_) return;
    clearReport();
    fillBoxes();
}

void ResultsWindow::openFor(const Viewer& viewer) {
    if (running_) return;
    if (viewer_.showClearance) viewer_.showClearance(nullptr);
    for (QTableView* t : {clearanceTable_, tensionTable_, beamTable_}) {
        const QSignalBlocker block(t->selectionModel());
        t->selectionModel()->clear();
    }
    viewer_ = viewer;
    // A window of the viewer's own: it stays above it.
    if (viewer.window && parentWidget() != viewer.window) setParent(viewer.window, Qt::Window);
    checkDataset();
    if (!boxesFilled_) fillBoxes();
    updateButtons();
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    // Computed once the window is on screen, so its progress shows.
    if (!report_)
        QTimer::singleShot(0, this, [this] {
            if (!report_ && !running_ && isVisible()) compute();
        });
}

bool ResultsWindow::compute() {
    if (running_) return false;
    checkDataset();
    ReportRequest request;
    request.intervalText = intervalText_ ? intervalText_() : QStringLiteral("0.05");
    auto boxText = [](const QLineEdit* e) -> std::optional<QString> {
        const QString t = e->text().trimmed();
        if (t.isEmpty()) return std::nullopt;
        return t;
    };
    request.fromText = boxText(from_);
    request.toText = boxText(to_);
    const QString groups = groups_->text().trimmed();
    if (!groups.isEmpty() && groups != defaultGroupsText_) request.groupsText = groups;
    if (const auto t = boxText(threshold_)) {
        const auto v = num::strictValue(*t);
        if (!v || !std::isfinite(*v) || *v <= 0.0) {
            showMessage(kReportTitle,
                        QStringLiteral("離隔の判定基準には正の数（メートル）を入力してください。"));
            return false;
        }
        request.threshold = v;
    }

    ReportSetup setup;
    try {
        setup = prepareReport(data_, request);
    } catch (const QrnError& e) {
        showMessage(e.title(), e.message());
        return false;
    }
    std::optional<Report> fresh;
    if (!runLong([&](Progress& p) { fresh = computeReport(data_, setup, p); })) return false;
    if (viewer_.showClearance) viewer_.showClearance(nullptr);
    report_ = std::move(fresh);
    stamp_ = stampOf();
    showReport();
    return true;
}

void ResultsWindow::showReport() {
    const Report& rep = *report_;
    const ReportSetup& s = rep.setup;
    QString range = QStringLiteral("時間ステップ %1〜%2（%3〜%4 秒、%5 ステップ）　グループ:")
                        .arg(s.steps.first)
                        .arg(s.steps.last)
                        .arg(num::formatGeneralQ(s.timeOf(s.steps.first)),
                             num::formatGeneralQ(s.timeOf(s.steps.last)))
                        .arg(s.steps.count());
    for (int g = 0; g < static_cast<int>(s.groups.size()); ++g)
        range += QLatin1Char(' ') + groupText(s, g);
    if (s.defaultGroups) range += QStringLiteral("（既定）");
    range_->setText(range);
    note_->setText(rep.clearanceNote);
    note_->setVisible(!rep.clearanceNote.isEmpty());

    for (QTableView* t : {clearanceTable_, tensionTable_, beamTable_}) t->setSortingEnabled(false);

    QStringList headers = {QStringLiteral("グループA"),   QStringLiteral("グループB"),
                           QStringLiteral("最小離隔(m)"), QStringLiteral("ステップ"),
                           QStringLiteral("時間(s)"),     QStringLiteral("点A"),
                           QStringLiteral("点B")};
    if (s.threshold)
        headers << QStringLiteral("基準未満の時間(s)") << QStringLiteral("最初の基準未満ステップ")
                << QStringLiteral("判定");
    clearanceModel_->clear();
    clearanceModel_->setHorizontalHeaderLabels(headers);
    for (std::size_t i = 0; i < rep.clearances.size(); ++i) {
        const Clearance& c = rep.clearances[i];
        QList<QStandardItem*> row = {cell(groupText(s, c.groupA), c.groupA, false),
                                     cell(groupText(s, c.groupB), c.groupB, false),
                                     cell(metres(c.distance), c.distance),
                                     cell(c.step),
                                     cell(num::formatGeneralQ(c.time), c.time),
                                     pointCell(c.a),
                                     pointCell(c.b)};
        if (s.threshold) {
            row << cell(num::formatGeneralQ(c.belowTime), c.belowTime)
                << (c.firstBelowStep ? cell(*c.firstBelowStep)
                                     : cell(QStringLiteral("—"), 1e300, true))
                << cell(c.pass ? QStringLiteral("OK") : QStringLiteral("NG"), c.pass ? 1 : 0,
                        false);
        }
        row[0]->setData(static_cast<int>(i), kIndexRole);
        clearanceModel_->appendRow(row);
    }

    tensionModel_->clear();
    const QStringList th = QStringList{QStringLiteral("記録"), QStringLiteral("要素")} +
                           peakHeaders(QStringLiteral("(kg)"));
    tensionModel_->setHorizontalHeaderLabels(th);
    for (std::size_t i = 0; i < rep.tensions.size(); ++i) {
        const TensionPeak& t = rep.tensions[i];
        QList<QStandardItem*> row = {cell(t.record), cell(t.element)};
        row << peakCells(s, t.peak);
        row[0]->setData(static_cast<int>(i), kIndexRole);
        tensionModel_->appendRow(row);
    }

    beamModel_->clear();
    beamModel_->setHorizontalHeaderLabels(
        QStringList{QStringLiteral("記録"), QStringLiteral("要素"), QStringLiteral("成分")} +
        peakHeaders(QString()));
    for (std::size_t i = 0; i < rep.beams.size(); ++i) {
        const BeamPeak& b = rep.beams[i];
        QList<QStandardItem*> row = {cell(b.record), cell(b.element), cell(b.component)};
        row << peakCells(s, b.peak);
        row[0]->setData(static_cast<int>(i), kIndexRole);
        beamModel_->appendRow(row);
    }

    for (QTableView* t : {clearanceTable_, tensionTable_, beamTable_}) {
        t->setSortingEnabled(true);
        t->resizeColumnsToContents();
    }
    // Clearances smallest first, the others by record.
    clearanceTable_->sortByColumn(2, Qt::AscendingOrder);
    tensionTable_->sortByColumn(0, Qt::AscendingOrder);
    beamTable_->sortByColumn(0, Qt::AscendingOrder);
    showCounts();
    updateButtons();
}

void ResultsWindow::clearReport() {
    if (viewer_.showClearance) viewer_.showClearance(nullptr);
    report_.reset();
    for (QStandardItemModel* m : {clearanceModel_, tensionModel_, beamModel_}) m->clear();
    range_->setText(kNoReport);
    note_->clear();
    note_->hide();
    showCounts();
    updateButtons();
}

// The tabs say how many rows each list has.
void ResultsWindow::showCounts() {
    const auto title = [](const QString& name, std::size_t rows) {
        return rows ? QStringLiteral("%1（%2）").arg(name).arg(rows) : name;
    };
    tabs_->setTabText(0,
                      title(QStringLiteral("相間離隔"), report_ ? report_->clearances.size() : 0));
    tabs_->setTabText(1, title(QStringLiteral("張力"), report_ ? report_->tensions.size() : 0));
    tabs_->setTabText(2, title(QStringLiteral("梁の結果"), report_ ? report_->beams.size() : 0));
}

void ResultsWindow::rowSelected(QTableView* table, int sourceRow) {
    updateButtons();
    if (running_) return;
    if (table == clearanceTable_ && sourceRow < 0 && viewer_.showClearance)
        viewer_.showClearance(nullptr);
    if (sourceRow < 0 || !report_) return;
    checkDataset();
    if (!report_) return;
    // One row is selected in the whole window: the others' selection goes.
    for (QTableView* t : {clearanceTable_, tensionTable_, beamTable_}) {
        if (t == table) continue;
        t->selectionModel()->clearSelection();
        t->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    QStandardItemModel* model = table == clearanceTable_ ? clearanceModel_
                                : table == tensionTable_ ? tensionModel_
                                                         : beamModel_;
    const auto i = static_cast<std::size_t>(model->item(sourceRow, 0)->data(kIndexRole).toInt());
    const Report& rep = *report_;
    if (table == clearanceTable_) {
        const Clearance& c = rep.clearances[i];
        if (viewer_.showClearance) viewer_.showClearance(&c);
        if (viewer_.showStep) viewer_.showStep(static_cast<int>(c.step));
    } else if (table == tensionTable_) {
        const TensionPeak& t = rep.tensions[i];
        if (viewer_.selectTension) viewer_.selectTension(t.record);
        if (viewer_.showStep) viewer_.showStep(static_cast<int>(t.peak.maxStep));
    } else {
        // A beam result at its largest magnitude.
        const Peak& p = rep.beams[i].peak;
        const bool maxWins = std::abs(std::int64_t{p.max}) >= std::abs(std::int64_t{p.min});
        if (viewer_.showStep) viewer_.showStep(static_cast<int>(maxWins ? p.maxStep : p.minStep));
    }
}

void ResultsWindow::updateButtons() {
    const bool curveWanted =
        isSignalConnected(QMetaMethod::fromSignal(&ResultsWindow::clearanceCurveRequested));
    sendCurve_->setVisible(curveWanted);
    sendCurve_->setEnabled(report_ && clearanceTable_->currentIndex().isValid());
    saveEnvelope_->setEnabled(report_.has_value());
}

bool ResultsWindow::sendClearanceCurve(int index) {
    checkDataset();
    if (running_ || !report_ || index < 0 || index >= static_cast<int>(report_->clearances.size()))
        return false;
    const ReportSetup setup = report_->setup;
    const Clearance c = report_->clearances[static_cast<std::size_t>(index)];
    ClearanceSeries series;
    if (!runLong(
            [&](Progress& p) { series = clearanceSeries(data_, setup, c.groupA, c.groupB, p); }))
        return false;
    QVector<double> times, values;
    for (std::size_t i = 0; i < series.distance.size(); ++i) {
        times << setup.timeOf(series.steps.first + static_cast<std::int64_t>(i));
        values << series.distance[i];
    }
    emit clearanceCurveRequested(QStringLiteral("相間離隔 G%1–G%2 (m)").arg(c.groupA).arg(c.groupB),
                                 times, values);
    return true;
}

void ResultsWindow::chooseEnvelopeFile() {
    if (!report_) return;
    const QString start = QDir(data_.DirPath.isEmpty() ? QDir::currentPath() : data_.DirPath)
                              .filePath(QStringLiteral("envelope.csv"));
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("包絡をCSVファイルに保存"), start,
                                     QStringLiteral("CSV ファイル (*.csv);;すべてのファイル (*)"),
                                     nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) saveEnvelopeCsv(path);
}

bool ResultsWindow::saveEnvelopeCsv(const QString& path) {
    if (!report_ || running_) return false;
    if (QFileInfo::exists(path) &&
        !ask(kReportTitle, QStringLiteral("%1 は既に存在します。\n上書きしますか？")
                               .arg(QFileInfo(path).fileName())))
        return false;
    try {
        writeEnvelopeCsv(*report_, path);
    } catch (const QrnError& e) {
        showMessage(e.title(), e.message());
        return false;
    }
    return true;
}

bool ResultsWindow::runLong(const std::function<void(Progress&)>& work) {
    running_ = true;
    cancel_ = false;
    for (QWidget* w : {static_cast<QWidget*>(inputs_), static_cast<QWidget*>(tabs_),
                       static_cast<QWidget*>(sendCurve_), static_cast<QWidget*>(saveEnvelope_),
                       static_cast<QWidget*>(close_)})
        w->setEnabled(false);
    progress_->setValue(0);
    progress_->show();
    cancelButton_->show();
    // While it runs no other window takes input: a read must not replace the
    // dataset under the worker.
    qApp->installEventFilter(this);

    WorkerProgress progress(cancel_);
    std::exception_ptr error;
    std::atomic<bool> done{false};
    QEventLoop loop;
    auto body = [&] {
        try {
            work(progress);
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    };
    std::thread worker;
    try {
        worker = std::thread(body);
    } catch (const std::system_error&) {
        body();  // no thread to be had: run here, without progress
    }
    QTimer poll;
    poll.setInterval(kPollMs);
    connect(&poll, &QTimer::timeout, this,
            [&] { progress_->setValue(static_cast<int>(progress.fraction() * kProgressSteps)); });
    poll.start();
    if (!done) loop.exec();
    if (!done) cancel_ = true;  // the event loops are ending (the program quits)
    if (worker.joinable()) worker.join();
    poll.stop();

    qApp->removeEventFilter(this);
    running_ = false;
    for (QWidget* w : {static_cast<QWidget*>(inputs_), static_cast<QWidget*>(tabs_),
                       static_cast<QWidget*>(saveEnvelope_), static_cast<QWidget*>(close_)})
        w->setEnabled(true);
    progress_->hide();
    cancelButton_->hide();
    updateButtons();

    for (const auto& [title, text] : progress.takeMessages()) showMessage(title, text);
    if (!error) return true;
    try {
        std::rethrow_exception(error);
    } catch (const Cancelled&) {
    } catch (const QrnError& e) {
        showMessage(e.title(), e.message());
    } catch (const std::bad_alloc&) {
        showMessage(kReportTitle, QStringLiteral("メモリーが不足したため、集計を中止しました。"));
    } catch (const std::exception& e) {
        showMessage(kReportTitle, QStringLiteral("集計中にエラーが発生したため、中止しました。") +
                                      QLatin1Char('\n') + QString::fromLocal8Bit(e.what()));
    }
    return false;
}

bool ResultsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (!running_) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::TouchBegin:
        case QEvent::DragEnter:
        case QEvent::Drop:
        case QEvent::Close:
            break;
        default:
            return false;
    }
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() == this) return false;
    event->ignore();
    return true;
}

void ResultsWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        cancel_ = true;
        event->ignore();
        return;
    }
    for (QTableView* t : {clearanceTable_, tensionTable_, beamTable_}) {
        const QSignalBlocker block(t->selectionModel());
        t->selectionModel()->clear();
    }
    // Only a shown window has a line in the viewer; a hidden one may outlive it.
    if (isVisible() && viewer_.showClearance) viewer_.showClearance(nullptr);
    updateButtons();
    event->accept();
}

void ResultsWindow::showMessage(const QString& title, const QString& text) {
    if (messageSink) {
        messageSink(title, text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box.exec();
}

bool ResultsWindow::ask(const QString& title, const QString& text) {
    if (questionSink) return questionSink(title, text);
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
    box.setDefaultButton(box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace qrn
