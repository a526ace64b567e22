#include "readers/historytext.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/textfile.h"
#include "readers/cancelpoll.h"
#include "readers/fields.h"
#include "readers/histories.h"
#include "readers/layout_his.h"

namespace qrn {
namespace {

constexpr std::size_t kDefaultWindow = std::size_t{64} << 20;
constexpr std::size_t kFieldWidth = his::kValueWidth;
// Below this many bytes of data a second thread costs more than it saves.
constexpr std::size_t kMinParallelBytes = std::size_t{1} << 20;
// A file may end before its stated step count (it is read as far as it goes),
// so counts within the analysis program's own range, and tension and beam
// histories up to this many cells, are taken whatever the file's size. Beyond
// them the file must have room for the values the arrays would be sized for.
constexpr std::int64_t kStepsAlwaysTaken = 32767;
constexpr std::int64_t kCellsAlwaysTaken = std::int64_t{1} << 21;
// Lines a parsing thread handles between two looks at the stop flag (about 1 MB).
constexpr unsigned kLinesPerStopCheck = 1u << 14;

enum class Store : std::uint8_t { Disp, Tension, Beam };

// A record whose values are kept, and where they go.
struct Record {
    Store store = Store::Disp;
    std::int64_t offset = 0;   // element offset of time index 0 in the target array
    std::int64_t strideT = 1;  // elements from one time index to the next
    double m1 = 1.0;           // stored value = file value x m1 x m2, rounded
    double m2 = 1.0;
    std::int64_t j = 0;  // values counted so far
};

// The data lines of one record inside the part of the file handled at once.
struct Segment {
    std::size_t record;
    std::size_t begin;  // line start
    std::size_t end;    // line start (a header or the end of the part)
};

struct Targets {
    std::int32_t* disp;
    std::int16_t* tension;
    std::int16_t* beam;
    int n;
    std::int64_t timeHi;
};

template <typename T, typename Round>
void storeFields(std::string_view text, bool lfMode, const Segment& s, Record& r, T* base, int n,
                 std::int64_t timeHi, const std::atomic<bool>& stop, Round round) {
    LineSplitter lines(text.substr(0, s.end), lfMode);
    lines.seek(s.begin);
    std::string_view line;
    // Value j goes to time index j div N when j mod N is 0; both are carried along
    // instead of dividing once per value.
    std::int64_t j = r.j;
    std::int64_t t = j / n;
    int phase = static_cast<int>(j % n);
    if (phase != 0) ++t;  // the next stored value's time index
    const std::int64_t stride = r.strideT;
    std::int64_t at = r.offset + t * stride;  // element of time index t
    const double m1 = r.m1, m2 = r.m2;
    unsigned lineCount = 0;
    while (lines.next(line)) {
        // A stopped read is thrown away, so its counters need not be right.
        if (++lineCount % kLinesPerStopCheck == 0 && stop.load(std::memory_order_relaxed)) break;
        const auto fieldCount = static_cast<std::int64_t>(line.size() / kFieldWidth);
        if (t > timeHi) {  // past the time dimension: only counted
            j += fieldCount;
            continue;
        }
        const char* p = line.data();
        for (std::int64_t f = 0; f < fieldCount; ++f, p += kFieldWidth) {
            if (phase == 0) {
                if (t > timeHi) {
                    j += fieldCount - f;
                    break;
                }
                const double x = num::leadingValue(std::string_view(p, kFieldWidth));
                if (const auto v = round(x * m1 * m2)) base[at] = *v;
                at += stride;
                ++t;
            }
            ++j;
            if (++phase == n) phase = 0;
        }
    }
    r.j = j;
}

void parseSegment(std::string_view text, bool lfMode, const Segment& s, Record& r, const Targets& t,
                  const std::atomic<bool>& stop) {
    switch (r.store) {
        case Store::Disp:
            storeFields(text, lfMode, s, r, t.disp, t.n, t.timeHi, stop, num::roundToInt32);
            break;
        case Store::Tension:
            storeFields(text, lfMode, s, r, t.tension, t.n, t.timeHi, stop, num::roundToInt16);
            break;
        case Store::Beam:
            storeFields(text, lfMode, s, r, t.beam, t.n, t.timeHi, stop, num::roundToInt16);
            break;
    }
}

// Capacity for `need` columns when an array must grow: half as much again, so
// that thousands of records do not copy the array thousands of times.
std::int64_t grownHi(std::int64_t need, std::int64_t currentHi) {
    return std::max(need, currentHi + currentHi / 2 + 8);
}

class TextHistoryReader {
  public:
    TextHistoryReader(Dataset& d, const QString& path, const UnitFactors& f, int& n,
                      const HistoryReadOptions& o)
        : d_(d),
          path_(path),
          f_(f),
          n_(n),
          o_(o),
          file_(TextFile::open(path)),
          text_(file_.text()),
          lf_(file_.lfMode()) {}

