#include "files/datafile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <bit>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "dataset/error.h"
#include "dataset/numbers.h"

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

// Fixed blocks of the oldest generations.
constexpr int kLegacyNodeRows = 501;
constexpr int kLegacyCableSlots = 6;
constexpr int kFixedBeams = 81;

constexpr std::int32_t kInt16Min = std::numeric_limits<std::int16_t>::min();
constexpr std::int32_t kInt16Max = std::numeric_limits<std::int16_t>::max();

QString num(std::int64_t v) { return QString::number(v); }

QString readMessage(const QString& path, const QString& reason) {
    return QStringLiteral("ファイル %1 を読み込めませんでした。").arg(path) + kCR + reason;
}
QString writeMessage(const QString& path, const QString& reason) {
    return QStringLiteral("ファイル %1 に保存できませんでした。").arg(path) + kCR + reason;
}

const QString kTruncated =
    QStringLiteral("ファイルが途中で終わっています（壊れているか、形式が違います）。");
const QString kNoMemory = QStringLiteral("メモリが不足しています。");

// Labels of the counts in messages.
const QString kLabelStepMax = QStringLiteral("最終時間ステップ (StepMax)");
const QString kLabelHeadSpare = QStringLiteral("予備欄 (HeadSpare)");
const QString kLabelCableMax = QStringLiteral("ケーブル数 (CableMax)");
const QString kLabelNodeTblMax = QStringLiteral("節点表の件数 (NodeTblMax)");
const QString kLabelFirstNode = QStringLiteral("表示開始節点 (FirstNode)");
const QString kLabelLastNode = QStringLiteral("表示終了節点 (LastNode)");
const QString kLabelBeamElemMax = QStringLiteral("梁要素数 (BeamElemMax)");
const QString kLabelBeamNodeMax = QStringLiteral("梁節点数 (BeamNodeMax)");
const QString kLabelNodeMax = QStringLiteral("節点数 (NodeMax)");
const QString kLabelStepCount = QStringLiteral("時間ステップ数 (StepCount)");
const QString kLabelTensionMax = QStringLiteral("張力データ数 (TensionMax)");
const QString kLabelBeamRecCount = QStringLiteral("梁結果データ数 (BeamRecCount)");

QString badCount(const QString& label, std::int64_t value) {
    return QStringLiteral("%1 の値 %2 が正しくありません。").arg(label, num(value));
}

// Shapes every array must have for the counts: the file stores no bounds.
struct Shapes {
    std::array<Bounds, 2> cableInfo, nodeTbl, tensionHist, nodeTwist0, beamRecInfo, beamHist;
    std::array<Bounds, 3> beamElem, nodePos;
    std::array<Bounds, 4> nodeDisp;
    std::array<Bounds, 1> tensionElem;
};

Shapes shapesOf(const Dataset& d) {
    const std::int64_t lastSlot = std::int64_t{d.CableMax} + 1;  // the beam slot
    const std::int64_t lastTime = std::int64_t{d.StepCount} + 1;
    Shapes s;
    s.cableInfo = {Bounds{0, 1}, Bounds{0, d.CableMax}};
    s.nodeTbl = {Bounds{0, 2}, Bounds{0, d.NodeTblMax}};
    s.beamElem = {Bounds{0, 1}, Bounds{0, 1}, Bounds{0, d.BeamElemMax}};
    s.nodeDisp = {Bounds{0, lastSlot}, Bounds{-1, 2}, Bounds{0, d.NodeMax}, Bounds{0, lastTime}};
    s.tensionElem = {Bounds{0, d.TensionMax}};
    s.tensionHist = {Bounds{0, lastTime}, Bounds{0, d.TensionMax}};
    s.nodePos = {Bounds{0, lastSlot}, Bounds{0, 2}, Bounds{0, d.NodeMax}};
    s.beamRecInfo = {Bounds{0, 1}, Bounds{0, std::int64_t{d.BeamRecCount} - 1}};
    s.beamHist = {Bounds{0, lastTime}, Bounds{0, std::int64_t{d.BeamRecCount} - 1}};
    s.nodeTwist0 = {Bounds{0, lastSlot}, Bounds{0, d.NodeMax}};
    return s;
}

