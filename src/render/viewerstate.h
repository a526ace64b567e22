#pragma once
// The state record of one viewer. It lives as long as the program (one per
// display mode); the window and its controls may come and go around it.

#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

#include "dataset/barray.h"
#include "render/canvas.h"

namespace qrn::render {

enum class ViewMode { Normal, Real };

enum class FrameEnd {
    Complete,
    // Normal mode only: a value could not be drawn (for example a pixel
    // coordinate that is not finite or beyond 32 bits). The frame stopped
    // there; what was drawn before stays on the canvas.
    Stopped,
    // Nothing to draw: the dataset holds no geometry or no history for the
    // time step. ScrX/ScrY are empty or zero; the canvas is untouched.
    NoData,
};

// How playback runs; the values are the ones the state record has always held.
enum class PlayState : std::int16_t {
    FrameLoop = 0,  // the frame loop is running
    Stopped = 1,    // a stop was requested, or playback stopped
    Timer = 2,      // the playback timer drives the time bar
};

// A point on the displayed polyline of cable `slot`: parameter u (0..1) along
// its segment from node `segment` to node segment + 1.
struct SegmentPoint {
    std::int32_t slot = 0;
    std::int32_t segment = 0;
    double u = 0.0;
};

// Two points joined by a red line over every frame while it is set: the
// closest points of a clearance the results window shows.
struct ClearanceOverlay {
    SegmentPoint a;
    SegmentPoint b;
};

struct ViewerState {
    PlayState Play = PlayState::FrameLoop;

    // First and second parameter box as the last projection read them: normal
    // mode "遠近倍率" and "近点ｽｹｰﾙ", real mode "視点距離" (EyeDist) and
    // "中心視界幅" (CentreWidth).
    float PerspRatio = 0.0f;
    float NearScale = 0.0f;
    float& EyeDist() { return PerspRatio; }
    float& CentreWidth() { return NearScale; }
    std::int16_t MarkerStep = 0;  // "ﾏｰｶｰ間隔", 0 = no markers

    // Normal-mode depth multipliers [0..CableMax+1, 0..NodeMax].
    BArray<float, 2> DepthMul;
    float DepthMax = 0.0f;
    float DepthMin = 0.0f;
    float DepthBase = 0.0f;

    // Real-mode projection. ZMax/ZMin accumulate over the viewer's life.
    float XMax = 0.0f, XMin = 0.0f, ZMax = 0.0f, ZMin = 0.0f;
    float CentreX = 0.0f, CentreZ = 0.0f;
    BArray<float, 3> BasePos;  // [slot, node, 0..1] horizontal, vertical
    BArray<float, 3> CoefX;    // [slot, node, 0..2] per metre of x, y, z displacement
    BArray<float, 3> CoefY;
    // [slot, node]: 1 where the node at rest lies at or behind the near plane
    // (kNearPlaneFraction of the view distance in front of the eye). Lines
    // and markers at such a node are not drawn; its ScrX/ScrY are kept.
    BArray<std::uint8_t, 2> BehindEye;

    // Navigation and the coordinate window.
    std::int16_t PanButton = 0;
    float Zoom = 0.0f;  // 2 ^ zoom level
    std::int16_t ViewLeft = 0;
    std::int16_t ViewWidth = 0;  // always 100 after a layout pass
    std::int16_t ViewTop = 0;
    std::int16_t ViewHeight = 0;  // negative: y grows upward
    float PanX = 0.0f;
    float PanY = 0.0f;
    CoordWindow Window;  // the picture's user coordinate system

    std::int32_t TensSel = 0;  // tension record shown in the bottom bar
    std::int16_t StepInc = 0;  // "描画ｽﾃｯﾌﾟ": time steps per playback frame
    float DownXY[2] = {0.0f, 0.0f};
    float DownScroll[2] = {0.0f, 0.0f};

    // Drawing buffers of the last frame; picking searches ScrX/ScrY.
    float PixPerUnitX = 0.0f;
    float PixPerUnitY = 0.0f;
    BArray<float, 2> ScrX;  // [0..CableMax+1, 0..NodeMax] drawing units
    BArray<float, 2> ScrY;
    BArray<PixelPoint, 1> PolyPts;  // [0..NodeMax] pixels of the last cable drawn

    // Bottom-bar read-outs kept by every frame: tension value label and the
    // tension gauge (its maximum only grows while the window lives).
    QString TensionText = QStringLiteral("   0kg");
    float GaugeMax = 0.0f;
    float GaugeValue = 0.0f;

    // Drawn after the frame, in red; nothing when empty.
    std::optional<ClearanceOverlay> Clearance;

    QSize Client;                           // client area of the last layout pass
    FrameEnd LastFrame = FrameEnd::NoData;  // how the last frame ended
};

}  // namespace qrn::render