    std::optional<HistoryCut> run() {
        d_.StepMax = 0;
        if (text_.empty()) damaged(QStringLiteral("0 バイトのファイルです"));
        findCut();
        const std::size_t size = text_.size();
        const std::size_t window = o_.windowBytes > 0 ? o_.windowBytes : kDefaultWindow;
        bool inRecord = false;  // lines before the first header belong to no record
        bool kept = false;
        std::size_t pos = 0;
        tick(0.0);
        while (pos < size) {
            std::size_t wEnd = pos + window >= size ? size : lineStartFrom(pos + window);
            windowAt_ = pos;
            windowEnd_ = wEnd;
            std::size_t cursor = pos;
            while (true) {
                const std::size_t h = findHeader(cursor, wEnd);
                const std::size_t segEnd = h == std::string_view::npos ? wEnd : h;
                if (inRecord && kept && segEnd > cursor)
                    segments_.push_back(Segment{records_.size() - 1, cursor, segEnd});
                if (h == std::string_view::npos) break;
                cursor = header(h, kept);
                inRecord = true;
                if (cursor > wEnd) wEnd = cursor;
            }
            parsePending();
            // Only the record still open continues into the next part.
            if (inRecord && kept && records_.size() > 1) {
                records_.front() = records_.back();
                records_.resize(1);
            } else if (!kept) {
                records_.clear();
            }
            pos = wEnd;
            tick(static_cast<double>(pos) / static_cast<double>(size));
        }

        if (d_.NodeDisp.empty()) {  // no header at all: one frame of the model at rest
            d_.StepCount = 0;
            AllocHistories(d_, n_, o_.memoryLimit, path_);
        }
        const std::int64_t timeHi = historyTimeHi(d_, n_);
        const std::int64_t cap = timeHi * n_ + n_ - 1;
        d_.StepMax = static_cast<std::int32_t>(std::min<std::int64_t>(stepMax_, cap));
        trim(timeHi);
        return keepCompleteSteps();
    }

  private:
    // Reports progress (never backwards) and stops when asked to; on the
    // calling thread only, with no parsing thread running.
    void tick(double fraction) {
        if (!o_.progress) return;
        if (fraction > reported_) {
            reported_ = fraction;
            o_.progress->progress(fraction);
        }
        throwIfCancelled(o_.progress);
    }

    // True when the last line has no line end: the file was cut while written
    // or copied (the analysis program ends every line).
    bool endsMidLine() const {
        const char last = text_.back();
        return last != '\r' && last != '\n';
    }

    // The last header line's start, or npos.
    std::size_t lastHeader() const {
        std::size_t q = text_.size();
        while (q > 0) {
            q = text_.rfind(his::kTag, q - 1);
            if (q == std::string_view::npos) return q;
            if (isLineStart(q)) return q;
        }
        return std::string_view::npos;
    }

