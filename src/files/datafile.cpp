#include "files/datafile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <bit>
#include <limits>
#include <map>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/savetarget.h"
#include "dataset/schema.h"
#include "dataset/systemerror.h"

namespace qrn {

// Arrays are moved as their raw in-memory bytes: that is the file's layout only
// on a little-endian machine with IEEE single-precision floats.
static_assert(std::endian::native == std::endian::little,
              "the dataset file stores raw little-endian array bytes");
static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4);

namespace {

const QString kCR = QStringLiteral("\r");

// Large arrays move in pieces of this size so progress can be shown and no
// single system call exceeds what every platform accepts.
constexpr qint64 kChunkBytes = qint64{64} << 20;
// Elements converted per step when a file width differs from the memory width.
constexpr std::size_t kConvertElems = std::size_t{1} << 20;

constexpr std::int32_t kInt16Min = std::numeric_limits<std::int16_t>::min();
constexpr std::int32_t kInt16Max = std::numeric_limits<std::int16_t>::max();

using schema::Field;
using schema::Role;
using schema::Storage;

QString num(std::int64_t v) { return QString::number(v); }

QString readMessage(const QString& path, const QString& reason) {
    return QStringLiteral("ファイル %1 を読み込めませんでした。").arg(path) + kCR + reason;
}
QString writeMessage(const QString& path, const QString& reason) {
    return QStringLiteral("ファイル %1 に保存できませんでした。").arg(path) + kCR + reason;
}
// Our reason, then the system's when it gave one.
QString withCause(const QString& reason, const QFileDevice& file) {
    if (file.error() == QFileDevice::NoError) return reason;
    return reason + kCR + systemErrorText(file);
}

const QString kTruncated =
    QStringLiteral("ファイルが途中で終わっています（壊れているか、形式が違います）。");
const QString kNoMemory = QStringLiteral("メモリが不足しています。");

QString label(const char* field) { return QString::fromUtf8(schema::field(field).label); }

QString badCount(const QString& label, std::int64_t value) {
    return QStringLiteral("%1 の値 %2 が正しくありません。").arg(label, num(value));
}

// Counts that every later array and every viewer loop rely on. Empty when fine.
std::optional<QString> countProblem(const Dataset& d) {
    if (d.CableMax < 0) return badCount(label("CableMax"), d.CableMax);
    if (d.NodeTblMax < 0) return badCount(label("NodeTblMax"), d.NodeTblMax);
    if (d.BeamElemMax < -1) return badCount(label("BeamElemMax"), d.BeamElemMax);
    if (d.NodeMax < 0) return badCount(label("NodeMax"), d.NodeMax);
    if (d.BeamNodeMax < -1 || d.BeamNodeMax > d.NodeMax)
        return badCount(label("BeamNodeMax"), d.BeamNodeMax);
    if (d.StepCount < 0) return badCount(label("StepCount"), d.StepCount);
    if (d.StepMax < 0 || std::int64_t{d.StepMax} > std::int64_t{d.StepCount} + 1)
        return badCount(label("StepMax"), d.StepMax);
    if (d.TensionMax < 0) return badCount(label("TensionMax"), d.TensionMax);
    if (d.BeamRecCount < 0) return badCount(label("BeamRecCount"), d.BeamRecCount);
    return std::nullopt;
}

// Entries that address the per-node arrays must stay inside them.
std::optional<QString> entryProblem(const Dataset& d) {
    const std::int64_t lastSlot = std::int64_t{d.CableMax} + 1;
    for (std::int64_t e = 0; e <= d.NodeTblMax; ++e) {
        const std::int64_t slot = d.NodeTbl(1, e), index = d.NodeTbl(2, e);
        if (slot < 0 || slot > lastSlot || index < 0 || index > d.NodeMax)
            return QStringLiteral(
                       "節点表の %1 番目の項目（節点番号 %2）がケーブル %3・節点 %4 "
                       "を指していますが、その位置はデータの範囲外です。")
                .arg(num(e), num(d.NodeTbl(0, e)), num(slot), num(index));
    }
    for (std::int64_t b = 0; b <= d.BeamElemMax; ++b) {
        for (int end = 0; end <= 1; ++end) {
            const std::int64_t slot = d.BeamElem(end, 0, b), index = d.BeamElem(end, 1, b);
            if (slot < 0 || slot > lastSlot || index < 0 || index > d.NodeMax)
                return QStringLiteral(
                           "梁要素 %1 の節点（ケーブル %2・節点 %3）が"
                           "データの範囲外を指しています。")
                    .arg(num(b), num(slot), num(index));
        }
    }
    for (std::int64_t s = 0; s <= d.CableMax; ++s) {
        const std::int64_t elements = d.CableInfo(1, s);
        if (elements < 0 || elements > d.NodeMax)
            return QStringLiteral("ケーブル %1 の要素数 %2 が節点数 (NodeMax = %3) と合いません。")
                .arg(num(s), num(elements), num(d.NodeMax));
    }
    return std::nullopt;
}

// Bytes an array takes in memory.
std::int64_t memoryBytes(const Field& f, const Dataset& d) {
    return static_cast<std::int64_t>(f.ops->size(d) * f.ops->elementBytes);
}

// Elements in front of the last (entry) dimension of an array, the same for any counts.
std::int64_t entryWidth(const Field& f) {
    const std::array<Bounds, 4> b = schema::boundsOf(f, Dataset());
    std::int64_t n = 1;
    for (std::size_t i = 0; i + 1 < f.ops->rank; ++i) n *= b[i].count();
    return n;
}

// ---------------------------------------------------------------------------
// Reading

class FileIn {
  public:
    FileIn(const QString& path, Progress* progress)
        : path_(path), file_(path), progress_(progress) {
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            fail(QStringLiteral("ファイルを開けません。"));
        size_ = file_.size();
    }

