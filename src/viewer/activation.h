#pragma once
// When a viewer window counts as activated: it comes to the front from
// another window of this program (the main window, a dialog) or is opened.
// Switching back from another program, or closing a menu or tool tip, is not
// an activation, so the node-range boxes a user typed survive it.

#include <QObject>
#include <QPointer>
#include <QWindow>

namespace qrn::viewer {

class ActivationTracker final : public QObject {
    Q_OBJECT
  public:
    // One tracker per application, created on first use.
    static ActivationTracker& instance();

    // Records `window` as the program's front window without an activation
    // (the viewer already activated itself while opening).
    void setCurrent(QWindow* window) { current_ = window; }
    QWindow* current() const { return current_; }

  signals:
    void activated(QWindow* window);

  private:
    ActivationTracker();
    void focusWindowChanged(QWindow* window);

    QPointer<QWindow> current_;
};

}  // namespace qrn::viewer
