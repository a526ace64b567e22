#include "viewer/viewerwindow.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDate>
#include <QGuiApplication>
#include <QMenu>
#include <algorithm>
#include <cmath>
#include <new>

#include "dataset/numbers.h"
#include "render/viewer.h"
#include "viewer/activation.h"
#include "viewer/navigation.h"

namespace qrn::viewer {

using render::Control;
using render::Effect;
using render::ViewMode;

namespace {

const QString kTipText1_0 = QStringLiteral("最も手前と奥とのスケール比率を指定します。");
const QString kTipText1_1 =
    QStringLiteral("最も手前のノード位置で、画面横サイズで表示する距離を指定します。");
const QString kTipText1_2 = QStringLiteral(
    "ノード点に対してマーカーの表示間隔を指定します。｢0」は未表示となり表示速度が速くなります。。");
const QString kTipText2 =
    QStringLiteral("マーカーのねじれ角を大きく表示させる場合の倍率を指定します。");
const QString kTipText4 = QStringLiteral("線を太くします。");
const QString kTipText5 = QStringLiteral("画像の時間変化のステップ数を指定します。");
const QString kTipText6 =
    QStringLiteral("画像の時間変化のステップ間ウエイトを入れ処理を遅らせる場合に指定します。");
const QString kTipCheck2 = QStringLiteral("軌跡を残して表示する場合に指定します。");
const QString kTipCheck3 = QStringLiteral("近点を若番側とする場合に指定します。");
const QString kTipCommand1 = QStringLiteral("前画面に戻り、ﾌｧｲﾙの保存や再読み込みを行います。");
const QString kTipImage1 = QStringLiteral("画面表示範囲を移動させます。");
const QString kTipImage0 = QStringLiteral("動画表示のスタート・停止ボタン");
const QString kTipImage3 = QStringLiteral("張力のノード情報を変更します。");
const QString kTipPicture = QStringLiteral(
    "ノード点をクリックするとノード情報が表示されます(左上のメニュータイトル内に表示)。"
    "右ドラッグで中心移動。左ドラッグで視点移動。");
const QString kTipTime = QStringLiteral("計算時間");

const QString kTensionInitial = QStringLiteral("   0kg");
const QString kNodeLabelInitial = QStringLiteral("ﾉｰﾄﾞNo.");
const QString kTimeInitial = QStringLiteral("0.00");

// Direction buttons: index k sits in row k / 3 and column 2 - k % 3.
const std::array<QString, 9> kArrows{
    QStringLiteral("↗"), QStringLiteral("↑"),  QStringLiteral("↖"),
    QStringLiteral("→"), QStringLiteral("・"), QStringLiteral("←"),
    QStringLiteral("↘"), QStringLiteral("↓"),  QStringLiteral("↙")};

constexpr int kParamPanelWidth = 70;
constexpr int kSizePanelWidth = 66;
constexpr int kBottomBarHeight = 45;
constexpr int kBarThickness = 16;

void setTextQuietly(QLineEdit& e, const QString& text) {
    if (e.text() != text) e.setText(text);
}

}  // namespace

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResize) onResize();
}

