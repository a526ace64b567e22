#pragma once
// The qrnconv subcommands. Each lives in its own cmd_<name>.cpp: it parses its
// words, prints its help for --help (exit 0), throws UsageError for bad use
// (exit 2) and returns ExitOk or ExitFailed.

#include <QString>
#include <QStringList>

#include "cli/cliargs.h"

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

// The option specs of the viewer's controls (frame and gif).
std::vector<OptionSpec> viewOptionSpecs();
QString viewOptionsHelp();

// Prints a usage text on stdout (for --help).
void printHelp(const QString& text);
// Reports a subcommand that is not part of the program yet; returns ExitFailed.
int notAvailable(const char* name);

}  // namespace qrn::cli
