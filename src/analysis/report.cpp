// The report's one pass: each chunk of steps reads its steps' node
// displacements once (envelopes from the raw block, positions for the
// clearance search from the same block while it is in cache), then its part
// of the tension and beam histories; chunks merge in step order, so the
// earliest step wins every tie whatever the number of threads.
#include "analysis/report.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/cabletree.h"
#include "analysis/chunks.h"
#include "dataset/error.h"
#include "dataset/numbers.h"
#include "files/csvexport.h"

namespace qrn {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int64_t kTickSteps = 8;

QString missingData(const QString& what) {
    return what + QStringLiteral("のデータが読み込まれていません。");
}

// Group pairs i < j that both have segments.
struct GroupPair {
    int a;
    int b;
};

// The best of one group pair over a chunk's steps.
struct PairState {
    double d2 = kInf;
    std::int64_t step = -1;
    int segA = -1;
    int segB = -1;
    SegmentClosest hit;
    std::int64_t below = 0;
    std::int64_t firstBelow = -1;
};

// Later chunk `later` into `into`: only a strictly better value replaces.
void mergePeak(Peak& into, const Peak& later) {
    if (later.max > into.max) {
        into.max = later.max;
        into.maxStep = later.maxStep;
    }
    if (later.min < into.min) {
        into.min = later.min;
        into.minStep = later.minStep;
    }
}

// A history of one record over steps from..to, t fastest (TensionHist, BeamHist):
// the extremes first (a reduction the compiler vectorizes), then where each
// first occurs, in the same few cached kilobytes.
template <typename T>
Peak scanPeak(const T* v, std::int64_t from, std::int64_t to) {
    const std::size_t n = static_cast<std::size_t>(to - from) + 1;
    T mx = v[0], mn = v[0];
    for (std::size_t i = 1; i < n; ++i) {
        mx = std::max(mx, v[i]);
        mn = std::min(mn, v[i]);
    }
    return {mx, from + (std::find(v, v + n, mx) - v), mn, from + (std::find(v, v + n, mn) - v)};
}

// The node-displacement block of one step, over the cables' nodes: slot
// fastest, then component (x, y, z, θ), then node.
struct DispBlock {
    std::size_t length = 0;  // elements from (0, -1, 0) to the last cable node's θ
    std::size_t offsetOf(const Dataset& d, int slot, int comp, int node) const {
        return d.NodeDisp.offsetOf(slot, comp, node, d.NodeDisp.lo(3)) -
               d.NodeDisp.offsetOf(0, -1, 0, d.NodeDisp.lo(3));
    }
    const std::int32_t* at(const Dataset& d, std::int64_t step) const {
        return d.NodeDisp.data() + d.NodeDisp.offsetOf(0, -1, 0, step);
    }
};

// Everything that is the same for every chunk.
struct Shared {
    const Dataset& data;
    const ReportSetup& setup;
    CableFrame frame;
    std::vector<GroupTree> trees;
    std::vector<GroupPair> pairs;
    DispBlock block;
    int tensions = 0;
    int beams = 0;

    Shared(const Dataset& d, const ReportSetup& s) : data(d), setup(s), frame(d) {
        int maxNodes = 0;
        for (int c = 0; c < frame.cables(); ++c) maxNodes = std::max(maxNodes, frame.nodeCount(c));
        if (maxNodes > 0) block.length = block.offsetOf(d, frame.cables() - 1, 2, maxNodes - 1) + 1;
        tensions = std::max(d.TensionMax + 1, 0);
        beams = std::max(d.BeamRecCount, 0);
    }

