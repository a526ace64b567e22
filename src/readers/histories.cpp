#include "readers/histories.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "dataset/error.h"
#include "dataset/numbers.h"

namespace qrn {
namespace {

std::uint64_t mulSat(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a)
        return std::numeric_limits<std::uint64_t>::max();
    return a * b;
}

QString megabytes(std::uint64_t bytes) {
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    return num::formatGeneralQ(num::roundHalfEven(mb));
}

// Re-creates a [time, column] history with the time dimension 0..timeHi and at
// least columns 0..minColHi, keeping every existing column and the values at
// time indices 0..keepHi.
template <typename T>
void retime(BArray<T, 2>& a, std::int64_t timeHi, std::int64_t minColHi, std::int64_t keepHi) {
    const std::int64_t colHi = a.empty() ? minColHi : std::max(a.hi(1), minColHi);
    BArray<T, 2> fresh({Bounds{0, timeHi}, Bounds{0, colHi}});
    if (!a.empty()) {
        const std::int64_t rows = std::min({a.hi(0), timeHi, keepHi}) + 1;
        for (std::int64_t c = 0; rows > 0 && c <= a.hi(1); ++c)
            std::memcpy(&fresh(0, c), &a(0, c), static_cast<std::size_t>(rows) * sizeof(T));
    }
    a = std::move(fresh);
}

}  // namespace

std::uint64_t nodeDispBytes(const Dataset& d, std::int64_t timeHi) {
    const auto slotRange = static_cast<std::uint64_t>(std::max<std::int64_t>(0, d.CableMax + 2LL));
    const auto nodes = static_cast<std::uint64_t>(std::max<std::int64_t>(0, d.NodeMax + 1LL));
    const auto times = static_cast<std::uint64_t>(std::max<std::int64_t>(0, timeHi + 1));
    return mulSat(mulSat(mulSat(slotRange, 4u * sizeof(std::int32_t)), nodes), times);
}

void AllocHistories(Dataset& d, int& n, std::uint64_t memoryLimit, const QString& path) {
    const int oldN = n;
    auto step = std::find(kThinningSteps.begin(), kThinningSteps.end(), n);
    if (step == kThinningSteps.end()) step = kThinningSteps.begin();

    BArray<std::int32_t, 4> disp;
    bool allocated = false;
    std::int64_t timeHi = 0;
    for (; step != kThinningSteps.end(); ++step) {
        timeHi = static_cast<std::int64_t>(d.StepCount) / *step + 1;
        if (nodeDispBytes(d, timeHi) > memoryLimit) continue;
        try {
            disp.create({Bounds{0, d.CableMax + 1}, Bounds{-1, 2}, Bounds{0, d.NodeMax},
                         Bounds{0, timeHi}});
        } catch (const std::bad_alloc&) {
            continue;
        }
        n = *step;
        allocated = true;
        break;
    }
    if (!allocated) {
        const std::uint64_t need =
            nodeDispBytes(d, static_cast<std::int64_t>(d.StepCount) / 100 + 1);
        QString text = QStringLiteral("ファイル") + path +
                       QStringLiteral("の変位データがメモリーに収まりません。") + QChar(u'\r') +
                       QStringLiteral("時間データを1/100に間引いても") + megabytes(need) +
                       QStringLiteral(" MBが必要です");
        if (memoryLimit != std::numeric_limits<std::uint64_t>::max())
            text += QStringLiteral("（使用できるメモリー ") + megabytes(memoryLimit) +
                    QStringLiteral(" MB）");
        text += QStringLiteral("。");
        throw QrnError(text, kMemoryErrorTitle);
    }

    // Values stored before a second allocation keep their time index only while N stays;
    // time index 0 means step 0 under any N.
    const std::int64_t keepHi = n == oldN ? timeHi : 0;
    if (!d.NodeDisp.empty() && d.NodeDisp.bounds()[0] == disp.bounds()[0] &&
        d.NodeDisp.bounds()[2] == disp.bounds()[2]) {
        const std::int64_t rows = std::min(d.NodeDisp.hi(3), keepHi) + 1;
        const auto slice = static_cast<std::size_t>(d.NodeDisp.stride(3));
        std::memcpy(disp.data(), d.NodeDisp.data(),
                    static_cast<std::size_t>(rows) * slice * sizeof(std::int32_t));
    }
    d.NodeDisp = std::move(disp);
    retime(d.TensionHist, timeHi, 0, keepHi);
    if (!d.BeamHist.empty()) retime(d.BeamHist, timeHi, 0, keepHi);
    const Bounds slotRange{0, d.CableMax + 1};
    const Bounds nodes{0, d.NodeMax};
    d.NodePos.create({slotRange, Bounds{0, 2}, nodes});
    d.NodeTwist0.create({slotRange, nodes});
}

void checkRecordMemory(const Dataset& d, std::uint64_t extraBytes, std::uint64_t memoryLimit,
                       const QString& path) {
    const std::uint64_t need = d.TensionHist.bytes() + d.BeamHist.bytes() + extraBytes;
    if (need <= memoryLimit) return;
    throw QrnError(QStringLiteral("ファイル") + path +
                       QStringLiteral("の張力・梁の履歴データがメモリーに収まりません。") +
                       QChar(u'\r') + megabytes(need) +
                       QStringLiteral(" MBが必要です（使用できるメモリー ") +
                       megabytes(memoryLimit) + QStringLiteral(" MB）。"),
                   kMemoryErrorTitle);
}

void AddTensionPlaceholder(Dataset& d, int n) {
    if (d.TensionMax != -1) return;
    d.TensionMax = 0;
    const std::int64_t t = d.StepMax / n;
    if (d.TensionHist.contains(t, 0)) d.TensionHist(t, 0) = 100;
}

void FinishThinning(Dataset& d, int n) {
    d.StepCount /= n;
    d.StepMax /= n;
}

QString thinnedIntervalText(double interval, int n) { return num::formatGeneralQ(interval * n); }

QString thinningMessage(int n) {
    return QStringLiteral("データがオーバーフローしたため時間データを1/") +
           num::formatGeneralQ(static_cast<double>(n)) + QStringLiteral("に間引きしました。");
}

QString historyCutMessage(const QString& path, const HistoryCut& cut) {
    return QStringLiteral("ファイル") + path + QStringLiteral("は途中で切れています。") +
           QChar(u'\r') +
           QStringLiteral(
               "すべての記録がそろっている最初の %1 ステップ（全 %2 ステップ中）を"
               "読み込みました。")
               .arg(QString::number(cut.keptSteps), QString::number(cut.statedSteps)) +
           (cut.recordLeftOut ? QStringLiteral("途中で切れた最後の記録は読み込んでいません。")
                              : QString());
}

}  // namespace qrn
