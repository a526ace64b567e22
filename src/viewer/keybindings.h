#pragma once
// The viewer's keyboard: which key does what. Keys a focused box, slider or
// button uses itself stay with it; the rest reach the window and go through
// this table.

#include <Qt>
#include <optional>

namespace qrn::viewer {

enum class ViewerCommand {
    PlayStop,     // Space: start or stop playback
    StepBack,     // Left: one drawing step back
    StepForward,  // Right: one drawing step on
    FirstStep,    // Home
    LastStep,     // End
    ZoomIn,       // + (also = and the keypad's +)
    ZoomOut,      // - (also the keypad's -)
    Back,         // Esc: "前画面"
    Fit,          // Ctrl+Home: "全体表示"
};

// Shift and the keypad do not matter (a "+" needs Shift on many layouts);
// any other modifier than Ctrl for "全体表示" leaves the key unbound.
std::optional<ViewerCommand> commandForKey(int key, Qt::KeyboardModifiers modifiers);

}  // namespace qrn::viewer
