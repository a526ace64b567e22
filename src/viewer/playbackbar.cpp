#include "viewer/playbackbar.h"

#include <algorithm>
#include <cmath>

#include "viewer/clientfont.h"
#include "viewer/sizepanel.h"

namespace qrn::viewer {

namespace {

const QString kTipCommand1 = QStringLiteral("前画面に戻り、ﾌｧｲﾙの保存や再読み込みを行います。");
const QString kTipImage0 = QStringLiteral("動画表示のスタート・停止ボタン");
const QString kTipImage3 = QStringLiteral("張力のノード情報を変更します。");
const QString kTipTime = QStringLiteral("計算時間");
// The gauge shows the first tension record; its right end is the largest
// tension seen so far.
const QString kTipGauge = QStringLiteral("張力ゲージ %1: %2kg（右端 %3kg）");

const QString kTensionInitial = QStringLiteral("   0kg");
const QString kNodeLabelInitial = QStringLiteral("ﾉｰﾄﾞNo.");
const QString kTimeInitial = QStringLiteral("0.00");

constexpr int kBarThickness = 16;
constexpr int kTimePageStep = 10;
// "前画面" sits in a column as wide as the size panel above it; the row
// left of it never gets narrower than kMinRowWidth.
constexpr int kRightColumn = SizePanel::kWidth;
constexpr int kMinRowWidth = 300;
constexpr int kRowTop = 23, kRowH = 19;
constexpr float kGaugeLimit = 1e9f;

}  // namespace

PlaybackBar::PlaybackBar() {
    setFont(clientFont(font()));
    // The bar lies over the lower edge of the picture: it paints its own background.
    setAutoFillBackground(true);
    hScroll1_.setParent(this);
    hScroll1_.setObjectName(QStringLiteral("HScroll1"));
    hScroll1_.setRange(0, 0);
    hScroll1_.setSingleStep(1);
    hScroll1_.setPageStep(kTimePageStep);

    image0_.setParent(this);
    image0_.setObjectName(QStringLiteral("Image0"));
    image0_.setText(QStringLiteral("▶"));
    image0_.setToolTip(kTipImage0);
    image0_.setAutoRaise(true);
    image2_.setParent(this);
    image2_.setObjectName(QStringLiteral("Image2"));
    image2_.setText(QStringLiteral("■"));
    image2_.setToolTip(kTipImage0);
    image2_.setAutoRaise(true);
    image2_.setVisible(false);

    check4_.setParent(this);
    check4_.setObjectName(QStringLiteral("Check4"));
    check4_.setText(QStringLiteral("ﾘﾋﾟｰﾄ"));

    timeCaption_.setParent(this);
    timeCaption_.setText(QStringLiteral("計算時間"));
    label2_.setParent(this);
    label2_.setObjectName(QStringLiteral("Label2"));
    label2_.setText(kTimeInitial);
    label2_.setToolTip(kTipTime);
    label2_.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label2_.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    timeUnit_.setParent(this);
    timeUnit_.setText(QStringLiteral("Sec"));

    tensionCaption_.setParent(this);
    tensionCaption_.setText(QStringLiteral("張力"));
    label5_.setParent(this);
    label5_.setObjectName(QStringLiteral("Label5"));
    label5_.setText(kTensionInitial);
    label5_.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label5_.setFrameStyle(QFrame::Panel | QFrame::Sunken);

    for (int i = 0; i < 2; ++i) {
        QToolButton& b = image3_[static_cast<std::size_t>(i)];
        b.setParent(this);
        b.setObjectName(QStringLiteral("Image3_%1").arg(i));
        b.setText(i == 0 ? QStringLiteral("◀") : QStringLiteral("▶"));
        b.setToolTip(kTipImage3);
        b.setAutoRaise(true);
    }
    nodeLabel_.setParent(this);
    nodeLabel_.setObjectName(QStringLiteral("NodeLabel"));
    nodeLabel_.setText(kNodeLabelInitial);
    nodeLabel_.setAlignment(Qt::AlignCenter);

    gauge_.setParent(this);
    gauge_.setObjectName(QStringLiteral("ProgressBar1"));
    gauge_.setTextVisible(false);
    gauge_.setRange(0, 1);
    gauge_.setValue(0);

    command1_.setParent(this);
    command1_.setObjectName(QStringLiteral("Command1"));
    command1_.setText(QStringLiteral("前画面"));
    command1_.setToolTip(kTipCommand1);

    connect(&hScroll1_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!syncing_) emit timeStepChanged(v);
    });
    connect(&check4_, &QCheckBox::toggled, this, [this](bool on) {
        if (!syncing_) emit repeatToggled(on);
    });
    connect(&command1_, &QPushButton::clicked, this, &PlaybackBar::backClicked);
    connect(&image0_, &QToolButton::clicked, this, &PlaybackBar::startClicked);
    connect(&image2_, &QToolButton::clicked, this, &PlaybackBar::stopClicked);
    for (int i = 0; i < 2; ++i)
        connect(&image3_[static_cast<std::size_t>(i)], &QToolButton::clicked, this,
                [this, i] { emit nodeButtonClicked(i); });
}