    // Looks at a file cut mid-line before it is read. Its last record holds the
    // steps every record holds; a last record without one whole value is left
    // out, as if the file ended before it. Files ending with a line end, or
    // whose last record reaches its count, read as they are.
    void findCut() {
        if (!endsMidLine()) return;
        const std::size_t h = lastHeader();
        const QString noStep =
            QStringLiteral("途中で切れていて、すべての記録がそろっている時間ステップがありません");
        if (h == std::string_view::npos) damaged(noStep);  // cut before its first record
        LineSplitter lines(text_, lf_);
        lines.seek(h);
        std::string_view line;
        lines.next(line);
        std::int64_t count = 0;
        bool haveCount = false;
        if (lines.next(line)) {
            const std::size_t lfAt = line.find('\n');
            if (lfAt != std::string_view::npos) {
                line = line.substr(lfAt + 1);
                haveCount = true;
            } else {
                haveCount = lines.next(line);
            }
        }
        // A count line without its line end may itself be cut.
        haveCount = haveCount && !lines.atEnd();
        if (haveCount) count = std::max(0, fields::integer(line, 1, line.size()));
        std::int64_t values = 0;
        if (haveCount)
            while (lines.next(line)) values += static_cast<std::int64_t>(line.size() / kFieldWidth);
        if (haveCount && values >= count) return;
        if (values > 0) {
            cutKeep_ = values;
            return;
        }
        if (findHeader(0, h) == std::string_view::npos) damaged(noStep);
        text_ = text_.substr(0, h);
        cutDropsRecord_ = true;
    }

    // After the read: shortens the histories to the steps the cut record holds.
    std::optional<HistoryCut> keepCompleteSteps() {
        if (cutKeep_ == 0 && !cutDropsRecord_) return std::nullopt;
        const std::int32_t stated = d_.StepCount;
        const auto kept = static_cast<std::int32_t>(
            cutKeep_ > 0 ? std::min<std::int64_t>(cutKeep_, stated) : stated);
        if (kept <= 0)
            damaged(
                QStringLiteral("途中で切れていて、すべての記録がそろっている時間ステップが"
                               "ありません"));
        if (kept == stated && !cutDropsRecord_) return std::nullopt;  // nothing was lost
        if (kept < stated) cutTimeAxis(kept);
        return HistoryCut{kept, stated, cutDropsRecord_};
    }

    // Shortens every history to `kept` steps; time indices past the last kept
    // step are zero, as in a file that stated `kept`.
    void cutTimeAxis(std::int32_t kept) {
        d_.StepCount = kept;
        d_.StepMax = std::min(d_.StepMax, kept - 1);
        const std::int64_t timeHi = historyTimeHi(d_, n_);
        const std::int64_t lastKept = (kept - 1) / n_;

        // NodeDisp's time index varies slowest: the kept part is a prefix.
        auto b = d_.NodeDisp.bounds();
        b[3].hi = timeHi;
        BArray<std::int32_t, 4> disp(b);
        const std::size_t slice = static_cast<std::size_t>(d_.NodeDisp.stride(3));
        std::memcpy(disp.data(), d_.NodeDisp.data(),
                    static_cast<std::size_t>(lastKept + 1) * slice * sizeof(std::int32_t));
        d_.NodeDisp = std::move(disp);

        for (BArray<std::int16_t, 2>* a : {&d_.TensionHist, &d_.BeamHist}) {
            if (a->empty()) continue;
            a->resizeKeep({Bounds{0, timeHi}, a->bounds()[1]});
            for (std::int64_t c = 0; c <= a->hi(1); ++c)
                for (std::int64_t t = lastKept + 1; t <= timeHi; ++t) (*a)(t, c) = 0;
        }
    }

    bool isLineStart(std::size_t q) const {
        if (q == 0) return true;
        if (lf_) return text_[q - 1] == '\n';
        if (text_[q - 1] == '\r') return q >= text_.size() || text_[q] != '\n';
        return text_[q - 1] == '\n' && q >= 2 && text_[q - 2] == '\r';
    }

