#pragma once
// What every writer asks of an existing target before it writes a temporary
// to replace it.

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

}  // namespace qrn
