#pragma once
// The qrnconv subcommands. Each lives in its own cmd_<name>.cpp: it parses its
// words, prints its help for --help (exit 0), throws UsageError for bad use
// (exit 2) and returns ExitOk or ExitFailed.

#include <QString>
#include <QStringList>

#include "cli/cliargs.h"
#include "cli/terminalhost.h"

namespace qrn::cli {

struct Command {
    const char* name;
    int (*run)(const QStringList& args);
    QString (*usage)();
    const char* summary;
};

int runSample(const QStringList& args);
QString usageSample();
int runInfo(const QStringList& args);
QString usageInfo();
int runSave(const QStringList& args);
QString usageSave();
int runCsv(const QStringList& args);
QString usageCsv();
int runFrame(const QStringList& args);
QString usageFrame();
int runGif(const QStringList& args);
QString usageGif();
int runVideo(const QStringList& args);
QString usageVideo();

// Prints a usage text on stdout (for --help).
void printHelp(const QString& text);

// Whether the read left work modes 2 and 3 (save, CSV export) enabled; when
// not (a settings-only read) reports through `host` that `what` cannot be
// done with such data.
bool saveExportAllowed(TerminalHost& host, const QString& what);

}  // namespace qrn::cli
