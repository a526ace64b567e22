#include "viewer/viewerwindow.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDate>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <new>

#include "dataset/numbers.h"
#include "render/fit.h"
#include "render/viewer.h"
#include "viewer/activation.h"
#include "viewer/clientfont.h"
#include "viewer/viewermemory.h"

namespace qrn::viewer {

namespace {

const QString kTipPicture = QStringLiteral(
    "ノード点をクリックするとノード情報が表示されます(左上のメニュータイトル内に表示)。"
    "右ドラッグで中心移動。左ドラッグで視点移動。");

const QString kTensionInitial = QStringLiteral("   0kg");

const QString kTipFit =
    QStringLiteral("モデル全体が画面に収まるように表示ｻｲｽﾞと表示位置を合わせます。(Ctrl+Home)");
const QString kCopied = QStringLiteral("クリップボードにコピーしました");
const QString kEyeInside = QStringLiteral(
    "視点がモデルの内側にあるため、全体は表示できません（視点距離を大きくすると表示できます）");
const QString kSkewTooWide =
    QStringLiteral("視点の傾きが大きいため、全体は表示できません（視点を戻すと表示できます）");
const QString kScaleChanged = QStringLiteral("全体が入るように%1にしました");

constexpr int kBarThickness = 16;
constexpr int kViewpointPageStep = 10;
constexpr int kPanTickMs = 1;
// A click on a direction button moves one step; held, it repeats after this.
constexpr int kPanRepeatDelayMs = 300;
constexpr int kCentreButton = 4;
// A left press that moves no further than this (pixels, either way) is a click.
constexpr int kClickSlopPixels = 3;
constexpr int kStatusMs = 10000;

}  // namespace

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (onResize) onResize();
}

ViewerWindow::ViewerWindow(Dataset& dataset, int displayMode, IntervalText intervalText,
                           ShowMain showMain, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ds_(dataset),
      mode_(displayMode == 1 ? ViewMode::Real : ViewMode::Normal),
      intervalText_(std::move(intervalText)),
      showMain_(std::move(showMain)),
      form_(ViewForm::initial(mode_)),
      params_(form_.params()),
      canvas_(std::make_unique<render::ImageCanvas>()) {
    setObjectName(mode_ == ViewMode::Real ? QStringLiteral("Form2R") : QStringLiteral("Form2"));
    setWindowTitle(render::modeTitle(mode_));

    outer_.setContentsMargins(0, 0, 0, 0);
    outer_.setSpacing(0);
    setLayout(&outer_);
    menuRow_.setParent(this);
    menuRowLayout_.setContentsMargins(0, 0, 0, 0);
    menuRowLayout_.setSpacing(0);
    menuRow_.setLayout(&menuRowLayout_);
    buildMenu();
    outer_.addWidget(&menuRow_);
    client_.setParent(this);
    outer_.addWidget(&client_, 1);
    statusBar_.setParent(this);
    statusBar_.setObjectName(QStringLiteral("StatusBar"));
    outer_.addWidget(&statusBar_);

    client_.setFont(clientFont(client_.font()));

    picture_.setParent(&client_);
    picture_.setObjectName(QStringLiteral("Picture1"));
    picture_.setToolTip(kTipPicture);
    picture_.setCanvas(canvas_.get());

    buildViewpointBars();
    paramPanel_.setParent(&client_);
    sizePanel_.setParent(&client_);
    bottomBar_.setParent(&client_);
    connectControls();
    pushControls();

    client_.onResize = [this] {
        if (loaded_ && isVisible() && !opening_)
            layoutPass();
        else
            applyGeometry(render::layoutGeometry(mode_, client_.size()));
    };
    resizeClient(render::initialClientSize(mode_));

    connect(&ActivationTracker::instance(), &ActivationTracker::activated, this,
            [this](QWindow* w) {
                if (loaded_ && isVisible() && w == windowHandle()) activate();
            });
    paceClock_.start();
}

ViewerWindow::~ViewerWindow() {
    // The members go before the QWidget base: nothing may call back into them
    // while the base tears the window down.
    disconnect(&ActivationTracker::instance(), nullptr, this, nullptr);
    remember();
    client_.onResize = nullptr;
    frameTimer_.stop();
    timer1_.stop();
    timer2_.stop();
}

void ViewerWindow::buildMenu() {
    menuBar_.setParent(&menuRow_);
    menuBar_.setNativeMenuBar(false);
    imgCopy_ = menuBar_.addAction(QStringLiteral("画面コピー"));
    imgCopy_->setObjectName(QStringLiteral("ImgCopy"));
    connect(imgCopy_, &QAction::triggered, this, [this] { screenCopy(); });
    fit_ = menuBar_.addAction(QStringLiteral("全体表示"));
    fit_->setObjectName(QStringLiteral("FitView"));
    fit_->setToolTip(kTipFit);
    fit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home));
    connect(fit_, &QAction::triggered, this, [this] { fitToModel(); });
    if (mode_ == ViewMode::Real) {
        animationMenu_ = menuBar_.addMenu(QStringLiteral("アニメーション作成"));
        gifAni_ = animationMenu_->addAction(QStringLiteral("GIFアニメ"));
        gifAni_->setObjectName(QStringLiteral("GifAni"));
        connect(gifAni_, &QAction::triggered, this, [this] {
            emit gifAnimationRequested();
            if (gifHandler_) gifHandler_();
        });
    }
    results_ = menuBar_.addAction(QStringLiteral("結果集計"));
    results_->setObjectName(QStringLiteral("Results"));
    connect(results_, &QAction::triggered, this, [this] { emit resultsRequested(); });
    plot_ = menuBar_.addAction(QStringLiteral("グラフ"));
    plot_->setObjectName(QStringLiteral("Plot"));
    plot_->setToolTip(
        QStringLiteral("選んだノード点と表示中の張力の時間変化をグラフ画面に表示します。"));
    connect(plot_, &QAction::triggered, this, [this] { emit plotRequested(); });
    menuRowLayout_.addWidget(&menuBar_);
    // The node information can be long: it gets the rest of the menu row, and
    // the whole text is also its tool tip and can be selected and copied.
    nodeData_.setParent(&menuRow_);
    nodeData_.setObjectName(QStringLiteral("NodData"));
    nodeData_.setText(kNodeDataCaption);
    nodeData_.setTextInteractionFlags(Qt::TextSelectableByMouse);
    nodeData_.setContentsMargins(6, 0, 6, 0);
    nodeData_.setMinimumWidth(0);
    nodeData_.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    menuRowLayout_.addWidget(&nodeData_, 1);
    menuRow_.setAutoFillBackground(true);
    menuRow_.setBackgroundRole(QPalette::Button);
}