    // The first line start at or after q.
    std::size_t lineStartFrom(std::size_t q) const {
        if (q >= text_.size()) return text_.size();
        if (isLineStart(q)) return q;
        if (!lf_ && text_[q - 1] == '\r') return q + 1;  // q is the LF of a CR LF
        const char term = lf_ ? '\n' : '\r';
        const void* hit = std::memchr(text_.data() + q, term, text_.size() - q);
        if (!hit) return text_.size();
        std::size_t r = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) + 1;
        if (!lf_ && r < text_.size() && text_[r] == '\n') ++r;
        return r;
    }

    // The first header line starting in [from, limit); `from` is a line start.
    // Numbers never hold an 'H', so searching for it skips the data lines quickly.
    std::size_t findHeader(std::size_t from, std::size_t limit) const {
        std::size_t q = from;
        while (q < limit) {
            const void* hit = std::memchr(text_.data() + q, 'H', limit - q);
            if (!hit) return std::string_view::npos;
            q = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
            if ((q == from || isLineStart(q)) && text_.substr(q, his::kTag.size()) == his::kTag)
                return q;
            ++q;
        }
        return std::string_view::npos;
    }

    // Reads the header at h and its count; returns the start of its data lines.
    std::size_t header(std::size_t h, bool& kept) {
        LineSplitter lines(text_, lf_);
        lines.seek(h);
        std::string_view head, second, countLine;
        lines.next(head);
        std::int32_t count = 0;
        if (lines.next(second)) {
            const std::size_t lfAt = second.find('\n');
            bool haveCount = true;
            if (lfAt != std::string_view::npos) {
                countLine = second.substr(lfAt + 1);
            } else {
                haveCount = lines.next(countLine);
            }
            if (haveCount) count = std::max(0, fields::integer(countLine, 1, countLine.size()));
        }

        const std::string_view kind = fields::cols(head, his::kKind.first, his::kKind.count);
        const std::string_view digitText = fields::cols(head, his::kDigit.first, his::kDigit.count);
        const int digit = !digitText.empty() && digitText[0] >= '0' && digitText[0] <= '9'
                              ? digitText[0] - '0'
                              : 0;
        const std::int32_t number = fields::integer(head, his::kNumber.first, his::kNumber.count);
        const bool cabl = kind == "CABL", beam = kind == "BEAM";
        checkRoom(d_.StepCount > 0 ? d_.StepCount : count,
                  std::max(0, d_.TensionMax + 1) + std::int64_t{d_.BeamRecCount} + cabl + beam);

        Record r;
        std::int32_t lin = 0, kukan = -1;
        std::int64_t column = 0;
        kept = false;
        if (kind == "DISP") {
            d_.NodeCHK(number, lin, kukan);
            kept = digit >= 1 && digit <= 4 && kukan >= 0;
            r.store = Store::Disp;
        } else if (kind == "CABL") {
            ++d_.TensionMax;
            column = d_.TensionMax;
            growTension();
            d_.TensionElem(column) = number;
            kept = digit == 1;
            r.store = Store::Tension;
        } else if (kind == "BEAM") {
            ++d_.BeamRecCount;
            column = d_.BeamRecCount - 1;
            growBeamInfo();
            d_.BeamRecInfo(0, column) = number;
            d_.BeamRecInfo(1, column) = digit;
            kept = true;
            r.store = Store::Beam;
        }

        if (d_.StepCount == 0) {
            parsePending();  // stored values must land before the arrays change
            d_.StepCount = count;
            AllocHistories(d_, n_, o_.memoryLimit, path_);
        }
        if (kind == "BEAM") growBeamHist();

        if (kept) {
            switch (r.store) {
                case Store::Disp: {
                    const int k = digit - 2;
                    r.offset = static_cast<std::int64_t>(d_.NodeDisp.offsetOf(lin, k, kukan, 0));
                    r.strideT = d_.NodeDisp.stride(3);
                    r.m1 = k == 2 ? 1.0 : f_.length;
                    r.m2 = kStorageScale;
                    break;
                }
                case Store::Tension:
                    r.offset = static_cast<std::int64_t>(d_.TensionHist.offsetOf(0, column));
                    r.m1 = f_.force;
                    break;
                case Store::Beam:
                    r.offset = static_cast<std::int64_t>(d_.BeamHist.offsetOf(0, column));
                    r.m1 = f_.force;
                    r.m2 = f_.length;
                    break;
            }
            records_.push_back(r);
        }
        return lines.position();
    }

