// Playback rules on the window-free state machine: the frame loop, the timer,
// repeat, the wait hand-over in both directions and the stop paths.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "viewer/playback.h"

using qrn::render::PlayState;
using qrn::render::ViewerState;
using qrn::viewer::Playback;
using qrn::viewer::PlaybackPorts;

namespace {

// A time bar and the few controls playback reads; frames are recorded.
struct FakeWindow final : PlaybackPorts {
    int value = 0;
    int max = 100;
    bool rep = false;
    QString wait = QStringLiteral("0");
    std::vector<int> drawn;
    int scheduled = 0;

    int timeValue() const override { return value; }
    int timeMaximum() const override { return max; }
    void setTimeValue(int v) override {
        if (v == value) return;  // a bar set to its own value raises no change
        value = v;
        drawn.push_back(v);
    }
    bool repeat() const override { return rep; }
    QString waitText() const override { return wait; }
    void scheduleFrame() override { ++scheduled; }
    void playbackChanged() override {}
};

struct Rig {
    ViewerState st;
    FakeWindow w;
    Playback pb{st, w};

    Rig(int steps, int inc) {
        w.max = steps;
        st.StepInc = static_cast<std::int16_t>(inc);
    }
    // Runs the frame loop; `between` stands for the events handled after each frame.
    void loop(const std::function<void()>& between = {}, int limit = 100000) {
        while (pb.framePending() && limit-- > 0) {
            if (between) between();
            pb.continueFrameLoop();
        }
    }
    void typeWait(const QString& text) {
        w.wait = text;
        pb.waitChanged();
    }
};

std::vector<int> steps(int from, int to, int by) {
    std::vector<int> v;
    for (int i = from; i <= to; i += by) v.push_back(i);
    return v;
}

}  // namespace

TEST(Playback, FrameLoopRunsToTheEndAndStops) {
    Rig r(100, 3);
    r.pb.start();
    EXPECT_TRUE(r.pb.frameLoopActive());
    EXPECT_FALSE(r.pb.startVisible());
    EXPECT_TRUE(r.pb.startRaised());
    EXPECT_EQ(r.st.Play, PlayState::FrameLoop);
    r.loop();
    EXPECT_EQ(r.w.drawn, steps(3, 99, 3));
    EXPECT_EQ(r.w.value, 99);  // 102 would pass the end: the last frame lies before StepMax
    EXPECT_TRUE(r.pb.startVisible());
    EXPECT_FALSE(r.pb.startRaised());
    EXPECT_FALSE(r.pb.timerEnabled());
    EXPECT_FALSE(r.pb.frameLoopActive());
    EXPECT_EQ(r.st.Play, PlayState::FrameLoop);
    // Every frame handed control back to the event loop once.
    EXPECT_EQ(r.w.scheduled, 33);
}

TEST(Playback, RepeatWrapsToZeroAndGoesOn) {
    Rig r(100, 3);
    r.w.rep = true;
    r.pb.start();
    r.loop([&] {
        if (r.w.drawn.size() == 40) r.pb.stop();
    });
    ASSERT_GE(r.w.drawn.size(), 40u);
    EXPECT_EQ(r.w.drawn[32], 99);
    EXPECT_EQ(r.w.drawn[33], 0);
    EXPECT_EQ(r.w.drawn[34], 3);
    EXPECT_EQ(r.w.drawn.size(), 40u);  // the stop ended the loop after its frame
    EXPECT_EQ(r.st.Play, PlayState::Stopped);
    EXPECT_TRUE(r.pb.startVisible());
    EXPECT_FALSE(r.pb.frameLoopActive());
}

TEST(Playback, WaitTypedDuringFrameLoopHandsOverToTimer) {
    Rig r(100, 3);
    r.pb.start();
    r.loop([&] {
        if (r.w.drawn.size() == 10) r.typeWait(QStringLiteral("5"));
    });
    EXPECT_EQ(r.w.drawn.size(), 10u);
    EXPECT_FALSE(r.pb.frameLoopActive());
    EXPECT_EQ(r.st.Play, PlayState::Timer);
    EXPECT_TRUE(r.pb.timerRunning());
    EXPECT_EQ(r.pb.timerInterval(), 50);
    EXPECT_FALSE(r.pb.startVisible());
    r.pb.timerTick();
    EXPECT_EQ(r.w.value, 33);
}

TEST(Playback, WaitZeroDuringTimerPlaybackHandsBackToFrameLoop) {
    Rig r(100, 3);
    r.w.wait = QStringLiteral("5");
    r.pb.start();
    EXPECT_EQ(r.st.Play, PlayState::Timer);
    EXPECT_TRUE(r.pb.timerRunning());
    EXPECT_FALSE(r.pb.frameLoopActive());
    EXPECT_TRUE(r.w.drawn.empty());
    r.pb.timerTick();
    r.pb.timerTick();
    EXPECT_EQ(r.w.drawn, (std::vector<int>{3, 6}));
    r.typeWait(QStringLiteral("0"));
    EXPECT_EQ(r.st.Play, PlayState::FrameLoop);
    EXPECT_FALSE(r.pb.timerEnabled());
    EXPECT_TRUE(r.pb.frameLoopActive());
    r.loop();
    EXPECT_EQ(r.w.drawn, steps(3, 99, 3));
    EXPECT_TRUE(r.pb.startVisible());
}

