#pragma once
// The "グラフ" window of the viewers. The viewer knows nothing of charts: it
// asks for the window and reports its time step and picks; this link owns the
// one plot window, serving whichever viewer opened it, and brings the results
// window's clearance curves to it. The window reads the dataset by reference,
// so it goes before a new read or a new interval makes its numbers stale.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>
#include <functional>

#include "dataset/dataset.h"
#include "plot/plotwindow.h"
#include "viewer/viewerwindow.h"

namespace qrn {

class ResultsWindow;

class PlotLink : public QObject {
    Q_OBJECT

  public:
    // `data` must outlive the link; `intervalText` is the main window's
    // interval box (seconds per stored step).
    PlotLink(const Dataset& data, std::function<QString()> intervalText, QObject* parent = nullptr);
    ~PlotLink() override;

    // Couples a viewer: its "グラフ" menu opens the window for it.
    void attach(viewer::ViewerWindow* viewer);
    // Its "グラフへ送る" adds the clearance curve, opening the window when needed.
    void attach(ResultsWindow* results);

    // "グラフ": shows the window for `viewer`. A window opened anew (or taken
    // over from the other viewer) gets the viewer's picked node and tension record.
    void open(viewer::ViewerWindow* viewer);
    void close();
    // Closes the window when the dataset or the interval is no longer the one
    // it was opened on.
    void checkDataset();

    plot::PlotWindow* window() const { return window_; }
    viewer::ViewerWindow* servedViewer() const { return viewer_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The window, made for `viewer` (nullptr: coupled to none) when there is none.
    void ensureWindow(viewer::ViewerWindow* viewer);
    // Shows the window for `viewer`, with its picked node and tension record
    // when `viewerSelection` and the window is new to the viewer.
    void show(viewer::ViewerWindow* viewer, bool viewerSelection);
    void addClearanceCurve(ResultsWindow* results, const QString& name,
                           const QVector<double>& times, const QVector<double>& values);

    struct Stamp {
        const void* disp = nullptr;
        const void* pos = nullptr;
        const void* tension = nullptr;
        std::int32_t cables = 0, nodes = 0, steps = 0;
        QString interval;
        bool operator==(const Stamp&) const = default;
    };
    Stamp stampNow() const;

    const Dataset& data_;
    std::function<QString()> intervalText_;
    QPointer<plot::PlotWindow> window_;
    QPointer<viewer::ViewerWindow> viewer_;
    QMetaObject::Connection clicks_;
    Stamp stamp_;
};

}  // namespace qrn