int PlaybackBar::timeStep() const { return hScroll1_.value(); }
int PlaybackBar::timeStepMaximum() const { return hScroll1_.maximum(); }
void PlaybackBar::moveTimeBar(int step) { hScroll1_.setValue(step); }

void PlaybackBar::showTimeStep(int step) {
    const bool was = syncing_;
    syncing_ = true;
    hScroll1_.setValue(step);
    syncing_ = was;
}

void PlaybackBar::showTimeStepMaximum(int maximum) {
    const bool was = syncing_;
    syncing_ = true;
    hScroll1_.setMaximum(maximum);
    syncing_ = was;
}

void PlaybackBar::setTimeStepIncrement(int steps) { hScroll1_.setSingleStep(steps); }

void PlaybackBar::showRepeat(bool on) {
    const bool was = syncing_;
    syncing_ = true;
    check4_.setChecked(on);
    syncing_ = was;
}

void PlaybackBar::showPlayback(bool startVisible, bool startRaised) {
    image0_.setVisible(startVisible);
    image2_.setVisible(!startVisible);
    image0_.setAutoRaise(!startRaised);
}

void PlaybackBar::showTime(const QString& text) { label2_.setText(text); }
void PlaybackBar::showTension(const QString& text) { label5_.setText(text); }
void PlaybackBar::showNodeLabel(const QString& text) { nodeLabel_.setText(text); }

void PlaybackBar::showNodeButtons(bool visible) {
    image3_[0].setVisible(visible);
    image3_[1].setVisible(visible);
}

void PlaybackBar::showGauge(float maximum, float value) {
    // The gauge's maximum only grows; an empty range would show a busy bar.
    const float gmax = std::isfinite(maximum) ? std::clamp(maximum, 1.0f, kGaugeLimit) : 1.0f;
    const int max = static_cast<int>(gmax);
    if (gauge_.maximum() != max) gauge_.setRange(0, max);
    const float shown = std::isfinite(value) ? value : 0.0f;
    gauge_.setValue(static_cast<int>(std::clamp(shown, 0.0f, gmax)));
    const QString tip = kTipGauge.arg(gaugeNode_, QString::number(gauge_.value()),
                                      QString::number(gauge_.maximum()));
    if (gauge_.toolTip() != tip) gauge_.setToolTip(tip);
}

void PlaybackBar::showGaugeNode(const QString& nodeLabel) { gaugeNode_ = nodeLabel; }

void PlaybackBar::showInitial() {
    hScroll1_.setSingleStep(1);
    label2_.setText(kTimeInitial);
    label5_.setText(kTensionInitial);
    nodeLabel_.setText(kNodeLabelInitial);
    gauge_.setRange(0, 1);
    gauge_.setValue(0);
    gauge_.setToolTip(QString());
}

void PlaybackBar::place(int top, int clientWidth) {
    setGeometry(0, top, std::max(clientWidth, 1), kHeight);
    // The time bar on top; below it the playback buttons, the read-outs and
    // the tension gauge; "前画面" at the right end.
    const int right = std::max(clientWidth - kRightColumn, kMinRowWidth);
    hScroll1_.setGeometry(4, 3, right - 8, kBarThickness);
    command1_.setGeometry(right, 3, kRightColumn - 4, 38);
    image0_.setGeometry(4, kRowTop, 24, kRowH);
    image2_.setGeometry(4, kRowTop, 24, kRowH);
    check4_.setGeometry(32, kRowTop, 58, kRowH);
    timeCaption_.setGeometry(92, kRowTop, 50, kRowH);
    label2_.setGeometry(142, kRowTop, 58, kRowH);
    timeUnit_.setGeometry(203, kRowTop, 24, kRowH);
    tensionCaption_.setGeometry(232, kRowTop, 26, kRowH);
    label5_.setGeometry(258, kRowTop, 56, kRowH);
    image3_[0].setGeometry(318, kRowTop, 18, kRowH);
    nodeLabel_.setGeometry(336, kRowTop, 84, kRowH);
    image3_[1].setGeometry(420, kRowTop, 18, kRowH);
    gauge_.setGeometry(442, kRowTop + 3, std::max(right - 446, 20), kRowH - 6);
}

}  // namespace qrn::viewer
