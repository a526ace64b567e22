#pragma once
// Helpers for the reader tests: small analysis files written into a temporary
// folder, with the fixed columns of the analysis program's formats.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "dataset/dataset.h"
#include "dataset/progress.h"
#include "dataset/windowoutcome.h"

namespace rt {

// Text right-aligned in a field of `width` characters.
inline std::string right(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// Text placed at 1-based column `col` of a line, padding with blanks.
inline void put(std::string& line, std::size_t col, const std::string& text) {
    if (line.size() < col - 1 + text.size()) line.resize(col - 1 + text.size(), ' ');
    line.replace(col - 1, text.size(), text);
}

// Element line: number in columns 1-10, nodes in 31-40 and 41-50.
inline std::string elem(int number, int a, int b) {
    return right(std::to_string(number), 10) + std::string(20, ' ') + right(std::to_string(a), 10) +
           right(std::to_string(b), 10);
}

// Node line: number in columns 2-10, x, y, z in 11-20, 21-30, 31-40.
inline std::string node(int number, const std::string& x, const std::string& y,
                        const std::string& z) {
    return " " + right(std::to_string(number), 9) + right(x, 10) + right(y, 10) + right(z, 10);
}

// Unit line: force unit at column 1, length unit at column 11.
inline std::string units(const std::string& force, const std::string& length) {
    std::string l;
    put(l, 1, force);
    put(l, 11, length);
    return l;
}

// History header: kind at columns 21-24, digit at 40, number at 52-60.
inline std::string header(const std::string& kind, int digit, int number) {
    std::string l = "HISTORY  OF RESPONSE";
    put(l, 21, kind);
    put(l, 40, std::to_string(digit));
    put(l, 52, right(std::to_string(number), 9));
    return l;
}

// A data line of 12-character fields.
inline std::string values(const std::vector<std::string>& v) {
    std::string l;
    for (const auto& s : v) l += right(s, 12);
    return l;
}

// Lines joined with a terminator (CR LF by default), the last one terminated too.
inline std::string lines(const std::vector<std::string>& ls, const std::string& eol = "\r\n") {
    std::string out;
    for (const auto& l : ls) out += l + eol;
    return out;
}

// One history record: header, a title line, the count line, data lines.
inline std::vector<std::string> record(const std::string& kind, int digit, int number, int count,
                                       const std::vector<std::string>& data,
                                       std::size_t perLine = 6) {
    std::vector<std::string> out{header(kind, digit, number), "  TIME HISTORY",
                                 right(std::to_string(count), 8)};
    for (std::size_t i = 0; i < data.size(); i += perLine) {
        std::vector<std::string> chunk(
            data.begin() + static_cast<std::ptrdiff_t>(i),
            data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), i + perLine)));
        out.push_back(values(chunk));
    }
    return out;
}

inline std::vector<std::string> operator+(std::vector<std::string> a,
                                          const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Folder {
  public:
    Folder() { EXPECT_TRUE(dir_.isValid()); }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString write(const QString& name, const std::string& bytes) const {
        const QString p = path(name);
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return p;
    }

  private:
    QTemporaryDir dir_;
};

// Little-endian binary image with values placed at byte offsets.
class Bytes {
  public:
    explicit Bytes(std::size_t size = 0) : b_(size, '\0') {}
    void i32(std::size_t at, std::int32_t v) { raw(at, qToLittleEndian(v)); }
    void f64(std::size_t at, double v) {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        raw(at, qToLittleEndian(bits));
    }
    std::string& str() { return b_; }
    std::size_t size() const { return b_.size(); }
    void resize(std::size_t n) { b_.resize(n, '\0'); }

  private:
    template <typename T>
    void raw(std::size_t at, T v) {
        if (b_.size() < at + sizeof v) b_.resize(at + sizeof v, '\0');
        std::memcpy(&b_[at], &v, sizeof v);
    }
    std::string b_;
};

// A binary history: n steps, entries (number, type), D displacement entries,
// H[2] = listEnd, values[s-1][i] for step s. Base A chosen past the header words.
struct F08 {
    std::int32_t steps = 0;
    double interval = 0.05;
    std::vector<std::pair<std::int32_t, std::int32_t>> entries;
    std::int32_t dispCount = 0;
    std::int32_t listEnd = 0;
    std::vector<std::vector<double>> values;

    std::int64_t base() const { return 256 + 4LL * steps + 64; }
    std::int64_t listAt() const { return base() + 316; }
    std::int64_t recordAt(std::int64_t s) const {
        return listAt() + s * (8 * static_cast<std::int64_t>(entries.size()) + 8);
    }

    Bytes build() const {
        Bytes b;
        b.i32(108, steps);
        b.f64(112, interval);
        b.i32(252, static_cast<std::int32_t>(base()));
        const std::size_t h = 256 + 4 * static_cast<std::size_t>(steps);
        for (int i = 0; i < 16; ++i) b.i32(h + 4 * static_cast<std::size_t>(i), 1000 + i);
        b.i32(h + 8, listEnd);
        b.i32(h + 12, dispCount);
        b.i32(static_cast<std::size_t>(base() + 312),
              static_cast<std::int32_t>(8 * entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            b.i32(static_cast<std::size_t>(listAt()) + 8 * i, entries[i].first);
            b.i32(static_cast<std::size_t>(listAt()) + 8 * i + 4, entries[i].second);
        }
        for (std::int64_t s = 1; s <= steps; ++s) {
            b.i32(static_cast<std::size_t>(recordAt(s)) - 8, 777);  // bytes between records
            for (std::size_t i = 0; i < entries.size(); ++i)
                b.f64(static_cast<std::size_t>(recordAt(s)) + 8 * i,
                      values[static_cast<std::size_t>(s - 1)][i]);
        }
        return b;
    }
};

// Records what an operation reports while it runs, in order: its stages and
// messages; progress fractions are only counted and checked to rise.
class RecordingProgress : public qrn::Progress {
  public:
    std::vector<std::string> calls;
    int progressCalls = 0;
    double lastProgress = -1;

    void message(const QString& title, const QString& text) override {
        calls.push_back("message[" + title.toStdString() + "]" + text.toStdString());
    }
    void stage(const QString& c) override {
        calls.push_back("stage:" + c.toStdString());
        lastProgress = -1;  // fractions are of the current stage
    }
    void progress(double f) override {
        ++progressCalls;
        EXPECT_GE(f, lastProgress);
        EXPECT_LE(f, 1.0);
        lastProgress = f;
    }
};

// An outcome in the same words, in the order the main window applies it.
inline std::vector<std::string> applied(const qrn::WindowOutcome& o) {
    std::vector<std::string> out;
    if (o.settingsText) out.push_back("settings:" + o.settingsText->toStdString());
    if (o.intervalText) out.push_back("interval:" + o.intervalText->toStdString());
    if (o.saveExportAllowed)
        out.push_back(*o.saveExportAllowed ? "saveExport:on" : "saveExport:off");
    if (o.dataReady) out.push_back(*o.dataReady ? "ready:on" : "ready:off");
    if (o.sectionUnticked) out.push_back("untick");
    if (o.refreshFileList) out.push_back("refresh");
    if (o.openViewer) out.push_back(o.resetViewerTime ? "viewer:reset" : "viewer");
    for (const auto& n : o.notices)
        out.push_back("message[" + n.title.toStdString() + "]" + n.text.toStdString());
    return out;
}

// True when every field and array of two datasets is equal.
inline bool sameDataset(const qrn::Dataset& a, const qrn::Dataset& b) { return a.sameContent(b); }

}  // namespace rt