void ViewerWindow::buildViewpointBars() {
    const ScrollSpec hs = azimuthScroll(mode_);
    const ScrollSpec vs = elevationScroll(mode_);
    hScroll2_.setParent(&client_);
    hScroll2_.setObjectName(QStringLiteral("HScroll2"));
    hScroll2_.setRange(std::min(hs.min, hs.max), std::max(hs.min, hs.max));
    hScroll2_.setPageStep(kViewpointPageStep);
    vScroll1_.setParent(&client_);
    vScroll1_.setObjectName(QStringLiteral("VScroll1"));
    vScroll1_.setRange(std::min(vs.min, vs.max), std::max(vs.min, vs.max));
    vScroll1_.setPageStep(kViewpointPageStep);
    // The normal-mode bar has its largest value at the top end.
    vScroll1_.setInvertedAppearance(vs.min > vs.max);
    vScroll1_.setInvertedControls(vs.min > vs.max);
}

void ViewerWindow::connectControls() {
    connect(&paramPanel_, &ParameterPanel::textChanged, this,
            [this](ViewControl control, const QString& text) {
                form_.setText(control, text);
                controlChanged(control);
            });
    connect(&paramPanel_, &ParameterPanel::valueChanged, this, [this](ViewControl control, int v) {
        form_.setValue(control, v);
        controlChanged(control);
    });
    connect(&paramPanel_, &ParameterPanel::checkToggled, this,
            [this](ViewControl control, bool on) {
                form_.setChecked(control, on);
                controlChanged(control);
            });
    connect(&sizePanel_, &SizePanel::zoomLevelChanged, this, [this](int level) {
        form_.zoomLevel = level;
        controlChanged(ViewControl::ZoomLevel);
    });
    auto onBar = [this](QScrollBar& bar, ViewControl control) {
        connect(&bar, &QScrollBar::valueChanged, this, [this, control](int v) {
            if (syncing_) return;
            form_.setValue(control, v);
            controlChanged(control);
        });
    };
    onBar(hScroll2_, ViewControl::Azimuth);
    onBar(vScroll1_, ViewControl::Elevation);
    connect(&bottomBar_, &PlaybackBar::timeStepChanged, this, [this](int step) {
        form_.timeStep = step;
        controlChanged(ViewControl::TimeStep);
    });
    connect(&bottomBar_, &PlaybackBar::repeatToggled, this, [this](bool on) {
        form_.repeat = on;
        controlChanged(ViewControl::Repeat);
    });

    connect(&bottomBar_, &PlaybackBar::backClicked, this, [this] { returnToMain(); });
    connect(&bottomBar_, &PlaybackBar::startClicked, this, [this] { playback_.start(); });
    connect(&bottomBar_, &PlaybackBar::stopClicked, this, [this] { playback_.stop(); });
    connect(&timer1_, &QTimer::timeout, this, [this] { playback_.timerTick(); });
    frameTimer_.setSingleShot(true);
    frameTimer_.setInterval(0);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, [this] { playback_.continueFrameLoop(); });
    connect(&bottomBar_, &PlaybackBar::nodeButtonClicked, this, [this](int i) { changeNode(i); });

    picture_.setMouseHandler(
        [this](PictureWidget::MouseAction action, Qt::MouseButton button, Qt::MouseButtons buttons,
               QPointF pixel) { pictureMouse(action, button, buttons, pixel); });
    picture_.setWheelHandler(
        [this](int notches, QPointF pixel) { zoomTo(form_.zoomLevel + notches, pixel); });
    connect(&timer2_, &QTimer::timeout, this, [this] {
        if (timer2_.interval() != kPanTickMs) timer2_.setInterval(kPanTickMs);
        panTick();
    });
    connect(&sizePanel_, &SizePanel::panPressed, this, [this](int k) { panPressed(k); });
    connect(&sizePanel_, &SizePanel::panReleased, this, [this] { timer2_.stop(); });
}

