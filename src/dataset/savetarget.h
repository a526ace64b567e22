#pragma once
// What every writer asks of an existing target before it writes a temporary
// to replace it, and how it says that it could not save.

#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QString>

namespace qrn {

// True when `path` is an existing file that no one may write (no write
// permission bit; the read-only attribute on Windows). The writers replace a
// target by renaming a temporary onto it, which the system allows for an
// administrator even over such a file; a file the user protected stays.
inline bool isReadOnlyFile(const QString& path) {
    const QFileInfo fi(path);
    constexpr QFile::Permissions kWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return fi.isFile() && !(fi.permissions() & kWrite);
}

// The reason a writer gives for such a target.
inline const QString kReadOnlyTarget = QStringLiteral("ファイルは書き込みが禁止されています。");

// True when the open file holds exactly `bytes` bytes. A write that a full
// disk cuts short can be reported as complete; the file's size is checked
// before it replaces a target.
inline bool holdsAll(const QFileDevice& file, qint64 bytes) { return file.size() == bytes; }

// The reason a writer gives when the file came out short.
inline const QString kIncompleteWrite = QStringLiteral(
    "ファイルを最後まで書き込めませんでした（ディスクの空き容量が不足しています）。");

// "ファイル … に保存できませんでした。" with the reason on the next line.
inline QString saveFailure(const QString& target, const QString& reason) {
    return QStringLiteral("ファイル %1 に保存できませんでした。")
               .arg(QDir::toNativeSeparators(target)) +
           QLatin1Char('\r') + reason;
}

// The reasons writers give.
inline const QString kCannotCreate = QStringLiteral(
    "ファイルを作成できません（フォルダーがない、書き込みが禁止されている、または使用中です）。");
inline const QString kCannotWrite = QStringLiteral(
    "書き込み中にエラーが発生しました（ディスクの空き容量が足りない可能性があります）。");
inline const QString kTargetInUse =
    QStringLiteral("ファイルが使用中か、書き込みが禁止されています。");
inline const QString kCannotFinish = QStringLiteral(
    "ファイルを書き終えられませんでした（ディスクの空き容量が足りないか、ファイルが使用中です）。");

}  // namespace qrn