ViewerWindow::ViewerWindow(Dataset& dataset, int displayMode, IntervalText intervalText,
                           ShowMain showMain, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ds_(dataset),
      mode_(displayMode == 1 ? ViewMode::Real : ViewMode::Normal),
      intervalText_(std::move(intervalText)),
      showMain_(std::move(showMain)),
      c_(render::ControlValues::initial(mode_)),
      canvas_(std::make_unique<render::ImageCanvas>()) {
    setObjectName(mode_ == ViewMode::Real ? QStringLiteral("Form2R") : QStringLiteral("Form2"));
    setWindowTitle(render::modeTitle(mode_));

    outer_.setContentsMargins(0, 0, 0, 0);
    outer_.setSpacing(0);
    setLayout(&outer_);
    menuRow_.setParent(this);
    menuRowLayout_.setContentsMargins(0, 0, 0, 0);
    menuRowLayout_.setSpacing(0);
    menuRow_.setLayout(&menuRowLayout_);
    buildMenu();
    outer_.addWidget(&menuRow_);
    client_.setParent(this);
    outer_.addWidget(&client_, 1);

    QFont small = client_.font();
    small.setPixelSize(11);
    client_.setFont(small);

    picture_.setParent(&client_);
    picture_.setObjectName(QStringLiteral("Picture1"));
    picture_.setToolTip(kTipPicture);
    picture_.setCanvas(canvas_.get());

    const render::ScrollSpec hs = render::hScroll2Spec(mode_);
    const render::ScrollSpec vs = render::vScroll1Spec(mode_);
    hScroll2_.setParent(&client_);
    hScroll2_.setObjectName(QStringLiteral("HScroll2"));
    hScroll2_.setRange(std::min(hs.min, hs.max), std::max(hs.min, hs.max));
    hScroll2_.setPageStep(10);
    vScroll1_.setParent(&client_);
    vScroll1_.setObjectName(QStringLiteral("VScroll1"));
    vScroll1_.setRange(std::min(vs.min, vs.max), std::max(vs.min, vs.max));
    vScroll1_.setPageStep(10);
    // The normal-mode bar has its largest value at the top end.
    vScroll1_.setInvertedAppearance(vs.min > vs.max);
    vScroll1_.setInvertedControls(vs.min > vs.max);

    buildParameterPanel();
    buildSizePanel();
    buildBottomBar();
    connectControls();
    pushControls();

    client_.onResize = [this] {
        if (loaded_ && isVisible() && !opening_)
            layoutPass();
        else
            applyGeometry(render::layoutGeometry(mode_, client_.size()));
    };
    resizeClient(render::initialClientSize(mode_));

    connect(&ActivationTracker::instance(), &ActivationTracker::activated, this,
            [this](QWindow* w) {
                if (loaded_ && isVisible() && w == windowHandle()) activate();
            });
}

ViewerWindow::~ViewerWindow() {
    // The members go before the QWidget base: nothing may call back into them
    // while the base tears the window down.
    disconnect(&ActivationTracker::instance(), nullptr, this, nullptr);
    client_.onResize = nullptr;
    frameTimer_.stop();
    timer1_.stop();
    timer2_.stop();
}

void ViewerWindow::buildMenu() {
    menuBar_.setParent(&menuRow_);
    menuBar_.setNativeMenuBar(false);
    imgCopy_ = menuBar_.addAction(QStringLiteral("画面コピー"));
    imgCopy_->setObjectName(QStringLiteral("ImgCopy"));
    connect(imgCopy_, &QAction::triggered, this, [this] { screenCopy(); });
    if (mode_ == ViewMode::Real) {
        animationMenu_ = menuBar_.addMenu(QStringLiteral("アニメーション作成"));
        gifAni_ = animationMenu_->addAction(QStringLiteral("GIFアニメ"));
        gifAni_->setObjectName(QStringLiteral("GifAni"));
        connect(gifAni_, &QAction::triggered, this, [this] {
            emit gifAnimationRequested();
            if (gifHandler_) gifHandler_();
        });
    }
    menuRowLayout_.addWidget(&menuBar_);
    // The node information can be long: it gets the rest of the menu row, and
    // the whole text is also its tool tip and can be selected and copied.
    nodeData_.setParent(&menuRow_);
    nodeData_.setObjectName(QStringLiteral("NodData"));
    nodeData_.setText(kNodeDataCaption);
    nodeData_.setTextInteractionFlags(Qt::TextSelectableByMouse);
    nodeData_.setContentsMargins(6, 0, 6, 0);
    nodeData_.setMinimumWidth(0);
    nodeData_.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    menuRowLayout_.addWidget(&nodeData_, 1);
    menuRow_.setAutoFillBackground(true);
    menuRow_.setBackgroundRole(QPalette::Button);
}

void ViewerWindow::buildParameterPanel() {
    paramPanel_.setParent(&client_);
    int y = 1;
    constexpr int kCaption = 12, kBox = 17, kRow = 15, kLeft = 2, kWidth = kParamPanelWidth - 4;
    auto caption = [&](QLabel& l, const QString& text, int lines = 1) {
        l.setParent(&paramPanel_);
        l.setText(text);
        l.setWordWrap(lines > 1);
        l.setGeometry(kLeft, y, kWidth, kCaption * lines);
        y += kCaption * lines;
    };
    auto box = [&](QLineEdit& e, const char* name, const QString& tip, QLabel* unit = nullptr,
                   const QString& unitText = {}) {
        e.setParent(&paramPanel_);
        e.setObjectName(QLatin1String(name));
        e.setToolTip(tip);
        const int unitWidth =
            unit ? QFontMetrics(client_.font()).horizontalAdvance(unitText) + 2 : 0;
        e.setGeometry(kLeft + 2, y, kWidth - 2 - unitWidth, kBox);
        if (unit) {
            unit->setParent(&paramPanel_);
            unit->setText(unitText);
            unit->setGeometry(kLeft + kWidth - unitWidth + 1, y, unitWidth, kBox);
        }
        y += kBox + 1;
    };
    auto check = [&](QCheckBox& b, const char* name, const QString& text, const QString& tip) {
        b.setParent(&paramPanel_);
        b.setObjectName(QLatin1String(name));
        b.setText(text);
        b.setToolTip(tip);
        b.setGeometry(kLeft, y, kWidth, kRow);
        y += kRow;
    };

    const bool real = mode_ == ViewMode::Real;
    caption(text1Caption_[0], real ? QStringLiteral("視点距離") : QStringLiteral("遠近倍率"));
    if (real)
        box(text1_[0], "Text1_0", kTipText1_0, &unit0_, QStringLiteral("m"));
    else
        box(text1_[0], "Text1_0", kTipText1_0);
    caption(text1Caption_[1], real ? QStringLiteral("中心視界幅") : QStringLiteral("近点ｽｹｰﾙ"));
    box(text1_[1], "Text1_1", kTipText1_1, &unit1_, QStringLiteral("m"));
    caption(text1Caption_[2], QStringLiteral("ﾏｰｶｰ間隔"));
    box(text1_[2], "Text1_2", kTipText1_2);

    slider2Caption_.setParent(&paramPanel_);
    slider2Caption_.setText(QStringLiteral("サイズ"));
    const int sizeWidth =
        QFontMetrics(client_.font()).horizontalAdvance(slider2Caption_.text()) + 2;
    slider2Caption_.setGeometry(kLeft, y, sizeWidth, kRow);
    slider2_.setParent(&paramPanel_);
    slider2_.setObjectName(QStringLiteral("Slider2"));
    slider2_.setRange(render::kSlider2Min, render::kSlider2Max);
    slider2_.setPageStep(1);
    slider2_.setGeometry(kLeft + sizeWidth, y, kWidth - sizeWidth, kRow);
    y += kRow + 1;

    caption(text2Caption_, QStringLiteral("ねじれ角の表示倍率"), 2);
    box(text2_, "Text2", kTipText2, &text2Unit_, QStringLiteral("倍"));
    check(check1_, "Check1", QStringLiteral("横向"), QString());
    caption(text4Caption_, QStringLiteral("線の太さ"));
    box(text4_, "Text4", kTipText4);
    caption(text5Caption_, QStringLiteral("描画ｽﾃｯﾌﾟ"));
    box(text5_, "Text5", kTipText5);
    caption(text7Caption_, QStringLiteral("移動量倍率"));
    box(text7_, "Text7", QString());
    caption(text6Caption_, QStringLiteral("動作ｳｪｲﾄ"));
    box(text6_, "Text6", kTipText6, &text6Unit_, QStringLiteral("×10ms"));
    check(check2_, "Check2", QStringLiteral("軌跡有"), kTipCheck2);
    check3_.setParent(&paramPanel_);
    check3_.setObjectName(QStringLiteral("Check3"));
    if (!real) check(check3_, "Check3", QStringLiteral("手前若番"), kTipCheck3);
    check3_.setVisible(!real);

    // Node range: "from" ～ "to".
    const int half = (kWidth - 12) / 2;
    text3_[0].setParent(&paramPanel_);
    text3_[0].setObjectName(QStringLiteral("Text3_0"));
    text3_[0].setGeometry(kLeft, y, half, kBox);
    tilde_.setParent(&paramPanel_);
    tilde_.setText(QStringLiteral("～"));
    tilde_.setAlignment(Qt::AlignCenter);
    tilde_.setGeometry(kLeft + half, y, 12, kBox);
    text3_[1].setParent(&paramPanel_);
    text3_[1].setObjectName(QStringLiteral("Text3_1"));
    text3_[1].setGeometry(kLeft + half + 12, y, half, kBox);
}

void ViewerWindow::buildSizePanel() {
    sizePanel_.setParent(&client_);
    slider1Caption_.setParent(&sizePanel_);
    slider1Caption_.setText(QStringLiteral("表示ｻｲｽﾞ"));
    slider1Caption_.setGeometry(2, 0, kSizePanelWidth - 4, 12);
    slider1_.setParent(&sizePanel_);
    slider1_.setObjectName(QStringLiteral("Slider1"));
    slider1_.setRange(render::kSlider1Min, render::kSlider1Max);
    slider1_.setPageStep(1);
    slider1_.setTickPosition(QSlider::NoTicks);
    slider1_.setGeometry(2, 12, kSizePanelWidth - 4, 14);
    constexpr int kButtonW = 20, kButtonH = 12, kTop = 28;
    for (int k = 0; k < 9; ++k) {
        QToolButton& b = image1_[static_cast<std::size_t>(k)];
        b.setParent(&sizePanel_);
        b.setObjectName(QStringLiteral("Image1_%1").arg(k));
        b.setText(kArrows[static_cast<std::size_t>(k)]);
        b.setToolTip(kTipImage1);
        b.setAutoRaise(true);
        const int row = k / 3, col = 2 - k % 3;
        b.setGeometry(3 + col * (kButtonW + 1), kTop + row * kButtonH, kButtonW, kButtonH);
    }
}

void ViewerWindow::buildBottomBar() {
    bottomBar_.setParent(&client_);
    // The bar lies over the lower edge of the picture: it paints its own background.
    bottomBar_.setAutoFillBackground(true);
    hScroll1_.setParent(&bottomBar_);
    hScroll1_.setObjectName(QStringLiteral("HScroll1"));
    hScroll1_.setRange(0, 0);
    hScroll1_.setSingleStep(1);
    hScroll1_.setPageStep(10);

    image0_.setParent(&bottomBar_);
    image0_.setObjectName(QStringLiteral("Image0"));
    image0_.setText(QStringLiteral("▶"));
    image0_.setToolTip(kTipImage0);
    image0_.setAutoRaise(true);
    image2_.setParent(&bottomBar_);
    image2_.setObjectName(QStringLiteral("Image2"));
    image2_.setText(QStringLiteral("■"));
    image2_.setToolTip(kTipImage0);
    image2_.setAutoRaise(true);
    image2_.setVisible(false);

    check4_.setParent(&bottomBar_);
    check4_.setObjectName(QStringLiteral("Check4"));
    check4_.setText(QStringLiteral("ﾘﾋﾟｰﾄ"));

    timeCaption_.setParent(&bottomBar_);
    timeCaption_.setText(QStringLiteral("計算時間"));
    label2_.setParent(&bottomBar_);
    label2_.setObjectName(QStringLiteral("Label2"));
    label2_.setText(kTimeInitial);
    label2_.setToolTip(kTipTime);
    label2_.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label2_.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    timeUnit_.setParent(&bottomBar_);
    timeUnit_.setText(QStringLiteral("Sec"));

    tensionCaption_.setParent(&bottomBar_);
    tensionCaption_.setText(QStringLiteral("張力"));
    label5_.setParent(&bottomBar_);
    label5_.setObjectName(QStringLiteral("Label5"));
    label5_.setText(kTensionInitial);
    label5_.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label5_.setFrameStyle(QFrame::Panel | QFrame::Sunken);

    for (int i = 0; i < 2; ++i) {
        QToolButton& b = image3_[static_cast<std::size_t>(i)];
        b.setParent(&bottomBar_);
        b.setObjectName(QStringLiteral("Image3_%1").arg(i));
        b.setText(i == 0 ? QStringLiteral("◀") : QStringLiteral("▶"));
        b.setToolTip(kTipImage3);
        b.setAutoRaise(true);
    }
    nodeLabel_.setParent(&bottomBar_);
    nodeLabel_.setObjectName(QStringLiteral("NodeLabel"));
    nodeLabel_.setText(kNodeLabelInitial);
    nodeLabel_.setAlignment(Qt::AlignCenter);

    gauge_.setParent(&bottomBar_);
    gauge_.setObjectName(QStringLiteral("ProgressBar1"));
    gauge_.setTextVisible(false);
    gauge_.setRange(0, 1);
    gauge_.setValue(0);

    command1_.setParent(&bottomBar_);
    command1_.setObjectName(QStringLiteral("Command1"));
    command1_.setText(QStringLiteral("前画面"));
    command1_.setToolTip(kTipCommand1);
}

void ViewerWindow::connectControls() {
    auto onText = [this](QLineEdit& e, QString& value, Control control) {
        connect(&e, &QLineEdit::textChanged, this, [this, &value, control](const QString& t) {
            if (syncing_) return;
            value = t;
            controlChanged(control);
        });
    };
    onText(text1_[0], c_.Text1[0], Control::Text1_0);
    onText(text1_[1], c_.Text1[1], Control::Text1_1);
    onText(text1_[2], c_.Text1[2], Control::Text1_2);
    onText(text2_, c_.Text2, Control::Text2);
    onText(text3_[0], c_.Text3[0], Control::Text3_0);
    onText(text3_[1], c_.Text3[1], Control::Text3_1);
    onText(text4_, c_.Text4, Control::Text4);
    onText(text5_, c_.Text5, Control::Text5);
    onText(text6_, c_.Text6, Control::Text6);
    onText(text7_, c_.Text7, Control::Text7);

    auto onValue = [this](auto& w, int& value, Control control) {
        connect(&w, &std::remove_reference_t<decltype(w)>::valueChanged, this,
                [this, &value, control](int v) {
                    if (syncing_) return;
                    value = v;
                    controlChanged(control);
                });
    };
    onValue(slider1_, c_.Slider1, Control::Slider1);
    onValue(slider2_, c_.Slider2, Control::Slider2);
    onValue(hScroll2_, c_.HScroll2, Control::HScroll2);
    onValue(vScroll1_, c_.VScroll1, Control::VScroll1);
    onValue(hScroll1_, c_.HScroll1, Control::HScroll1);

    auto onCheck = [this](QCheckBox& b, auto setter, Control control) {
        connect(&b, &QCheckBox::toggled, this, [this, setter, control](bool on) {
            if (syncing_) return;
            setter(on);
            controlChanged(control);
        });
    };
    onCheck(
        check1_, [this](bool on) { c_.Check1 = on; }, Control::Check1);
    onCheck(
        check2_, [this](bool on) { c_.Check2 = on; }, Control::Check2);
    onCheck(
        check3_, [this](bool on) { c_.Check3 = on ? 1 : 0; }, Control::Check3);
    onCheck(
        check4_, [this](bool on) { c_.Check4 = on; }, Control::Check4);

    connect(&command1_, &QPushButton::clicked, this, [this] { returnToMain(); });

    connect(&image0_, &QToolButton::clicked, this, [this] { playback_.start(); });
    connect(&image2_, &QToolButton::clicked, this, [this] { playback_.stop(); });
    connect(&timer1_, &QTimer::timeout, this, [this] { playback_.timerTick(); });
    frameTimer_.setSingleShot(true);
    frameTimer_.setInterval(0);
    connect(&frameTimer_, &QTimer::timeout, this, [this] { playback_.continueFrameLoop(); });
    for (int i = 0; i < 2; ++i)
        connect(&image3_[static_cast<std::size_t>(i)], &QToolButton::clicked, this,
                [this, i] { changeNode(i); });

    picture_.setMouseHandler(
        [this](PictureWidget::MouseAction action, Qt::MouseButton button, Qt::MouseButtons buttons,
               QPointF pixel) { pictureMouse(action, button, buttons, pixel); });
    timer2_.setInterval(1);
    connect(&timer2_, &QTimer::timeout, this, [this] { panTick(); });
    for (int k = 0; k < 9; ++k) {
        QToolButton& b = image1_[static_cast<std::size_t>(k)];
        connect(&b, &QToolButton::pressed, this, [this, &b, k] {
            b.setAutoRaise(false);
            st_.PanButton = static_cast<std::int16_t>(k);
            timer2_.start();
        });
        connect(&b, &QToolButton::released, this, [this, &b] {
            b.setAutoRaise(true);
            timer2_.stop();
        });
    }
}

void ViewerWindow::pushControls() {
    const bool was = syncing_;
    syncing_ = true;
    for (std::size_t i = 0; i < 3; ++i) setTextQuietly(text1_[i], c_.Text1[i]);
    text1_[0].setEnabled(c_.Text1Enabled0);
    slider2_.setValue(c_.Slider2);
    setTextQuietly(text2_, c_.Text2);
    text2_.setEnabled(c_.Text2Enabled);
    check1_.setChecked(c_.Check1);
    setTextQuietly(text4_, c_.Text4);
    setTextQuietly(text5_, c_.Text5);
    setTextQuietly(text7_, c_.Text7);
    setTextQuietly(text6_, c_.Text6);
    check2_.setChecked(c_.Check2);
    check3_.setChecked(c_.Check3 == 1);
    setTextQuietly(text3_[0], c_.Text3[0]);
    setTextQuietly(text3_[1], c_.Text3[1]);
    slider1_.setValue(c_.Slider1);
    hScroll2_.setValue(c_.HScroll2);
    vScroll1_.setValue(c_.VScroll1);
    hScroll1_.setValue(c_.HScroll1);
    check4_.setChecked(c_.Check4);
    syncing_ = was;
}

void ViewerWindow::controlChanged(Control control) {
    const std::vector<Effect> effects = render::settleChange(mode_, control, c_, st_);
    pushControls();
    for (const Effect e : effects) runEffect(e);
}

void ViewerWindow::runEffect(Effect effect) {
    try {
        switch (effect) {
            case Effect::None:
                return;
            case Effect::StepInc:
                hScroll1_.setSingleStep(std::max<int>(1, st_.StepInc));
                return;
            case Effect::Wait:
                playback_.waitChanged();
                return;
            case Effect::Layout:
                layoutPass();
                return;
            case Effect::Time:
                updateTimeDisplay();
                break;
            default:
                break;
        }
        render::runEffect(effect, mode_, ds_, st_, c_, *canvas_);
    } catch (const std::bad_alloc&) {
        // A frame too large for the memory left: keep the picture as it is.
    }
    afterDraw();
}

void ViewerWindow::layoutPass() {
    try {
        const render::LayoutGeometry g =
            render::layoutPass(mode_, client_.size(), ds_, st_, c_, *canvas_);
        applyGeometry(g);
    } catch (const std::bad_alloc&) {
        applyGeometry(render::layoutGeometry(mode_, client_.size()));
    }
    afterDraw();
}

void ViewerWindow::applyGeometry(const render::LayoutGeometry& g) {
    const QRect pic = g.picture;
    const int w = client_.width();
    picture_.setGeometry(pic);
    hScroll2_.setGeometry(pic.left(), 2, pic.width(), kBarThickness);
    vScroll1_.setGeometry(2, pic.top(), kBarThickness, pic.height());
    paramPanel_.setGeometry(g.paramPanelLeft, 0, kParamPanelWidth, std::max(0, g.sizePanelTop));
    sizePanel_.setGeometry(g.sizePanelLeft, g.sizePanelTop, kSizePanelWidth,
                           std::max(0, g.bottomBarTop - g.sizePanelTop));
    bottomBar_.setGeometry(0, g.bottomBarTop, std::max(w, 1), kBottomBarHeight);

    // Bottom bar: the time bar on top; below it the playback buttons, the
    // read-outs and the tension gauge; "前画面" at the right end.
    const int right = std::max(w - kSizePanelWidth, 300);
    hScroll1_.setGeometry(4, 3, right - 8, kBarThickness);
    command1_.setGeometry(right, 3, kSizePanelWidth - 4, 38);
    constexpr int kRowTop = 23, kRowH = 19;
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

    setWindowTitle(g.title);
}

void ViewerWindow::afterDraw() {
    label5_.setText(st_.TensionText);
    // The gauge's maximum only grows; an empty range would show a busy bar.
    const float gmax = std::isfinite(st_.GaugeMax) ? std::clamp(st_.GaugeMax, 1.0f, 1e9f) : 1.0f;
    const int max = static_cast<int>(gmax);
    if (gauge_.maximum() != max) gauge_.setRange(0, max);
    const float value = std::isfinite(st_.GaugeValue) ? st_.GaugeValue : 0.0f;
    gauge_.setValue(static_cast<int>(std::clamp(value, 0.0f, gmax)));
    picture_.update();
}

double ViewerWindow::intervalSeconds() const {
    const QString text = intervalText_ ? intervalText_() : QStringLiteral("0.05");
    // The box is meant to hold exactly a number; a text with something after
    // the number still shows times by its leading number.
    double v = num::strictValue(text).value_or(num::leadingValue(text));
    return std::isfinite(v) ? v : 0.0;
}

void ViewerWindow::updateTimeDisplay() {
    label2_.setText(render::timeDisplayText(intervalSeconds(), c_.HScroll1));
}

void ViewerWindow::resizeClient(QSize client) {
    const int menu = menuRow_.sizeHint().height();
    resize(client.width(), client.height() + menu);
}

void ViewerWindow::load() {
    c_ = render::ControlValues::initial(mode_);
    canvas_ = std::make_unique<render::ImageCanvas>();
    picture_.setCanvas(canvas_.get());
    st_.GaugeMax = 0.0f;
    st_.GaugeValue = 0.0f;
    st_.TensionText = kTensionInitial;
    pushControls();
    hScroll1_.setSingleStep(1);
    nodeData_.setText(kNodeDataCaption);
    nodeData_.setToolTip(QString());
    label2_.setText(kTimeInitial);
    label5_.setText(kTensionInitial);
    nodeLabel_.setText(kNodeLabelInitial);
    gauge_.setRange(0, 1);
    gauge_.setValue(0);
    playback_.reset();
    resizeClient(render::initialClientSize(mode_));
    try {
        render::loadViewer(mode_, ds_, st_, c_);
    } catch (const std::bad_alloc&) {
        // Activation re-creates the multipliers and tries again.
    }
    loaded_ = true;
}

void ViewerWindow::open(bool resetTime) {
    opening_ = true;
    if (!loaded_) load();
    if (resetTime) {
        c_.HScroll1 = 0;
        pushControls();
        updateTimeDisplay();
    }
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    opening_ = false;
    activate();
    ActivationTracker::instance().setCurrent(windowHandle());
}

void ViewerWindow::activate() {
    if (!loaded_) return;
    render::Activation a;
    try {
        a = render::activateViewer(mode_, client_.size(), ds_, st_, c_, *canvas_);
    } catch (const std::bad_alloc&) {
        a.timeBarMax = std::max(ds_.StepMax, 0);
    }
    {
        const bool was = syncing_;
        syncing_ = true;
        hScroll1_.setMaximum(a.timeBarMax);
        syncing_ = was;
    }
    pushControls();
    updateTimeDisplay();
    applyGeometry(render::layoutGeometry(mode_, client_.size()));
    image3_[0].setVisible(a.nodeButtonsVisible);
    image3_[1].setVisible(a.nodeButtonsVisible);
    nodeLabel_.setText(a.nodeLabel);
    afterDraw();
}

void ViewerWindow::stopPlayback() { playback_.stop(); }

void ViewerWindow::mirrorPlayback() {
    image0_.setVisible(playback_.startVisible());
    image2_.setVisible(!playback_.startVisible());
    image0_.setAutoRaise(!playback_.startRaised());
    if (!playback_.timerRunning()) {
        timer1_.stop();
    } else if (!timer1_.isActive() || timer1_.interval() != playback_.timerInterval()) {
        timer1_.start(playback_.timerInterval());
    }
}

void ViewerWindow::pictureMouse(PictureWidget::MouseAction action, Qt::MouseButton button,
                                Qt::MouseButtons buttons, QPointF pixel) {
    using Action = PictureWidget::MouseAction;
    if (action == Action::Release) {
        picture_.unsetCursor();
        return;
    }
    // Mouse positions in drawing units of the coordinate window.
    const double x = st_.Window.Left + pixel.x() / double(st_.PixPerUnitX);
    const double y = st_.Window.Top + pixel.y() / double(st_.PixPerUnitY);
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (action == Action::Press) {
        st_.DownXY[0] = static_cast<float>(x);
        st_.DownXY[1] = static_cast<float>(y);
        if (button == Qt::LeftButton) {
            st_.DownScroll[0] = static_cast<float>(c_.HScroll2);
            st_.DownScroll[1] = static_cast<float>(c_.VScroll1);
            pickNode(x, y);
        } else if (button == Qt::RightButton) {
            picture_.setCursor(Qt::SizeAllCursor);
        }
        return;
    }
    if (buttons == Qt::LeftButton) {
        int h = c_.HScroll2, v = c_.VScroll1;
        if (mode_ == ViewMode::Normal) {
            const ViewpointPan pan = panViewpoint(st_, x, y, h, v);
            h = pan.h.value_or(h);
            v = pan.v.value_or(v);
        } else {
            const ViewAngles a = turnView(st_, x, y, v);
            h = a.h;
            v = a.v;
        }
        // Each bar that moves runs its own change: the horizontal one first.
        hScroll2_.setValue(h);
        vScroll1_.setValue(v);
    } else if (buttons == Qt::RightButton) {
        moveCentre(st_, x, y);
        runEffect(Effect::Redraw);
    }
}

void ViewerWindow::pickNode(double x, double y) {
    nodeData_.setText(kSearching);
    nodeData_.repaint();  // shows while the search runs
    const std::optional<NodeRef> hit = findNode(ds_, st_, x, y);
    if (!hit) {
        picture_.setCursor(Qt::WhatsThisCursor);
        nodeData_.setText(kNoNode);
        nodeData_.setToolTip(QString());
        return;
    }
    const QString text = nodeInfoText(ds_, *hit, c_.HScroll1);
    nodeData_.setText(text);
    nodeData_.setToolTip(text);
    picture_.setCursor(Qt::CrossCursor);
}

void ViewerWindow::panTick() {
    panStep(st_, st_.PanButton);
    if (playback_.startVisible()) runEffect(Effect::Redraw);
}

void ViewerWindow::changeNode(int button) {
    const render::NodeChange n = render::changeTensionNode(ds_, st_, button, c_.HScroll1);
    nodeLabel_.setText(n.nodeLabel);
    if (!n.tensionText.isEmpty()) label5_.setText(n.tensionText);
}

int ViewerWindow::Ports::timeValue() const { return w_.hScroll1_.value(); }
int ViewerWindow::Ports::timeMaximum() const { return w_.hScroll1_.maximum(); }
void ViewerWindow::Ports::setTimeValue(int value) { w_.hScroll1_.setValue(value); }
bool ViewerWindow::Ports::repeat() const { return w_.c_.Check4; }
QString ViewerWindow::Ports::waitText() const { return w_.c_.Text6; }
void ViewerWindow::Ports::scheduleFrame() { w_.frameTimer_.start(); }
void ViewerWindow::Ports::playbackChanged() { w_.mirrorPlayback(); }

void ViewerWindow::returnToMain() {
    if (mode_ == ViewMode::Real) {
        // Closing does the rest: stop, main window, unload.
        close();
        return;
    }
    stopPlayback();
    if (showMain_) showMain_();
    hide();
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
    stopPlayback();
    // Nothing of the playback or panning may run on a closed window.
    frameTimer_.stop();
    timer2_.stop();
    playback_.reset();
    loaded_ = false;
    event->accept();
    if (showMain_) showMain_();
}

void ViewerWindow::screenCopy() {
    const int year = QDate::currentDate().year();
    render::screenCopyText(mode_, st_, *canvas_, picture_.height(), year);
    picture_.update();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(canvas_->image());
}

void ViewerWindow::setTimeStep(int step) { hScroll1_.setValue(step); }
int ViewerWindow::timeStep() const { return hScroll1_.value(); }
int ViewerWindow::timeStepMaximum() const { return hScroll1_.maximum(); }
QImage ViewerWindow::currentImage() { return canvas_->image(); }

}  // namespace qrn::viewer
