#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

#include "app/mainwindow.h"
#include "dataset/dataset.h"
#include "files/csvwindow/csvexportwindow.h"

namespace {

// Stand-in for the viewer windows: shows what was loaded.
class LoadedSummary : public QWidget {
public:
    explicit LoadedSummary(const qrn::Dataset& data) : data_(data) {
        auto* box = new QVBoxLayout(this);
        label_ = new QLabel(this);
        box->addWidget(label_);
        resize(420, 200);
    }
    void showFor(int displayMode) {
        setWindowTitle(displayMode == 1 ? QStringLiteral("画像シミュレーション画面(リアルモード)")
                                        : QStringLiteral("画像シミュレーション画面(ノーマルモード)"));
        label_->setText(QStringLiteral("ケーブル数 %1\nノード表 %2\n時間ステップ %3\n張力記録 %4")
                            .arg(data_.CableMax + 1)
                            .arg(data_.NodeTblMax + 1)
                            .arg(data_.StepMax + 1)
                            .arg(data_.TensionMax + 1));
        show();
        raise();
        activateWindow();
    }

private:
    const qrn::Dataset& data_;
    QLabel* label_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qrn::Dataset data;
    qrn::MainWindow window(data);
    LoadedSummary viewer(data);
    window.setViewerOpener([&viewer](int mode, bool) { viewer.showFor(mode); });
    window.setCsvOpener([&window, &data] {
        qrn::CsvExportWindow csv(data, window.Label1->text(), window.Text1->text(), data.DirPath,
                                 &window);
        csv.exec();
    });
    window.show();
    QTimer::singleShot(0, &window, [&window] { window.showAbout(); });
    return QApplication::exec();
}
