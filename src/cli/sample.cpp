#include "cli/sample.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "readers/layout_f08.h"
#include "readers/layout_his.h"
#include "readers/layout_section.h"

namespace qrn::sample {
namespace {

constexpr int kValuesPerLine = static_cast<int>(his::kValuesPerLine);
constexpr int kField = static_cast<int>(his::kValueWidth);
constexpr int kCountWidth = 10;  // the count line of a history record

// Fixed-point text of q / 10^decimals, right-aligned in `width` characters.
// Writes exactly `width` characters (a value too wide for the field is written
// in full and shifts the line: the model keeps every value well inside).
char* putFixed(char* out, int width, std::int64_t q, int decimals) {
    char digits[32];
    const bool neg = q < 0;
    const std::uint64_t mag =
        neg ? 0 - static_cast<std::uint64_t>(q) : static_cast<std::uint64_t>(q);
    auto r = std::to_chars(digits, digits + sizeof digits, mag);
    int nd = static_cast<int>(r.ptr - digits);
    char text[40];
    int len = 0;
    if (neg) text[len++] = '-';
    if (nd <= decimals) {
        text[len++] = '0';
        text[len++] = '.';
        for (int i = nd; i < decimals; ++i) text[len++] = '0';
        std::memcpy(text + len, digits, static_cast<std::size_t>(nd));
        len += nd;
    } else {
        std::memcpy(text + len, digits, static_cast<std::size_t>(nd - decimals));
        len += nd - decimals;
        if (decimals > 0) {
            text[len++] = '.';
            std::memcpy(text + len, digits + nd - decimals, static_cast<std::size_t>(decimals));
            len += decimals;
        }
    }
    const int pad = width - len;
    if (pad > 0) {
        std::memset(out, ' ', static_cast<std::size_t>(pad));
        out += pad;
    }
    std::memcpy(out, text, static_cast<std::size_t>(len));
    return out + len;
}

char* putInt(char* out, int width, std::int64_t v) { return putFixed(out, width, v, 0); }

char* putText(char* out, std::string_view s) {
    std::memcpy(out, s.data(), s.size());
    return out + s.size();
}

char* putCrLf(char* out) {
    out[0] = '\r';
    out[1] = '\n';
    return out + 2;
}

std::string intervalText(double interval) { return num::formatGeneral(interval); }

// Text placed at the 1-based columns of a line.
void putColumns(std::string& line, his::Columns c, std::string_view text) {
    line.replace(c.first - 1, text.size(), text);
}

// The history header: the tag, kind, component digit and number in their
// columns, with the analysis program's words between them.
constexpr std::size_t kHeaderLength = his::kNumber.first - 1 + his::kNumber.count;
std::string historyHeader(const Model::Entry& e) {
    std::string h(kHeaderLength, ' ');
    putColumns(h, {1, his::kTag.size()}, his::kTag);
    putColumns(h, {9, 6}, "OUTPUT");
    const char* kind = e.kind == Model::Entry::Disp   ? "DISP"
                       : e.kind == Model::Entry::Cabl ? "CABL"
                                                      : "BEAM";
    putColumns(h, his::kKind, kind);
    putColumns(h, {26, 9}, "COMPONENT");
    h[his::kDigit.first - 1] = static_cast<char>('0' + e.digit);
    putColumns(h, {42, 7}, e.kind == Model::Entry::Disp ? "NODE" : "ELEMENT");
    putInt(h.data() + his::kNumber.first - 1, static_cast<int>(his::kNumber.count), e.number);
    return h;
}

std::string historySecondLine(const SampleOptions& opts) {
    return "      STEP      TIME   DT=" + intervalText(opts.interval) + " SEC";
}

std::int64_t dataBytes(std::int64_t n) {
    const std::int64_t full = n / kValuesPerLine;
    const std::int64_t rest = n % kValuesPerLine;
    return full * (kValuesPerLine * kField + 2) + (rest ? rest * kField + 2 : 0);
}

const char* const kTitle1 = " QUARN  DYNAMIC RESPONSE OF OVERHEAD LINE CONDUCTORS";

std::string titleLine2(const SampleOptions& opts) {
    return " SAMPLE ANALYSIS  SEED=" + std::to_string(opts.seed) +
           "  CABLES=" + std::to_string(opts.cables) + "  NODES=" + std::to_string(opts.nodes) +
           "  STEPS=" + std::to_string(opts.steps);
}

// Little-endian byte output into a buffer.
void putI32(char* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}
void putF64(char* p, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, 8);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

// Buffered block output to one or more files (the two text histories get the
// same bytes).
class BlockWriter {
  public:
    BlockWriter(std::vector<QSaveFile*> files, std::function<void(std::int64_t)> onBytes)
        : files_(std::move(files)), onBytes_(std::move(onBytes)), buf_(kSize) {}
    // Room for n more bytes (n <= kReserve); returns where to write them.
    char* reserve(std::size_t n) {
        if (used_ + n > buf_.size()) flush();
        return buf_.data() + used_;
    }
    void advance(char* end) { used_ = static_cast<std::size_t>(end - buf_.data()); }
    void flush() {
        if (used_ == 0) return;
        for (QSaveFile* f : files_) {
            if (f->write(buf_.data(), static_cast<qint64>(used_)) != static_cast<qint64>(used_))
                throw QrnError(QStringLiteral("ファイル") + f->fileName() +
                               QStringLiteral("に書き込めません。") + QChar(u'\r') +
                               f->errorString());
        }
        if (onBytes_) onBytes_(static_cast<std::int64_t>(used_));
        used_ = 0;
    }
    static constexpr std::size_t kSize = std::size_t{8} << 20;