    // Ends the read before a stated count sizes the histories beyond what the
    // file could fill: a value takes 12 characters, so a count far above
    // size / 12 (a damaged or hostile file) would claim memory for nothing.
    void checkRoom(std::int64_t steps, std::int64_t columns) const {
        const auto size = static_cast<std::int64_t>(text_.size());
        const auto perValue = static_cast<std::int64_t>(kFieldWidth);
        if (steps > kStepsAlwaysTaken && steps > size / perValue)
            damaged(QStringLiteral("時間ステップ数 %1 の値を記録できる大きさ（%2 バイト）が"
                                   "ありません")
                        .arg(QString::number(steps), QString::number(size)));
        const std::int64_t cells = (steps / n_ + 2) * columns;
        if (cells > kCellsAlwaysTaken && cells > size)
            damaged(
                QStringLiteral("張力・梁の時刻歴 %1 件 × 時間ステップ数 %2 の値を記録できる"
                               "大きさ（%3 バイト）がありません")
                    .arg(QString::number(columns), QString::number(steps), QString::number(size)));
    }

    [[noreturn]] void damaged(const QString& what) const {
        throw QrnError(QStringLiteral("ファイル") + path_ +
                       QStringLiteral("は壊れているか、途中で切れています。") + QChar(u'\r') +
                       QStringLiteral("（") + what + QStringLiteral("）"));
    }

    void growTension() {
        const std::int64_t need = d_.TensionMax;
        if (d_.TensionElem.hi(0) < need)
            d_.TensionElem.resizeKeep({Bounds{0, grownHi(need, d_.TensionElem.hi(0))}});
        if (need == 0) return;  // column 0 comes with the histories' allocation
        if (d_.TensionHist.empty()) {
            const std::int64_t timeHi = historyTimeHi(d_, n_);
            growColumns(d_.TensionHist, timeHi, grownHi(need, 0));
        } else if (d_.TensionHist.hi(1) < need) {
            growColumns(d_.TensionHist, d_.TensionHist.hi(0), grownHi(need, d_.TensionHist.hi(1)));
        }
    }

    void growBeamInfo() {
        const std::int64_t need = d_.BeamRecCount - 1;
        if (d_.BeamRecInfo.empty() || d_.BeamRecInfo.hi(1) < need) {
            const std::int64_t hi = d_.BeamRecInfo.empty() ? need : d_.BeamRecInfo.hi(1);
            d_.BeamRecInfo.resizeKeep({Bounds{0, 1}, Bounds{0, grownHi(need, hi)}});
        }
    }

    void growBeamHist() {
        const std::int64_t need = d_.BeamRecCount - 1;
        if (d_.BeamHist.empty()) {
            growColumns(d_.BeamHist, historyTimeHi(d_, n_), grownHi(need, 0));
        } else if (d_.BeamHist.hi(1) < need) {
            growColumns(d_.BeamHist, d_.BeamHist.hi(0), grownHi(need, d_.BeamHist.hi(1)));
        }
    }

