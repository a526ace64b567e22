#include "app/mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QVBoxLayout>

#include "dataset/numbers.h"
#include "files/datafile.h"
#include "readers/readsequence.h"

namespace qrn {

QString nativeSep() { return QString(QDir::separator()); }

QString withTrailingSep(const QString& path) {
    QString p = QDir::toNativeSeparators(path);
    if (!p.endsWith(nativeSep())) p += nativeSep();
    return p;
}

namespace {

struct ModeRow {
    const char16_t* caption;
    const char16_t* tip;
    const char* pattern;
};

const ModeRow kModes[8] = {
    {u"Quarn出力DT読込", u"HISﾌｧｲﾙと設定(st.dat)ﾌｱｲﾙから3D画像を作成します。", "*.his"},
    {u"ﾊﾞｲﾅﾘ保管DT読込", u"ﾊﾞｲﾅﾘ形式で保存されたファイルを高速で読み出します。", "*.qrn*"},
    {u"読込DTﾊﾞｲﾅﾘ保存",
     u"先に読み込まれたデータをﾊﾞｲﾅﾘ形式に圧縮して保存します。データアクセス速度も大幅に向上します"
     u"。",
     "*.qrn*"},
    {u"CSVﾌｧｲﾙの出力", u"先に読み込まれたデータをCSV形式で保存します。", "*.csv"},
    {u"初期設定条件確認", u"初期設定ﾌｧｲﾙ(st.dat)だけで、描画します。", "*.dat"},
    {u"QuarnProTextDT読込", u"HISﾌｧｲﾙと設定(st.dat)ﾌｱｲﾙから3D画像を作成します。", "*.f24"},
    {u"QuarnProBinryDT読込", u"HISﾌｧｲﾙと設定(st.dat)ﾌｱｲﾙから3D画像を作成します。", "*.f08"},
    {u"Pro初期設定条件確認", u"初期設定ﾌｧｲﾙ(st.dat)だけで、描画します。", "*.dat"},
};

QString qs(const char16_t* s) { return QString::fromUtf16(s); }

// Translates a "desc|pattern|desc|pattern|" filter list into Qt's ";;" form.
QString qtFilter(const QString& vbFilter) {
    const QStringList parts = vbFilter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& desc = parts[i];
        const QString& pat = parts[i + 1];
        out << (desc.contains(QLatin1Char('(') + pat + QLatin1Char(')'))
                    ? desc
                    : desc + QStringLiteral(" (") + pat + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

}  // namespace

MainWindow::MainWindow(Dataset& data, QWidget* parent) : QMainWindow(parent), data_(data) {
    buildUi();
    applyWorkMode(ReadHis);
    fillDriveList();
    setFolder(QCoreApplication::applicationDirPath());
    setAcceptDrops(true);
}

MainWindow::~MainWindow() {
    if (busy_) QApplication::restoreOverrideCursor();
}

void MainWindow::buildUi() {
    setWindowTitle(QStringLiteral("qrnview  電線動揺解析結果 ３Ｄ表示・変換ソフト"));
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* grid = new QGridLayout(central);

    // Left: drive and folder lists; right: file list.
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("ドライブ")));
    Drive1 = new QComboBox;
    Drive1->setObjectName(QStringLiteral("Drive1"));
    left->addWidget(Drive1);
    left->addWidget(new QLabel(QStringLiteral("ディレクトリー")));
    Dir1 = new QListWidget;
    Dir1->setObjectName(QStringLiteral("Dir1"));
    left->addWidget(Dir1, 1);
    grid->addLayout(left, 0, 0);

    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(QStringLiteral("ファイル")));
    File1 = new QListWidget;
    File1->setObjectName(QStringLiteral("File1"));
    right->addWidget(File1, 1);
    grid->addLayout(right, 0, 1);

