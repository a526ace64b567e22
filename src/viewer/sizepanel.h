#pragma once
// The viewer's size panel below the parameter panel: the display size slider
// and the nine direction buttons that move the picture while held down.

#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QWidget>
#include <array>

namespace qrn::viewer {

class SizePanel final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 66;
    static constexpr int kDirections = 9;

    SizePanel();

    // Shows the display size without reporting it as a change.
    void showZoomLevel(int level);
    // At (`left`, `top`) in the client area, down to `bottom`.
    void place(int left, int top, int bottom);

  signals:
    void zoomLevelChanged(int level);
    // Direction button k (0..8: row k / 3, column 2 - k % 3) held down, and let go.
    void panPressed(int direction);
    void panReleased();

  private:
    bool syncing_ = false;
    QLabel slider1Caption_;
    QSlider slider1_{Qt::Horizontal};
    std::array<QToolButton, kDirections> image1_;
};

}  // namespace qrn::viewer