void ViewerWindow::pushControls() {
    const bool was = syncing_;
    syncing_ = true;
    paramPanel_.showForm(form_);
    sizePanel_.showZoomLevel(form_.zoomLevel);
    hScroll2_.setValue(form_.azimuth);
    vScroll1_.setValue(form_.elevation);
    bottomBar_.showTimeStep(form_.timeStep);
    bottomBar_.showRepeat(form_.repeat);
    syncing_ = was;
}

void ViewerWindow::controlChanged(ViewControl control) {
    const std::vector<Effect> effects = settleChange(mode_, control, form_, st_);
    updateParams(params_, form_, control);
    pushControls();
    for (const Effect e : effects) runEffect(e);
}

void ViewerWindow::runEffect(Effect effect) {
    try {
        switch (effect) {
            case Effect::None:
                return;
            case Effect::StepInc:
                bottomBar_.setTimeStepIncrement(std::max<int>(1, st_.StepInc));
                return;
            case Effect::Wait:
                playback_.waitChanged();
                return;
            case Effect::Layout:
                layoutPass();
                return;
            case Effect::Time:
                updateTimeDisplay();
                break;
            default:
                break;
        }
        viewer::runEffect(effect, mode_, ds_, st_, params_, *canvas_);
    } catch (const std::bad_alloc&) {
        // A frame too large for the memory left: keep the picture as it is.
    }
    afterDraw();
}

void ViewerWindow::layoutPass() {
    try {
        const render::LayoutGeometry g =
            render::layoutPass(mode_, client_.size(), ds_, st_, params_, *canvas_);
        applyGeometry(g);
    } catch (const std::bad_alloc&) {
        applyGeometry(render::layoutGeometry(mode_, client_.size()));
    }
    afterDraw();
}

