#pragma once
// The viewer window "画像シミュレーション画面" of one display mode. One object
// per mode lives as long as the program and keeps the viewer's state record;
// its window is loaded when first opened, hidden or closed when the user
// leaves it, and loaded again (controls back to their initial values, state
// record kept) when opened after a close.
//
// The window composes the picture, the viewpoint bars and three panels
// (parameters, size, playback bar) and only translates their changes into the
// form model and back; every rule about what a change does lives there, and
// the drawing gets the form's typed view parameters.

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "dataset/dataset.h"
#include "render/layout.h"
#include "render/raster/imagecanvas.h"
#include "render/viewerstate.h"
#include "render/viewparams.h"
#include "viewer/keybindings.h"
#include "viewer/navigation.h"
#include "viewer/parameterpanel.h"
#include "viewer/picturewidget.h"
#include "viewer/playback.h"
#include "viewer/playbackbar.h"
#include "viewer/sizepanel.h"
#include "viewer/viewform.h"

class QAction;
class QMenu;

namespace qrn::viewer {

// The client area: reports its resizes to the window's layout pass.
class ClientArea final : public QWidget {
  public:
    using QWidget::QWidget;
    std::function<void()> onResize;

  protected:
    void resizeEvent(QResizeEvent* event) override;
};

class ViewerWindow final : public QWidget {
    Q_OBJECT
  public:
    // The text of the main window's calculation-interval box (seconds per step).
    using IntervalText = std::function<QString()>;
    // Shows the main window again ("前画面", closing the viewer).
    using ShowMain = std::function<void()>;

    // displayMode: 0 normal ("ノーマル"), 1 real ("リアル"). `dataset` is the
    // application's dataset; it must outlive the viewer and is re-read on
    // every activation and frame (never cached).
    ViewerWindow(Dataset& dataset, int displayMode, IntervalText intervalText, ShowMain showMain,
                 QWidget* parent = nullptr);
    ~ViewerWindow() override;
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    // Shows the viewer after a load: loads the window when it is not loaded,
    // puts the time bar at 0 when `resetTime`, shows it and runs activation.
    void open(bool resetTime);
    // Ends any playback (frame loop or timer) and shows the start button.
    void stopPlayback();
    // A new dataset was read or loaded: the next opening starts with the
    // whole model in view ("全体表示"), and the picked node is forgotten.
    void noteNewDataset();
    // "全体表示": display size, pan (and, when needed, the picture's scale) so
    // that the whole model at rest fits the picture.
    void fitToModel();
    // A short message in the window's status line (an export's result).
    void showStatus(const QString& text);
    QString statusText() const { return statusBar_.currentMessage(); }

    // The time bar: setting a new value shows its time and draws its frame.
    void setTimeStep(int step);
    int timeStep() const;
    int timeStepMaximum() const;
    // The picture's drawable area as last drawn (a copy).
    QImage currentImage();

    // The results window's view of the viewer: the tension record shown in the
    // bottom bar (the frame is drawn again), and the clearance line drawn over
    // every frame, in the picture, the screen copy and the GIF (none: empty).
    void selectTensionRecord(int record);
    void setClearanceOverlay(std::optional<render::ClearanceOverlay> overlay);

    // What the "グラフ" window starts with: the number of the node last picked
    // (a click beside the nodes keeps it; none since the last read: empty) and
    // the tension record of the bottom bar.
    std::optional<std::int32_t> pickedNodeNumber() const { return pickedNumber_; }
    int tensionRecord() const { return st_.TensSel; }

    // Real mode, "GIFアニメ": besides the signal, calls `handler` when set.
    void setGifAnimationHandler(std::function<void()> handler) { gifHandler_ = std::move(handler); }

    render::ViewMode mode() const { return mode_; }
    bool isLoaded() const { return loaded_; }
    const render::ViewerState& state() const { return st_; }
    const ViewForm& form() const { return form_; }
    const render::ViewParams& params() const { return params_; }
    QString nodeDataText() const { return nodeData_.text(); }
    std::optional<NodeRef> pickedNode() const { return picked_; }
    const Playback& playback() const { return playback_; }

    // The window's own steps, public for the main window and the tests.
    void activate();      // Form_Activate
    void layoutPass();    // Form_Resize
    void screenCopy();    // "画面コピー"
    void returnToMain();  // "前画面"
    QSize clientSize() const { return client_.size(); }
    void resizeClient(QSize client);
    void runCommand(ViewerCommand command);

