#pragma once
// What the fuzz targets share. Each target hands one input to one reader as a
// file (the readers take paths), runs the operation the user would run, and
// checks what it left behind:
//  - a completed read leaves a dataset whose counts and arrays agree, so that
//    the viewer, the CSV export and the dataset writer can trust it;
//  - a failed read shows exactly one message and leaves the dataset in memory
//    and the input file as they were.
// A violated check aborts, which libFuzzer (or the corpus replay of ./test)
// reports as a crash.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "dataset/dataset.h"
#include "dataset/progress.h"
#include "files/datafile.h"
#include "readers/readsequence.h"

namespace qrn::fuzz {

// Memory the reads may give the displacement history: a workstation with 16 GB
// free. Far above the fuzzers' -rss_limit_mb, so an allocation that only this
// limit would stop (a count the file cannot back) is reported as a finding.
inline constexpr std::uint64_t kMemoryLimit = std::uint64_t{16} << 30;

// A companion file of the fixed sample analysis the input is read with
// (fuzz/support: `qrnconv sample --cables 1 --nodes 4 --steps 5`).
QString support(const QString& name);

// The input as a file in this process's scratch folder.
struct Input {
    QString path;
    QByteArray bytes;
};
Input writeInput(const QString& name, const std::uint8_t* data, std::size_t size);

// Aborts with `what` on stderr when `ok` is false.
void require(bool ok, const char* what);

// A read request over the sample analysis; the target replaces one of its files.
ReadRequest sampleRequest(int mode);

// Runs ReadAnalysis over the dataset of an earlier read and checks the outcome.
void checkRead(const ReadRequest& request, const Input& input);

// Runs DataLood over the dataset of an earlier read and checks the outcome.
void checkLoad(const LoadRequest& request, const Input& input);

// Aborts unless every count of a completed read agrees with the arrays it bounds
// and every node-table entry and beam end addresses a node inside them.
void checkConsistent(const Dataset& d);

// Keeps every message shown while an operation runs, then its outcome's notices.
class MessageLog : public Progress {
  public:
    std::vector<std::pair<QString, QString>> messages;  // title, text
    void message(const QString& title, const QString& text) override {
        messages.emplace_back(title, text);
    }
    void add(const WindowOutcome& outcome) {
        for (const Notice& n : outcome.notices) messages.emplace_back(n.title, n.text);
    }
};

}  // namespace qrn::fuzz