    // Boxes.
    auto* boxes = new QGridLayout;
    int row = 0;
    boxes->addWidget(new QLabel(QStringLiteral("選択ファイル名")), row, 0);
    Label1 = new QLabel;
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFrameShape(QFrame::StyledPanel);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    boxes->addWidget(Label1, row, 1, 1, 2);
    ++row;
    Label11 = new QLabel(QStringLiteral("初期設定ファイル名"));
    boxes->addWidget(Label11, row, 0);
    Text5 = new QLineEdit;
    Text5->setObjectName(QStringLiteral("Text5"));
    boxes->addWidget(Text5, row, 1);
    Command2[0] = new QPushButton(QStringLiteral("参照"));
    boxes->addWidget(Command2[0], row, 2);
    ++row;
    Check1 = new QCheckBox(QStringLiteral("静的釣合条件ＤＴ(時間断面ファイル)読込"));
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setToolTip(
        QStringLiteral("スペーサ等の影響により設定条件と静的釣り合い条件がことにるとき、釣り合い条"
                       "件を読み込み補正します。"));
    boxes->addWidget(Check1, row, 0, 1, 3);
    ++row;
    Text2 = new QLineEdit;
    Text2->setObjectName(QStringLiteral("Text2"));
    boxes->addWidget(Text2, row, 1);
    Command2[1] = new QPushButton(QStringLiteral("参照"));
    boxes->addWidget(Command2[1], row, 2);
    ++row;
    boxes->addWidget(new QLabel(QStringLiteral("解析時間")), row, 0);
    auto* interval = new QHBoxLayout;
    Text1 = new QLineEdit(QStringLiteral("0.05"));
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setToolTip(QStringLiteral("QUARNで設定した計算間隔を指定します。"));
    Text1->setMaximumWidth(120);
    interval->addWidget(Text1);
    interval->addWidget(new QLabel(QStringLiteral("mS")));
    interval->addStretch(1);
    boxes->addLayout(interval, row, 1);
    boxes->setColumnStretch(1, 1);
    grid->addLayout(boxes, 1, 0, 1, 2);

    // Work modes and display modes.
    auto* modes = new QGroupBox(QStringLiteral("作業内容"));
    auto* modeGrid = new QGridLayout(modes);
    for (int i = 0; i < 8; ++i) {
        Option1[static_cast<std::size_t>(i)] = new QRadioButton(qs(kModes[i].caption));
        auto* b = Option1[static_cast<std::size_t>(i)];
        b->setObjectName(QStringLiteral("Option1_%1").arg(i));
        b->setToolTip(qs(kModes[i].tip));
        modeGrid->addWidget(b, i % 4, i / 4);
        connect(b, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) applyWorkMode(i);
        });
    }
    auto* display = new QGroupBox(QStringLiteral("画像表示モード"));
    auto* displayBox = new QVBoxLayout(display);
    Option2[0] = new QRadioButton(QStringLiteral("ノーマル"));
    Option2[1] = new QRadioButton(QStringLiteral("リアル"));
    Option2[0]->setObjectName(QStringLiteral("Option2_0"));
    Option2[1]->setObjectName(QStringLiteral("Option2_1"));
    displayBox->addWidget(Option2[0]);
    displayBox->addWidget(Option2[1]);
    displayBox->addStretch(1);
    Option2[1]->setChecked(true);
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(modes, 1);
    modeRow->addWidget(display);
    grid->addLayout(modeRow, 2, 0, 1, 2);

    // Execute, end, busy state.
    auto* bottom = new QHBoxLayout;
    Label10 = new QLabel(QStringLiteral("データ解析中"));
    Label10->setObjectName(QStringLiteral("Label10"));
    Label10->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    Label10->hide();
    bottom->addWidget(Label10);
    ProgressBar = new QProgressBar;
    ProgressBar->setRange(0, 1000);
    ProgressBar->setTextVisible(false);
    ProgressBar->hide();
    bottom->addWidget(ProgressBar, 1);
    bottom->addStretch(0);
    Command1 = new QPushButton(QStringLiteral("実 行"));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("データ処理を開始します。"));
    Command1->setEnabled(false);
    Command1->setDefault(true);
    bottom->addWidget(Command1);
    Command10 = new QPushButton(QStringLiteral("終 了"));
    Command10->setObjectName(QStringLiteral("Command10"));
    Command10->setToolTip(QStringLiteral("ソフトを終了します。"));
    bottom->addWidget(Command10);
    grid->addLayout(bottom, 3, 0, 1, 2);
    grid->setRowStretch(0, 1);

    Option1[ReadHis]->setChecked(true);
    Option1[SaveBinary]->setEnabled(false);
    Option1[ExportCsv]->setEnabled(false);
    Text2->hide();
    Command2[1]->hide();

    connect(Drive1, &QComboBox::activated, this, &MainWindow::driveChanged);
    connect(Dir1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setFolder(item->data(Qt::UserRole).toString()); });
    connect(File1, &QListWidget::itemSelectionChanged, this, [this] {
        const auto items = File1->selectedItems();
        if (!items.isEmpty()) clickFile(items.first()->text());
    });
    connect(File1, &QListWidget::itemActivated, this, &MainWindow::fileActivated);
    connect(Check1, &QCheckBox::toggled, this, [this](bool on) {
        Text2->setVisible(on);
        Command2[1]->setVisible(on);
        DataReady_ = false;
    });
    connect(Text2, &QLineEdit::textChanged, this, [this] { DataReady_ = false; });
    connect(Text1, &QLineEdit::textChanged, this, &MainWindow::intervalRule);
    connect(Text5, &QLineEdit::textChanged, this, &MainWindow::outputNameRule);
    connect(Command2[0], &QPushButton::clicked, this, &MainWindow::browseSettings);
    connect(Command2[1], &QPushButton::clicked, this, &MainWindow::browseSection);
    connect(Command1, &QPushButton::clicked, this, &MainWindow::execute);
    connect(Command10, &QPushButton::clicked, this, [] { QApplication::quit(); });
    resize(720, 560);
}

