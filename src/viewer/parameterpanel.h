#pragma once
// The viewer's parameter panel at the right edge of the client area: the
// parameter boxes, the marker size slider, the check boxes and the node
// range. It shows a form's values and reports every change the user makes
// as the control's meaning and its new value.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QWidget>
#include <array>

#include "viewer/viewform.h"

namespace qrn::viewer {

class ParameterPanel final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 70;

    explicit ParameterPanel(ViewMode mode);

    // Shows the form's texts, positions, ticks and enabled boxes without
    // reporting them as changes.
    void showForm(const ViewForm& form);
    // At `left` in the client area, from the top down to `bottom`.
    void place(int left, int bottom);

  signals:
    void textChanged(qrn::viewer::ViewControl control, const QString& text);
    void valueChanged(qrn::viewer::ViewControl control, int value);
    void checkToggled(qrn::viewer::ViewControl control, bool on);

  private:
    void build(ViewMode mode);
    void connectControls();

    bool syncing_ = false;  // showing a form: the controls' signals are not changes

    std::array<QLabel, 3> text1Caption_;
    std::array<QLineEdit, 3> text1_;
    QLabel unit0_, unit1_;
    QLabel slider2Caption_;
    QSlider slider2_{Qt::Horizontal};
    QLabel text2Caption_, text2Unit_;
    QLineEdit text2_;
    QCheckBox check1_;
    QLabel text4Caption_, text5Caption_, text7Caption_, text6Caption_, text6Unit_;
    QLineEdit text4_, text5_, text7_, text6_;
    QCheckBox check2_, check3_;
    std::array<QLineEdit, 2> text3_;
    QLabel tilde_;
};

}  // namespace qrn::viewer