    // The trees' shapes follow the first step's positions.
    void buildTrees() {
        std::vector<Vec3> pos;
        frame.positionsAt(data, setup.steps.first, pos);
        for (const auto& g : setup.groups) trees.emplace_back(frame, g, pos);
        for (std::size_t i = 0; i < trees.size(); ++i)
            for (std::size_t j = i + 1; j < trees.size(); ++j)
                if (!trees[i].empty() && !trees[j].empty())
                    pairs.push_back({static_cast<int>(i), static_cast<int>(j)});
    }
};

// One thread's buffers for the clearance search.
struct SearchSpace {
    std::vector<Vec3> pos;
    std::vector<std::vector<Box>> boxes;
    std::vector<TreePair> stack;

    void refit(const Shared& sh, std::int64_t step) {
        sh.frame.positionsAt(sh.data, step, pos);
        boxes.resize(sh.trees.size());
        for (std::size_t g = 0; g < sh.trees.size(); ++g) sh.trees[g].refit(pos, boxes[g]);
    }
    ClosestQuery search(const Shared& sh, const GroupPair& p, double bound2, double threshold2) {
        ClosestQuery q;
        q.pos = &pos;
        q.bound2 = bound2;
        q.threshold2 = threshold2;
        q.below = threshold2 < 0.0;
        const auto a = static_cast<std::size_t>(p.a), b = static_cast<std::size_t>(p.b);
        searchTrees(sh.trees[a], boxes[a], sh.trees[b], boxes[b], q, stack);
        return q;
    }
};

// What one chunk found.
struct ChunkResult {
    std::vector<PairState> pairs;
    std::vector<std::int32_t> max, min, maxStep, minStep;  // over DispBlock
    std::vector<Peak> tension, beam;
};

// Masks instead of branches, over distinct arrays, so that the compiler turns
// it into vector code.
void updateEnvelope(const std::int32_t* __restrict v, std::size_t n, std::int32_t step,
                    ChunkResult& out) {
    std::int32_t* __restrict mx = out.max.data();
    std::int32_t* __restrict mn = out.min.data();
    std::int32_t* __restrict mxs = out.maxStep.data();
    std::int32_t* __restrict mns = out.minStep.data();
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t x = v[i];
        const std::int32_t up = -static_cast<std::int32_t>(x > mx[i]);  // all bits set when true
        const std::int32_t down = -static_cast<std::int32_t>(x < mn[i]);
        mx[i] = (x & up) | (mx[i] & ~up);
        mxs[i] = (step & up) | (mxs[i] & ~up);
        mn[i] = (x & down) | (mn[i] & ~down);
        mns[i] = (step & down) | (mns[i] & ~down);
    }
}

void runChunk(const Shared& sh, const StepRange& r, ChunkResult& out,
              const ChunkRunner::Ticker& tick) {
    const Dataset& d = sh.data;
    const std::size_t n = sh.block.length;
    out.pairs.assign(sh.pairs.size(), {});
    const double threshold2 = sh.setup.threshold ? *sh.setup.threshold * *sh.setup.threshold : -1.0;
    SearchSpace space;
    if (n > 0) {
        const std::int32_t* v = sh.block.at(d, r.first);
        out.max.assign(v, v + n);
        out.min.assign(v, v + n);
        out.maxStep.assign(n, static_cast<std::int32_t>(r.first));
        out.minStep.assign(n, static_cast<std::int32_t>(r.first));
    }
    std::int64_t sinceTick = 0;
    for (std::int64_t t = r.first; t <= r.last; ++t) {
        if (n > 0) {
            updateEnvelope(sh.block.at(d, t), n, static_cast<std::int32_t>(t), out);
        }
        if (!sh.pairs.empty()) {
            space.refit(sh, t);
            for (std::size_t p = 0; p < sh.pairs.size(); ++p) {
                PairState& st = out.pairs[p];
                const ClosestQuery q = space.search(sh, sh.pairs[p], st.d2, threshold2);
                if (threshold2 >= 0.0 && q.below) {
                    if (st.below++ == 0) st.firstBelow = t;
                }
                if (q.segA >= 0) {
                    st.d2 = q.bound2;
                    st.step = t;
                    st.segA = q.segA;
                    st.segB = q.segB;
                    st.hit = q.hit;
                }
            }
        }
        if (++sinceTick == kTickSteps) {
            if (!tick(sinceTick)) return;
            sinceTick = 0;
        }
    }
    tick(sinceTick);

    out.tension.resize(static_cast<std::size_t>(sh.tensions));
    for (int rec = 0; rec < sh.tensions; ++rec)
        out.tension[static_cast<std::size_t>(rec)] =
            scanPeak(&d.TensionHist(r.first, rec), r.first, r.last);
    out.beam.resize(static_cast<std::size_t>(sh.beams));
    for (int rec = 0; rec < sh.beams; ++rec)
        out.beam[static_cast<std::size_t>(rec)] =
            scanPeak(&d.BeamHist(r.first, rec), r.first, r.last);
}

