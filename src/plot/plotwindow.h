#pragma once
// The "グラフ" window: time histories of the CSV window's selection (nodes
// with their axes, tension records, beam records, the time boxes) drawn by
// SeriesChart, with series added by name from elsewhere (the clearance of two
// phases over time). A vertical line marks the current time step; a click in
// the plot reports the nearest stored step. Saves the chart as PNG or SVG,
// copies it to the clipboard, and saves the plotted series as CSV.
//
// Coupling to a viewer, in the viewer's code:
//   connect(plot, &PlotWindow::stepClicked, viewer, &ViewerWindow::setTimeStep);
//   after every frame: plot->setCurrentStep(viewer->timeStep());
//   after a pick:      plot->addNode(number);

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "analysis/series.h"
#include "dataset/dataset.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTabWidget;

namespace qrn::plot {

class CheckTableModel;
class PlotView;
class SeriesChart;

inline const QString kPlotWindowTitle = QStringLiteral("グラフ");

class PlotWindow : public QWidget {
    Q_OBJECT

  public:
    // data: the loaded dataset; read only, and it must outlive the window (a
    // new read must close the window first). intervalText: the main window's
    // interval box (seconds per stored step).
    PlotWindow(const Dataset& data, const QString& intervalText, QWidget* parent = nullptr);
    ~PlotWindow() override;

    // Adds every axis (X, Y, Z, θ) of every node-table entry with this node
    // number; false (nothing changed) when the table has no such node.
    bool addNode(std::int32_t number);
    // Adds tension record `record` (0 .. TensionMax); false when out of range.
    bool addTensionRecord(std::int64_t record);
    // Adds a series computed elsewhere, or replaces the one with its label.
    // Its grid's dt should be this window's (times are compared as they are).
    void addNamedSeries(analysis::Series series);
    bool removeNamedSeries(const QString& label);

    // The time line: at the time of stored step `step`.
    void setCurrentStep(int step);
    int currentStep() const { return currentStep_; }

    // "全体表示".
    void showAll();

    // Outputs without dialogs (the buttons ask for the name and whether to
    // overwrite, then call these). Throw QrnError; no file is then changed.
    void saveImage(const QString& path);
    void saveCsv(const QString& path) const;
    void copyToClipboard();

    const analysis::PlotSelection& selection() const { return sel_; }
    std::vector<const analysis::Series*> plottedSeries() const;
    SeriesChart& chart() const;
    PlotView& view() const { return *view_; }
    // The read-out line under the chart.
    QString readoutText() const;

  signals:
    // The user clicked in the plot: the stored step nearest the time there.
    void stepClicked(int step);

  private:
    struct Cached {
        analysis::SeriesKey key;
        std::shared_ptr<const analysis::Series> series;
    };

    QWidget* buildSelectionPanel();
    QWidget* buildTimeBoxes();
    void selectionEdited();
    void timeBoxesEdited();
    bool rebuild();
    void refreshLists();
    void clearAll();
    void addNodeFromBox();
    void showReadout(std::optional<double> time);
    void clicked(double time);
    void saveImageDialog();
    void saveCsvDialog();
    bool confirmOverwrite(const QString& path);
    void showError(const QString& title, const QString& text);

    const Dataset& data_;
    QString intervalText_;
    analysis::PlotSelection sel_;
    analysis::PlotSelection lastGood_;  // restored when a change cannot be drawn
    analysis::StepGrid grid_;
    analysis::StepGrid stored_;
    std::vector<Cached> cache_;
    bool cacheInit_ = false;
    std::vector<std::unique_ptr<analysis::Series>> named_;
    int currentStep_ = 0;
    std::optional<double> hover_;

    PlotView* view_ = nullptr;
    SeriesChart* chart_ = nullptr;
    CheckTableModel* nodeModel_ = nullptr;
    CheckTableModel* tensionModel_ = nullptr;
    CheckTableModel* beamModel_ = nullptr;
    QTableView* nodeTable_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QLineEdit* nodeNumber_ = nullptr;
    QCheckBox* init_ = nullptr;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    QLineEdit* every_ = nullptr;
    QLabel* readout_ = nullptr;
};

}  // namespace qrn::plot
