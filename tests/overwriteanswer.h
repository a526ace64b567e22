#pragma once
// Answers the overwrite question ("上書きしますか？") whenever it opens while
// the answerer lives, and keeps the texts it was asked.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

namespace qrn::test {

class OverwriteAnswerer {
  public:
    explicit OverwriteAnswerer(bool yes) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this, yes] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box->objectName() != QLatin1String("OverwriteQuestion")) return;
            asked << box->text();
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        timer_.start();
    }
    QStringList asked;

  private:
    QTimer timer_;
};

}  // namespace qrn::test