void MainWindow::showAbout() {
    const QString cr(QChar(u'\r'));
    const QString text =
        QStringLiteral(
            "このソフトは、quarnで計算された電線移動データを、３Ｄ画像処理したり、バイナリやＣＳＶ"
            "形式のファイルに変換するソフトです。") +
        cr +
        QStringLiteral(
            "処理に必要なデータは、quarnの出力データ *.HIS ファイルと、初期設定情報の st.dat "
            "(ﾌｧｲﾙ名は変更可能)です。") +
        cr +
        QStringLiteral(
            "データの読み込みが終了すると、３Ｄ画像シミュレーション画面になります。データの保存等を"
            "行う場合は「前画面」に戻って処理を続けてください。") +
        cr +
        QStringLiteral(
            "バイナリ形式でﾌｧｲﾙを保存するとﾌｧｲﾙ領域が大幅に圧縮され、ファイルアクセス速度も大幅に向"
            "上します。CSV形式で保存するとExcel等で読み込むことが可能となります。") +
        cr +
        QStringLiteral(
            "バイナリ形式で保存されたデータは、３Ｄ画像処理やCSVﾌｧｲﾙへの変換が可能ですが、CSV形式か"
            "らはこれらの処理ができません。") +
        cr + cr + QStringLiteral("本ソフトは qrnview 開発チームが作成しました。") + cr +
        QStringLiteral(
            "ソフトに関するお問い合わせは qrnview-support@example.com までお願いします。");
    message(QStringLiteral("ソフトウェアについて"), text);
}

int MainWindow::workMode() const {
    for (int i = 0; i < 8; ++i)
        if (Option1[static_cast<std::size_t>(i)]->isChecked()) return i;
    return ReadHis;
}

int MainWindow::displayMode() const { return Option2[1]->isChecked() ? 1 : 0; }

QString MainWindow::selectedFileName() const {
    const auto items = File1->selectedItems();
    return items.isEmpty() ? QString() : items.first()->text();
}

QStringList MainWindow::listedFiles() const {
    QStringList names;
    for (int i = 0; i < File1->count(); ++i) names << File1->item(i)->text();
    return names;
}

QString MainWindow::selectedPath() const { return Label1->text(); }
QString MainWindow::settingsText() const { return Text5->text(); }
QString MainWindow::settingsCaption() const { return Label11->text(); }
bool MainWindow::settingsShown() const { return !Label11->isHidden() && !Text5->isHidden(); }
bool MainWindow::settingsBrowseShown() const { return !Command2[0]->isHidden(); }
bool MainWindow::sectionOffered() const { return !Check1->isHidden(); }
bool MainWindow::sectionChecked() const { return Check1->isChecked(); }
QString MainWindow::sectionPath() const { return Text2->text(); }
bool MainWindow::sectionPathShown() const { return !Text2->isHidden(); }
bool MainWindow::sectionBrowseShown() const { return !Command2[1]->isHidden(); }
QString MainWindow::intervalText() const { return Text1->text(); }
bool MainWindow::executeEnabled() const { return Command1->isEnabled(); }
bool MainWindow::busyShown() const { return !Label10->isHidden(); }
QString MainWindow::busyCaption() const { return Label10->text(); }

