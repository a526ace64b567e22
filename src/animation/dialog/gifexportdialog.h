#pragma once
// The animation dialog "アニメーション作成": start, end, interval and speed of
// the images, the output file, and the run that steps the real-mode viewer
// through the time range and writes the file: a GIF, or an MP4 or WebM video
// when the name ends so. A progress bar and "中止" follow the run. Created once
// and hidden, not destroyed, when it closes, so its boxes keep their values
// between openings.

#include <QDialog>
#include <QImage>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace qrn::gif {

class GifExportDialog : public QDialog {
    Q_OBJECT

  public:
    // What the dialog needs of the viewer that opens it.
    struct Viewer {
        std::function<void()> stopPlayback;
        std::function<int()> timeStepMaximum;   // the time scroll bar's maximum
        std::function<void(int)> setTimeStep;   // sets the bar, which draws the frame
        std::function<QImage()> currentImage;   // the picture as last drawn
        std::function<QString()> intervalText;  // the main window's interval box
        std::uint32_t background = 0xFFFFFF;    // canvas colours, kept exact in the file
        std::uint32_t foreground = 0x000000;
    };

    explicit GifExportDialog(QWidget* parent = nullptr);

    // Opens for a viewer ("GIFアニメ"): stops playback, sets the start and end
    // boxes and shows the dialog modally. `tag` "R" is the real-mode viewer; the
    // export runs only for it.
    void openFor(const Viewer& viewer, const QString& tag = QStringLiteral("R"));
    // The opening steps without showing the dialog.
    void prepare(const Viewer& viewer, const QString& tag = QStringLiteral("R"));
    // "変換開始". Returns true when the file was written; false after a message
    // or "中止" (then no file is written and an earlier one is kept).
    bool start();
    bool running() const { return running_; }

    // Shows a message; tests replace it with a recorder.
    std::function<void(const QString& title, const QString& text)> messageSink;
    // Chooses the output file; tests replace the file dialog.
    std::function<QString()> fileChooser;

    std::array<QLineEdit*, 4> Text1{};
    QLabel* Label3 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* abortButton = nullptr;  // "中止", enabled while a file is written

  signals:
    // A run wrote the file (the output box's name).
    void fileWritten(const QString& path);

  protected:
    // Escape and the title bar's close button stop a run instead of hiding.
    void reject() override;

  private:
    class RunProgress;
    void updateCount();
    void chooseFile();
    void showMessage(const QString& title, const QString& text);
    void setRunning(bool running);

    Viewer viewer_;
    QString tag_;
    QString fileTag_ = QStringLiteral("gif");
    bool running_ = false;
    bool abortRequested_ = false;
};

}  // namespace qrn::gif
