#include "render/controls.h"

#include <algorithm>
#include <deque>

#include "dataset/numbers.h"

namespace qrn::render {

ControlValues ControlValues::initial(ViewMode mode) {
    ControlValues c;
    const bool real = mode == ViewMode::Real;
    c.Text1 = {real ? QStringLiteral("300") : QStringLiteral("3"), QStringLiteral("50"),
               QStringLiteral("2")};
    c.Text2 = QStringLiteral("1");
    c.Text4 = QStringLiteral("1");
    c.Text5 = QStringLiteral("1");
    c.Text7 = QStringLiteral("1");
    c.Text6 = QStringLiteral("0");
    c.Text3 = {QStringLiteral("0"), QStringLiteral("1")};
    c.HScroll2 = hScroll2Spec(mode).initial;
    c.VScroll1 = vScroll1Spec(mode).initial;
    return c;
}

ScrollSpec hScroll2Spec(ViewMode mode) {
    return mode == ViewMode::Real ? ScrollSpec{-180, 180, 5} : ScrollSpec{-50, 50, -40};
}

ScrollSpec vScroll1Spec(ViewMode mode) {
    return mode == ViewMode::Real ? ScrollSpec{-180, 180, 0} : ScrollSpec{50, -50, 0};
}

int clampToScroll(const ScrollSpec& spec, int value) {
    return std::clamp(value, std::min(spec.min, spec.max), std::max(spec.min, spec.max));
}

double boxValue(const QString& text) { return num::leadingValue(text); }

std::optional<std::int16_t> boxInt16(const QString& text) {
    return num::roundToInt16(num::leadingValue(text));
}

namespace {

// Replaces a box's text; like a text box, only a real change raises a change event.
void rewrite(QString& box, const QString& text, Control which, ChangeOutcome& out) {
    if (box == text) return;
    box = text;
    out.rewritten.push_back(which);
}

}  // namespace

ChangeOutcome onControlChange(ViewMode mode, Control control, ControlValues& c,
                              ViewerState& state) {
    ChangeOutcome out;
    const bool real = mode == ViewMode::Real;
    switch (control) {
        case Control::Check3:
            if (real) break;  // the real-mode viewer has no such box
            [[fallthrough]];
        case Control::Text1_0:
        case Control::Text1_1:
        case Control::Text1_2:
            if (boxValue(c.Text1[0]) == 0.0) {
                rewrite(c.Text1[0], QStringLiteral("2"), Control::Text1_0, out);
            } else if (boxValue(c.Text1[1]) == 0.0) {
                rewrite(c.Text1[1], QStringLiteral("5"), Control::Text1_1, out);
            } else {
                out.effect = Effect::Recompute;
            }
            break;
        case Control::Check1:
            if (c.Check1) {
                rewrite(c.Text1[0], QStringLiteral("1"), Control::Text1_0, out);
                c.Text1Enabled0 = false;
                rewrite(c.Text2, QStringLiteral("0"), Control::Text2, out);
                c.Text2Enabled = false;
            } else {
                // Each mode gets its own initial value back ("300" m in real mode).
                rewrite(c.Text1[0], real ? QStringLiteral("300") : QStringLiteral("3"),
                        Control::Text1_0, out);
                c.Text1Enabled0 = true;
                rewrite(c.Text2, QStringLiteral("1"), Control::Text2, out);
                c.Text2Enabled = true;
            }
            break;
        case Control::Text2:
        case Control::Slider2:
            out.effect = Effect::Redraw;
            break;
        case Control::Text4:
            if (boxValue(c.Text4) == 0.0)
                rewrite(c.Text4, QStringLiteral("1"), Control::Text4, out);
            else
                out.effect = Effect::LineWidthRedraw;
            break;
        case Control::Text5:
            if (!(boxValue(c.Text5) >= 1.0)) {
                rewrite(c.Text5, QStringLiteral("1"), Control::Text5, out);
            } else if (const auto v = boxInt16(c.Text5)) {
                state.StepInc = *v;
                out.effect = Effect::StepInc;
            }
            // A step beyond 16 bits fails the handler: StepInc stays.
            break;
        case Control::Text6:
            out.effect = Effect::Wait;
            break;
        case Control::Text7:
            if (boxValue(c.Text7) < 0.0) rewrite(c.Text7, QStringLiteral("0"), Control::Text7, out);
            break;
        case Control::Slider1:
            out.effect = Effect::Layout;
            break;
        case Control::HScroll2:
        case Control::VScroll1:
            out.effect = Effect::Viewpoint;
            break;
        case Control::HScroll1:
            out.effect = Effect::Time;
            break;
        case Control::Text3_0:
        case Control::Text3_1:
        case Control::Check2:
        case Control::Check4:
            break;
    }
    return out;
}

std::vector<Effect> settleChange(ViewMode mode, Control control, ControlValues& controls,
                                 ViewerState& state) {
    std::vector<Effect> effects;
    std::deque<Control> pending{control};
    // Every correction writes a fixed valid text, so the chain ends quickly;
    // the bound only guards against a handler that would keep rewriting.
    for (int guard = 0; !pending.empty() && guard < 64; ++guard) {
        const Control next = pending.front();
        pending.pop_front();
        ChangeOutcome out = onControlChange(mode, next, controls, state);
        // A rewritten box raises its change inside the handler, before the
        // handler's own effect would run.
        pending.insert(pending.begin(), out.rewritten.begin(), out.rewritten.end());
        if (out.effect != Effect::None) effects.push_back(out.effect);
    }
    return effects;
}

}  // namespace qrn::render