ClearancePoint pointOf(const CableFrame& frame, int segStart, double u, const Vec3& p) {
    ClearancePoint c;
    c.slot = frame.slotOf(segStart);
    c.segment = segStart - frame.firstNode(c.slot);
    c.u = u;
    // A node is named once: as the start of the segment that begins there.
    if (u == 1.0 && c.segment + 1 < frame.segmentCount(c.slot)) {
        ++c.segment;
        c.u = 0.0;
    }
    c.x = p.x;
    c.y = p.y;
    c.z = p.z;
    return c;
}

void checkHistories(const Dataset& d, const StepRange& s) {
    if (d.TensionMax >= 0 &&
        (!d.TensionHist.contains(s.first, 0) || !d.TensionHist.contains(s.last, d.TensionMax) ||
         !d.TensionElem.contains(d.TensionMax)))
        throw QrnError(missingData(QStringLiteral("張力")), kAppTitle);
    if (d.BeamRecCount > 0 &&
        (!d.BeamHist.contains(s.first, 0) || !d.BeamHist.contains(s.last, d.BeamRecCount - 1) ||
         !d.BeamRecInfo.contains(1, d.BeamRecCount - 1)))
        throw QrnError(missingData(QStringLiteral("Beam軸力")), kAppTitle);
    if (!d.NodeDisp.empty() &&
        (!d.NodeDisp.contains(0, -1, 0, s.first) || !d.NodeDisp.contains(0, -1, 0, s.last)))
        throw QrnError(missingData(QStringLiteral("変位")), kAppTitle);
}

}  // namespace

double ReportSetup::timeOf(std::int64_t step) const {
    return num::leadingValue(num::formatGeneral(static_cast<double>(step) * stepSeconds));
}

QString reportDefaultFromText() { return QStringLiteral("0"); }

QString reportDefaultToText(const Dataset& data, const QString& intervalText) {
    return num::formatGeneralQ(static_cast<double>(data.StepMax) * csvStepSeconds(intervalText));
}

StepRange reportSteps(const Dataset& data, const QString& intervalText,
                      const std::optional<QString>& fromText,
                      const std::optional<QString>& toText) {
    // The CSV window's boxes with their rules; the interval box set to one step.
    CsvSelection boxes;
    boxes.fromText = fromText ? *fromText : reportDefaultFromText();
    boxes.toText = csvCorrectToText(toText ? *toText : reportDefaultToText(data, intervalText),
                                    data, intervalText);
    boxes.everyText = intervalText;
    const CsvSteps s = csvSteps(boxes, data, intervalText);
    StepRange r;
    if (s.count > 0 && s.step > 0) {
        r.first = std::max<std::int64_t>(s.first, 0);
        r.last = std::min<std::int64_t>(s.at(s.count - 1), data.StepMax);
    }
    if (r.count() == 0)
        throw QrnError(QStringLiteral("集計する時間の範囲（%1〜%2 秒）に時間ステップがありません。")
                           .arg(boxes.fromText.trimmed(), boxes.toText.trimmed()),
                       kAppTitle);
    return r;
}