  private:
    std::vector<QSaveFile*> files_;
    std::function<void(std::int64_t)> onBytes_;
    std::vector<char> buf_;
    std::size_t used_ = 0;
};

void openForWrite(QSaveFile& f) {
    if (!f.open(QIODevice::WriteOnly))
        throw QrnError(QStringLiteral("ファイル") + QDir::toNativeSeparators(f.fileName()) +
                       QStringLiteral("を作成できません。") + QChar(u'\r') + f.errorString());
}

void commit(QSaveFile& f) {
    if (!f.commit())
        throw QrnError(QStringLiteral("ファイル") + QDir::toNativeSeparators(f.fileName()) +
                       QStringLiteral("に書き込めません。") + QChar(u'\r') + f.errorString());
}

void writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    openForWrite(f);
    if (f.write(bytes) != bytes.size())
        throw QrnError(QStringLiteral("ファイル") + QDir::toNativeSeparators(path) +
                       QStringLiteral("に書き込めません。") + QChar(u'\r') + f.errorString());
    commit(f);
}

}  // namespace

QByteArray settingsText(const Model& m) {
    std::string t;
    char buf[128];
    auto line = [&](std::string_view s) {
        t.append(s);
        t.append("\r\n");
    };
    line("# quarn input deck (qrnconv sample): " + std::to_string(m.spans()) + " spans, " +
         std::to_string(m.phases()) + " phases of " + std::to_string(m.bundle()) +
         " conductors, seed " + std::to_string(m.options().seed));
    line("*UNIT");
    line("KG        M");  // force unit in 1-2, length unit in 11
    auto element = [&](const Model::Element& e, int prop) {
        char* p = buf;
        p = putInt(p, 10, e.number);
        p = putInt(p, 10, prop);
        p = putInt(p, 10, 1);
        p = putInt(p, 10, e.node1);
        p = putInt(p, 10, e.node2);
        line(std::string_view(buf, static_cast<std::size_t>(p - buf)));
    };
    line("*ELEMENT  CABLE");
    line("#   ELEM      PROP      MATL     NODE1     NODE2");
    for (const auto& els : m.cableElements())
        for (const auto& e : els) element(e, 1);
    line("*ELEMENT  BEAM");
    line("#   ELEM      PROP      MATL     NODE1     NODE2");
    for (const auto& e : m.beamElements()) element(e, e.kind == Model::Insulator ? 2 : 3);
    line("*NODE");
    line("#   NODE         X         Y         Z");
    auto node = [&](const Model::Node& n) {
        char* p = buf;
        p = putInt(p, 10, n.number);
        p = putFixed(p, 10, std::llround(n.x * 1000.0), 3);
        p = putFixed(p, 10, std::llround(n.y * 1000.0), 3);
        p = putFixed(p, 10, std::llround(n.z * 1000.0), 3);
        line(std::string_view(buf, static_cast<std::size_t>(p - buf)));
    };
    for (const auto& chain : m.cableNodes())
        for (const auto& n : chain) node(n);
    for (const auto& n : m.beamNodes()) node(n);
    line("*END");
    return QByteArray(t.data(), static_cast<qsizetype>(t.size()));
}