void ViewerWindow::applyGeometry(const render::LayoutGeometry& g) {
    const QRect pic = g.picture;
    const int w = client_.width();
    picture_.setGeometry(pic);
    hScroll2_.setGeometry(pic.left(), 2, pic.width(), kBarThickness);
    // The picture's lower edge lies under the bottom bar; the bar beside it
    // ends above, so that its lower arrow stays in view.
    vScroll1_.setGeometry(2, pic.top(), kBarThickness, std::max(0, g.bottomBarTop - pic.top()));
    paramPanel_.place(g.paramPanelLeft, g.sizePanelTop);
    sizePanel_.place(g.sizePanelLeft, g.sizePanelTop, g.bottomBarTop);
    bottomBar_.place(g.bottomBarTop, w);

    setWindowTitle(padTitles_ ? g.title
                              : render::modeTitle(mode_) + QLatin1Char(' ') + render::kTitleByLine);
}

bool ViewerWindow::platformPadsTitles() {
#ifdef Q_OS_WIN
    return true;  // title bars show the title from the left
#else
    // macOS and the common Linux desktops centre titles themselves.
    return false;
#endif
}

void ViewerWindow::setTitlePadding(bool on) {
    padTitles_ = on;
    applyGeometry(render::layoutGeometry(mode_, client_.size()));
}

void ViewerWindow::afterDraw() {
    bottomBar_.showTension(st_.TensionText);
    bottomBar_.showGauge(st_.GaugeMax, st_.GaugeValue);
    updateMark();
    picture_.update();
    // Once per step, not per redraw: a plot following playback gets one call a frame.
    if (form_.timeStep != shownStep_) {
        shownStep_ = form_.timeStep;
        emit timeStepShown(shownStep_);
    }
}

double ViewerWindow::intervalSeconds() const {
    const QString text = intervalText_ ? intervalText_() : QStringLiteral("0.05");
    // The box is meant to hold exactly a number; a text with something after
    // the number still shows times by its leading number.
    double v = num::strictValue(text).value_or(num::leadingValue(text));
    return std::isfinite(v) ? v : 0.0;
}

void ViewerWindow::updateTimeDisplay() {
    bottomBar_.showTime(render::timeDisplayText(intervalSeconds(), form_.timeStep));
}

void ViewerWindow::resizeClient(QSize client) {
    const int menu = menuRow_.sizeHint().height();
    resize(client.width(), client.height() + menu + statusBar_.sizeHint().height());
}

void ViewerWindow::load() {
    form_ = ViewForm::initial(mode_);
    const ViewerMemory memory = recallViewer(mode_);
    memory.applyTo(form_);
    params_ = form_.params();
    canvas_ = std::make_unique<render::ImageCanvas>();
    picture_.setCanvas(canvas_.get());
    st_.GaugeMax = 0.0f;
    st_.GaugeValue = 0.0f;
    st_.TensionText = kTensionInitial;
    pushControls();
    bottomBar_.showInitial();
    nodeData_.setText(kNodeDataCaption);
    nodeData_.setToolTip(QString());
    playback_.reset();
    resizeClient(render::initialClientSize(mode_));
    if (!memory.geometry.isEmpty()) restoreGeometry(memory.geometry);
    try {
        render::loadViewer(mode_, ds_, st_, params_);
    } catch (const std::bad_alloc&) {
        // Activation re-creates the multipliers and tries again.
    }
    loaded_ = true;
}

void ViewerWindow::open(bool resetTime) {
    opening_ = true;
    if (!loaded_) load();
    if (resetTime) {
        form_.timeStep = 0;
        updateParams(params_, form_, ViewControl::TimeStep);
        pushControls();
        updateTimeDisplay();
    }
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    opening_ = false;
    activate();
    ActivationTracker::instance().setCurrent(windowHandle());
    if (fitPending_) {
        fitPending_ = false;
        fitToModel();
    }
    picture_.setFocus(Qt::OtherFocusReason);
}

void ViewerWindow::noteNewDataset() {
    fitPending_ = true;
    picked_.reset();
    pickedNumber_.reset();
    pressHit_.reset();
    picture_.setMark(std::nullopt);
}

