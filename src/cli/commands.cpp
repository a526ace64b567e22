#include "cli/commands.h"

namespace qrn::cli {

void printHelp(const QString& text) { writeStdout(text.toUtf8()); }

bool saveExportAllowed(TerminalHost& host, const QString& what) {
    if (host.saveExportEnabled()) return true;
    // The main window disables these work modes after such a read; a script
    // gets the reason instead of a file.
    host.showMessage(kAppTitle,
                     QStringLiteral("初期設定ファイルだけの読込（作業モード 4, 7）の後は") + what +
                         QStringLiteral("できません。"));
    return false;
}

}  // namespace qrn::cli