QByteArray sectionText(const Model& m) {
    std::string t;
    char buf[128];
    t.append(" TIME SECTION FILE  (STATIC EQUILIBRIUM)\r\n");
    t.append(" STEP=         0   TIME=  0.000\r\n");
    for (const auto& st : m.statics()) {
        // The number's columns end at column 10, as the reader takes them.
        constexpr int kNumberEnd =
            static_cast<int>(section::kNodeNumber.first - 1 + section::kNodeNumber.count);
        char* p = putInt(buf, kNumberEnd, st.number);
        p = putCrLf(p);
        for (int i = 0; i < 4; ++i)
            p = putFixed(p, static_cast<int>(section::kValueWidth),
                         st.q[static_cast<std::size_t>(i)], 6);
        p = putCrLf(p);
        t.append(buf, static_cast<std::size_t>(p - buf));
    }
    t.append("         0\r\n");
    return QByteArray(t.data(), static_cast<qsizetype>(t.size()));
}

QByteArray sectionBinary(const Model& m) {
    using namespace section;
    const auto& st = m.statics();
    const std::int64_t e = static_cast<std::int64_t>(st.size()) * 4;
    const std::int64_t b = kEntryBytes * e;  // the entry list
    const std::int64_t values = valuesAt(b);
    QByteArray out(static_cast<qsizetype>(values + 8 * e + 4), '\0');
    char* p = out.data();
    // A title record, then the entry count; the entry list and the value list
    // are records framed by their byte lengths.
    putI32(p, kTitleBytes);
    std::memset(p + kTitleAt, ' ', kTitleBytes);
    const char title[] = "QUARN PRO TIME SECTION (STATIC EQUILIBRIUM)";
    std::memcpy(p + kTitleAt, title, sizeof title - 1);
    putI32(p + kTitleAt + kTitleBytes, kTitleBytes);
    putI32(p + kCountAt, static_cast<std::int32_t>(e));
    putI32(p + kListLengthAt, static_cast<std::int32_t>(b));
    std::int64_t i = 0;
    for (const auto& s : st) {
        for (std::int32_t type = kTypeX; type <= kTypeTorsion; ++type, ++i) {
            putI32(p + kListAt + kEntryBytes * i, s.number);
            putI32(p + kListAt + kEntryBytes * i + 4, type);
            putF64(p + values + 8 * i,
                   static_cast<double>(s.q[static_cast<std::size_t>(type - kTypeX)]) / 1e6);
        }
    }
    putI32(p + kListAt + b, static_cast<std::int32_t>(b));
    putI32(p + kListAt + b + 4, static_cast<std::int32_t>(8 * e));
    putI32(p + values + 8 * e, static_cast<std::int32_t>(8 * e));
    return out;
}

std::int64_t textHistorySize(const Model& m) {
    const std::int64_t n = m.options().steps;
    // The header, title and count lines (each with CR LF), then the data lines.
    const std::int64_t perRecord =
        static_cast<std::int64_t>(kHeaderLength) + 2 +
        static_cast<std::int64_t>(historySecondLine(m.options()).size()) + 2 + kCountWidth + 2 +
        dataBytes(n);
    return static_cast<std::int64_t>(std::strlen(kTitle1)) + 2 +
           static_cast<std::int64_t>(titleLine2(m.options()).size()) + 2 +
           perRecord * static_cast<std::int64_t>(m.entries().size());
}

