#pragma once
// The one exception type of the core: it carries the Japanese message the
// user will see (with the file's path) and the title of its message box.

#include <QString>
#include <stdexcept>

namespace qrn {

// Titles of message boxes: "under the application's title", and of read and write failures.
inline const QString kAppTitle = QStringLiteral("qrnview");
inline const QString kReadErrorTitle = QStringLiteral("ファイル読み込みエラー");
inline const QString kWriteErrorTitle = QStringLiteral("ファイル書き込みエラー");

class QrnError : public std::runtime_error {
  public:
    explicit QrnError(QString message, QString title = kReadErrorTitle)
        : std::runtime_error(message.toStdString()),
          message_(std::move(message)),
          title_(std::move(title)) {}
    const QString& message() const { return message_; }
    const QString& title() const { return title_; }

  private:
    QString message_;
    QString title_;
};

}  // namespace qrn