bool MainWindow::workModeEnabled(int mode) const {
    return mode >= 0 && mode < 8 && Option1[static_cast<std::size_t>(mode)]->isEnabled();
}

QString MainWindow::workModeCaption(int mode) const {
    return mode >= 0 && mode < 8 ? Option1[static_cast<std::size_t>(mode)]->text() : QString();
}

void MainWindow::setSettingsText(const QString& text) { Text5->setText(text); }
void MainWindow::setSectionChecked(bool checked) { Check1->setChecked(checked); }
void MainWindow::setSectionPath(const QString& text) { Text2->setText(text); }
void MainWindow::setIntervalText(const QString& text) { Text1->setText(text); }

void MainWindow::selectWorkMode(int mode) {
    if (mode < 0 || mode > 7) return;
    Option1[static_cast<std::size_t>(mode)]->setChecked(true);
}

void MainWindow::applyWorkMode(int mode) {
    File1->setEnabled(true);
    filePattern_ = QString::fromLatin1(kModes[mode].pattern);
    refreshFileList();
    struct Row {
        bool label11, check1Shown, checked, cmd0, cmd1, emptyText5;
        const char16_t* caption;
    };
    static const Row rows[8] = {
        {true, true, false, true, false, false, u"初期設定ファイル名"},
        {false, false, false, false, false, false, nullptr},
        {true, false, false, false, false, true, u"出力ファイル名"},
        {true, false, false, false, false, true, u"出力ファイル名"},
        {false, true, false, false, false, false, nullptr},
        {true, true, true, true, true, false, u"初期設定ファイル名"},
        {true, true, true, true, true, false, u"初期設定ファイル名"},
        {false, true, false, false, false, false, nullptr},
    };
    const Row& r = rows[mode];
    Label11->setVisible(r.label11);
    Text5->setVisible(r.label11);
    if (r.caption) Label11->setText(qs(r.caption));
    if (r.emptyText5) Text5->clear();
    Check1->setVisible(r.check1Shown);
    if (r.check1Shown) {
        Check1->setEnabled(true);
        Check1->setChecked(r.checked);
    }
    Command2[0]->setVisible(r.cmd0);
    Command2[1]->setVisible(r.cmd1);
}

void MainWindow::fillDriveList() {
    const QSignalBlocker block(Drive1);
    Drive1->clear();
#ifdef Q_OS_WIN
    for (const QFileInfo& d : QDir::drives())
        Drive1->addItem(QDir::toNativeSeparators(d.absolutePath()).left(2).toLower(),
                        d.absolutePath());
#else
    QStringList roots;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady()) continue;
        const QString root = v.rootPath();
        if (root.startsWith(QStringLiteral("/proc")) || root.startsWith(QStringLiteral("/sys")) ||
            root.startsWith(QStringLiteral("/dev")) || root.startsWith(QStringLiteral("/run")))
            continue;
        if (!roots.contains(root)) roots << root;
    }
    if (!roots.contains(QStringLiteral("/"))) roots.prepend(QStringLiteral("/"));
    roots.sort();
    for (const QString& r : roots) Drive1->addItem(r, r);
#endif
}

void MainWindow::driveChanged(int index) {
    const QString root = Drive1->itemData(index).toString();
    if (!QDir(root).exists()) {
        // A drive that is not ready: stay where we were.
        fillDriveList();
        setFolder(folder_);
        return;
    }
    setFolder(root);
    Command1->setEnabled(false);
}

void MainWindow::setFolder(const QString& path) {
    const QDir dir(path);
    if (!dir.exists()) return;
    folder_ = QDir::toNativeSeparators(dir.canonicalPath());
    data_.DirPath = withTrailingSep(folder_);
    // Keep the drive list on the drive holding the folder.
    {
        const QSignalBlocker block(Drive1);
        int best = -1;
        qsizetype bestLen = -1;
        const QString canon = QDir::fromNativeSeparators(folder_);
        for (int i = 0; i < Drive1->count(); ++i) {
            const QString root = QDir::fromNativeSeparators(Drive1->itemData(i).toString());
            if (canon.startsWith(root, Qt::CaseInsensitive) && root.size() > bestLen) {
                best = i;
                bestLen = root.size();
            }
        }
        if (best >= 0) Drive1->setCurrentIndex(best);
    }
    fillFolderList();
    refreshFileList();
    Command1->setEnabled(false);
}

