#pragma once
// Playback through the time axis, without a window: the start and stop
// buttons, the playback timer and the frame loop as plain state, driven
// through a small port interface that the viewer window implements (and the
// tests fake).
//
// The frame loop draws one frame per pass and then hands control back to the
// event loop; the window calls continueFrameLoop() once pending events have
// run. Nothing here ever runs a nested event loop, so a window that is closed
// or destroyed between two frames is never returned into.

#include <QString>
#include <cstdint>

#include "render/viewerstate.h"

namespace qrn::viewer {

class PlaybackPorts {
  public:
    virtual ~PlaybackPorts() = default;
    virtual int timeValue() const = 0;
    virtual int timeMaximum() const = 0;
    // Moves the time bar; a change of value shows the time and draws the frame.
    virtual void setTimeValue(int value) = 0;
    virtual bool repeat() const = 0;       // "ﾘﾋﾟｰﾄ"
    virtual QString waitText() const = 0;  // "動作ｳｪｲﾄ", in 10 ms
    // Let pending events run, then call Playback::continueFrameLoop().
    virtual void scheduleFrame() = 0;
    // Buttons or timer changed: the window mirrors them into its widgets.
    virtual void playbackChanged() = 0;
};

// The frame loop at wait 0 draws no faster than the screen refreshes (frames
// beyond that are never seen): the delay before its next pass, given the time
// since the last pass began. A refresh rate the screen does not report
// sensibly counts as kDefaultRefreshHz.
inline constexpr double kDefaultRefreshHz = 60.0;
double framePacingDelayMs(double sinceLastPassMs, double refreshHz);

class Playback {
  public:
    // Timer intervals stay within what a classic timer holds.
    static constexpr int kMaxIntervalMs = 65535;

    Playback(render::ViewerState& state, PlaybackPorts& ports) : st_(state), ports_(ports) {}

    // Button and timer handlers.
    void start();
    void stop();
    void timerTick();
    void waitChanged();
    // The frame loop's next pass, after pending events ran.
    void continueFrameLoop();

    // Back to the stopped state of a freshly loaded window (no loop, no timer).
    void reset();

    bool startVisible() const { return startVisible_; }  // the stop button shows otherwise
    bool startRaised() const { return startRaised_; }
    bool timerEnabled() const { return timerEnabled_; }
    int timerInterval() const { return timerInterval_; }
    // The timer fires only when enabled with an interval above 0.
    bool timerRunning() const { return timerEnabled_ && timerInterval_ > 0; }
    bool frameLoopActive() const { return loopActive_; }
    bool framePending() const { return framePending_; }

    // The wait as a number of 10 ms: a negative or unreadable wait counts as 0.
    static double waitValue(const QString& text);
    // Timer interval in ms for a wait: 0 for no wait, otherwise at least 1
    // and at most kMaxIntervalMs.
    static int waitInterval(const QString& text);

  private:
    int stepInc() const;
    void drive();  // choose the timer or the frame loop
    void framePass();
    void endLoop();
    void showStopped();

    render::ViewerState& st_;
    PlaybackPorts& ports_;
    bool startVisible_ = true;
    bool startRaised_ = false;
    bool timerEnabled_ = false;
    int timerInterval_ = 0;
    bool loopActive_ = false;
    bool framePending_ = false;
};

}  // namespace qrn::viewer
