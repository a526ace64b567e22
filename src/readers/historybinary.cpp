#include "readers/historybinary.h"

#include <algorithm>
#include <array>
#include <vector>

#include "dataset/numbers.h"
#include "readers/binaryfile.h"
#include "readers/cancelpoll.h"
#include "readers/histories.h"
#include "readers/layout_f08.h"

namespace qrn {
namespace {

struct DispEntry {
    std::int64_t value;   // position in the step record
    std::int64_t offset;  // NodeDisp element of time index 0
    double m1;            // stored = value x m1 x 1000
};

}  // namespace

double ReadHistoryBinary(Dataset& d, const QString& path, const UnitFactors& f, int& n,
                         Progress& progress, std::uint64_t memoryLimit) {
    BinaryFile file = BinaryFile::open(path);

    const std::int32_t steps = file.int32At(f08::kStepCountAt, "時間ステップ数");
    if (steps < 0) file.damaged("時間ステップ数が負の値です");
    const double interval = file.float64At(f08::kIntervalAt, "計算間隔");
    const std::int64_t base = file.int32At(f08::kBaseAt, "可変部の位置");
    std::array<std::int32_t, f08::kHeaderWords> h{};
    file.int32s(f08::headerWordsAt(steps), f08::kHeaderWords, h.data(), "ヘッダー");
    const std::int32_t listLength =
        file.int32At(base + f08::kListLengthAfterBase, "項目リストの長さ");
    if (listLength < 0 || listLength % f08::kEntryBytes != 0)
        file.damaged("項目リストの長さが8の倍数ではありません");
    const std::int64_t entries = listLength / f08::kEntryBytes;
    const std::int64_t listAt = base + f08::kListAfterBase;
    std::vector<std::int32_t> list(
        static_cast<std::size_t>(file.holds(listAt, f08::kEntryBytes * entries) ? 2 * entries : 0));
    file.int32s(listAt, 2 * entries, list.data(), "項目リスト");

    const std::int64_t dispCount = h[f08::kWordDispCount];
    const std::int64_t listEnd = h[f08::kWordListEnd];
    if (dispCount < 0 || dispCount > entries || listEnd > entries)
        file.damaged("ヘッダーの項目数が項目リストを超えます");

    const std::int64_t recordBytes = f08::recordBytes(entries);
    if (steps > 0) {
        const std::int64_t room = file.size() - listAt - f08::kEntryBytes * entries;
        if (room < 0 || room / recordBytes < steps)
            file.damaged("時間ステップのデータがファイルの終わりを超えます");
    }

    std::vector<std::array<std::int32_t, 3>> where;  // slot, node index, type
    where.reserve(static_cast<std::size_t>(dispCount));
    for (std::int64_t i = 0; i < dispCount; ++i) {
        std::int32_t lin = 0, kukan = -1;
        d.NodeCHK(list[static_cast<std::size_t>(2 * i)], lin, kukan);
        where.push_back({lin, kukan, list[static_cast<std::size_t>(2 * i + 1)]});
    }

    d.StepCount = steps;
    AllocHistories(d, n, memoryLimit, path);
    const std::int64_t timeHi = historyTimeHi(d, n);

    std::int64_t used = dispCount;
    if (dispCount < listEnd) {
        d.TensionMax = static_cast<std::int32_t>(listEnd - dispCount - 1);
        checkRecordMemory(d,
                          static_cast<std::uint64_t>(timeHi + 1) *
                              static_cast<std::uint64_t>(d.TensionMax) * sizeof(std::int16_t),
                          memoryLimit, path);
        d.TensionHist.resizeKeep({Bounds{0, timeHi}, Bounds{0, d.TensionMax}});
        d.TensionElem.resizeKeep({Bounds{0, d.TensionMax}});
        for (std::int32_t i = 0; i <= d.TensionMax; ++i)
            d.TensionElem(i) = list[static_cast<std::size_t>(2 * (dispCount + i))];
        used = listEnd;
    }

    std::vector<DispEntry> disp;
    for (std::int64_t i = 0; i < dispCount; ++i) {
        const auto& [lin, kukan, type] = where[static_cast<std::size_t>(i)];
        if (kukan < 0 || type < 1 || type > 4) continue;
        disp.push_back(
            DispEntry{i, static_cast<std::int64_t>(d.NodeDisp.offsetOf(lin, type - 2, kukan, 0)),
                      type == 4 ? 1.0 : f.length});
    }
    const std::int64_t strideT = d.NodeDisp.stride(3);
    std::int32_t* nodeDisp = d.NodeDisp.data();

    std::vector<double> values(static_cast<std::size_t>(used));
    const std::int64_t reportEvery = std::max<std::int64_t>(1, steps / 100);
    const std::int64_t pollEvery = std::max<std::int64_t>(
        1, static_cast<std::int64_t>(kCancelPollBytes) / std::max<std::int64_t>(1, 8 * used));
    for (std::int64_t s = 1; s <= steps; s += n) {
        if ((s - 1) / n % pollEvery == 0) throwIfCancelled(&progress);
        file.float64s(f08::recordAt(listAt, entries, s), used, values.data(),
                      "時間ステップのデータ");
        const std::int64_t t = (s - 1) / n;
        for (const DispEntry& e : disp) {
            const double v = values[static_cast<std::size_t>(e.value)] * e.m1 * kStorageScale;
            if (const auto r = num::roundToInt32(v)) nodeDisp[e.offset + t * strideT] = *r;
        }
        for (std::int32_t i = 0; i <= d.TensionMax; ++i) {
            const double v = values[static_cast<std::size_t>(dispCount + i)] * f.force;
            if (const auto r = num::roundToInt16(v)) d.TensionHist(t, i) = *r;
        }
        if ((s - 1) / n % reportEvery == 0)
            progress.progress(static_cast<double>(s) / static_cast<double>(steps));
    }
    d.StepMax = std::max(0, steps - 1);
    return interval;
}

}  // namespace qrn