    // Re-creates a [time, column] history with more columns, keeping its content,
    // once the memory it will take is known to be there.
    void growColumns(BArray<std::int16_t, 2>& a, std::int64_t timeHi, std::int64_t colHi) {
        const auto bytes = static_cast<std::uint64_t>(timeHi + 1) *
                           static_cast<std::uint64_t>(colHi + 1) * sizeof(std::int16_t);
        checkRecordMemory(d_, bytes - a.bytes(), o_.memoryLimit, path_);
        a.resizeKeep({Bounds{0, timeHi}, Bounds{0, colHi}});
    }

    // Cuts the arrays grown with spare columns back to their exact bounds.
    void trim(std::int64_t timeHi) {
        const std::int64_t tensionHi = std::max(0, d_.TensionMax);
        if (d_.TensionElem.hi(0) != tensionHi) d_.TensionElem.resizeKeep({Bounds{0, tensionHi}});
        const std::array<Bounds, 2> tb{Bounds{0, timeHi}, Bounds{0, tensionHi}};
        if (d_.TensionHist.bounds() != tb) d_.TensionHist.resizeKeep(tb);
        if (d_.BeamRecCount > 0) {
            const std::int64_t hi = d_.BeamRecCount - 1;
            d_.BeamRecInfo.resizeKeep({Bounds{0, 1}, Bounds{0, hi}});
            const std::array<Bounds, 2> bb{Bounds{0, timeHi}, Bounds{0, hi}};
            if (d_.BeamHist.bounds() != bb) d_.BeamHist.resizeKeep(bb);
        }
    }