    // Window titles are padded with blanks (pushing the by-line to the right)
    // only where title bars show titles from the left; a window manager that
    // centres titles would cut the padded one short.
    static bool platformPadsTitles();
    void setTitlePadding(bool on);

  signals:
    void gifAnimationRequested();
    void resultsRequested();  // "結果集計"
    void plotRequested();     // "グラフ"
    // A frame of another time step was drawn (the time bar, playback, a reset).
    void timeStepShown(int step);
    // A click picked a node that has a number.
    void nodePicked(std::int32_t number);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildMenu();
    void buildViewpointBars();
    void connectControls();
    void load();  // Form_Load

    // A control changed: settle its change (and the corrections it raises),
    // bring the view parameters up to date and run the effects.
    void controlChanged(ViewControl control);
    void runEffect(Effect effect);
    void pushControls();  // form -> widgets, without raising changes
    void applyGeometry(const render::LayoutGeometry& g);
    void afterDraw();  // bottom-bar read-outs and the picture repaint
    void updateTimeDisplay();
    double intervalSeconds() const;
    void mirrorPlayback();  // start/stop buttons and the playback timer
    void changeNode(int button);
    void pictureMouse(PictureWidget::MouseAction action, Qt::MouseButton button,
                      Qt::MouseButtons buttons, QPointF pixel);
    void applyPick(std::optional<NodeRef> hit);
    void updateMark();
    void panPressed(int direction);
    void panTick();
    void recentre();
    // Display size `level`; with a pixel, the point under it stays there.
    void zoomTo(int level, std::optional<QPointF> pixel);
    void remember();  // the boxes and geometry that outlive the program
    double refreshRate() const;

    // Playback's view of the window.
    class Ports final : public PlaybackPorts {
      public:
        explicit Ports(ViewerWindow& w) : w_(w) {}
        int timeValue() const override;
        int timeMaximum() const override;
        void setTimeValue(int value) override;
        bool repeat() const override;
        QString waitText() const override;
        void scheduleFrame() override;
        void playbackChanged() override;

      private:
        ViewerWindow& w_;
    };

    Dataset& ds_;
    const render::ViewMode mode_;
    IntervalText intervalText_;
    ShowMain showMain_;
    std::function<void()> gifHandler_;

    render::ViewerState st_;
    ViewForm form_;
    render::ViewParams params_;  // form_ as numbers, brought up to date on every change
    std::unique_ptr<render::ImageCanvas> canvas_;
    Ports ports_{*this};
    Playback playback_{st_, ports_};
    QTimer timer1_;      // playback timer
    QTimer frameTimer_;  // the frame loop's next pass, once pending events ran
    QTimer timer2_;      // pan timer of the direction buttons
    bool loaded_ = false;
    bool syncing_ = false;  // writing values into widgets: their signals are not changes
    bool opening_ = false;  // open() runs the activation itself, after showing
    bool fitPending_ = false;
    bool padTitles_ = platformPadsTitles();
    // A left press picks on release, unless the mouse moved far enough to drag.
    bool leftDown_ = false;
    bool dragging_ = false;
    QPointF pressPixel_;
    std::optional<NodeRef> pressHit_;
    std::optional<NodeRef> picked_;
    std::optional<std::int32_t> pickedNumber_;
    int shownStep_ = -1;       // the step of the last timeStepShown
    QElapsedTimer paceClock_;  // paces the frame loop to the screen's refresh
    double nextPassMs_ = 0.0;

    // Widgets, declared parents first (destroyed children first).
    QVBoxLayout outer_;
    QWidget menuRow_;
    QHBoxLayout menuRowLayout_;
    QMenuBar menuBar_;
    QLabel nodeData_;  // "ﾉｰﾄﾞﾃﾞｰﾀ:" (NodData)
    QAction* imgCopy_ = nullptr;
    QAction* fit_ = nullptr;
    QMenu* animationMenu_ = nullptr;
    QAction* gifAni_ = nullptr;
    QAction* results_ = nullptr;
    QAction* plot_ = nullptr;
    ClientArea client_;
    PictureWidget picture_;
    QScrollBar hScroll2_{Qt::Horizontal};  // azimuth
    QScrollBar vScroll1_{Qt::Vertical};    // elevation
    ParameterPanel paramPanel_{mode_};
    SizePanel sizePanel_;
    PlaybackBar bottomBar_;
    QStatusBar statusBar_;
};

}  // namespace qrn::viewer