std::int64_t binaryHistorySize(const Model& m) {
    const std::int64_t n = m.options().steps;
    const std::int64_t e = static_cast<std::int64_t>(m.dispCount() + m.tensionCount());
    // The list, its closing length, then the framed step records.
    const std::int64_t listAt = f08::baseFor(n) + f08::kListAfterBase;
    return listAt + f08::kEntryBytes * e + 4 + n * f08::recordBytes(e);
}

namespace {

void writeTextHistory(const Model& m, BlockWriter& w) {
    const std::int64_t n = m.options().steps;
    auto line = [&](std::string_view s) {
        char* p = w.reserve(s.size() + 2);
        p = putText(p, s);
        w.advance(putCrLf(p));
    };
    line(kTitle1);
    line(titleLine2(m.options()));
    const std::string second = historySecondLine(m.options());
    std::vector<Model::Row> rows(Model::kChunk);
    for (const auto& e : m.entries()) {
        line(historyHeader(e));
        line(second);
        char cnt[16];
        line(std::string_view(cnt, static_cast<std::size_t>(putInt(cnt, kCountWidth, n) - cnt)));
        const int dec = Model::decimals(e);
        int onLine = 0;
        for (std::int64_t first = 0; first < n; first += Model::kChunk) {
            const int count = static_cast<int>(std::min<std::int64_t>(Model::kChunk, n - first));
            m.rows(e.phase, first, count, rows.data());
            char* p = w.reserve(static_cast<std::size_t>(count) * kField +
                                2 * (count / kValuesPerLine + 2));
            for (int i = 0; i < count; ++i) {
                p = putFixed(p, kField, Model::quantValue(e, rows[static_cast<std::size_t>(i)]),
                             dec);
                if (++onLine == kValuesPerLine) {
                    p = putCrLf(p);
                    onLine = 0;
                }
            }
            w.advance(p);
        }
        if (onLine) w.advance(putCrLf(w.reserve(2)));
    }
    w.flush();
}

void writeBinaryHistory(const Model& m, BlockWriter& w) {
    const std::int64_t n = m.options().steps;
    const std::size_t d = m.dispCount(), t = m.tensionCount();
    const std::size_t e = d + t;
    const auto n32 = static_cast<std::int32_t>(n);
    const auto recLen = static_cast<std::int32_t>(f08::kEntryBytes * static_cast<std::int64_t>(e));

    char* p = w.reserve(f08::kStepNumbersAt);
    std::memset(p, 0, f08::kStepNumbersAt);
    putI32(p, f08::kTitleBytes);
    std::memset(p + f08::kTitleAt, ' ', f08::kTitleBytes);
    const char title[] = "QUARN PRO BINARY TIME HISTORY";
    std::memcpy(p + f08::kTitleAt, title, sizeof title - 1);
    putI32(p + f08::kTitleAt + f08::kTitleBytes, f08::kTitleBytes);
    putI32(p + f08::kStepCountAt, n32);
    putF64(p + f08::kIntervalAt, m.options().interval);
    putI32(p + f08::kNodeCountAt, static_cast<std::int32_t>(d / 4));
    putI32(p + f08::kTensionCountAt, static_cast<std::int32_t>(t));
    putI32(p + f08::kBeamCountAt, static_cast<std::int32_t>(m.beamElements().size()));
    putI32(p + f08::kBaseAt, static_cast<std::int32_t>(f08::baseFor(n)));
    w.advance(p + f08::kStepNumbersAt);
    // Step numbers, then the header words and the list's opening length.
    for (std::int64_t s = 1; s <= n; ++s) {
        char* q = w.reserve(4);
        putI32(q, static_cast<std::int32_t>(s));
        w.advance(q + 4);
    }
    constexpr std::size_t kWordBytes = 4 * f08::kHeaderWords;
    p = w.reserve(kWordBytes + 4);
    std::memset(p, 0, kWordBytes);
    putI32(p + 4 * f08::kWordEntries, static_cast<std::int32_t>(e));
    putI32(p + 4 * f08::kWordSteps, n32);
    putI32(p + 4 * f08::kWordListEnd, static_cast<std::int32_t>(e));
    putI32(p + 4 * f08::kWordDispCount, static_cast<std::int32_t>(d));
    putI32(p + kWordBytes, recLen);
    w.advance(p + kWordBytes + 4);
    const auto& entries = m.entries();
    for (std::size_t i = 0; i < e; ++i) {
        char* q = w.reserve(f08::kEntryBytes);
        putI32(q, entries[i].number);
        putI32(q + 4, entries[i].digit);
        w.advance(q + f08::kEntryBytes);
    }
    p = w.reserve(4);
    putI32(p, recLen);
    w.advance(p + 4);

    // Step records, each framed by its byte length, one chunk of steps at a time.
    const int phases = m.phases();
    std::vector<Model::Row> rows(static_cast<std::size_t>(phases) * Model::kChunk);
    for (std::int64_t first = 0; first < n; first += Model::kChunk) {
        const int count = static_cast<int>(std::min<std::int64_t>(Model::kChunk, n - first));
        for (int ph = 0; ph < phases; ++ph)
            m.rows(ph, first, count, rows.data() + static_cast<std::size_t>(ph) * Model::kChunk);
        for (int i = 0; i < count; ++i) {
            p = w.reserve(4);
            putI32(p, recLen);
            w.advance(p + 4);
            for (std::size_t k = 0; k < e; ++k) {
                const auto& en = entries[k];
                const auto& r = rows[static_cast<std::size_t>(en.phase) * Model::kChunk +
                                     static_cast<std::size_t>(i)];
                char* q = w.reserve(8);
                putF64(q, static_cast<double>(Model::quantValue(en, r)) / Model::scale(en));
                w.advance(q + 8);
            }
            p = w.reserve(4);
            putI32(p, recLen);
            w.advance(p + 4);
        }
    }
    w.flush();
}

}  // namespace

