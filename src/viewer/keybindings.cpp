#include "viewer/keybindings.h"

namespace qrn::viewer {

std::optional<ViewerCommand> commandForKey(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers m = modifiers & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (m == Qt::ControlModifier) {
        if (key == Qt::Key_Home) return ViewerCommand::Fit;
        return std::nullopt;
    }
    if (m != Qt::NoModifier) return std::nullopt;
    switch (key) {
        case Qt::Key_Space:
            return ViewerCommand::PlayStop;
        case Qt::Key_Left:
            return ViewerCommand::StepBack;
        case Qt::Key_Right:
            return ViewerCommand::StepForward;
        case Qt::Key_Home:
            return ViewerCommand::FirstStep;
        case Qt::Key_End:
            return ViewerCommand::LastStep;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            return ViewerCommand::ZoomIn;
        case Qt::Key_Minus:
            return ViewerCommand::ZoomOut;
        case Qt::Key_Escape:
            return ViewerCommand::Back;
        default:
            return std::nullopt;
    }
}

}  // namespace qrn::viewer
