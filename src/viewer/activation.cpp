#include "viewer/activation.h"

#include <QGuiApplication>

namespace qrn::viewer {

ActivationTracker& ActivationTracker::instance() {
    static ActivationTracker tracker;
    return tracker;
}

ActivationTracker::ActivationTracker() {
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            &ActivationTracker::focusWindowChanged);
}

void ActivationTracker::focusWindowChanged(QWindow* window) {
    // Another program in front (no focus window) leaves the record alone.
    if (!window) return;
    const Qt::WindowType type = window->type();
    if (type != Qt::Window && type != Qt::Dialog) return;
    if (window == current_) return;
    current_ = window;
    emit activated(window);
}

}  // namespace qrn::viewer