void writeSample(const QString& dir, const SampleOptions& opts,
                 const std::function<void(double)>& progress) {
    const QString problem = checkOptions(opts);
    if (!problem.isEmpty()) throw QrnError(problem);
    QDir d(dir);
    if (!d.mkpath(QStringLiteral("tmp")))
        throw QrnError(QStringLiteral("フォルダ") +
                       QDir::toNativeSeparators(d.absoluteFilePath(QStringLiteral("tmp"))) +
                       QStringLiteral("を作成できません。"));
    const Model m(opts);

    const QByteArray settings = settingsText(m);
    writeWhole(d.filePath(kSettingsName), settings);
    writeWhole(d.filePath(kProSettingsName), settings);
    writeWhole(d.filePath(kSectionTextName), sectionText(m));
    writeWhole(d.filePath(kSectionBinaryName), sectionBinary(m));

    const double total = static_cast<double>(textHistorySize(m) + binaryHistorySize(m));
    std::int64_t done = 0;
    auto onBytes = [&](std::int64_t b) {
        done += b;
        if (progress) progress(static_cast<double>(done) / total);
    };
    {
        QSaveFile his(d.filePath(kHistoryName)), f24(d.filePath(kProTextName));
        openForWrite(his);
        openForWrite(f24);
        BlockWriter w({&his, &f24}, onBytes);
        writeTextHistory(m, w);
        commit(his);
        commit(f24);
    }
    {
        QSaveFile f08(d.filePath(kProBinaryName));
        openForWrite(f08);
        BlockWriter w({&f08}, onBytes);
        writeBinaryHistory(m, w);
        commit(f08);
    }
}

}  // namespace qrn::sample
