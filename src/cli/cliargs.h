#pragma once
// Command-line parsing shared by the qrnconv subcommands: positional
// arguments, "--name value" / "--name=value" options and "--flag" switches.
// Bad use is reported with UsageError (exit status 2).

#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "readers/readsequence.h"

namespace qrn::cli {

// Exit statuses of every subcommand.
enum ExitStatus : int { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

class UsageError : public std::runtime_error {
  public:
    explicit UsageError(QString message)
        : std::runtime_error(message.toStdString()), message_(std::move(message)) {}
    const QString& message() const { return message_; }

  private:
    QString message_;
};

struct OptionSpec {
    QString name;  // without the leading "--"
    bool takesValue = false;
};

struct ParsedArgs {
    QStringList positional;
    QMap<QString, QString> values;  // options with a value (last one given wins)
    QStringList flags;              // switches given
    bool help = false;              // --help or -h

    bool has(const QString& name) const { return values.contains(name) || flags.contains(name); }
    std::optional<QString> value(const QString& name) const;
};

// Parses `args` (the words after the subcommand). "--help" anywhere sets
// `help` and stops checking. Throws UsageError for an unknown option or a
// missing value. An option's value may itself start with "-" (negative numbers).
ParsedArgs parseArgs(const QStringList& args, const std::vector<OptionSpec>& specs);

// Checks the number of positional arguments; `names` are their names in the usage.
void requirePositional(const ParsedArgs& a, const QStringList& names);

// A whole number in [lo, hi] from an option's text, else UsageError.
std::int64_t intOption(const QString& name, const QString& text, std::int64_t lo, std::int64_t hi);

// ---- read options (the main window's boxes) ----

struct ReadOptions {
    std::optional<int> mode;
    std::optional<QString> settings;
    std::optional<QString> section;
    QString interval = QStringLiteral("0.05");
    std::optional<std::uint64_t> memoryLimit;
};

// The option specs --mode, --settings, --section, --interval, --memory-limit.
std::vector<OptionSpec> readOptionSpecs();
// Takes the read options out of parsed arguments; UsageError on a bad value.
ReadOptions readOptionsFrom(const ParsedArgs& a);

// The read request that the main window would build for INPUT after a click
// on the file in the chosen work mode, with the boxes set from the options.
// Throws UsageError when no mode applies to the name and none was given.
ReadRequest makeReadRequest(const QString& input, const ReadOptions& options);

// The interval box rule: a text whose value is 0 becomes "0.1".
QString intervalBoxText(const QString& text);

// Options that help text of every reading subcommand lists.
QString readOptionsHelp();

}  // namespace qrn::cli