void ViewerWindow::fitToModel() {
    if (!loaded_) return;
    const render::LayoutGeometry g = render::layoutGeometry(mode_, client_.size());
    std::optional<render::ViewFit> fit =
        render::fitView(mode_, ds_, st_, params_, g.picture.size(), render::hiddenPictureRows(g));
    if (!fit) return;
    // The eye inside the model: step back until all of it lies ahead.
    std::optional<double> distance;
    if (!fit->whole && mode_ == ViewMode::Real)
        distance = render::viewDistanceClearOfModel(ds_, st_, params_);
    if (distance) {
        form_.perspectiveRatio = num::formatGeneralQ(*distance);
        params_ = form_.params();
        pushControls();
        layoutPass();
        fit = render::fitView(mode_, ds_, st_, params_, g.picture.size(),
                              render::hiddenPictureRows(g));
        if (!fit) return;
    }
    if (fit->scale) form_.nearScale = num::formatGeneralQ(*fit->scale);
    form_.zoomLevel = fit->zoomLevel;
    params_ = form_.params();
    pushControls();
    st_.PanX = fit->panX;
    st_.PanY = fit->panY;
    layoutPass();
    if (distance || fit->scale) {
        QStringList changes;
        if (distance) changes << QStringLiteral("視点距離を %1m").arg(form_.perspectiveRatio);
        if (fit->scale)
            changes << (mode_ == ViewMode::Real ? QStringLiteral("中心視界幅を %1m")
                                                : QStringLiteral("近点ｽｹｰﾙを %1m"))
                           .arg(form_.nearScale);
        showStatus(kScaleChanged.arg(changes.join(QStringLiteral("、"))));
    } else if (!fit->whole) {
        showStatus(mode_ == ViewMode::Real ? kEyeInside : kSkewTooWide);
    }
}

void ViewerWindow::showStatus(const QString& text) { statusBar_.showMessage(text, kStatusMs); }

void ViewerWindow::keyPressEvent(QKeyEvent* event) {
    const std::optional<ViewerCommand> command = commandForKey(event->key(), event->modifiers());
    if (!command) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    // Holding a key repeats steps and sizes, not a toggle or a jump.
    const bool repeats = *command != ViewerCommand::PlayStop && *command != ViewerCommand::Back &&
                         *command != ViewerCommand::Fit;
    if (event->isAutoRepeat() && !repeats) return;
    runCommand(*command);
}

void ViewerWindow::runCommand(ViewerCommand command) {
    if (!loaded_) return;
    const int step = std::max<int>(1, st_.StepInc);
    switch (command) {
        case ViewerCommand::PlayStop:
            if (playback_.startVisible())
                playback_.start();
            else
                playback_.stop();
            break;
        case ViewerCommand::StepBack:
            setTimeStep(std::max(0, timeStep() - step));
            break;
        case ViewerCommand::StepForward:
            setTimeStep(std::min(timeStepMaximum(), timeStep() + step));
            break;
        case ViewerCommand::FirstStep:
            setTimeStep(0);
            break;
        case ViewerCommand::LastStep:
            setTimeStep(timeStepMaximum());
            break;
        case ViewerCommand::ZoomIn:
            zoomTo(form_.zoomLevel + 1, std::nullopt);
            break;
        case ViewerCommand::ZoomOut:
            zoomTo(form_.zoomLevel - 1, std::nullopt);
            break;
        case ViewerCommand::Back:
            returnToMain();
            break;
        case ViewerCommand::Fit:
            fitToModel();
            break;
    }
}

void ViewerWindow::zoomTo(int level, std::optional<QPointF> pixel) {
    level = std::clamp(level, render::kZoomLevelMin, render::kZoomLevelMax);
    if (!loaded_ || level == form_.zoomLevel) return;
    auto unitsAt = [this](QPointF p) {
        return QPointF(st_.Window.Left + p.x() / double(st_.PixPerUnitX),
                       st_.Window.Top + p.y() / double(st_.PixPerUnitY));
    };
    const std::optional<QPointF> before = pixel ? std::optional(unitsAt(*pixel)) : std::nullopt;
    form_.zoomLevel = level;
    controlChanged(ViewControl::ZoomLevel);
    if (!before) return;
    // The point under the mouse stays under it.
    const QPointF after = unitsAt(*pixel);
    const QPointF shift = *before - after;
    if (!std::isfinite(shift.x()) || !std::isfinite(shift.y())) return;
    st_.PanX = static_cast<float>(st_.PanX + shift.x());
    st_.PanY = static_cast<float>(st_.PanY + shift.y());
    st_.Window.Left = static_cast<float>(st_.ViewLeft + double(st_.PanX));
    st_.Window.Top = static_cast<float>(st_.ViewTop + double(st_.PanY));
    runEffect(Effect::Redraw);
}

