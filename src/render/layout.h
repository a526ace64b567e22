#pragma once
// The layout pass's numbers: window geometry from the client size, the
// display magnification, the coordinate window and pixels per drawing unit.

#include <QRect>
#include <QSize>
#include <QString>

#include "dataset/dataset.h"
#include "render/viewerstate.h"
#include "render/viewparams.h"

namespace qrn::render {

inline constexpr QSize kInitialClientNormal{682, 446};
inline constexpr QSize kInitialClientReal{678, 445};
QSize initialClientSize(ViewMode mode);

// The picture has a 2-pixel sunken border on every side: its drawable area,
// the canvas, is 4 pixels smaller than its outer size.
inline constexpr int kPictureBorder = 2;

struct LayoutGeometry {
    QRect picture;  // outer rectangle of the picture
    QSize canvas;   // drawable area inside the border
    int paramPanelLeft = 0;
    int bottomBarTop = 0;
    int sizePanelLeft = 0;
    int sizePanelTop = 0;
    QString title;
};

QString modeTitle(ViewMode mode);
// Mode title, then round(W / 6.5 - 50) blanks (0..200), then the by-line.
QString windowTitle(ViewMode mode, int clientWidth);
int titleGap(int clientWidth);
extern const QString kTitleByLine;

// Geometry for a client area W x H. Clients too small for a picture get the
// smallest picture that still has a 1 x 1 drawable area.
LayoutGeometry layoutGeometry(ViewMode mode, QSize client);

// Zoom, ViewWidth, ViewHeight, the placement (ViewLeft, ViewTop), the
// coordinate window and PixPerUnitX/Y for a picture of the given outer size.
void layoutNumbers(ViewMode mode, QSize picture, const ViewParams& params, ViewerState& state);

// ViewLeft/ViewTop from the viewpoint (normal) or the origin (real) and the
// coordinate window from them and the pan offsets; used after the viewpoint
// moved in normal mode, too.
void placeWindow(ViewMode mode, const ViewParams& params, ViewerState& state);

// FirstNode/LastNode := the node range. A value beyond 16 bits (empty)
// leaves that end as it was.
void applyNodeRange(const ViewParams& params, Dataset& dataset);

}  // namespace qrn::render
