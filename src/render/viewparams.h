#pragma once
// The view parameters the projection, the layout numbers and the frame
// drawing read: the viewer's controls already turned into numbers, parsed
// once whenever a control changes (never per frame). Each value keeps the
// precision the drawing computes with; a box that must fit 16 bits is empty
// when it does not, and each user decides what an empty value does (stop the
// frame, keep the previous value).

#include <cstdint>
#include <optional>

namespace qrn::render {

// "サイズ": the marker size slider; the marker radius divides by
// kMarkerSizeBase - size, so the range must stay below the base.
inline constexpr int kMarkerSizeMin = 1, kMarkerSizeMax = 5;
// "表示ｻｲｽﾞ": the display magnification is 2 ^ zoomLevel.
inline constexpr int kZoomLevelMin = 0, kZoomLevelMax = 3;

struct ViewParams {
    // The first two parameter boxes as read: normal mode "遠近倍率" (ratio of
    // the nearest to the farthest scale) and "近点ｽｹｰﾙ" (metres across the
    // picture at the nearest node); real mode "視点距離" and "中心視界幅".
    double perspectiveRatio = 0.0;
    double nearScale = 0.0;
    double viewDistance() const { return perspectiveRatio; }
    double centreWidth() const { return nearScale; }
    std::optional<std::int16_t> markerStep;  // "ﾏｰｶｰ間隔", nodes between markers (0: none)
    int markerSize = kMarkerSizeMin;         // "サイズ"
    std::optional<std::int16_t> twistScale;  // "ねじれ角の表示倍率"
    std::optional<std::int16_t> lineWidth;   // "線の太さ", pixels
    double dispScale = 1.0;                  // "移動量倍率"
    bool sideways = false;                   // "横向": the x displacement is drawn sideways
    bool trace = false;                      // "軌跡有": frames are drawn over each other
    bool nearLow = false;  // "手前若番" (normal mode): low node numbers nearest
    // The node range boxes: FirstNode and LastNode at the next layout pass.
    std::optional<std::int16_t> firstNode;
    std::optional<std::int16_t> lastNode;
    int zoomLevel = kZoomLevelMin;
    // The viewpoint bars: normal mode the skew of the far end in drawing
    // units, real mode the viewing angles in degrees.
    int azimuth = 0;
    int elevation = 0;
    int timeStep = 0;  // the time bar
};

}  // namespace qrn::render
