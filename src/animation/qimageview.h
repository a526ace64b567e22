#pragma once
// Bridge from a QImage to the writer's plain view. Header only, so the writer
// itself stays free of QtGui; include it where a QImage is at hand.

#include <QImage>

#include "animation/frame.h"

namespace qrn::gif {

// A view of the image's pixels; null for formats that are not 32-bit RGB
// (convert with QImage::convertToFormat(QImage::Format_RGB32) first).
inline Rgb32View viewOf(const QImage& image) {
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            break;
        default:
            return {};
    }
    return {reinterpret_cast<const std::uint32_t*>(image.constBits()), image.width(),
            image.height(), static_cast<std::ptrdiff_t>(image.bytesPerLine() / 4)};
}

}  // namespace qrn::gif
