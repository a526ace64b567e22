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
#include "render/raster/imagecanvas.h"
#include "render/viewerstate.h"
#include "render/viewparams.h"
#include "viewer/viewform.h"

namespace qrn::viewer {

// The viewer's controls as command-line view options; unset values keep the
// control's initial value. Box texts are typed as given, so the viewer's
// corrections apply.
struct FrameOptions {
    ViewMode mode = ViewMode::Real;
    std::optional<QSize> window;  // client area; default per mode
    int timeStep = 0;
    std::optional<QString> perspectiveRatio;  // the first box (real mode: view distance)
    std::optional<QString> nearScale;         // the second box (real mode: centre width)
    std::optional<QString> markerStep;
    std::optional<int> markerSize;
    std::optional<QString> twistScale;
    std::optional<QString> lineWidth;
    std::optional<QString> dispScale;
    bool sideways = false;
    bool nearLow = false;  // normal mode only
    bool trace = false;
    std::optional<int> zoomLevel;
    std::optional<int> azimuth;
    std::optional<int> elevation;
    std::optional<std::pair<QString, QString>> nodeRange;  // first, last
    std::optional<std::pair<double, double>> pan;          // PanX, PanY
    bool wantPoints = false;
};

struct FrameResult {
    QImage image;       // the drawable area of the picture
    QByteArray points;  // "slot,index,node,ScrX,ScrY" lines when asked for
    render::FrameEnd end = render::FrameEnd::NoData;
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
    int timeStep() const { return params_.timeStep; }
    int stepMax() const;
    ViewMode mode() const { return mode_; }

    // The picture's drawable area as drawn so far.
    const QImage& image() { return canvas_.image(); }
    // "slot,index,node,ScrX,ScrY" lines of the last frame.
    QByteArray points() const;
    render::FrameEnd lastFrame() const { return st_.LastFrame; }

  private:
    Dataset& ds_;
    ViewMode mode_;
    render::ViewerState st_;
    ViewForm form_;
    render::ViewParams params_;
    render::ImageCanvas canvas_;
};

// One frame: a FrameJob's picture and, when asked for, its points.
FrameResult renderFrame(Dataset& ds, const FrameOptions& options);

}  // namespace qrn::viewer
