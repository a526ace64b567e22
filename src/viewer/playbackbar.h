#pragma once
// The viewer's bottom bar: the time bar, the start and stop buttons, "ﾘﾋﾟｰﾄ",
// the time and tension read-outs, the tension node buttons and gauge, and
// "前画面" at the right end. Moving the time bar, by hand or through
// moveTimeBar, reports the new time step; the show... calls report nothing.

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QWidget>
#include <array>

namespace qrn::viewer {

class PlaybackBar final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 45;

    PlaybackBar();

    // The time bar.
    int timeStep() const;
    int timeStepMaximum() const;
    void moveTimeBar(int step);  // as the user would: a new value is reported
    void showTimeStep(int step);
    void showTimeStepMaximum(int maximum);
    void setTimeStepIncrement(int steps);  // the bar's small change

    void showRepeat(bool on);
    // Playback shows the stop button instead of the start button while it runs.
    void showPlayback(bool startVisible, bool startRaised);
    void showTime(const QString& text);
    void showTension(const QString& text);
    void showNodeLabel(const QString& text);
    void showNodeButtons(bool visible);
    // The tension gauge; its maximum is held within 1..1e9 (a non-finite one is 1).
    // Its tool tip names the tension record it shows and both values.
    void showGauge(float maximum, float value);
    void showGaugeNode(const QString& nodeLabel);
    // Back to the texts and gauge of a freshly loaded window.
    void showInitial();

    // Across the client area of width `clientWidth`, at `top`.
    void place(int top, int clientWidth);

  signals:
    void timeStepChanged(int step);
    void repeatToggled(bool on);
    void startClicked();
    void stopClicked();
    void nodeButtonClicked(int button);  // 0 previous, 1 next
    void backClicked();

  private:
    bool syncing_ = false;
    QScrollBar hScroll1_{Qt::Horizontal};
    QToolButton image0_, image2_;  // start, stop
    QCheckBox check4_;
    QLabel timeCaption_, label2_, timeUnit_;
    QLabel tensionCaption_, label5_;
    std::array<QToolButton, 2> image3_;
    QLabel nodeLabel_;
    QProgressBar gauge_;
    QString gaugeNode_;
    QPushButton command1_;
};

}  // namespace qrn::viewer