void ViewerWindow::activate() {
    if (!loaded_) return;
    render::Activation a;
    try {
        a = activateView(mode_, client_.size(), ds_, st_, form_, params_, *canvas_);
    } catch (const std::bad_alloc&) {
        a.timeBarMax = render::timeStepMaximum(ds_);
    }
    bottomBar_.showTimeStepMaximum(a.timeBarMax);
    pushControls();
    updateTimeDisplay();
    applyGeometry(render::layoutGeometry(mode_, client_.size()));
    bottomBar_.showNodeButtons(a.nodeButtonsVisible);
    bottomBar_.showNodeLabel(a.nodeLabel);
    bottomBar_.showGaugeNode(render::nodeLabelText(ds_, 0));
    afterDraw();
}

void ViewerWindow::stopPlayback() { playback_.stop(); }

void ViewerWindow::mirrorPlayback() {
    bottomBar_.showPlayback(playback_.startVisible(), playback_.startRaised());
    if (!playback_.timerRunning()) {
        timer1_.stop();
    } else if (!timer1_.isActive() || timer1_.interval() != playback_.timerInterval()) {
        timer1_.start(playback_.timerInterval());
    }
}

void ViewerWindow::pictureMouse(PictureWidget::MouseAction action, Qt::MouseButton button,
                                Qt::MouseButtons buttons, QPointF pixel) {
    using Action = PictureWidget::MouseAction;
    if (action == Action::Release) {
        picture_.unsetCursor();
        // A click picks; a drag leaves the node information as it was.
        if (button == Qt::LeftButton && leftDown_ && !dragging_) applyPick(pressHit_);
        if (button == Qt::LeftButton) leftDown_ = dragging_ = false;
        return;
    }
    // Mouse positions in drawing units of the coordinate window.
    const double x = st_.Window.Left + pixel.x() / double(st_.PixPerUnitX);
    const double y = st_.Window.Top + pixel.y() / double(st_.PixPerUnitY);
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (action == Action::Press) {
        st_.DownXY[0] = static_cast<float>(x);
        st_.DownXY[1] = static_cast<float>(y);
        if (button == Qt::LeftButton) {
            st_.DownScroll[0] = static_cast<float>(form_.azimuth);
            st_.DownScroll[1] = static_cast<float>(form_.elevation);
            leftDown_ = true;
            dragging_ = false;
            pressPixel_ = pixel;
            pressHit_ = findNode(ds_, st_, x, y);
            picture_.setCursor(pressHit_ ? Qt::CrossCursor : Qt::WhatsThisCursor);
        } else if (button == Qt::RightButton) {
            picture_.setCursor(Qt::SizeAllCursor);
        }
        return;
    }
    if (buttons == Qt::LeftButton) {
        if (!dragging_) {
            if (leftDown_ && (pixel - pressPixel_).manhattanLength() <= kClickSlopPixels) return;
            dragging_ = true;
            picture_.unsetCursor();
        }
        int h = form_.azimuth, v = form_.elevation;
        if (mode_ == ViewMode::Normal) {
            const ViewpointPan pan = panViewpoint(st_, x, y, h, v);
            h = pan.h.value_or(h);
            v = pan.v.value_or(v);
        } else {
            const ViewAngles a = turnView(st_, x, y, v);
            h = a.h;
            v = a.v;
        }
        // Each bar that moves runs its own change: the horizontal one first.
        hScroll2_.setValue(h);
        vScroll1_.setValue(v);
    } else if (buttons == Qt::RightButton) {
        moveCentre(st_, x, y);
        runEffect(Effect::Redraw);
    }
}

void ViewerWindow::applyPick(std::optional<NodeRef> hit) {
    picked_ = hit;
    if (!hit) {
        nodeData_.setText(kNoNode);
        nodeData_.setToolTip(QString());
    } else {
        const QString text = nodeInfoText(ds_, *hit, params_.timeStep);
        nodeData_.setText(text);
        nodeData_.setToolTip(text);
        pickedNumber_ = ds_.NodeNoOf(hit->slot, hit->node);
    }
    updateMark();
    if (hit && pickedNumber_) emit nodePicked(*pickedNumber_);
}

void ViewerWindow::updateMark() {
    picture_.setMark(picked_ ? nodePixel(st_, *picked_) : std::nullopt);
}

