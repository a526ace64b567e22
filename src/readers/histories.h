#pragma once
// Allocation of the time histories with time-axis thinning, and the
// end-of-read adjustments shared by the text and binary history readers.

#include <QString>
#include <array>
#include <cstdint>

#include "dataset/dataset.h"

namespace qrn {

inline const QString kMemoryErrorTitle = QStringLiteral("メモリー不足");

// The thinning steps N: only every N-th time step is kept when the
// displacement history would not fit otherwise.
inline constexpr std::array<int, 7> kThinningSteps{1, 2, 5, 10, 20, 50, 100};

// Upper time index of every history for the stated step count and N.
inline std::int64_t historyTimeHi(const Dataset& d, int n) {
    return static_cast<std::int64_t>(d.StepCount) / n + 1;
}

// Bytes NodeDisp takes with the time dimension 0..timeHi (saturating).
std::uint64_t nodeDispBytes(const Dataset& d, std::int64_t timeHi);

// Allocates NodeDisp [0..CableMax+1, -1..2, 0..NodeMax, 0..StepCount div N + 1],
// raising N through kThinningSteps while it would take more than memoryLimit
// bytes or cannot be allocated; then TensionHist, NodePos and NodeTwist0.
// A second call (a history whose first record stated no steps) keeps every
// tension and beam column and the values already stored at time index 0 (all of
// them when N stays). Throws QrnError naming `path` when even N = 100 does not fit.
void AllocHistories(Dataset& d, int& n, std::uint64_t memoryLimit, const QString& path);

// Tension and beam-result histories grow with their records, after the time
// axis is fixed: throws the memory message naming `path` when they would take
// more than memoryLimit bytes together once `extraBytes` are added.
void checkRecordMemory(const Dataset& d, std::uint64_t extraBytes, std::uint64_t memoryLimit,
                       const QString& path);

// Tension placeholder after a history without tension records: record 0
// holds 100 at the last time step.
void AddTensionPlaceholder(Dataset& d, int n);

// The dataset half of the end-of-read thinning: StepCount and StepMax divided by N.
void FinishThinning(Dataset& d, int n);

// The interval box text after a thinned read: the interval times N.
QString thinnedIntervalText(double interval, int n);

// Message shown after the viewer opened when N > 1.
QString thinningMessage(int n);

// A history file that ends part-way through its last record.
struct HistoryCut {
    std::int32_t keptSteps = 0;    // steps every record holds: StepCount after the read
    std::int32_t statedSteps = 0;  // steps the file states
    bool recordLeftOut = false;    // the last record held no whole value and was not read
};

// Warning shown after the viewer opened when the history file was cut short.
QString historyCutMessage(const QString& path, const HistoryCut& cut);

}  // namespace qrn