    // Parses the collected segments, on several threads when that pays. This
    // thread polls for a stop every few megabytes of its share and tells the
    // others through a flag; all are joined before a stop is thrown.
    void parsePending() {
        if (segments_.empty()) return;
        const Targets t{d_.NodeDisp.data(), d_.TensionHist.data(), d_.BeamHist.data(), n_,
                        historyTimeHi(d_, n_)};
        std::size_t total = 0;
        for (const Segment& s : segments_) total += s.end - s.begin;
        const int threads = threadCount(total);
        const std::vector<std::size_t> cuts =
            threads > 1 ? split(total, threads) : std::vector<std::size_t>{0, segments_.size()};
        std::atomic<bool> stop{false};
        auto work = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to && !stop.load(std::memory_order_relaxed); ++i)
                parseSegment(text_, lf_, segments_[i], records_[segments_[i].record], t, stop);
        };
        // This thread's share, with progress across the part of the file being parsed.
        std::size_t mine = 0, done = 0, sincePoll = 0;
        for (std::size_t i = cuts[0]; i < cuts[1]; ++i)
            mine += segments_[i].end - segments_[i].begin;
        auto pollingWork = [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to && !stop.load(std::memory_order_relaxed); ++i) {
                const Segment& s = segments_[i];
                parseSegment(text_, lf_, s, records_[s.record], t, stop);
                done += s.end - s.begin;
                sincePoll += s.end - s.begin;
                if (sincePoll >= kCancelPollBytes) {
                    sincePoll = 0;
                    if (!poll(
                            std::min(1.0, static_cast<double>(done) /
                                              static_cast<double>(std::max<std::size_t>(mine, 1)))))
                        stop = true;
                }
            }
        };
        std::vector<std::thread> workers;
        workers.reserve(static_cast<std::size_t>(threads - 1));
        for (int w = 1; w < threads; ++w) {
            const std::size_t from = cuts[static_cast<std::size_t>(w)];
            const std::size_t to = cuts[static_cast<std::size_t>(w) + 1];
            try {
                workers.emplace_back(work, from, to);
            } catch (const std::system_error&) {
                pollingWork(from, to);  // no thread to be had: this share on this one
            }
        }
        if (!poll(0.0)) stop = true;
        pollingWork(cuts[0], cuts[1]);
        for (auto& w : workers) w.join();
        if (thrown_) std::rethrow_exception(std::exchange(thrown_, nullptr));
        if (stop) throw Cancelled();
        for (const Segment& s : segments_) stepMax_ = std::max(stepMax_, records_[s.record].j - 1);
        segments_.clear();
    }

    // Progress within the part of the file being parsed (share = the fraction
    // of this thread's share done) and a look at the stop request; false asks
    // the parsing to stop. Never throws, since parsing threads may be running:
    // what the progress throws (a window may stop a read that way) is kept for
    // after they were joined.
    bool poll(double share) {
        if (!o_.progress) return true;
        const double span = static_cast<double>(windowEnd_ - windowAt_);
        const double fraction =
            (static_cast<double>(windowAt_) + span * share) / static_cast<double>(text_.size());
        try {
            if (fraction > reported_) {
                reported_ = fraction;
                o_.progress->progress(fraction);
            }
            return !o_.progress->cancelRequested();
        } catch (...) {
            thrown_ = std::current_exception();
            return false;
        }
    }

    int threadCount(std::size_t total) const {
        int threads =
            o_.threads > 0 ? o_.threads : static_cast<int>(std::thread::hardware_concurrency());
        threads = std::clamp(threads, 1, 16);
        if (total < kMinParallelBytes && o_.threads <= 0) return 1;
        threads = std::min<int>(threads, static_cast<int>(segments_.size()));
        if (threads > 1 && sharesTarget(split(total, threads))) return 1;
        return threads;
    }

    // Segment indices where each thread's share begins, balanced by bytes; the
    // last element is the segment count.
    std::vector<std::size_t> split(std::size_t total, int threads) const {
        std::vector<std::size_t> cuts{0};
        std::size_t acc = 0;
        std::size_t i = 0;
        for (int w = 1; w < threads; ++w) {
            const std::size_t goal =
                total / static_cast<std::size_t>(threads) * static_cast<std::size_t>(w);
            while (i < segments_.size() && acc < goal) {
                acc += segments_[i].end - segments_[i].begin;
                ++i;
            }
            cuts.push_back(i);
        }
        cuts.push_back(segments_.size());
        return cuts;
    }

    // True when two threads' shares would write the same displacement history
    // (a node and component recorded twice): the later record must win, so
    // those parts are parsed in file order on one thread.
    bool sharesTarget(const std::vector<std::size_t>& cuts) const {
        std::vector<std::pair<std::int64_t, std::size_t>> keys;
        for (std::size_t w = 0; w + 1 < cuts.size(); ++w)
            for (std::size_t i = cuts[w]; i < cuts[w + 1]; ++i) {
                const Record& r = records_[segments_[i].record];
                if (r.store == Store::Disp) keys.emplace_back(r.offset, w);
            }
        std::sort(keys.begin(), keys.end());
        for (std::size_t i = 1; i < keys.size(); ++i)
            if (keys[i].first == keys[i - 1].first && keys[i].second != keys[i - 1].second)
                return true;
        return false;
    }

    Dataset& d_;
    const QString& path_;
    UnitFactors f_;
    int& n_;
    const HistoryReadOptions& o_;
    TextFile file_;
    std::string_view text_;
    bool lf_;
    std::vector<Record> records_;
    std::vector<Segment> segments_;
    std::int64_t stepMax_ = 0;
    // The part of the file being handled, for progress.
    std::size_t windowAt_ = 0;
    std::size_t windowEnd_ = 0;
    double reported_ = -1.0;
    // A file cut mid-line (findCut): the steps its last record holds, or the
    // last record left out.
    std::int64_t cutKeep_ = 0;
    std::exception_ptr thrown_;  // by the progress while parsing threads ran
    bool cutDropsRecord_ = false;
};

}  // namespace

std::optional<HistoryCut> ReadHistoryText(Dataset& d, const QString& path,
                                          const UnitFactors& factors, int& n,
                                          const HistoryReadOptions& options) {
    TextHistoryReader reader(d, path, factors, n, options);
    return reader.run();
}

}  // namespace qrn
