#pragma once
// The viewer's controls as plain values, their initial values per display
// mode, and what a change of each control does (validation included). The
// window translates its widgets into ControlValues and back; the core never
// sees a widget.

#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "render/viewerstate.h"

namespace qrn::render {

struct ScrollSpec {
    int min = 0;  // the value at the left/top end; may exceed max
    int max = 0;
    int initial = 0;
};

struct ControlValues {
    std::array<QString, 3> Text1;  // parameter boxes
    bool Text1Enabled0 = true;     // Text1(0), disabled while "横向" is set
    int Slider2 = 1;               // "サイズ", marker size 1..5
    QString Text2;                 // "ねじれ角の表示倍率"
    bool Text2Enabled = true;
    bool Check1 = false;           // "横向"
    QString Text4;                 // "線の太さ"
    QString Text5;                 // "描画ｽﾃｯﾌﾟ"
    QString Text7;                 // "移動量倍率"
    QString Text6;                 // "動作ｳｪｲﾄ"
    bool Check2 = false;           // "軌跡有"
    int Check3 = 0;                // "手前若番" (normal mode only): 0 clear, 1 set, 2 greyed
    std::array<QString, 2> Text3;  // node range
    int Slider1 = 0;               // "表示ｻｲｽﾞ" 0..3
    int HScroll2 = 0;              // viewpoint / horizontal viewing angle
    int VScroll1 = 0;              // viewpoint / vertical viewing angle
    int HScroll1 = 0;              // time step
    bool Check4 = false;           // "ﾘﾋﾟｰﾄ"

    static ControlValues initial(ViewMode mode);
};

ScrollSpec hScroll2Spec(ViewMode mode);
ScrollSpec vScroll1Spec(ViewMode mode);
inline constexpr int kSlider1Min = 0, kSlider1Max = 3;
inline constexpr int kSlider2Min = 1, kSlider2Max = 5;

// Clamps a value into a scroll bar's range (either end may be the larger).
int clampToScroll(const ScrollSpec& spec, int value);

enum class Control {
    Text1_0,
    Text1_1,
    Text1_2,
    Check3,
    Check1,
    Text2,
    Text3_0,
    Text3_1,
    Text4,
    Text5,
    Text6,
    Text7,
    Check2,
    Check4,
    Slider1,
    Slider2,
    HScroll2,
    VScroll1,
    HScroll1,
};

// What the viewer does after a control changed.
enum class Effect {
    None,
    Redraw,           // HiDrow
    Recompute,        // Jousu, then HiDrow
    Layout,           // the layout pass
    Viewpoint,        // a viewpoint scroll bar moved
    Time,             // the time step changed: time read-out, then HiDrow
    LineWidthRedraw,  // picture line width := "線の太さ", then HiDrow
    StepInc,          // StepInc was set: time bar small change := StepInc
    Wait,             // the playback wait changed
};

struct ChangeOutcome {
    Effect effect = Effect::None;
    // Boxes whose text the handler replaced; each such change is handled in
    // turn as a change of that box (as the text-change event would).
    std::vector<Control> rewritten;
};

// The change handler of one control: validates, corrects box texts in
// `controls` and reports the effect. Text5 also sets state.StepInc.
ChangeOutcome onControlChange(ViewMode mode, Control control, ControlValues& controls,
                              ViewerState& state);

// Runs the change of `control` and every change its corrections raise, in
// event order, and returns the effects to run, in order.
std::vector<Effect> settleChange(ViewMode mode, Control control, ControlValues& controls,
                                 ViewerState& state);

// Values of boxes as the drawing reads them.
double boxValue(const QString& text);
std::optional<std::int16_t> boxInt16(const QString& text);

}  // namespace qrn::render