    [[noreturn]] void fail(const QString& reason) const {
        throw QrnError(readMessage(path_, reason));
    }

    qint64 remaining() const { return size_ - pos_; }

    // Fails unless `bytes` more bytes are there; called before anything is sized by a count.
    void need(std::int64_t bytes) const {
        if (bytes < 0 || bytes > remaining()) fail(kTruncated);
    }

    void bytes(void* dst, std::int64_t n) {
        need(n);
        char* const base = static_cast<char*>(dst);
        std::int64_t done = 0;
        while (done < n) {
            const qint64 step = std::min<qint64>(n - done, kChunkBytes);
            const qint64 got = file_.read(base + done, step);
            if (got != step)
                fail(got < 0 ? QStringLiteral("読み込み中にエラーが発生しました。") : kTruncated);
            done += got;
            pos_ += got;
            // A stop request is polled with each progress report.
            if (progress_ && pos_ - reported_ >= kChunkBytes) {
                reported_ = pos_;
                progress_->progress(static_cast<double>(pos_) / static_cast<double>(size_));
                poll();
            }
        }
    }

    // Throws Cancelled when the user asked the load to stop.
    void poll() { throwIfCancelled(progress_); }

    std::int16_t i16() {
        std::int16_t v = 0;
        bytes(&v, sizeof v);
        return v;
    }

    // An array stored as int16 in the file but wider in memory.
    template <typename T>
    void widen16(T* dst, std::size_t n) {
        need(static_cast<std::int64_t>(n) * 2);
        std::vector<std::int16_t> buf(std::min(n, kConvertElems));
        while (n > 0) {
            const std::size_t step = std::min(n, buf.size());
            bytes(buf.data(), static_cast<std::int64_t>(step * sizeof(std::int16_t)));
            dst = std::copy(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(step), dst);
            n -= step;
        }
    }

  private:
    QString path_;
    QFile file_;
    Progress* progress_;
    qint64 size_ = 0;
    qint64 pos_ = 0;
    qint64 reported_ = 0;
};

void checkCount(const FileIn& in, std::int64_t value, std::int64_t min, const QString& label) {
    if (value < min) in.fail(badCount(label, value));
}

void checkLegacy(const FileIn& in, std::int64_t value, std::int64_t max, const QString& label) {
    if (value > max)
        in.fail(QStringLiteral("旧形式のファイルで %1 が %2 ですが、固定領域には %3 までしか"
                               "入りません。")
                    .arg(label, num(value), num(max)));
}

// Bytes of `n` elements of the given width, from values already known to be small.
std::int64_t sizeOf(std::int64_t n, std::int64_t width) { return n * width; }

// Reads the binary dataset file field by field, as the name's format holds them.
class FileReader {
  public:
    FileReader(const QString& path, const FileFormat& format, Dataset& d, Progress* progress)
        : in_(path, progress), format_(format), d_(d) {}

