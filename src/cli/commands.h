#pragma once
// The qrnconv subcommands. Each lives in its own cmd_<name>.cpp: it parses its
// words, prints its help for --help (exit 0), throws UsageError for bad use
// (exit 2) and returns ExitOk or ExitFailed.

#include <QString>
#include <QStringList>
#include <memory>

#include "cli/cliargs.h"
#include "cli/terminalhost.h"
#include "readers/readsequence.h"

class QCoreApplication;

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
int runReport(const QStringList& args);
QString usageReport();
int runXdmf(const QStringList& args);
QString usageXdmf();
int runPlot(const QStringList& args);
QString usagePlot();
// plot draws with Qt Charts, which needs a widgets application; it runs on
// the offscreen platform.
std::unique_ptr<QCoreApplication> makePlotApplication(int& argc, char** argv);
int runVideo(const QStringList& args);
QString usageVideo();

// Prints a usage text on stdout (for --help).
void printHelp(const QString& text);

// False after a settings-only read (modes 4, 7), whose data has no histories
// to save or export; the reason that `what` cannot be done goes to `out`.
bool historiesRead(const ReadResult& read, Progress& out, const QString& what);

}  // namespace qrn::cli
