#pragma once
// The viewer's client area and its panels write their texts 11 pixels high,
// so that the captions fit the narrow panels.

#include <QFont>

namespace qrn::viewer {

inline constexpr int kClientFontPixels = 11;

inline QFont clientFont(QFont base) {
    base.setPixelSize(kClientFontPixels);
    return base;
}

}  // namespace qrn::viewer