    std::int16_t run() {
        for (const Field& f : schema::fields()) {
            const Storage storage = f.storage(format_);
            if (f.role == Role::Array) in_.poll();
            switch (f.role) {
                case Role::Count:
                    d_.*f.count = storage == Storage::Absent ? 0 : in_.i16();
                    if (f.minimum != schema::kNoMinimum)
                        checkCount(in_, d_.*f.count, f.minimum, QString::fromUtf8(f.label));
                    break;
                case Role::Interval:
                    interval_ = in_.i16();
                    break;
                case Role::Block:
                    if (storage == Storage::Fixed16) readBlock(schema::field(f.blockOf));
                    break;
                case Role::Array:
                    readArray(f, storage);
                    break;
            }
        }
        if (auto p = entryProblem(d_)) in_.fail(*p);
        return interval_;
    }

  private:
    void readBlock(const Field& array) {
        std::vector<std::int16_t>& block = blocks_[&array];
        block.resize(static_cast<std::size_t>(entryWidth(array) * array.capacity));
        in_.bytes(block.data(), sizeOf(static_cast<std::int64_t>(block.size()), 2));
    }

    void create(const Field& f) { f.ops->create(d_, schema::boundsOf(f, d_).data()); }
    std::int32_t* int32s(const Field& f) { return static_cast<std::int32_t*>(f.ops->data(d_)); }

    void readArray(const Field& f, Storage storage) {
        switch (storage) {
            case Storage::Absent:
                create(f);
                break;
            case Storage::Fixed16: {
                const std::int64_t entries = schema::boundsOf(f, d_)[f.ops->rank - 1].hi;
                checkLegacy(in_, entries, f.capacity - 1, countLabel(f));
                if (!blocks_.count(&f)) readBlock(f);
                create(f);
                fillFromBlock(f, blocks_[&f]);
                break;
            }
            case Storage::Int16:
            case Storage::Native:
                if (!schema::held(f, d_)) break;
                in_.need(sizeOf(static_cast<std::int64_t>(elementsFor(f)),
                                storage == Storage::Int16 ? 2 : f.ops->elementBytes));
                create(f);
                readValues(f, storage);
                break;
            case Storage::ByRoom: {
                checkCountsSoFar(f);
                const std::int64_t count = elementsFor(f);
                const bool wide = in_.remaining() > 4 * count;
                // The current generation always has room for int32: a file
                // that has not was cut short, and read as int16 it would load
                // as garbage without a word.
                if (!wide && format_.generation == DataFileGeneration::G3) in_.fail(kTruncated);
                checkRest(count, wide);
                create(f);
                readValues(f, wide ? Storage::Native : Storage::Int16);
                break;
            }
            case Storage::Trailing:
                create(f);
                // Older files may end before it: it stays zero.
                if (in_.remaining() >= memoryBytes(f, d_)) readValues(f, Storage::Native);
                break;
        }
    }

    // Elements the counts give an array.
    std::int64_t elementsFor(const Field& f) const {
        const std::array<Bounds, 4> b = schema::boundsOf(f, d_);
        std::int64_t n = 1;
        for (std::size_t i = 0; i < f.ops->rank; ++i) n *= b[i].count();
        return n;
    }

    void readValues(const Field& f, Storage storage) {
        if (storage == Storage::Native || f.ops->elementBytes == 2)
            in_.bytes(f.ops->data(d_), memoryBytes(f, d_));
        else
            in_.widen16(int32s(f), f.ops->size(d_));
    }

    // The label of the count that bounds an array's entries.
    static QString countLabel(const Field& array) {
        const std::int32_t Dataset::*count = array.dims[array.ops->rank - 1].count;
        for (const Field& f : schema::fields())
            if (f.role == Role::Count && f.count == count) return QString::fromUtf8(f.label);
        return QString();
    }

