#include "viewer/sizepanel.h"

#include <algorithm>

#include "render/viewparams.h"
#include "viewer/clientfont.h"

namespace qrn::viewer {

namespace {

const QString kTipImage1 = QStringLiteral("画面表示範囲を移動させます。");

// Direction buttons: index k sits in row k / 3 and column 2 - k % 3.
const std::array<QString, SizePanel::kDirections> kArrows{
    QStringLiteral("↗"), QStringLiteral("↑"),  QStringLiteral("↖"),
    QStringLiteral("→"), QStringLiteral("・"), QStringLiteral("←"),
    QStringLiteral("↘"), QStringLiteral("↓"),  QStringLiteral("↙")};

constexpr int kCaptionHeight = 12, kSliderTop = 12, kSliderHeight = 14;
constexpr int kButtonW = 20, kButtonH = 12, kButtonsTop = 28;

}  // namespace

SizePanel::SizePanel() {
    setFont(clientFont(font()));
    slider1Caption_.setParent(this);
    slider1Caption_.setText(QStringLiteral("表示ｻｲｽﾞ"));
    slider1Caption_.setGeometry(2, 0, kWidth - 4, kCaptionHeight);
    slider1_.setParent(this);
    slider1_.setObjectName(QStringLiteral("Slider1"));
    slider1_.setRange(render::kZoomLevelMin, render::kZoomLevelMax);
    slider1_.setPageStep(1);
    slider1_.setTickPosition(QSlider::NoTicks);
    slider1_.setGeometry(2, kSliderTop, kWidth - 4, kSliderHeight);
    for (int k = 0; k < kDirections; ++k) {
        QToolButton& b = image1_[static_cast<std::size_t>(k)];
        b.setParent(this);
        b.setObjectName(QStringLiteral("Image1_%1").arg(k));
        b.setText(kArrows[static_cast<std::size_t>(k)]);
        b.setToolTip(kTipImage1);
        b.setAutoRaise(true);
        const int row = k / 3, col = 2 - k % 3;
        b.setGeometry(3 + col * (kButtonW + 1), kButtonsTop + row * kButtonH, kButtonW, kButtonH);
    }

    connect(&slider1_, &QSlider::valueChanged, this, [this](int v) {
        if (!syncing_) emit zoomLevelChanged(v);
    });
    for (int k = 0; k < kDirections; ++k) {
        QToolButton& b = image1_[static_cast<std::size_t>(k)];
        // A held button shows pressed for as long as it pans.
        connect(&b, &QToolButton::pressed, this, [this, &b, k] {
            b.setAutoRaise(false);
            emit panPressed(k);
        });
        connect(&b, &QToolButton::released, this, [this, &b] {
            b.setAutoRaise(true);
            emit panReleased();
        });
    }
}

void SizePanel::showZoomLevel(int level) {
    const bool was = syncing_;
    syncing_ = true;
    slider1_.setValue(level);
    syncing_ = was;
}

void SizePanel::place(int left, int top, int bottom) {
    setGeometry(left, top, kWidth, std::max(0, bottom - top));
}

}  // namespace qrn::viewer
