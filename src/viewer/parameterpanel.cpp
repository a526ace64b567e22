#include "viewer/parameterpanel.h"

#include <algorithm>

#include "viewer/clientfont.h"

namespace qrn::viewer {

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

// Rows from the top: a caption line, a box, a check box.
constexpr int kCaption = 12, kBox = 17, kRow = 15, kLeft = 2;
constexpr int kInner = ParameterPanel::kWidth - 4;
constexpr int kTildeWidth = 12;

void setTextQuietly(QLineEdit& e, const QString& text) {
    if (e.text() != text) e.setText(text);
}

}  // namespace

ParameterPanel::ParameterPanel(ViewMode mode) {
    setFont(clientFont(font()));
    build(mode);
    connectControls();
}

void ParameterPanel::build(ViewMode mode) {
    int y = 1;
    auto caption = [&](QLabel& l, const QString& text, int lines = 1) {
        l.setParent(this);
        l.setText(text);
        // Longer captions break where the text says, never inside a word.
        l.setWordWrap(false);
        l.setGeometry(kLeft, y, kInner, kCaption * lines);
        y += kCaption * lines;
    };
    auto box = [&](QLineEdit& e, const char* name, const QString& tip, QLabel* unit = nullptr,
                   const QString& unitText = {}) {
        e.setParent(this);
        e.setObjectName(QLatin1String(name));
        e.setToolTip(tip);
        const int unitWidth = unit ? QFontMetrics(font()).horizontalAdvance(unitText) + 2 : 0;
        e.setGeometry(kLeft + 2, y, kInner - 2 - unitWidth, kBox);
        if (unit) {
            unit->setParent(this);
            unit->setText(unitText);
            unit->setGeometry(kLeft + kInner - unitWidth + 1, y, unitWidth, kBox);
        }
        y += kBox + 1;
    };
    auto check = [&](QCheckBox& b, const char* name, const QString& text, const QString& tip) {
        b.setParent(this);
        b.setObjectName(QLatin1String(name));
        b.setText(text);
        b.setToolTip(tip);
        b.setGeometry(kLeft, y, kInner, kRow);
        y += kRow;
    };

    const bool real = mode == ViewMode::Real;
    caption(text1Caption_[0], real ? QStringLiteral("視点距離") : QStringLiteral("遠近倍率"));
    if (real)
        box(text1_[0], "Text1_0", kTipText1_0, &unit0_, QStringLiteral("m"));
    else
        box(text1_[0], "Text1_0", kTipText1_0);
    caption(text1Caption_[1], real ? QStringLiteral("中心視界幅") : QStringLiteral("近点ｽｹｰﾙ"));
    box(text1_[1], "Text1_1", kTipText1_1, &unit1_, QStringLiteral("m"));
    caption(text1Caption_[2], QStringLiteral("ﾏｰｶｰ間隔"));
    box(text1_[2], "Text1_2", kTipText1_2);

    slider2Caption_.setParent(this);
    slider2Caption_.setText(QStringLiteral("サイズ"));
    const int sizeWidth = QFontMetrics(font()).horizontalAdvance(slider2Caption_.text()) + 2;
    slider2Caption_.setGeometry(kLeft, y, sizeWidth, kRow);
    slider2_.setParent(this);
    slider2_.setObjectName(QStringLiteral("Slider2"));
    slider2_.setRange(render::kMarkerSizeMin, render::kMarkerSizeMax);
    slider2_.setPageStep(1);
    slider2_.setGeometry(kLeft + sizeWidth, y, kInner - sizeWidth, kRow);
    y += kRow + 1;

    caption(text2Caption_, QStringLiteral("ねじれ角の\n表示倍率"), 2);
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
    check3_.setParent(this);
    check3_.setObjectName(QStringLiteral("Check3"));
    if (!real) check(check3_, "Check3", QStringLiteral("手前若番"), kTipCheck3);
    check3_.setVisible(!real);

    // Node range: "from" ～ "to".
    const int half = (kInner - kTildeWidth) / 2;
    text3_[0].setParent(this);
    text3_[0].setObjectName(QStringLiteral("Text3_0"));
    text3_[0].setGeometry(kLeft, y, half, kBox);
    tilde_.setParent(this);
    tilde_.setText(QStringLiteral("～"));
    tilde_.setAlignment(Qt::AlignCenter);
    tilde_.setGeometry(kLeft + half, y, kTildeWidth, kBox);
    text3_[1].setParent(this);
    text3_[1].setObjectName(QStringLiteral("Text3_1"));
    text3_[1].setGeometry(kLeft + half + kTildeWidth, y, half, kBox);
}

void ParameterPanel::connectControls() {
    auto onText = [this](QLineEdit& e, ViewControl control) {
        connect(&e, &QLineEdit::textChanged, this, [this, control](const QString& t) {
            if (!syncing_) emit textChanged(control, t);
        });
    };
    onText(text1_[0], ViewControl::PerspectiveRatio);
    onText(text1_[1], ViewControl::NearScale);
    onText(text1_[2], ViewControl::MarkerStep);
    onText(text2_, ViewControl::TwistScale);
    onText(text3_[0], ViewControl::FirstNode);
    onText(text3_[1], ViewControl::LastNode);
    onText(text4_, ViewControl::LineWidth);
    onText(text5_, ViewControl::DrawStep);
    onText(text6_, ViewControl::Wait);
    onText(text7_, ViewControl::DispScale);

    connect(&slider2_, &QSlider::valueChanged, this, [this](int v) {
        if (!syncing_) emit valueChanged(ViewControl::MarkerSize, v);
    });

    auto onCheck = [this](QCheckBox& b, ViewControl control) {
        connect(&b, &QCheckBox::toggled, this, [this, control](bool on) {
            if (!syncing_) emit checkToggled(control, on);
        });
    };
    onCheck(check1_, ViewControl::Sideways);
    onCheck(check2_, ViewControl::Trace);
    onCheck(check3_, ViewControl::NearLow);
}

void ParameterPanel::showForm(const ViewForm& f) {
    const bool was = syncing_;
    syncing_ = true;
    setTextQuietly(text1_[0], f.perspectiveRatio);
    setTextQuietly(text1_[1], f.nearScale);
    setTextQuietly(text1_[2], f.markerStep);
    text1_[0].setEnabled(f.perspectiveRatioEnabled);
    slider2_.setValue(f.markerSize);
    setTextQuietly(text2_, f.twistScale);
    text2_.setEnabled(f.twistScaleEnabled);
    check1_.setChecked(f.sideways);
    setTextQuietly(text4_, f.lineWidth);
    setTextQuietly(text5_, f.drawStep);
    setTextQuietly(text7_, f.dispScale);
    setTextQuietly(text6_, f.wait);
    check2_.setChecked(f.trace);
    check3_.setChecked(f.nearLow);
    setTextQuietly(text3_[0], f.firstNode);
    setTextQuietly(text3_[1], f.lastNode);
    syncing_ = was;
}

void ParameterPanel::place(int left, int bottom) {
    setGeometry(left, 0, kWidth, std::max(0, bottom));
}

}  // namespace qrn::viewer