    // A fixed block holds the entries' values up to its capacity.
    void fillFromBlock(const Field& f, const std::vector<std::int16_t>& block) {
        const std::int64_t width = entryWidth(f);
        std::int32_t* out = int32s(f);
        const auto n = static_cast<std::int64_t>(f.ops->size(d_));
        for (std::int64_t e = 0; e < n; ++e) {
            const std::int64_t inner = e % width, entry = e / width;
            const std::int64_t at =
                f.entryFastest ? entry + f.capacity * inner : inner + width * entry;
            out[e] = block[static_cast<std::size_t>(at)];
        }
    }

    // The counts read so far, before the first array they size: the tension
    // and beam-result counts come later.
    void checkCountsSoFar(const Field& upTo) {
        Dataset probe;
        for (const Field& f : schema::fields()) {
            if (&f == &upTo) break;
            if (f.role == Role::Count) probe.*f.count = d_.*f.count;
        }
        if (auto p = countProblem(probe)) in_.fail(*p);
    }

    // The smallest rest of the file: the displacements, the tension count, one
    // tension column, NodePos and BeamRecCount. Checked before the big allocations.
    void checkRest(std::int64_t dispCount, bool wide) {
        const std::int64_t slotCount = std::int64_t{d_.CableMax} + 2;
        const std::int64_t nodes = std::int64_t{d_.NodeMax} + 1;
        const std::int64_t times = std::int64_t{d_.StepCount} + 2;
        const bool tensionCount = schema::field("TensionMax").storage(format_) != Storage::Absent;
        in_.need(sizeOf(dispCount, wide ? 4 : 2) + (tensionCount ? 2 : 0) + sizeOf(times, 2) +
                 sizeOf(slotCount * 3 * nodes, 4) + 2);
    }

    FileIn in_;
    FileFormat format_;
    Dataset& d_;
    std::int16_t interval_ = 0;
    std::map<const Field*, std::vector<std::int16_t>> blocks_;
};

// ---------------------------------------------------------------------------
// Writing

class FileOut {
  public:
    FileOut(const QString& path, std::int64_t total, Progress* progress)
        : path_(path), file_(path), progress_(progress), total_(total) {
        if (isReadOnlyFile(path) || !file_.open(QIODevice::WriteOnly))
            fail(
                QStringLiteral("ファイルを作成できません（フォルダーがない、書き込みが禁止されて"
                               "いる、または使用中です）。"));
    }

    [[noreturn]] void fail(const QString& reason) {
        const QString cause = withCause(reason, file_);
        file_.cancelWriting();
        throw QrnError(writeMessage(path_, cause), kWriteErrorTitle);
    }

    void bytes(const void* src, std::int64_t n) {
        const char* p = static_cast<const char*>(src);
        while (n > 0) {
            const qint64 step = std::min<qint64>(n, kChunkBytes);
            if (file_.write(p, step) != step)
                fail(
                    QStringLiteral("書き込み中にエラーが発生しました（ディスクの空き容量が"
                                   "足りない可能性があります）。"));
            p += step;
            n -= step;
            done_ += step;
            if (progress_ && step == kChunkBytes && total_ > 0)
                progress_->progress(static_cast<double>(done_) / static_cast<double>(total_));
            // Stopped: the temporary goes, the target is untouched.
            if (progress_ && progress_->cancelRequested()) throw Cancelled();
        }
    }

    void i16(std::int32_t v) {  // range checked beforehand
        const auto s = static_cast<std::int16_t>(v);
        bytes(&s, sizeof s);
    }

    // int32 in memory, int16 in the file; values range checked beforehand.
    void narrow16(const std::int32_t* src, std::size_t n) {
        std::vector<std::int16_t> buf(std::min(n, kConvertElems));
        while (n > 0) {
            const std::size_t step = std::min(n, buf.size());
            for (std::size_t i = 0; i < step; ++i) buf[i] = static_cast<std::int16_t>(src[i]);
            bytes(buf.data(), static_cast<std::int64_t>(step * sizeof(std::int16_t)));
            src += step;
            n -= step;
        }
    }

    void commit() {
        if (!file_.commit())
            throw QrnError(
                writeMessage(path_, withCause(QStringLiteral("ファイルを書き終えられませんでした"
                                                             "（ディスクの空き容量が足りないか、"
                                                             "ファイルが使用中です）。"),
                                              file_)),
                kWriteErrorTitle);
    }

