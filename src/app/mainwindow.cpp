#include "app/mainwindow.h"

#include <QAction>
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
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "files/datafile.h"
#include "files/xdmf/xdmfexport.h"
#include "readers/readsequence.h"
#include "widgets/overwrite.h"

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

// Every kind of file the window reads, as the open dialog lists them.
const QString kOpenFilter = QStringLiteral(
    "読み込めるファイル (*.his *.f24 *.f08 *.dat *.qrn *.qrn0 *.qrn1 *.qrn2 *.qrn3);;"
    "Quarn出力データ (*.his);;"
    "QuarnPro出力データ (*.f24 *.f08);;"
    "初期設定ファイル (*.dat);;"
    "バイナリ保管データ (*.qrn *.qrn0 *.qrn1 *.qrn2 *.qrn3);;"
    "すべてのファイル (*)");
const QString kXdmfFilter = QStringLiteral("XDMF/HDF5 ファイル (*.xdmf)");
const QString kXdmfCompressedFilter = QStringLiteral("XDMF/HDF5 ファイル・gzip圧縮 (*.xdmf)");
const QString kXdmfTitle = QStringLiteral("XDMF/HDF5 出力");

// The settings group of this window; the viewers keep theirs under "viewer".
const QString kGroup = QStringLiteral("main");

bool isReadingMode(int mode) {
    return mode == ReadHis || mode == CheckSettings || mode == ReadProText ||
           mode == ReadProBinary || mode == CheckProSettings;
}

// Sizes as file managers show them: bytes below 1 KB, else whole KB rounded up.
QString sizeText(qint64 bytes) {
    const QLocale c = QLocale::c();
    if (bytes < 1024) return c.toString(bytes) + QStringLiteral(" B");
    return c.toString((bytes + 1023) / 1024) + QStringLiteral(" KB");
}

QString savedText(const QStringList& files) {
    QStringList shown;
    for (const QString& f : files) shown << QDir::toNativeSeparators(f);
    if (shown.size() > 2)
        return QStringLiteral("保存しました: %1 ほか %2 ファイル")
            .arg(shown.first())
            .arg(shown.size() - 1);
    return QStringLiteral("保存しました: ") + shown.join(QStringLiteral("、"));
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
    auto* outer = new QVBoxLayout(central);
    form_ = new QWidget;
    outer->addWidget(form_, 1);
    auto* grid = new QGridLayout(form_);
    grid->setContentsMargins(0, 0, 0, 0);

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
    File1 = new QTreeWidget;
    File1->setObjectName(QStringLiteral("File1"));
    File1->setColumnCount(3);
    File1->setHeaderLabels(
        {QStringLiteral("名前"), QStringLiteral("サイズ"), QStringLiteral("更新日時")});
    File1->setRootIsDecorated(false);
    File1->setUniformRowHeights(true);
    File1->setAllColumnsShowFocus(true);
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    File1->header()->setStretchLastSection(false);
    File1->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    File1->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    File1->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
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
    interval->addWidget(new QLabel(QStringLiteral("s")));
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
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(0, 2);

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
    abortButton_ = new QPushButton(QStringLiteral("中止"));
    abortButton_->setObjectName(QStringLiteral("abortButton"));
    abortButton_->setToolTip(QStringLiteral("読み込みや出力を中止します（Esc）。"));
    abortButton_->setShortcut(Qt::Key_Escape);
    abortButton_->hide();
    bottom->addWidget(abortButton_);
    bottom->addStretch(0);
    buttons_ = new QWidget;
    auto* buttonRow = new QHBoxLayout(buttons_);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(buttons_);
    Command1 = new QPushButton(QStringLiteral("実 行"));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("データ処理を開始します。"));
    Command1->setEnabled(false);
    Command1->setDefault(true);
    buttonRow->addWidget(Command1);
    Command10 = new QPushButton(QStringLiteral("終 了"));
    Command10->setObjectName(QStringLiteral("Command10"));
    Command10->setToolTip(QStringLiteral("ソフトを終了します。"));
    buttonRow->addWidget(Command10);
    outer->addLayout(bottom);
    grid->setRowStretch(0, 1);

    Option1[ReadHis]->setChecked(true);
    Option1[SaveBinary]->setEnabled(false);
    Option1[ExportCsv]->setEnabled(false);
    Text2->hide();
    Command2[1]->hide();

    connect(Drive1, &QComboBox::activated, this, &MainWindow::driveChanged);
    connect(Dir1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setFolder(item->data(Qt::UserRole).toString()); });
    connect(File1, &QTreeWidget::itemSelectionChanged, this, [this] {
        const auto items = File1->selectedItems();
        if (!items.isEmpty()) clickFile(items.first()->text(0));
    });
    connect(File1, &QTreeWidget::itemActivated, this, &MainWindow::fileActivated);
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
    connect(abortButton_, &QPushButton::clicked, this, &MainWindow::requestCancel);
    statusBar()->setSizeGripEnabled(false);
    buildMenu();
    resize(760, 580);
}