ReportSetup prepareReport(const Dataset& data, const ReportRequest& request) {
    ReportSetup s;
    s.bundleGap = request.bundleGap;
    s.threshold = request.threshold;
    s.threads = request.threads;
    s.stepSeconds = csvStepSeconds(request.intervalText);
    s.defaultGroups = !request.groupsText.has_value();
    s.groups = request.groupsText ? parseCableGroups(*request.groupsText, data)
                                  : defaultCableGroups(data, request.bundleGap);
    s.steps = reportSteps(data, request.intervalText, request.fromText, request.toText);
    checkHistories(data, s.steps);
    return s;
}

Report computeReport(const Dataset& data, const ReportRequest& request, Progress& progress) {
    return computeReport(data, prepareReport(data, request), progress);
}

Report computeReport(const Dataset& data, const ReportSetup& setup, Progress& progress) {
    checkHistories(data, setup.steps);
    progress.stage(kReportStage);
    Shared sh(data, setup);
    sh.buildTrees();

    const std::vector<StepRange> ranges = splitSteps(setup.steps, threadCount(setup.threads));
    std::vector<ChunkResult> parts(ranges.size());
    ChunkRunner runner(progress, setup.steps.count());
    runner.run(static_cast<int>(ranges.size()), [&](int k, const ChunkRunner::Ticker& tick) {
        runChunk(sh, ranges[static_cast<std::size_t>(k)], parts[static_cast<std::size_t>(k)], tick);
    });

    // Merge in step order.
    ChunkResult& all = parts[0];
    for (std::size_t k = 1; k < parts.size(); ++k) {
        const ChunkResult& c = parts[k];
        for (std::size_t p = 0; p < all.pairs.size(); ++p) {
            PairState& a = all.pairs[p];
            const PairState& b = c.pairs[p];
            if (b.d2 < a.d2) {
                const std::int64_t below = a.below, first = a.firstBelow;
                a = b;
                a.below = below;
                a.firstBelow = first;
            }
            if (a.firstBelow < 0) a.firstBelow = b.firstBelow;
            a.below += b.below;
        }
        for (std::size_t i = 0; i < all.max.size(); ++i) {
            if (c.max[i] > all.max[i]) {
                all.max[i] = c.max[i];
                all.maxStep[i] = c.maxStep[i];
            }
            if (c.min[i] < all.min[i]) {
                all.min[i] = c.min[i];
                all.minStep[i] = c.minStep[i];
            }
        }
        for (std::size_t i = 0; i < all.tension.size(); ++i)
            mergePeak(all.tension[i], c.tension[i]);
        for (std::size_t i = 0; i < all.beam.size(); ++i) mergePeak(all.beam[i], c.beam[i]);
    }

    Report rep;
    rep.setup = setup;
    for (std::size_t p = 0; p < sh.pairs.size(); ++p) {
        const PairState& st = all.pairs[p];
        if (st.segA < 0) continue;
        Clearance c;
        c.groupA = sh.pairs[p].a;
        c.groupB = sh.pairs[p].b;
        c.distance = std::sqrt(st.d2);
        c.step = st.step;
        c.time = setup.timeOf(st.step);
        c.a = pointOf(sh.frame, st.segA, st.hit.u, st.hit.a);
        c.b = pointOf(sh.frame, st.segB, st.hit.v, st.hit.b);
        if (setup.threshold) {
            c.stepsBelow = st.below;
            c.belowTime = setup.timeOf(st.below);
            if (st.firstBelow >= 0) c.firstBelowStep = st.firstBelow;
            c.pass = !(c.distance < *setup.threshold);
        }
        rep.clearances.push_back(c);
    }
    std::stable_sort(
        rep.clearances.begin(), rep.clearances.end(),
        [](const Clearance& x, const Clearance& y) { return x.distance < y.distance; });
    if (setup.groups.size() < 2)
        rep.clearanceNote = QStringLiteral(
                                "すべてのケーブルが１つのグループ（%1）に属するため、"
                                "グループ間の離隔はありません。")
                                .arg(cableGroupsText(setup.groups));
    else if (rep.clearances.empty())
        rep.clearanceNote = QStringLiteral(
            "線分（２節点以上）を持つケーブルのグループが２つに満たないため、"
            "グループ間の離隔はありません。");

    for (int r = 0; r < sh.tensions; ++r)
        rep.tensions.push_back({r, data.TensionElem(r), all.tension[static_cast<std::size_t>(r)]});
    for (int r = 0; r < sh.beams; ++r)
        rep.beams.push_back({r, data.BeamRecInfo(0, r), data.BeamRecInfo(1, r),
                             all.beam[static_cast<std::size_t>(r)]});

    for (std::int64_t j = 0; j <= data.NodeTblMax && !all.max.empty(); ++j) {
        if (!data.NodeTbl.contains(2, j)) break;
        const int slot = data.NodeTbl(1, j), index = data.NodeTbl(2, j);
        if (slot < 0 || slot >= sh.frame.cables() || index < 0 || index >= sh.frame.nodeCount(slot))
            continue;
        NodeEnvelope e;
        e.entry = static_cast<int>(j);
        e.node = data.NodeTbl(0, j);
        e.slot = slot;
        e.index = index;
        for (int c = 0; c < 4; ++c) {
            const std::size_t i = sh.block.offsetOf(data, slot, c - 1, index);
            e.component[static_cast<std::size_t>(c)] = {all.max[i], all.maxStep[i], all.min[i],
                                                        all.minStep[i]};
        }
        rep.envelopes.push_back(e);
    }
    return rep;
}

