#pragma once
// What every writer asks of an existing target before it writes a temporary
// to replace it.

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

}  // namespace qrn