  private:
    QString path_;
    QSaveFile file_;
    Progress* progress_;
    std::int64_t total_;
    std::int64_t done_ = 0;
};

// Everything that would make the written file unreadable or misread. Empty when fine.
std::optional<QString> writeProblem(const Dataset& d) {
    const auto fields = schema::fields();
    for (const Field& f : fields) {
        if (f.role != Role::Count) continue;
        const std::int32_t value = d.*f.count;
        if (value < kInt16Min || value > kInt16Max)
            return QStringLiteral("%1 が %2 で、ファイルの16ビットの欄（%3〜%4）に収まりません。")
                .arg(QString::fromUtf8(f.label), num(value), num(kInt16Min), num(kInt16Max));
    }
    if (auto p = countProblem(d)) return p;
    for (const Field& f : fields) {
        if (f.role != Role::Array || !schema::held(f, d)) continue;
        if (!f.ops->hasBounds(d, schema::boundsOf(f, d).data()))
            return QStringLiteral(
                       "配列 %1 の大きさが件数と一致しないため、正しいファイルになりません。")
                .arg(QLatin1String(f.name));
    }
    if (auto p = entryProblem(d)) return p;
    // Narrowed to 16 bits in the file: every value must fit.
    for (const Field& f : fields) {
        if (f.role != Role::Array || schema::currentStorage(f) != Storage::Int16 ||
            f.ops->elementBytes != 4 || !schema::held(f, d))
            continue;
        const auto* p = static_cast<const std::int32_t*>(f.ops->constData(d));
        for (std::size_t i = 0; i < f.ops->size(d); ++i)
            if (p[i] < kInt16Min || p[i] > kInt16Max)
                return QStringLiteral("%1 に値 %2 があり、ファイルの16ビットの欄に収まりません。")
                    .arg(QString::fromUtf8(f.label), num(p[i]));
    }
    return std::nullopt;
}

// Bytes a field takes in the current generation.
std::int64_t writtenBytes(const Field& f, const Dataset& d) {
    const Storage storage = schema::currentStorage(f);
    if (storage == Storage::Absent) return 0;
    if (f.role != Role::Array) return 2;
    if (!schema::held(f, d)) return 0;
    const auto n = static_cast<std::int64_t>(f.ops->size(d));
    return storage == Storage::Int16 ? n * 2 : n * static_cast<std::int64_t>(f.ops->elementBytes);
}

bool sameFile(const QString& a, const QString& b) {
    const QFileInfo fa(a), fb(b);
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath().compare(fb.canonicalFilePath(), cs) == 0;
    return fa.absoluteFilePath().compare(fb.absoluteFilePath(), cs) == 0;
}

enum class Access { Read, Write };

// Runs `work` on the file at `path`; its failure becomes the outcome's notice.
// True when it succeeded.
template <typename Work>
bool guarded(WindowOutcome& outcome, const QString& path, Access access, Work&& work) {
    try {
        work();
        return true;
    } catch (const QrnError& e) {
        outcome.notices.push_back({e.title(), e.message()});
    } catch (const std::bad_alloc&) {
        if (access == Access::Read)
            outcome.notices.push_back({kReadErrorTitle, readMessage(path, kNoMemory)});
        else
            outcome.notices.push_back({kWriteErrorTitle, writeMessage(path, kNoMemory)});
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------

std::int16_t intervalHundredths(const QString& text) {
    const double value = num::leadingValue(text);
    if (const auto v = num::roundToInt16(value * 100.0)) return *v;
    throw QrnError(QStringLiteral("計算間隔 %1 はファイルに保存できる範囲（-327.68〜327.67 秒）を"
                                  "超えています。")
                       .arg(text.trimmed()),
                   kWriteErrorTitle);
}

QString intervalText(std::int16_t hundredths) {
    return num::formatGeneralQ(static_cast<double>(hundredths) / 100.0);
}

std::int16_t readDataFile(const QString& path, const QString& fileName, Dataset& d,
                          Progress* progress) {
    return FileReader(path, fileFormatOf(fileName), d, progress).run();
}

void writeDataFile(const Dataset& d, const QString& path, std::int16_t interval,
                   Progress* progress) {
    if (auto p = writeProblem(d)) throw QrnError(writeMessage(path, *p), kWriteErrorTitle);

    std::int64_t total = 0;
    for (const Field& f : schema::fields()) total += writtenBytes(f, d);
    FileOut out(path, total, progress);
    for (const Field& f : schema::fields()) {
        if (writtenBytes(f, d) == 0) continue;
        switch (f.role) {
            case Role::Count:
                out.i16(d.*f.count);
                break;
            case Role::Interval:
                out.i16(interval);
                break;
            case Role::Block:
                break;
            case Role::Array:
                if (schema::currentStorage(f) == Storage::Int16 && f.ops->elementBytes == 4)
                    out.narrow16(static_cast<const std::int32_t*>(f.ops->constData(d)),
                                 f.ops->size(d));
                else
                    out.bytes(f.ops->constData(d), writtenBytes(f, d));
                break;
        }
    }
    out.commit();
}

SaveResult DataSave(const Dataset& data, const SaveRequest& request, Progress& progress) {
    SaveResult r;
    progress.stage(QStringLiteral("データ保存中"));
    if (!guarded(r.outcome, request.outputPath, Access::Write, [&] {
            writeDataFile(data, request.outputPath, intervalHundredths(request.intervalText),
                          &progress);
        }))
        return r;

    // The file that was selected under the same name is replaced by the new
    // one; it goes only now that the new file is complete.
    if (!request.selectedName.isEmpty() && request.outputText == request.selectedName) {
        const QString old = request.dirPath + request.selectedName;
        if (QFileInfo::exists(old) && !sameFile(old, request.outputPath) && !QFile::remove(old))
            r.outcome.notices.push_back(
                {kAppTitle,
                 QStringLiteral("ファイル %1 に保存しました。").arg(request.outputPath) + kCR +
                     QStringLiteral("元のファイル %1 は削除できませんでした。").arg(old)});
    }
    r.saved = true;
    r.outcome.refreshFileList = true;
    r.outcome.dataReady = true;
    return r;
}

LoadResult DataLood(Dataset& data, const LoadRequest& request, Progress& progress) {
    LoadResult r;
    if (request.dataReady) {
        r.ready = true;
        r.outcome.openViewer = true;
        return r;
    }
    progress.stage(QStringLiteral("データ読込中"));
    const QString name =
        request.selectedName.isEmpty() ? QFileInfo(request.path).fileName() : request.selectedName;
    Dataset fresh;
    std::int16_t interval = 0;
    try {
        if (!guarded(r.outcome, request.path, Access::Read,
                     [&] { interval = readDataFile(request.path, name, fresh, &progress); }))
            return r;
    } catch (const Cancelled&) {
        r.cancelled = true;
        return r;
    }
    fresh.DirPath = data.DirPath;  // not part of the file
    data = std::move(fresh);
    data.invalidateNodeIndex();

    r.ready = true;
    r.outcome.intervalText = intervalText(interval);
    r.outcome.dataReady = true;
    r.outcome.saveExportAllowed = true;
    r.outcome.openViewer = true;
    r.outcome.resetViewerTime = true;
    return r;
}

SaveResult SaveDataFileAs(const Dataset& data, const QString& outputPath, const QString& text,
                          Progress& progress) {
    SaveResult r;
    r.saved = guarded(r.outcome, outputPath, Access::Write, [&] {
        writeDataFile(data, outputPath, intervalHundredths(text), &progress);
    });
    return r;
}

SaveResult ConvertDataFile(Dataset& data, const QString& inputPath, const QString& outputPath,
                           Progress& progress) {
    SaveResult r;
    Dataset fresh;
    std::int16_t interval = 0;
    if (!guarded(r.outcome, inputPath, Access::Read, [&] {
            interval = readDataFile(inputPath, QFileInfo(inputPath).fileName(), fresh, &progress);
        }))
        return r;
    fresh.DirPath = data.DirPath;
    data = std::move(fresh);
    data.invalidateNodeIndex();
    r.outcome.intervalText = intervalText(interval);
    r.outcome.dataReady = true;
    r.outcome.saveExportAllowed = true;
    // The stored interval goes back out unchanged, not through its text form.
    r.saved = guarded(r.outcome, outputPath, Access::Write,
                      [&] { writeDataFile(data, outputPath, interval, &progress); });
    return r;
}

}  // namespace qrn
