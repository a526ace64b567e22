#include "animation/dialog/gifexportdialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "animation/gifexport.h"
#include "animation/gifwriter.h"
#include "animation/qimageview.h"
#include "animation/videoexport.h"
#include "dataset/error.h"
#include "widgets/overwrite.h"

namespace qrn::gif {

namespace {

// A title bar with a close button only, whatever flags a new parent brought.
constexpr Qt::WindowFlags kDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// The types the output may have; the name's extension picks one (formatOf).
const char* const kFileTags[] = {"gif", "mp4", "webm"};

QString filterOf(const QString& tag) { return tag + QStringLiteral("ファイル (*.") + tag + u')'; }

}  // namespace

// The run's progress on the bar; lets events run now and then so that "中止"
// can be pressed and the viewer shows the frame being written.
class GifExportDialog::RunProgress final : public Progress {
  public:
    explicit RunProgress(GifExportDialog& dialog) : d_(dialog) { sinceEvents_.start(); }
    void message(const QString& title, const QString& text) override {
        d_.showMessage(title, text);
    }
    void progress(double fraction) override {
        d_.progressBar->setValue(static_cast<int>(std::lround(fraction * kSteps)));
        letEventsRun();
    }
    bool cancelRequested() override {
        letEventsRun();
        return d_.abortRequested_;
    }
    static constexpr int kSteps = 1000;

  private:
    void letEventsRun() {
        if (sinceEvents_.elapsed() < 40) return;
        QCoreApplication::processEvents();
        sinceEvents_.restart();
    }
    GifExportDialog& d_;
    QElapsedTimer sinceEvents_;
};

GifExportDialog::GifExportDialog(QWidget* parent) : QDialog(parent, kDialogFlags) {
    setWindowTitle(QStringLiteral("アニメーション作成"));
    setModal(true);
    auto* box = new QVBoxLayout(this);
    // A form of fixed size: window managers then offer no maximise either.
    box->setSizeConstraint(QLayout::SetFixedSize);
    auto* grid = new QGridLayout;
    const QString captions[4] = {QStringLiteral("開始時間(s)"), QStringLiteral("終了時間(s)"),
                                 QStringLiteral("作成間隔(s)"), QStringLiteral("描画速度")};
    const QString initial[4] = {kInitialStartText, kInitialEndText, kInitialEveryText,
                                kInitialSpeedText};
    for (int i = 0; i < 4; ++i) {
        auto* edit = new QLineEdit(initial[i]);
        edit->setObjectName(QStringLiteral("Text1_%1").arg(i));
        edit->setMaximumWidth(110);
        Text1[static_cast<std::size_t>(i)] = edit;
        grid->addWidget(new QLabel(captions[i]), i < 3 ? 0 : 2, i < 3 ? i : 1);
        grid->addWidget(edit, i < 3 ? 1 : 3, i < 3 ? i : 1);
        connect(edit, &QLineEdit::textChanged, this, &GifExportDialog::updateCount);
    }
    grid->addWidget(new QLabel(QStringLiteral("画像枚数")), 2, 0);
    Label3 = new QLabel(QStringLiteral("51"));
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setFrameShape(QFrame::StyledPanel);
    grid->addWidget(Label3, 3, 0);
    grid->addWidget(new QLabel(QStringLiteral("倍")), 3, 2);
    box->addLayout(grid);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(new QLabel(QStringLiteral("出力ファイル")));
    Text2 = new QLineEdit;
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setMinimumWidth(280);
    fileRow->addWidget(Text2, 1);
    Command1 = new QPushButton(QStringLiteral(".."));
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setMaximumWidth(32);
    fileRow->addWidget(Command1);
    box->addLayout(fileRow);

    box->addWidget(
        new QLabel(QStringLiteral("アニメーションは現在の表示サイズが基準となります。")));
    box->addWidget(
        new QLabel(QStringLiteral("表示サイズ、画面枚数によりファイルサイズが変わります。")));

    auto* runRow = new QHBoxLayout;
    progressBar = new QProgressBar;
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, RunProgress::kSteps);
    progressBar->setValue(0);
    runRow->addWidget(progressBar, 1);
    abortButton = new QPushButton(QStringLiteral("中止"));
    abortButton->setObjectName(QStringLiteral("abortButton"));
    abortButton->setEnabled(false);
    runRow->addWidget(abortButton);
    box->addLayout(runRow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Command2 = new QPushButton(QStringLiteral("変換開始"));
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setEnabled(false);
    Command3 = new QPushButton(QStringLiteral("キャンセル"));
    Command3->setObjectName(QStringLiteral("Command3"));
    buttons->addWidget(Command2);
    buttons->addWidget(Command3);
    box->addLayout(buttons);

    connect(Text2, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Once there has been a name the button stays enabled.
        if (!text.isEmpty()) Command2->setEnabled(true);
    });
    connect(Command1, &QPushButton::clicked, this, &GifExportDialog::chooseFile);
    connect(Command2, &QPushButton::clicked, this, [this] {
        if (start()) hide();
    });
    connect(Command3, &QPushButton::clicked, this, &QDialog::hide);
    connect(abortButton, &QPushButton::clicked, this, [this] { abortRequested_ = true; });
    updateCount();
}

void GifExportDialog::reject() {
    if (running_) {
        abortRequested_ = true;
        return;
    }
    QDialog::reject();
}