void MainWindow::fillFolderList() {
    Dir1->clear();
    // The path from the root down to the current folder, then its subfolders.
    QStringList chain;
    QDir d(QDir::fromNativeSeparators(folder_));
    chain.prepend(d.absolutePath());
    while (d.cdUp()) chain.prepend(d.absolutePath());
    int depth = 0;
    for (const QString& p : chain) {
        QString name = QFileInfo(p).fileName();
        if (name.isEmpty()) name = QDir::toNativeSeparators(p);
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, Dir1);
        item->setData(Qt::UserRole, p);
        ++depth;
    }
    Dir1->setCurrentRow(Dir1->count() - 1);
    const QDir cur(QDir::fromNativeSeparators(folder_));
    for (const QString& sub :
         cur.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + sub, Dir1);
        item->setData(Qt::UserRole, cur.filePath(sub));
    }
}

void MainWindow::refreshFileList() {
    const QSignalBlocker block(File1);
    File1->clear();
    if (folder_.isEmpty()) return;
    const QDir cur(QDir::fromNativeSeparators(folder_));
    const QStringList names =
        cur.entryList(QStringList{filePattern_}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    File1->addItems(names);
}

bool MainWindow::clickFile(const QString& name) {
    const auto found = File1->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    {
        const QSignalBlocker block(File1);
        File1->setCurrentItem(found.first());
        found.first()->setSelected(true);
    }
    const QString sep = nativeSep();
    const QString label = folder_.endsWith(sep) ? folder_ + name : folder_ + sep + name;
    Label1->setText(label);
    const QString dir = label.left(label.lastIndexOf(sep) + 1);
    switch (workMode()) {
        case ReadHis:
            Text5->setText(dir + QStringLiteral("st.dat"));
            Text2->setText(dir + QStringLiteral("tmp") + sep + QStringLiteral("sec.file"));
            break;
        case ReadProText:
        case ReadProBinary:
            Text5->setText(dir + QStringLiteral("self.dat"));
            Text2->setText(dir + QStringLiteral("self.f08"));
            break;
        case SaveBinary:
        case ExportCsv:
            Text5->setText(name);
            break;
        default:
            break;
    }
    Command1->setEnabled(true);
    DataReady_ = false;
    return true;
}

void MainWindow::fileActivated(QListWidgetItem* item) {
    if (!item) return;
    if (clickFile(item->text())) execute();
}

void MainWindow::selectFile(const QString& fullPath) {
    const QFileInfo fi(fullPath);
    if (!fi.isFile()) return;
    const std::optional<int> mode = workModeForName(fi.fileName());
    if (!mode) return;
    setFolder(fi.absolutePath());
    selectWorkMode(*mode);
    clickFile(fi.fileName());
}

void MainWindow::outputNameRule() {
    const int mode = workMode();
    if (mode != SaveBinary && mode != ExportCsv) return;
    const QString text = Text5->text();
    if (text.isEmpty()) {
        Command1->setEnabled(false);
        return;
    }
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? text : text.left(dot);
    Label1->setText(data_.DirPath + base +
                    (mode == SaveBinary ? QStringLiteral(".qrn3") : QStringLiteral(".csv")));
    Command1->setEnabled(true);
}

void MainWindow::intervalRule() {
    if (num::leadingValue(Text1->text()) == 0.0) Text1->setText(QStringLiteral("0.1"));
}

QString MainWindow::browse(const QString& filter, const QString& startPath) {
    const QString start = startPath.isEmpty() ? folder_ : QFileInfo(startPath).absolutePath();
    return QFileDialog::getOpenFileName(this, QString(), start, qtFilter(filter));
}

void MainWindow::browseSettings() {
    const QString path = browse(QStringLiteral("バッチ ファイル (st.dat)|st.dat|") +
                                    QStringLiteral("バッチ ファイル (*.dat)|*.dat|") +
                                    QStringLiteral("すべてのファイル (*.*)|*.*|"),
                                Text5->text());
    if (!path.isEmpty()) Text5->setText(QDir::toNativeSeparators(path));
}

void MainWindow::browseSection() {
    const QString path = browse(QStringLiteral("バッチ ファイル (sec.file)|sec.file|") +
                                    QStringLiteral("すべてのファイル (*.*)|*.*|"),
                                Text2->text());
    if (!path.isEmpty()) Text2->setText(QDir::toNativeSeparators(path));
}

void MainWindow::setCsvOpener(CsvOpener opener) {
    csvOpener_ = std::move(opener);
    Option1[ExportCsv]->setEnabled(saveExportEnabled_ && csvOpener_);
}

void MainWindow::execute() {
    if (busy_) return;  // a double-click during a run must not start a second one
    setBusyVisible(true);
    const int mode = workMode();
    switch (mode) {
        case LoadBinary: {
            LoadRequest req;
            req.path = Label1->text();
            req.selectedName = selectedFileName();
            req.dataReady = DataReady_;
            apply(DataLood(data_, req, *this).outcome);
            break;
        }
        case SaveBinary: {
            SaveRequest req;
            req.outputPath = Label1->text();
            req.outputText = Text5->text();
            req.selectedName = selectedFileName();
            req.dirPath = data_.DirPath;
            req.intervalText = Text1->text();
            apply(DataSave(data_, req, *this).outcome);
            break;
        }
        case ExportCsv:
            if (csvOpener_) csvOpener_();
            DataReady_ = true;
            break;
        default:
            if (DataReady_) {
                setBusyVisible(false);
                openViewer(true);
                break;
            }
            {
                ReadRequest req;
                req.mode = mode;
                req.selectedPath = Label1->text();
                req.settingsPath = Text5->text();
                req.sectionChecked = Check1->isChecked();
                req.sectionPath = Text2->text();
                req.intervalText = Text1->text();
                req.memoryLimit = memoryLimit_;
                apply(ReadAnalysis(data_, req, *this).outcome);
            }
            break;
    }
    setBusyVisible(false);
}

void MainWindow::apply(const WindowOutcome& o) {
    if (o.settingsText) Text5->setText(*o.settingsText);
    if (o.intervalText) Text1->setText(*o.intervalText);
    if (o.saveExportAllowed) setSaveExportEnabled(*o.saveExportAllowed);
    if (o.dataReady) DataReady_ = *o.dataReady;
    if (o.sectionUnticked) Check1->setChecked(false);
    if (o.refreshFileList) refreshFileList();
    setBusyVisible(false);
    if (o.openViewer) openViewer(o.resetViewerTime);
    for (const Notice& n : o.notices) message(n.title, n.text);
}

// --- Progress ---

void MainWindow::message(const QString& title, const QString& text) {
    if (messageSink_) {
        messageSink_(title, text);
        return;
    }
    QString shown = text;
    shown.replace(QChar(u'\r'), QChar(u'\n'));
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::NoIcon, title, shown, QMessageBox::Ok, this);
    box.exec();
    if (busy_) QApplication::restoreOverrideCursor();
}