// Counts that every later array and every viewer loop rely on. Empty when fine.
std::optional<QString> countProblem(const Dataset& d) {
    if (d.CableMax < 0) return badCount(kLabelCableMax, d.CableMax);
    if (d.NodeTblMax < 0) return badCount(kLabelNodeTblMax, d.NodeTblMax);
    if (d.BeamElemMax < -1) return badCount(kLabelBeamElemMax, d.BeamElemMax);
    if (d.NodeMax < 0) return badCount(kLabelNodeMax, d.NodeMax);
    if (d.BeamNodeMax < -1 || d.BeamNodeMax > d.NodeMax)
        return badCount(kLabelBeamNodeMax, d.BeamNodeMax);
    if (d.StepCount < 0) return badCount(kLabelStepCount, d.StepCount);
    if (d.StepMax < 0 || std::int64_t{d.StepMax} > std::int64_t{d.StepCount} + 1)
        return badCount(kLabelStepMax, d.StepMax);
    if (d.TensionMax < 0) return badCount(kLabelTensionMax, d.TensionMax);
    if (d.BeamRecCount < 0) return badCount(kLabelBeamRecCount, d.BeamRecCount);
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
            if (progress_ && pos_ - reported_ >= kChunkBytes) {
                reported_ = pos_;
                progress_->progress(static_cast<double>(pos_) / static_cast<double>(size_));
            }
        }
    }

    std::int16_t i16() {
        std::int16_t v = 0;
        bytes(&v, sizeof v);
        return v;
    }

    // One bulk read of an array whose memory type is the file type.
    template <typename T, std::size_t N>
    void array(BArray<T, N>& a) {
        bytes(a.data(), static_cast<std::int64_t>(a.bytes()));
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
    template <typename T, std::size_t N>
    void widen16(BArray<T, N>& a) {
        widen16(a.data(), a.size());
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

int lastDigit(const QString& name) {
    if (name.isEmpty()) return 0;
    const QChar c = name.back();
    return (c >= u'0' && c <= u'9') ? c.unicode() - u'0' : 0;
}

// ---------------------------------------------------------------------------
// Writing

class FileOut {
  public:
    FileOut(const QString& path, std::int64_t total, Progress* progress)
        : path_(path), file_(path), progress_(progress), total_(total) {
        if (!file_.open(QIODevice::WriteOnly))
            fail(
                QStringLiteral("ファイルを作成できません（フォルダーがない、書き込みが禁止されて"
                               "いる、または使用中です）。"));
    }

    [[noreturn]] void fail(const QString& reason) {
        file_.cancelWriting();
        throw QrnError(writeMessage(path_, reason), kWriteErrorTitle);
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
        }
    }

    void i16(std::int32_t v) {  // range checked beforehand
        const auto s = static_cast<std::int16_t>(v);
        bytes(&s, sizeof s);
    }

    template <typename T, std::size_t N>
    void array(const BArray<T, N>& a) {
        bytes(a.data(), static_cast<std::int64_t>(a.bytes()));
    }

    // int32 in memory, int16 in the file; values range checked beforehand.
    template <std::size_t N>
    void narrow16(const BArray<std::int32_t, N>& a) {
        std::vector<std::int16_t> buf(std::min(a.size(), kConvertElems));
        const std::int32_t* src = a.data();
        std::size_t n = a.size();
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
            throw QrnError(writeMessage(path_, QStringLiteral("ファイルを書き終えられませんでした"
                                                              "（ディスクの空き容量が足りないか、"
                                                              "ファイルが使用中です）。")),
                           kWriteErrorTitle);
    }

  private:
    QString path_;
    QSaveFile file_;
    Progress* progress_;
    std::int64_t total_;
    std::int64_t done_ = 0;
};

template <typename T, std::size_t N>
std::optional<QString> shapeProblem(const BArray<T, N>& a, const std::array<Bounds, N>& want,
                                    const char* name) {
    if (a.bounds() == want && a.size() > 0) return std::nullopt;
    return QStringLiteral("配列 %1 の大きさが件数と一致しないため、正しいファイルになりません。")
        .arg(QLatin1String(name));
}

template <std::size_t N>
std::optional<QString> int16Problem(const BArray<std::int32_t, N>& a, const QString& what) {
    const std::int32_t* p = a.data();
    for (std::size_t i = 0; i < a.size(); ++i)
        if (p[i] < kInt16Min || p[i] > kInt16Max)
            return QStringLiteral("%1 に値 %2 があり、ファイルの16ビットの欄に収まりません。")
                .arg(what, num(p[i]));
    return std::nullopt;
}

// Everything that would make the written file unreadable or misread. Empty when fine.
std::optional<QString> writeProblem(const Dataset& d) {
    const std::pair<const QString*, std::int32_t> scalars[] = {
        {&kLabelStepMax, d.StepMax},         {&kLabelHeadSpare, d.HeadSpare},
        {&kLabelCableMax, d.CableMax},       {&kLabelNodeTblMax, d.NodeTblMax},
        {&kLabelFirstNode, d.FirstNode},     {&kLabelLastNode, d.LastNode},
        {&kLabelBeamElemMax, d.BeamElemMax}, {&kLabelBeamNodeMax, d.BeamNodeMax},
        {&kLabelNodeMax, d.NodeMax},         {&kLabelStepCount, d.StepCount},
        {&kLabelTensionMax, d.TensionMax},   {&kLabelBeamRecCount, d.BeamRecCount},
    };
    for (const auto& [label, value] : scalars)
        if (value < kInt16Min || value > kInt16Max)
            return QStringLiteral("%1 が %2 で、ファイルの16ビットの欄（%3〜%4）に収まりません。")
                .arg(*label, num(value), num(kInt16Min), num(kInt16Max));
    if (auto p = countProblem(d)) return p;

    const Shapes s = shapesOf(d);
    std::optional<QString> p;
    if ((p = shapeProblem(d.CableInfo, s.cableInfo, "CableInfo"))) return p;
    if ((p = shapeProblem(d.NodeTbl, s.nodeTbl, "NodeTbl"))) return p;
    if (d.BeamElemMax >= 0 && (p = shapeProblem(d.BeamElem, s.beamElem, "BeamElem"))) return p;
    if ((p = shapeProblem(d.NodeDisp, s.nodeDisp, "NodeDisp"))) return p;
    if ((p = shapeProblem(d.TensionElem, s.tensionElem, "TensionElem"))) return p;
    if ((p = shapeProblem(d.TensionHist, s.tensionHist, "TensionHist"))) return p;
    if ((p = shapeProblem(d.NodePos, s.nodePos, "NodePos"))) return p;
    if (d.BeamRecCount > 0) {
        if ((p = shapeProblem(d.BeamRecInfo, s.beamRecInfo, "BeamRecInfo"))) return p;
        if ((p = shapeProblem(d.BeamHist, s.beamHist, "BeamHist"))) return p;
    }
    if ((p = shapeProblem(d.NodeTwist0, s.nodeTwist0, "NodeTwist0"))) return p;

    if ((p = entryProblem(d))) return p;
    if (d.BeamElemMax >= 0 && (p = int16Problem(d.BeamElem, QStringLiteral("梁要素表 (BeamElem)"))))
        return p;
    if (d.BeamRecCount > 0 &&
        (p = int16Problem(d.BeamRecInfo,
                          QStringLiteral("梁結果データの要素番号・種別 (BeamRecInfo)"))))
        return p;
    return std::nullopt;
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

DataFileGeneration dataFileGeneration(const QString& fileName) {
    const QString tail = fileName.right(4).toLower();
    if (tail == u".qrn") return DataFileGeneration::A;
    if (tail == u"qrn0") return DataFileGeneration::G0;
    if (tail == u"qrn1") return DataFileGeneration::G1;
    if (tail == u"qrn2") return DataFileGeneration::G2;
    return DataFileGeneration::G3;
}

bool isDataFileName(const QString& fileName) {
    const QString tail = fileName.right(4).toLower();
    return tail == u".qrn" || tail == u"qrn0" || tail == u"qrn1" || tail == u"qrn2" ||
           tail == u"qrn3";
}

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
    FileIn in(path, progress);
    const DataFileGeneration gen = dataFileGeneration(fileName);
    const bool legacy = gen == DataFileGeneration::A || gen == DataFileGeneration::G0;
    const bool narrowTables = gen == DataFileGeneration::G1 || gen == DataFileGeneration::G2;

    d.StepMax = in.i16();
    d.HeadSpare = in.i16();

    std::vector<std::int16_t> legacyNodes;
    if (legacy) {
        legacyNodes.resize(3 * kLegacyNodeRows);
        in.bytes(legacyNodes.data(), sizeOf(3 * kLegacyNodeRows, 2));
    }

    d.CableMax = in.i16();
    checkCount(in, d.CableMax, 0, kLabelCableMax);
    if (legacy) {
        checkLegacy(in, d.CableMax, kLegacyCableSlots - 1, kLabelCableMax);
        std::int16_t block[2 * kLegacyCableSlots];
        in.bytes(block, sizeof block);
        d.CableInfo.create({Bounds{0, 1}, Bounds{0, d.CableMax}});
        for (int s = 0; s <= d.CableMax; ++s)
            for (int i = 0; i <= 1; ++i) d.CableInfo(i, s) = block[i + 2 * s];
    } else {
        const std::int64_t n = 2 * (std::int64_t{d.CableMax} + 1);
        in.need(sizeOf(n, narrowTables ? 2 : 4));
        d.CableInfo.create({Bounds{0, 1}, Bounds{0, d.CableMax}});
        if (narrowTables)
            in.widen16(d.CableInfo);
        else
            in.array(d.CableInfo);
    }

    d.NodeTblMax = in.i16();
    checkCount(in, d.NodeTblMax, 0, kLabelNodeTblMax);
    if (legacy) {
        checkLegacy(in, d.NodeTblMax, kLegacyNodeRows - 1, kLabelNodeTblMax);
        d.NodeTbl.create({Bounds{0, 2}, Bounds{0, d.NodeTblMax}});
        for (int r = 0; r <= d.NodeTblMax; ++r)
            for (int c = 0; c <= 2; ++c) d.NodeTbl(c, r) = legacyNodes[r + kLegacyNodeRows * c];
    } else {
        const std::int64_t n = 3 * (std::int64_t{d.NodeTblMax} + 1);
        in.need(sizeOf(n, narrowTables ? 2 : 4));
        d.NodeTbl.create({Bounds{0, 2}, Bounds{0, d.NodeTblMax}});
        if (narrowTables)
            in.widen16(d.NodeTbl);
        else
            in.array(d.NodeTbl);
    }

    d.FirstNode = in.i16();
    d.LastNode = in.i16();

    if (gen == DataFileGeneration::A) {
        std::int16_t block[4 * kFixedBeams];
        in.bytes(block, sizeof block);
        d.BeamElemMax = in.i16();
        checkCount(in, d.BeamElemMax, -1, kLabelBeamElemMax);
        checkLegacy(in, d.BeamElemMax, kFixedBeams - 1, kLabelBeamElemMax);
        d.BeamElem.create({Bounds{0, 1}, Bounds{0, 1}, Bounds{0, d.BeamElemMax}});
        for (int b = 0; b <= d.BeamElemMax; ++b)
            for (int j = 0; j <= 1; ++j)
                for (int i = 0; i <= 1; ++i) d.BeamElem(i, j, b) = block[i + 2 * j + 4 * b];
    } else {
        d.BeamElemMax = in.i16();
        checkCount(in, d.BeamElemMax, -1, kLabelBeamElemMax);
        if (d.BeamElemMax >= 0) {
            in.need(sizeOf(4 * (std::int64_t{d.BeamElemMax} + 1), 2));
            d.BeamElem.create({Bounds{0, 1}, Bounds{0, 1}, Bounds{0, d.BeamElemMax}});
            in.widen16(d.BeamElem);
        }
    }

    d.BeamNodeMax = in.i16();
    const std::int16_t interval = in.i16();
    d.NodeMax = in.i16();
    d.StepCount = in.i16();
    const int digit = lastDigit(fileName);
    // Tension and beam counts come later; check what is known now before sizing anything big.
    {
        Dataset probe;
        probe.CableMax = d.CableMax;
        probe.NodeTblMax = d.NodeTblMax;
        probe.BeamElemMax = d.BeamElemMax;
        probe.NodeMax = d.NodeMax;
        probe.BeamNodeMax = d.BeamNodeMax;
        probe.StepCount = d.StepCount;
        probe.StepMax = d.StepMax;
        if (auto p = countProblem(probe)) in.fail(*p);
    }

    const std::int64_t slotCount = std::int64_t{d.CableMax} + 2;
    const std::int64_t nodes = std::int64_t{d.NodeMax} + 1;
    const std::int64_t times = std::int64_t{d.StepCount} + 2;
    const std::int64_t dispCount = slotCount * 4 * nodes * times;
    const bool wideDisp = in.remaining() > 4 * dispCount;
    // The smallest rest of the file: NodeDisp, the tension count, one tension
    // column, NodePos and BeamRecCount. Checked before the big allocations.
    in.need(sizeOf(dispCount, wideDisp ? 4 : 2) + (digit >= 2 ? 2 : 0) + sizeOf(times, 2) +
            sizeOf(slotCount * 3 * nodes, 4) + 2);

    const Shapes shapes = shapesOf(d);
    d.NodeDisp.create(shapes.nodeDisp);
    d.NodePos.create(shapes.nodePos);
    d.NodeTwist0.create(shapes.nodeTwist0);
    if (wideDisp)
        in.array(d.NodeDisp);
    else
        in.widen16(d.NodeDisp);

    if (digit >= 2) {
        d.TensionMax = in.i16();
        checkCount(in, d.TensionMax, 0, kLabelTensionMax);
        const std::int64_t n = std::int64_t{d.TensionMax} + 1;
        in.need(sizeOf(n, digit > 2 ? 4 : 2) + sizeOf(times * n, 2));
        d.TensionElem.create({Bounds{0, d.TensionMax}});
        if (digit > 2)
            in.array(d.TensionElem);
        else
            in.widen16(d.TensionElem);
    } else {
        d.TensionMax = 0;
        d.TensionElem.create({Bounds{0, 0}});
    }
    d.TensionHist.create({Bounds{0, times - 1}, Bounds{0, d.TensionMax}});
    in.array(d.TensionHist);

    in.array(d.NodePos);

    d.BeamRecCount = in.i16();
    checkCount(in, d.BeamRecCount, 0, kLabelBeamRecCount);
    if (d.BeamRecCount > 0) {
        const std::int64_t n = d.BeamRecCount;
        in.need(sizeOf(2 * n, 2) + sizeOf(times * n, 2));
        d.BeamRecInfo.create({Bounds{0, 1}, Bounds{0, n - 1}});
        d.BeamHist.create({Bounds{0, times - 1}, Bounds{0, n - 1}});
        in.widen16(d.BeamRecInfo);
        in.array(d.BeamHist);
    }

    // Older files may end before the initial torsion angles: they stay zero.
    if (in.remaining() >= sizeOf(slotCount * nodes, 4)) in.array(d.NodeTwist0);

    if (auto p = entryProblem(d)) in.fail(*p);
    return interval;
}

void writeDataFile(const Dataset& d, const QString& path, std::int16_t interval,
                   Progress* progress) {
    if (auto p = writeProblem(d)) throw QrnError(writeMessage(path, *p), kWriteErrorTitle);

    const std::int64_t total =
        26 + static_cast<std::int64_t>(
                 d.CableInfo.bytes() + d.NodeTbl.bytes() +
                 (d.BeamElemMax >= 0 ? d.BeamElem.size() * 2 : 0) + d.NodeDisp.bytes() +
                 d.TensionElem.bytes() + d.TensionHist.bytes() + d.NodePos.bytes() +
                 (d.BeamRecCount > 0 ? d.BeamRecInfo.size() * 2 + d.BeamHist.bytes() : 0) +
                 d.NodeTwist0.bytes());
    FileOut out(path, total, progress);
    out.i16(d.StepMax);
    out.i16(d.HeadSpare);
    out.i16(d.CableMax);
    out.array(d.CableInfo);
    out.i16(d.NodeTblMax);
    out.array(d.NodeTbl);
    out.i16(d.FirstNode);
    out.i16(d.LastNode);
    out.i16(d.BeamElemMax);
    if (d.BeamElemMax >= 0) out.narrow16(d.BeamElem);
    out.i16(d.BeamNodeMax);
    out.i16(interval);
    out.i16(d.NodeMax);
    out.i16(d.StepCount);
    out.array(d.NodeDisp);
    out.i16(d.TensionMax);
    out.array(d.TensionElem);
    out.array(d.TensionHist);
    out.array(d.NodePos);
    out.i16(d.BeamRecCount);
    if (d.BeamRecCount > 0) {
        out.narrow16(d.BeamRecInfo);
        out.array(d.BeamHist);
    }
    out.array(d.NodeTwist0);
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
    if (!guarded(r.outcome, request.path, Access::Read,
                 [&] { interval = readDataFile(request.path, name, fresh, &progress); }))
        return r;
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