void ViewerWindow::panPressed(int direction) {
    if (direction == kCentreButton) {
        recentre();
        return;
    }
    st_.PanButton = static_cast<std::int16_t>(direction);
    panTick();  // a click moves one step
    timer2_.setInterval(kPanRepeatDelayMs);
    timer2_.start();
}

void ViewerWindow::panTick() {
    panStep(st_, st_.PanButton);
    if (playback_.startVisible()) runEffect(Effect::Redraw);
}

void ViewerWindow::recentre() {
    st_.PanX = 0.0f;
    st_.PanY = 0.0f;
    st_.Window.Left = static_cast<float>(st_.ViewLeft);
    st_.Window.Top = static_cast<float>(st_.ViewTop);
    if (playback_.startVisible()) runEffect(Effect::Redraw);
}

void ViewerWindow::changeNode(int button) {
    const render::NodeChange n = render::changeTensionNode(ds_, st_, button, params_.timeStep);
    bottomBar_.showNodeLabel(n.nodeLabel);
    if (!n.tensionText.isEmpty()) bottomBar_.showTension(n.tensionText);
}

void ViewerWindow::selectTensionRecord(int record) {
    if (record < 0 || record > std::max(ds_.TensionMax, 0)) return;
    st_.TensSel = record;
    bottomBar_.showNodeLabel(render::nodeLabelText(ds_, st_.TensSel));
    if (loaded_) runEffect(Effect::Redraw);
}

void ViewerWindow::setClearanceOverlay(std::optional<render::ClearanceOverlay> overlay) {
    st_.Clearance = overlay;
    if (loaded_) runEffect(Effect::Redraw);
}

int ViewerWindow::Ports::timeValue() const { return w_.bottomBar_.timeStep(); }
int ViewerWindow::Ports::timeMaximum() const { return w_.bottomBar_.timeStepMaximum(); }
void ViewerWindow::Ports::setTimeValue(int value) { w_.bottomBar_.moveTimeBar(value); }
bool ViewerWindow::Ports::repeat() const { return w_.form_.repeat; }
QString ViewerWindow::Ports::waitText() const { return w_.form_.wait; }
void ViewerWindow::Ports::scheduleFrame() {
    // Passes one screen refresh apart: frames drawn faster are never seen.
    const double now = double(w_.paceClock_.nsecsElapsed()) / 1e6;
    const double delay = framePacingDelayMs(now - w_.nextPassMs_, w_.refreshRate());
    w_.nextPassMs_ = now + delay;
    w_.frameTimer_.start(static_cast<int>(std::lround(delay)));
}
void ViewerWindow::Ports::playbackChanged() { w_.mirrorPlayback(); }

double ViewerWindow::refreshRate() const {
    const QScreen* screen = windowHandle() ? windowHandle()->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->refreshRate() : kDefaultRefreshHz;
}

void ViewerWindow::remember() {
    if (loaded_) rememberViewer(mode_, ViewerMemory::of(form_, saveGeometry()));
}

void ViewerWindow::returnToMain() {
    if (mode_ == ViewMode::Real) {
        // Closing does the rest: stop, main window, unload.
        close();
        return;
    }
    stopPlayback();
    remember();
    if (showMain_) showMain_();
    hide();
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
    stopPlayback();
    // Nothing of the playback or panning may run on a closed window.
    frameTimer_.stop();
    timer2_.stop();
    playback_.reset();
    remember();
    loaded_ = false;
    event->accept();
    if (showMain_) showMain_();
}

void ViewerWindow::screenCopy() {
    const int year = QDate::currentDate().year();
    // The copyright line goes onto the copy only: the live picture stays as it was.
    render::ImageCanvas copy(canvas_->image());
    copy.setScaleWindow(st_.Window);
    render::screenCopyText(mode_, st_, copy, picture_.height(), year);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(copy.image());
    showStatus(kCopied);
}

void ViewerWindow::setTimeStep(int step) { bottomBar_.moveTimeBar(step); }
int ViewerWindow::timeStep() const { return bottomBar_.timeStep(); }
int ViewerWindow::timeStepMaximum() const { return bottomBar_.timeStepMaximum(); }
QImage ViewerWindow::currentImage() { return canvas_->image(); }

}  // namespace qrn::viewer