ClearanceSeries clearanceSeries(const Dataset& data, const ReportSetup& setup, int groupA,
                                int groupB, Progress& progress) {
    checkHistories(data, setup.steps);
    const int groups = static_cast<int>(setup.groups.size());
    if (groupA < 0 || groupB < 0 || groupA >= groups || groupB >= groups || groupA == groupB)
        throw QrnError(QStringLiteral("離隔を求めるグループの番号が正しくありません。"), kAppTitle);
    progress.stage(kReportStage);
    Shared sh(data, setup);
    sh.buildTrees();
    ClearanceSeries out;
    out.steps = setup.steps;
    out.distance.assign(static_cast<std::size_t>(setup.steps.count()), kInf);
    const GroupPair pair{groupA, groupB};
    if (sh.trees[static_cast<std::size_t>(groupA)].empty() ||
        sh.trees[static_cast<std::size_t>(groupB)].empty())
        return out;

    const std::vector<StepRange> ranges = splitSteps(setup.steps, threadCount(setup.threads));
    ChunkRunner runner(progress, setup.steps.count());
    runner.run(static_cast<int>(ranges.size()), [&](int k, const ChunkRunner::Ticker& tick) {
        const StepRange& r = ranges[static_cast<std::size_t>(k)];
        SearchSpace space;
        int segA = -1, segB = -1;
        std::int64_t sinceTick = 0;
        for (std::int64_t t = r.first; t <= r.last; ++t) {
            space.refit(sh, t);
            // The previous step's closest pair, where it is now, bounds this step's search.
            double start = kInf;
            if (segA >= 0) {
                const auto a = static_cast<std::size_t>(segA), b = static_cast<std::size_t>(segB);
                const auto& p = space.pos;
                start = closestPoints(p[a], p[a + 1], p[b], p[b + 1]).distance2;
            }
            const ClosestQuery q = space.search(sh, pair, start, -1.0);
            if (q.segA >= 0) {
                segA = q.segA;
                segB = q.segB;
            }
            out.distance[static_cast<std::size_t>(t - setup.steps.first)] =
                std::sqrt(q.segA >= 0 ? q.bound2 : start);
            if (++sinceTick == kTickSteps) {
                if (!tick(sinceTick)) return;
                sinceTick = 0;
            }
        }
        tick(sinceTick);
    });
    return out;
}

}  // namespace qrn
