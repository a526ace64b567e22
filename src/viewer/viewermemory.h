#pragma once
// What a viewer remembers from one run of the program to the next, per
// display mode: the wait, display size and marker boxes and the window's
// place and size. The only place that touches the program's settings store.

#include <QByteArray>
#include <QString>
#include <optional>

#include "viewer/viewform.h"

namespace qrn::viewer {

struct ViewerMemory {
    std::optional<QString> wait;        // "動作ｳｪｲﾄ"
    std::optional<QString> markerStep;  // "ﾏｰｶｰ間隔"
    std::optional<int> markerSize;      // "サイズ"
    std::optional<int> zoomLevel;       // "表示ｻｲｽﾞ"
    QByteArray geometry;                // the window's saved geometry; empty when none

    // The boxes of a form as they are now.
    static ViewerMemory of(const ViewForm& form, QByteArray geometry);
    // Puts the remembered boxes into `form`; each slider stays within its range.
    void applyTo(ViewForm& form) const;
};

// Values stored by an earlier run; a value that is missing or unusable is empty.
ViewerMemory recallViewer(ViewMode mode);
void rememberViewer(ViewMode mode, const ViewerMemory& memory);

}  // namespace qrn::viewer