void MainWindow::stage(const QString& caption) {
    Label10->setText(caption);
    setBusyVisible(true);
    // Let the window repaint once before the work starts.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::progress(double fraction) {
    // Repaint a few times a second; user input stays queued until the read ends.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastPaintMs_ < 100) return;
    lastPaintMs_ = now;
    if (!ProgressBar->isVisible()) ProgressBar->show();
    ProgressBar->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000.0));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::setBusyVisible(bool visible) {
    Label10->setVisible(visible);
    if (visible && !busy_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        busy_ = true;
    } else if (!visible && busy_) {
        QApplication::restoreOverrideCursor();
        busy_ = false;
        ProgressBar->hide();
    }
}

void MainWindow::setSaveExportEnabled(bool enabled) {
    saveExportEnabled_ = enabled;
    Option1[SaveBinary]->setEnabled(enabled);
    Option1[ExportCsv]->setEnabled(enabled && csvOpener_);
}

void MainWindow::openViewer(bool resetTime) {
    if (viewerOpener_) viewerOpener_(displayMode(), resetTime);
}

// --- events ---

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    QApplication::quit();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const auto urls = event->mimeData()->urls();
    if (!busy_ && urls.size() == 1 && urls.first().isLocalFile() &&
        workModeForName(urls.first().toLocalFile()))
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const auto urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return;
    selectFile(urls.first().toLocalFile());
    event->acceptProposedAction();
}

}  // namespace qrn
