#include "readers/historybinary.h"

#include <algorithm>
#include <array>
#include <vector>

#include "dataset/numbers.h"
#include "readers/binaryfile.h"
#include "readers/histories.h"

namespace qrn {
namespace {

constexpr std::int64_t kStepCountAt = 108;
constexpr std::int64_t kIntervalAt = 112;
constexpr std::int64_t kBaseAt = 252;
constexpr std::int64_t kHeaderWordsAt = 256;
constexpr std::int64_t kListLengthAfterBase = 312;
constexpr std::int64_t kListAfterBase = 316;

struct DispEntry {
    std::int64_t value;   // position in the step record
    std::int64_t offset;  // NodeDisp element of time index 0
    double m1;            // stored = value x m1 x 1000
};

}  // namespace

double ReadHistoryBinary(Dataset& d, const QString& path, const UnitFactors& f, int& n,
                         Progress& progress, std::uint64_t memoryLimit) {
    BinaryFile file = BinaryFile::open(path);

    const std::int32_t steps = file.int32At(kStepCountAt, "時間ステップ数");
    if (steps < 0) file.damaged("時間ステップ数が負の値です");
    const double interval = file.float64At(kIntervalAt, "計算間隔");
    const std::int64_t base = file.int32At(kBaseAt, "可変部の位置");
    std::array<std::int32_t, 16> h{};
    file.int32s(kHeaderWordsAt + 4 * static_cast<std::int64_t>(steps), 16, h.data(), "ヘッダー");
    const std::int32_t listLength = file.int32At(base + kListLengthAfterBase, "項目リストの長さ");
    if (listLength < 0 || listLength % 8 != 0)
        file.damaged("項目リストの長さが8の倍数ではありません");
    const std::int64_t entries = listLength / 8;
    const std::int64_t listAt = base + kListAfterBase;
    std::vector<std::int32_t> list(
        static_cast<std::size_t>(file.holds(listAt, 8 * entries) ? 2 * entries : 0));
    file.int32s(listAt, 2 * entries, list.data(), "項目リスト");

    const std::int64_t dispCount = h[3];
    const std::int64_t listEnd = h[2];
    if (dispCount < 0 || dispCount > entries || listEnd > entries)
        file.damaged("ヘッダーの項目数が項目リストを超えます");

    // Step record s (1..steps) starts at listAt + s * (8E + 8) and holds E values.
    const std::int64_t recordBytes = 8 * entries + 8;
    if (steps > 0) {
        const std::int64_t room = file.size() - listAt - 8 * entries;
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
    for (std::int64_t s = 1; s <= steps; s += n) {
        file.float64s(listAt + s * recordBytes, used, values.data(), "時間ステップのデータ");
        const std::int64_t t = (s - 1) / n;
        for (const DispEntry& e : disp) {
            const double v = values[static_cast<std::size_t>(e.value)] * e.m1 * 1000.0;
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