TEST(Playback, TimerAtTheEndWithoutRepeatBringsStartBack) {
    Rig r(100, 3);
    r.w.value = 93;
    r.w.wait = QStringLiteral("1");
    r.pb.start();
    EXPECT_EQ(r.pb.timerInterval(), 10);
    r.pb.timerTick();
    r.pb.timerTick();
    EXPECT_EQ(r.w.value, 99);
    r.pb.timerTick();
    EXPECT_EQ(r.w.value, 99);
    EXPECT_FALSE(r.pb.timerEnabled());
    EXPECT_TRUE(r.pb.startVisible());
    EXPECT_FALSE(r.pb.startRaised());
    EXPECT_EQ(r.st.Play, PlayState::Timer);  // the timer's end leaves the state as it was
    r.pb.timerTick();                        // a tick already queued does nothing
    EXPECT_EQ(r.w.drawn.size(), 2u);
}

TEST(Playback, TimerWithRepeatWrapsToZero) {
    Rig r(10, 4);
    r.w.value = 8;
    r.w.rep = true;
    r.w.wait = QStringLiteral("2");
    r.pb.start();
    r.pb.timerTick();
    r.pb.timerTick();
    EXPECT_EQ(r.w.drawn, (std::vector<int>{0, 4}));
    EXPECT_TRUE(r.pb.timerRunning());
}

TEST(Playback, StopDuringFrameLoopEndsItAfterTheCurrentFrame) {
    Rig r(100, 1);
    r.pb.start();
    r.pb.stop();
    EXPECT_EQ(r.st.Play, PlayState::Stopped);
    EXPECT_TRUE(r.pb.startVisible());
    r.loop();
    EXPECT_EQ(r.w.drawn, (std::vector<int>{1}));
    EXPECT_FALSE(r.pb.frameLoopActive());
    EXPECT_FALSE(r.pb.framePending());
}

TEST(Playback, StateSetToStoppedByAnotherPartEndsTheLoop) {
    // "前画面" and the GIF dialog set the state; the loop notices after its frame.
    Rig r(100, 2);
    r.pb.start();
    r.loop([&] {
        if (r.w.drawn.size() == 5) r.st.Play = PlayState::Stopped;
    });
    EXPECT_EQ(r.w.drawn.size(), 5u);
    EXPECT_TRUE(r.pb.startVisible());
    EXPECT_FALSE(r.pb.timerEnabled());
}

TEST(Playback, RepeatWithNoRoomForOneStepStopsInsteadOfSpinning) {
    Rig r(2, 3);
    r.w.rep = true;
    r.pb.start();
    r.loop();
    EXPECT_TRUE(r.w.drawn.empty());
    EXPECT_TRUE(r.pb.startVisible());
    EXPECT_FALSE(r.pb.frameLoopActive());
}

TEST(Playback, StartAtTheEndDrawsNothing) {
    Rig r(100, 3);
    r.w.value = 98;
    r.pb.start();
    EXPECT_FALSE(r.pb.framePending());
    EXPECT_TRUE(r.w.drawn.empty());
    EXPECT_TRUE(r.pb.startVisible());
}

TEST(Playback, WaitTypedWhileStoppedStartsNothing) {
    Rig r(100, 1);
    r.typeWait(QStringLiteral("5"));
    EXPECT_EQ(r.pb.timerInterval(), 50);
    EXPECT_FALSE(r.pb.timerRunning());
    EXPECT_TRUE(r.pb.startVisible());
}

TEST(Playback, WaitChangedTwiceBeforeTheLoopNoticedKeepsOneLoop) {
    Rig r(100, 1);
    r.pb.start();
    r.loop([&] {
        if (r.w.drawn.size() == 3) {
            r.typeWait(QStringLiteral("5"));
            r.typeWait(QStringLiteral("0"));
        }
        if (r.w.drawn.size() == 6) r.pb.stop();
    });
    EXPECT_EQ(r.w.drawn, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(r.pb.timerEnabled());
    EXPECT_TRUE(r.pb.startVisible());
}

TEST(Playback, NewWaitDuringTimerPlaybackChangesTheInterval) {
    Rig r(100, 1);
    r.w.wait = QStringLiteral("5");
    r.pb.start();
    r.typeWait(QStringLiteral("20"));
    EXPECT_EQ(r.pb.timerInterval(), 200);
    EXPECT_TRUE(r.pb.timerRunning());
    EXPECT_EQ(r.st.Play, PlayState::Timer);
}

TEST(Playback, WaitIntervals) {
    struct Case {
        const char* text;
        int ms;
    };
    const Case cases[] = {
        {"0", 0},        {"5", 50},       {"2.5", 25},      {"0.25", 2},  // 2.5 ms to even
        {"0.04", 1},     {"0.05", 1},     {"-3", 0},        {"abc", 0},  {"", 0},
        {"6553", 65530}, {"7000", 65535}, {"1e400", 65535}, {"5秒", 50},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Playback::waitInterval(QString::fromUtf8(c.text)), c.ms) << c.text;
}

TEST(Playback, NegativeWaitPlaysInTheFrameLoop) {
    Rig r(10, 5);
    r.w.wait = QStringLiteral("-2");
    r.pb.start();
    EXPECT_TRUE(r.pb.frameLoopActive());
    EXPECT_FALSE(r.pb.timerEnabled());
    r.loop();
    EXPECT_EQ(r.w.drawn, (std::vector<int>{5, 10}));
}

TEST(Playback, ResetDropsAPendingPass) {
    Rig r(100, 1);
    r.pb.start();
    r.pb.reset();
    r.pb.continueFrameLoop();  // the pass scheduled before the reset
    EXPECT_EQ(r.w.drawn, (std::vector<int>{1}));
    EXPECT_TRUE(r.pb.startVisible());
}