void MainWindow::buildMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    QAction* open = file->addAction(QStringLiteral("開く…"), this, &MainWindow::openFileDialog);
    open->setObjectName(QStringLiteral("openAction"));
    open->setShortcut(QKeySequence::Open);
    recentMenu_ = file->addMenu(QStringLiteral("最近使ったファイル"));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    fillRecentMenu();
    file->addSeparator();
    xdmfAction_ =
        file->addAction(QStringLiteral("XDMF/HDF5 出力…"), this, &MainWindow::exportXdmfDialog);
    xdmfAction_->setObjectName(QStringLiteral("xdmfAction"));
    xdmfAction_->setToolTip(QStringLiteral(
        "読み込んだデータを ParaView や Python で開ける HDF5 と XDMF に出力します。"));
    xdmfAction_->setEnabled(false);
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("終了"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->addAction(QStringLiteral("ソフトウェアについて"), this, &MainWindow::showAbout);
}

void MainWindow::showAbout() {
    // At start the box waits until the window manager has placed the window,
    // so that it opens centred on it.
    if (isVisible() && windowHandle() && !windowHandle()->isExposed() && aboutWaits_ < 40) {
        ++aboutWaits_;
        QTimer::singleShot(25, this, &MainWindow::showAbout);
        return;
    }
    aboutWaits_ = 0;
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
    return items.isEmpty() ? QString() : items.first()->text(0);
}

