#pragma once
// A viewer without a window (qrnconv frame and gif): opens a viewer's state on
// the dataset, applies the view options as if typed into the opened viewer,
// runs a layout pass and draws the requested time step onto a QImage.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>
#include <utility>

#include "dataset/dataset.h"
#include "render/controls.h"
#include "render/hidrow.h"
#include "render/raster/imagecanvas.h"
#include "render/viewerstate.h"

namespace qrn::render {

// The viewer's controls as command-line view options; unset values keep the
// control's initial value.
struct FrameOptions {
    ViewMode mode = ViewMode::Real;
    std::optional<QSize> window;  // client area; default per mode
    int timeStep = 0;
    std::optional<QString> p1;                             // Text1(0)
    std::optional<QString> p2;                             // Text1(1)
    std::optional<QString> markers;                        // Text1(2)
    std::optional<int> markerSize;                         // Slider2
    std::optional<QString> twistScale;                     // Text2
    std::optional<QString> lineWidth;                      // Text4
    std::optional<QString> dispScale;                      // Text7
    bool sideways = false;                                 // Check1
    bool nearLow = false;                                  // Check3 (normal mode only)
    bool trace = false;                                    // Check2
    std::optional<int> zoom;                               // Slider1
    std::optional<int> h;                                  // HScroll2
    std::optional<int> v;                                  // VScroll1
    std::optional<std::pair<QString, QString>> nodeRange;  // Text3(0), Text3(1)
    std::optional<std::pair<double, double>> pan;          // PanX, PanY
    bool wantPoints = false;
};

struct FrameResult {
    QImage image;       // the drawable area of the picture
    QByteArray points;  // "slot,index,node,ScrX,ScrY" lines when asked for
    FrameEnd end = FrameEnd::NoData;
};

// An opened viewer kept alive so that more time steps can be drawn, as the
// GIF export steps the viewer's time bar. Holds `ds` by reference.
class FrameJob {
  public:
    // Loads and activates the viewer, applies the options and draws
    // options.timeStep. Sets FirstNode/LastNode of `ds` as the layout pass would.
    FrameJob(Dataset& ds, const FrameOptions& options);
    FrameJob(const FrameJob&) = delete;
    FrameJob& operator=(const FrameJob&) = delete;

    // Moves the time bar to `step` (held to 0..stepMax()); like the bar's
    // change event, only a new value draws.
    void setTimeStep(int step);
    int timeStep() const { return c_.HScroll1; }
    int stepMax() const;
    ViewMode mode() const { return mode_; }

    // The picture's drawable area as drawn so far.
    const QImage& image() { return canvas_.image(); }
    // "slot,index,node,ScrX,ScrY" lines of the last frame.
    QByteArray points() const;
    FrameEnd lastFrame() const { return st_.LastFrame; }

  private:
    Dataset& ds_;
    ViewMode mode_;
    ViewerState st_;
    ControlValues c_;
    ImageCanvas canvas_;
};

// One frame: a FrameJob's picture and, when asked for, its points.
FrameResult renderFrame(Dataset& ds, const FrameOptions& options);

}  // namespace qrn::render
