#include "viewer/playback.h"

#include <algorithm>
#include <cmath>

#include "dataset/numbers.h"

namespace qrn::viewer {

double Playback::waitValue(const QString& text) {
    const double v = num::leadingValue(text);
    return std::isnan(v) || v < 0.0 ? 0.0 : v;
}

int Playback::waitInterval(const QString& text) {
    const double v = waitValue(text);
    if (v == 0.0) return 0;
    const double ms = num::roundHalfEven(v * 10.0);
    // A wait too small to round to a whole millisecond still waits 1 ms: a
    // positive wait must never become a timer that fires in a tight loop or
    // one that never fires.
    if (!(ms < kMaxIntervalMs)) return kMaxIntervalMs;
    return std::max(1, static_cast<int>(ms));
}

double framePacingDelayMs(double sinceLastPassMs, double refreshHz) {
    const double hz = refreshHz >= 10.0 && refreshHz <= 1000.0 ? refreshHz : kDefaultRefreshHz;
    const double period = 1000.0 / hz;
    if (!(sinceLastPassMs >= 0.0)) return period;
    return std::clamp(period - sinceLastPassMs, 0.0, period);
}

int Playback::stepInc() const { return std::max<int>(1, st_.StepInc); }

void Playback::start() {
    st_.Play = render::PlayState::FrameLoop;
    startRaised_ = true;
    startVisible_ = false;
    drive();
}

void Playback::drive() {
    const QString wait = ports_.waitText();
    if (waitValue(wait) != 0.0) {
        timerInterval_ = waitInterval(wait);
        timerEnabled_ = true;
        st_.Play = render::PlayState::Timer;
        ports_.playbackChanged();
        return;
    }
    timerEnabled_ = false;
    if (loopActive_) {
        // A wait set back to 0 before a running loop noticed the timer
        // hand-over: that loop simply goes on.
        ports_.playbackChanged();
        return;
    }
    loopActive_ = true;
    ports_.playbackChanged();
    framePass();
}

void Playback::framePass() {
    const std::int64_t v = ports_.timeValue();
    if (ports_.timeMaximum() < v + stepInc()) {
        endLoop();
        return;
    }
    ports_.setTimeValue(static_cast<int>(v + stepInc()));
    framePending_ = true;
    ports_.scheduleFrame();
}

void Playback::continueFrameLoop() {
    if (!framePending_) return;
    framePending_ = false;
    if (st_.Play == render::PlayState::FrameLoop)
        framePass();
    else
        endLoop();
}

void Playback::endLoop() {
    loopActive_ = false;
    framePending_ = false;
    if (st_.Play == render::PlayState::FrameLoop && ports_.repeat()) {
        ports_.setTimeValue(0);
        // When not even one step fits after the wrap, repeating would spin
        // without ever drawing: stop as at the end without repeat instead.
        if (ports_.timeMaximum() >= std::int64_t(ports_.timeValue()) + stepInc()) {
            drive();
            return;
        }
    }
    if (st_.Play != render::PlayState::Timer)
        showStopped();
    else
        timerEnabled_ = true;
    ports_.playbackChanged();
}

void Playback::showStopped() {
    timerEnabled_ = false;
    startRaised_ = false;
    startVisible_ = true;
}

void Playback::stop() {
    st_.Play = render::PlayState::Stopped;
    showStopped();
    ports_.playbackChanged();
}

void Playback::timerTick() {
    // A tick queued before the timer was switched off is dropped.
    if (!timerRunning()) return;
    const std::int64_t v = ports_.timeValue();
    if (ports_.timeMaximum() < v + stepInc()) {
        if (ports_.repeat()) {
            ports_.setTimeValue(0);
        } else {
            showStopped();
            ports_.playbackChanged();
        }
        return;
    }
    ports_.setTimeValue(static_cast<int>(v + stepInc()));
}

void Playback::waitChanged() {
    const QString wait = ports_.waitText();
    timerInterval_ = waitInterval(wait);
    const double value = waitValue(wait);
    if (value > 0.0 && !startVisible_) {
        st_.Play = render::PlayState::Timer;
    } else if (value == 0.0 && st_.Play == render::PlayState::Timer && !startVisible_) {
        start();
        return;
    }
    ports_.playbackChanged();
}

void Playback::reset() {
    startVisible_ = true;
    startRaised_ = false;
    timerEnabled_ = false;
    timerInterval_ = 0;
    loopActive_ = false;
    framePending_ = false;
    ports_.playbackChanged();
}

}  // namespace qrn::viewer
