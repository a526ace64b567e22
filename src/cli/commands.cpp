#include "cli/commands.h"

#include "dataset/error.h"

namespace qrn::cli {

void printHelp(const QString& text) { writeStdout(text.toUtf8()); }

bool historiesRead(const ReadResult& read, Progress& out, const QString& what) {
    if (!read.settingsOnly) return true;
    // The main window disables its save and export modes after such a read; a
    // script gets the reason instead of a file.
    out.message(kAppTitle, QStringLiteral("初期設定ファイルだけの読込（作業モード 4, 7）の後は") +
                               what + QStringLiteral("できません。"));
    return false;
}

}  // namespace qrn::cli