void GifExportDialog::setRunning(bool running) {
    running_ = running;
    abortRequested_ = false;
    for (QLineEdit* edit : Text1) edit->setEnabled(!running);
    Text2->setEnabled(!running);
    Command1->setEnabled(!running);
    Command2->setEnabled(!running);  // a run starts only from an enabled button
    Command3->setEnabled(!running);
    abortButton->setEnabled(running);
    if (running) progressBar->setValue(0);
}

void GifExportDialog::openFor(const Viewer& viewer, const QString& tag) {
    prepare(viewer, tag);
    exec();
}

void GifExportDialog::prepare(const Viewer& viewer, const QString& tag) {
    fileTag_ = QStringLiteral("gif");
    tag_ = tag;
    // A new parent (setParent with flags) replaces the window flags.
    if (windowFlags() != kDialogFlags) setWindowFlags(kDialogFlags);
    progressBar->setValue(0);
    viewer_ = viewer;
    if (viewer_.stopPlayback) viewer_.stopPlayback();
    Text1[0]->setText(QStringLiteral("0"));
    if (viewer_.intervalText && viewer_.timeStepMaximum) {
        if (const auto end = openingEndText(viewer_.intervalText(), viewer_.timeStepMaximum()))
            Text1[1]->setText(*end);
    }
}

void GifExportDialog::updateCount() {
    ExportTexts t;
    t.start = Text1[0]->text();
    t.end = Text1[1]->text();
    t.every = Text1[2]->text();
    t.speed = Text1[3]->text();
    Label3->setText(imageCountText(t));
}

void GifExportDialog::chooseFile() {
    QString path;
    if (fileChooser) {
        path = fileChooser();
    } else {
        QStringList filters{QStringLiteral("すべてのファイル (*.*)")};
        for (const char* tag : kFileTags) filters << filterOf(QString::fromLatin1(tag));
        // The type of the name in the box, else the file-chooser tag's.
        const QString boxTag = QFileInfo(Text2->text()).suffix().toLower();
        QString selected = filterOf(fileTag_);
        for (const char* tag : kFileTags)
            if (boxTag == QLatin1String(tag)) selected = filterOf(boxTag);
        const QString startDir =
            Text2->text().isEmpty() ? QDir::currentPath() : QFileInfo(Text2->text()).absolutePath();
        // "変換開始" asks before replacing a file, whichever way the name came.
        path = QFileDialog::getSaveFileName(this, QString(), startDir,
                                            filters.join(QStringLiteral(";;")), &selected,
                                            QFileDialog::DontConfirmOverwrite);
        // A name typed without an extension takes the chosen type's.
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
            for (const char* tag : kFileTags)
                if (selected == filterOf(QString::fromLatin1(tag)))
                    path += u'.' + QString::fromLatin1(tag);
    }
    if (!path.isEmpty()) Text2->setText(QDir::toNativeSeparators(path));
}

void GifExportDialog::showMessage(const QString& title, const QString& text) {
    if (messageSink) {
        messageSink(title, text);
        return;
    }
    QString shown = text;
    shown.replace(QChar(u'\r'), QChar(u'\n'));
    QMessageBox box(QMessageBox::Warning, title, shown, QMessageBox::Ok, this);
    box.exec();
}

bool GifExportDialog::start() {
    if (running_ || tag_ != QStringLiteral("R") || !viewer_.setTimeStep || !viewer_.currentImage)
        return false;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    bool written = false;
    QString writtenPath;
    try {
        ExportRequest req;
        req.texts.start = Text1[0]->text();
        req.texts.end = Text1[1]->text();
        req.texts.every = Text1[2]->text();
        req.texts.speed = Text1[3]->text();
        req.path = Text2->text();
        req.intervalText = viewer_.intervalText ? viewer_.intervalText() : QString();
        req.stepMax = viewer_.timeStepMaximum ? viewer_.timeStepMaximum() : 0;
        const ExportPlan plan = planExport(req);
        if (plan.endCapped) Text1[1]->setText(plan.endText);
        if (!confirmOverwrite(this, kGifTitle, {plan.path})) {
            QApplication::restoreOverrideCursor();
            return false;
        }
        ExportSettings settings;
        settings.palette = Palette{viewer_.background, viewer_.foreground};
        settings.background = viewer_.background;
        setRunning(true);
        RunProgress progress(*this);
        QImage frame;  // keeps the pixels alive until the writer has read them
        exportFile(
            plan, settings,
            [&](int step) {
                // Let go of the last picture first, or drawing the next would copy it.
                frame = QImage();
                viewer_.setTimeStep(step);
                frame = viewer_.currentImage();
                if (frame.format() != QImage::Format_RGB32)
                    frame = frame.convertToFormat(QImage::Format_RGB32);
                return viewOf(frame);
            },
            progress);
        written = true;
        writtenPath = plan.path;
    } catch (const Cancelled&) {
        // Nothing was written; the dialog stays open for another try.
        progressBar->setValue(0);
    } catch (const QrnError& e) {
        if (running_) setRunning(false);
        QApplication::restoreOverrideCursor();
        showMessage(e.title(), e.message());
        return false;
    } catch (const std::bad_alloc&) {
        if (running_) setRunning(false);
        QApplication::restoreOverrideCursor();
        showMessage(kGifTitle,
                    QStringLiteral("メモリが不足しているため、アニメーションを作成できません。"));
        return false;
    }
    if (running_) setRunning(false);
    QApplication::restoreOverrideCursor();
    if (written) emit fileWritten(QDir::toNativeSeparators(writtenPath));
    return written;
}

}  // namespace qrn::gif