QStringList MainWindow::listedFiles() const {
    QStringList names;
    for (int i = 0; i < File1->topLevelItemCount(); ++i) names << File1->topLevelItem(i)->text(0);
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
bool MainWindow::cancelShown() const { return !abortButton_->isHidden(); }
bool MainWindow::xdmfExportEnabled() const { return xdmfAction_->isEnabled(); }
QString MainWindow::statusText() const { return statusBar()->currentMessage(); }

void MainWindow::showStatus(const QString& text) { statusBar()->showMessage(text); }
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

void MainWindow::selectDisplayMode(int mode) { Option2[mode == 0 ? 0 : 1]->setChecked(true); }

void MainWindow::applyWorkMode(int mode) {
    // Back from saving or exporting what is loaded to the mode it was read in:
    // the boxes show again what it was read from, so execute only shows it.
    const bool restore = (shownMode_ == SaveBinary || shownMode_ == ExportCsv) && loaded_ &&
                         loaded_->mode == mode &&
                         QFileInfo(loaded_->selectedPath).absoluteDir() == QDir(folder_);
    const bool ready = DataReady_;
    shownMode_ = mode;
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
    if (restore) {
        restoreSource();
        DataReady_ = ready;
    }
}

MainWindow::ReadSource MainWindow::currentSource() const {
    ReadSource s;
    s.mode = workMode();
    s.selectedPath = Label1->text();
    // A load takes only its file; the interval box then shows the file's own.
    if (s.mode == LoadBinary) return s;
    s.settingsPath = Text5->text();
    s.sectionChecked = Check1->isChecked();
    s.sectionPath = Text2->text();
    s.intervalText = Text1->text();
    return s;
}

void MainWindow::restoreSource() {
    const ReadSource& s = *loaded_;
    const QSignalBlocker b1(File1), b2(Check1), b3(Text2), b4(Text5);
    const auto found = File1->findItems(QFileInfo(s.selectedPath).fileName(), Qt::MatchExactly, 0);
    if (!found.isEmpty()) {
        File1->setCurrentItem(found.first());
        found.first()->setSelected(true);
    }
    Label1->setText(s.selectedPath);
    if (s.mode == LoadBinary) return;
    Text5->setText(s.settingsPath);
    Check1->setChecked(s.sectionChecked);
    Text2->setText(s.sectionPath);
    Text2->setVisible(s.sectionChecked);
    Command2[1]->setVisible(s.sectionChecked);
    Command1->setEnabled(true);
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
    const QFileInfoList files =
        cur.entryInfoList(QStringList{filePattern_}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& fi : files) {
        const QString date = fi.lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
        auto* item = new QTreeWidgetItem(File1, {fi.fileName(), sizeText(fi.size()), date});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(0, QStringLiteral("%1\n%2 バイト\n更新日時 %3")
                                .arg(fi.fileName(), QLocale::c().toString(fi.size()), date));
    }
}

bool MainWindow::clickFile(const QString& name) {
    const auto found = File1->findItems(name, Qt::MatchExactly, 0);
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

void MainWindow::fileActivated(QTreeWidgetItem* item) {
    if (!item || busy_) return;
    if (clickFile(item->text(0))) execute();
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

bool MainWindow::openFile(const QString& path) {
    const QFileInfo fi(path);
    const QString shown = QDir::toNativeSeparators(fi.absoluteFilePath());
    if (!fi.isFile()) {
        message(kReadErrorTitle, QStringLiteral("ファイル %1 がありません。").arg(shown));
        return false;
    }
    if (!workModeForName(fi.fileName())) {
        message(kReadErrorTitle,
                QStringLiteral("ファイル %1 は読み込める種類のファイルではありません。\r"
                               "読み込めるのは *.his、*.f24、*.f08、*.dat とバイナリ保管データ "
                               "(*.qrn、*.qrn0〜*.qrn3) です。")
                    .arg(shown));
        return false;
    }
    selectFile(fi.absoluteFilePath());
    return selectedFileName() == fi.fileName();
}

void MainWindow::openFileDialog() {
    if (busy_) return;
    QFileDialog dialog(this, QStringLiteral("開く"), QDir::fromNativeSeparators(folder_),
                       kOpenFilter);
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Wide enough for whole sizes, types and dates in the detail view.
    dialog.resize(std::max(dialog.width(), 900), std::max(dialog.height(), 540));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    if (!openFile(path)) return;
    Command1->setFocus(Qt::OtherFocusReason);
    showStatus(QStringLiteral("%1 を選びました。「実 行」で読み込みます。")
                   .arg(QFileInfo(path).fileName()));
}

void MainWindow::addRecent(const QString& path) {
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    recent_.removeIf([&](const QString& p) { return p.compare(native, cs) == 0; });
    recent_.prepend(native);
    while (recent_.size() > kRecentFiles) recent_.removeLast();
    fillRecentMenu();
    if (remembering_) {
        QSettings s;
        s.setValue(kGroup + QStringLiteral("/recentFiles"), recent_);
    }
}

void MainWindow::fillRecentMenu() {
    recentMenu_->clear();
    recentMenu_->setEnabled(!recent_.isEmpty());
    for (qsizetype i = 0; i < recent_.size(); ++i) {
        const QString path = recent_[i];
        QString label = path;
        label.replace(u'&', QStringLiteral("&&"));
        recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(label), this, [this, path] {
            if (busy_) return;
            if (openFile(path)) {
                Command1->setFocus(Qt::OtherFocusReason);
                return;
            }
            // Gone or renamed: it leaves the list.
            recent_.removeAll(path);
            fillRecentMenu();
            if (remembering_)
                QSettings().setValue(kGroup + QStringLiteral("/recentFiles"), recent_);
        });
    }
    if (!recent_.isEmpty()) {
        recentMenu_->addSeparator();
        recentMenu_->addAction(QStringLiteral("一覧を消去"), this, [this] {
            recent_.clear();
            fillRecentMenu();
            if (remembering_) QSettings().remove(kGroup + QStringLiteral("/recentFiles"));
        });
    }
}

void MainWindow::recallSettings() {
    QSettings s;
    s.beginGroup(kGroup);
    const QString folder = s.value(QStringLiteral("folder")).toString();
    if (!folder.isEmpty() && QDir(folder).exists()) setFolder(folder);
    const int mode = s.value(QStringLiteral("workMode"), ReadHis).toInt();
    // Saving and exporting need data: a session starts in a reading mode.
    if (mode == LoadBinary || isReadingMode(mode)) selectWorkMode(mode);
    selectDisplayMode(s.value(QStringLiteral("displayMode"), 1).toInt());
    const QByteArray geometry = s.value(QStringLiteral("geometry")).toByteArray();
    if (!geometry.isEmpty()) restoreGeometry(geometry);
    // Files this window opened already stay on top of the remembered ones.
    for (const QString& p : s.value(QStringLiteral("recentFiles")).toStringList())
        if (!p.isEmpty() && !recent_.contains(p) && recent_.size() < kRecentFiles) recent_ << p;
    fillRecentMenu();
    remembering_ = true;
}

void MainWindow::rememberSettings() const {
    QSettings s;
    s.beginGroup(kGroup);
    s.setValue(QStringLiteral("folder"), folder_);
    s.setValue(QStringLiteral("workMode"), workMode());
    s.setValue(QStringLiteral("displayMode"), displayMode());
    s.setValue(QStringLiteral("geometry"), saveGeometry());
    s.setValue(QStringLiteral("recentFiles"), recent_);
}

void MainWindow::execute() {
    if (busy_) return;  // a double-click during a run must not start a second one
    const int mode = workMode();
    switch (mode) {
        case LoadBinary: {
            LoadRequest req;
            req.path = Label1->text();
            req.selectedName = selectedFileName();
            req.dataReady = DataReady_ && loaded_ == currentSource();
            std::optional<LoadResult> r;
            runCancellable([&] { r = DataLood(data_, req, *this); });
            if (!r) break;  // stopped by "中止": the dataset is as it was
            const bool replaced = r->ready && !req.dataReady;
            if (replaced) datasetReplaced();
            apply(r->outcome);
            // What it was loaded from, as the boxes show it once the outcome is in them.
            if (replaced) loaded_ = currentSource();
            break;
        }
        case SaveBinary:
            saveBinary();
            break;
        case ExportCsv:
            exportCsv();
            break;
        default: {
            if (DataReady_ && loaded_ == currentSource()) {
                openViewer(true);
                break;
            }
            ReadRequest req;
            req.mode = mode;
            req.selectedPath = Label1->text();
            req.settingsPath = Text5->text();
            req.sectionChecked = Check1->isChecked();
            req.sectionPath = Text2->text();
            req.intervalText = Text1->text();
            req.memoryLimit = memoryLimit_;
            std::optional<ReadResult> r;
            const bool cancelled = runCancellable([&] { r = ReadAnalysis(data_, req, *this); });
            // A read stopped by "中止" may come back as a failure: say nothing.
            if (!r || (cancelled && !r->completed)) break;
            if (r->completed) datasetReplaced();
            apply(r->outcome);
            // What it was read from, as the boxes show it once the outcome is in them
            // (the interval of a binary history or a thinned read, a section unticked).
            if (r->completed) loaded_ = currentSource();
            break;
        }
    }
}

void MainWindow::datasetReplaced() {
    loaded_.reset();
    addRecent(Label1->text());
    if (datasetReplaced_) datasetReplaced_();
}

void MainWindow::saveBinary() {
    QStringList replaced{Label1->text()};
    // The selected file of the same name goes once the new one is written.
    const QString selected = selectedFileName();
    if (!selected.isEmpty() && Text5->text() == selected) replaced << data_.DirPath + selected;
    if (!confirmOverwrite(this, kAppTitle, replaced)) return;
    SaveRequest req;
    req.outputPath = Label1->text();
    req.outputText = Text5->text();
    req.selectedName = selected;
    req.dirPath = data_.DirPath;
    req.intervalText = Text1->text();
    setBusyVisible(true);
    const SaveResult r = DataSave(data_, req, *this);
    apply(r.outcome);
    if (r.saved) showStatus(savedText({req.outputPath}));
}

void MainWindow::exportCsv() {
    if (!csvOpener_) return;
    const QStringList written = csvOpener_();
    DataReady_ = true;
    if (written.isEmpty()) return;
    refreshFileList();
    showStatus(savedText(written));
}

void MainWindow::exportXdmfDialog() {
    if (busy_ || !xdmfAction_->isEnabled()) return;
    QFileDialog dialog(this, kXdmfTitle, QDir::fromNativeSeparators(folder_));
    dialog.setObjectName(QStringLiteral("XdmfDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({kXdmfFilter, kXdmfCompressedFilter});
    dialog.setDefaultSuffix(QStringLiteral("xdmf"));
    // The pair is asked about together once the name is chosen.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.resize(std::max(dialog.width(), 900), std::max(dialog.height(), 540));
    if (loaded_)
        dialog.selectFile(QFileInfo(loaded_->selectedPath).completeBaseName() +
                          QStringLiteral(".xdmf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    exportXdmf(dialog.selectedFiles().first(),
               dialog.selectedNameFilter() == kXdmfCompressedFilter);
}

bool MainWindow::exportXdmf(const QString& outputPath, bool compress) {
    if (busy_) return false;
    if (!confirmOverwrite(this, kXdmfTitle, {outputPath, xdmfDataPath(outputPath)})) return false;
    XdmfRequest req;
    req.outputPath = outputPath;
    req.intervalText = Text1->text();
    req.compress = compress;
    bool written = false;
    QString failTitle, failText;
    runCancellable([&] {
        try {
            stage(kXdmfStage);
            const XdmfResult r = writeXdmf(data_, req, *this);
            written = true;
            showStatus(savedText({r.xdmfPath, r.h5Path}));
        } catch (const QrnError& e) {
            failTitle = e.title();
            failText = e.message();
        } catch (const std::bad_alloc&) {
            failTitle = kWriteErrorTitle;
            failText = QStringLiteral("メモリーが不足したため、%1 を出力できませんでした。")
                           .arg(QDir::toNativeSeparators(outputPath));
        }
    });
    if (!failText.isEmpty()) message(failTitle, failText);
    refreshFileList();
    return written;
}

template <typename Operation>
bool MainWindow::runCancellable(Operation&& operation) {
    cancelRequested_ = false;
    lastPaintMs_ = 0;  // the first poll shows "中止" at once
    statusBar()->clearMessage();
    setBusyVisible(true);
    setLocked(true);
    bool cancelled = false;
    try {
        operation();
    } catch (const Cancelled&) {
        cancelled = true;  // nothing changed: no message, the window as it was
    }
    cancelled = cancelled || cancelRequested_;
    setLocked(false);
    setBusyVisible(false);
    cancelRequested_ = false;
    return cancelled;
}

void MainWindow::setLocked(bool locked) {
    // The rest of the window waits while events run for "中止".
    locked_ = locked;
    form_->setEnabled(!locked);
    buttons_->setEnabled(!locked);
    menuBar()->setEnabled(!locked);
    abortButton_->setVisible(locked);
    if (locked) abortButton_->setFocus(Qt::OtherFocusReason);
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
    QMessageBox box(QMessageBox::NoIcon, title, shown, QMessageBox::Ok, this, kDialogWindowFlags);
    // Centred on this window: the box knows its wrapped size only once shown.
    box.show();
    box.move(frameGeometry().center() - box.frameGeometry().center() + box.pos());
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
    if (!ProgressBar->isVisible()) ProgressBar->show();
    ProgressBar->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000.0));
    letEventsRun();
    // Work that reports progress stops here as well as where it polls; reads
    // fill a fresh dataset, so the one in memory stays as it was.
    if (locked_ && cancelRequested_) throw Cancelled();
}

bool MainWindow::cancelRequested() {
    letEventsRun();
    return cancelRequested_;
}

void MainWindow::letEventsRun() {
    // A few times a second: the window repaints and, while "中止" is offered,
    // takes clicks (the rest of it is locked); otherwise input waits.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastPaintMs_ < 50) return;
    lastPaintMs_ = now;
    QCoreApplication::processEvents(locked_ ? QEventLoop::AllEvents
                                            : QEventLoop::ExcludeUserInputEvents);
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
        // Closed while busy: now it can.
        if (closeAfterBusy_) {
            closeAfterBusy_ = false;
            QTimer::singleShot(0, this, &QWidget::close);
        }
    }
}

void MainWindow::setSaveExportEnabled(bool enabled) {
    saveExportEnabled_ = enabled;
    Option1[SaveBinary]->setEnabled(enabled);
    Option1[ExportCsv]->setEnabled(enabled && csvOpener_);
    xdmfAction_->setEnabled(enabled);
}

void MainWindow::openViewer(bool resetTime) {
    if (viewerOpener_) viewerOpener_(displayMode(), resetTime);
}

// --- events ---

void MainWindow::closeEvent(QCloseEvent* event) {
    if (busy_) {
        // Stop what runs first; the window closes once it has.
        cancelRequested_ = true;
        closeAfterBusy_ = true;
        event->ignore();
        return;
    }
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
