#pragma once
// The operating system's reason for a failed file operation as our messages
// show it: a Japanese sentence, then the system's own text in parentheses (it
// is English on most systems, and the words users search for).

#include <QFileDevice>
#include <QString>

namespace qrn {

// For the causes users meet most (read-only file system, disk full, no
// permission, missing folder …) the sentence says what happened; otherwise it
// says what failed, by `kind`. An empty detail gives the sentence alone.
QString systemErrorText(QFileDevice::FileError kind, const QString& detail);
// The same for the last error of `file`.
QString systemErrorText(const QFileDevice& file);

}  // namespace qrn
