#include "widgets/overwrite.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

namespace qrn {

QString overwriteQuestion(const QStringList& paths) {
    QStringList existing;
    for (const QString& p : paths) {
        // A folder in the way is no file to replace: the writer reports it.
        const QFileInfo fi(p);
        const QString shown = QDir::toNativeSeparators(p);
        if (!p.isEmpty() && fi.exists() && !fi.isDir() && !existing.contains(shown))
            existing << shown;
    }
    if (existing.isEmpty()) return {};
    if (existing.size() == 1)
        return QStringLiteral("%1 は既にあります。\n上書きしますか？").arg(existing.first());
    return QStringLiteral("次のファイルは既にあります。\n%1\n上書きしますか？")
        .arg(existing.join(u'\n'));
}

bool confirmOverwrite(QWidget* parent, const QString& title, const QStringList& paths) {
    const QString text = overwriteQuestion(paths);
    if (text.isEmpty()) return true;
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent,
                    kDialogWindowFlags);
    box.setObjectName(QStringLiteral("OverwriteQuestion"));
    box.setDefaultButton(QMessageBox::No);
    // A busy cursor set by the caller would hide that the box waits for an answer.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    QApplication::restoreOverrideCursor();
    return answer == QMessageBox::Yes;
}

}  // namespace qrn
