#include "analysis/cabletree.h"

#include <algorithm>

#include "dataset/error.h"

namespace qrn {

namespace {

// Segments per tree leaf: few enough that a leaf pair is cheap to compare
// exactly, enough that the tree stays shallow.
constexpr int kLeafSegments = 2;

}  // namespace

CableFrame::CableFrame(const Dataset& d) {
    const int cables = std::max(d.CableMax + 1, 0);
    first_.assign(static_cast<std::size_t>(cables) + 1, 0);
    int maxNodes = 0;
    for (int s = 0; s < cables; ++s) {
        const int count = d.CableInfo.contains(1, s) ? d.CableInfo(1, s) : -1;
        const int nodes = count >= 0 ? count + 1 : 0;
        maxNodes = std::max(maxNodes, nodes);
        first_[static_cast<std::size_t>(s) + 1] = first_[static_cast<std::size_t>(s)] + nodes;
    }
    if (first_.back() == 0) return;
    const auto& disp = d.NodeDisp;
    if (!d.NodePos.contains(0, 0, 0) || !d.NodePos.contains(cables - 1, 2, maxNodes - 1) ||
        disp.empty() || !disp.contains(0, -1, 0, disp.lo(3)) ||
        !disp.contains(cables - 1, 2, maxNodes - 1, disp.lo(3)))
        throw QrnError(QStringLiteral("ケーブルの節点のデータが読み込まれていません。"), kAppTitle);

    compStride_ = static_cast<std::size_t>(disp.stride(1));
    rest_.resize(static_cast<std::size_t>(first_.back()));
    dispAt_.resize(rest_.size());
    for (int s = 0; s < cables; ++s) {
        for (int n = 0; n < nodeCount(s); ++n) {
            const auto g = static_cast<std::size_t>(firstNode(s) + n);
            rest_[g] = {static_cast<double>(d.NodePos(s, 0, n)),
                        static_cast<double>(d.NodePos(s, 1, n)),
                        static_cast<double>(d.NodePos(s, 2, n))};
            dispAt_[g] = static_cast<std::size_t>((s - disp.lo(0)) * disp.stride(0) +
                                                  (-1 - disp.lo(1)) * disp.stride(1) +
                                                  (n - disp.lo(2)) * disp.stride(2));
        }
    }
}

int CableFrame::slotOf(int node) const {
    const auto it = std::upper_bound(first_.begin(), first_.end(), node);
    return static_cast<int>(it - first_.begin()) - 1;
}

void CableFrame::positionsAt(const Dataset& d, std::int64_t step, std::vector<Vec3>& out) const {
    out.resize(rest_.size());
    if (rest_.empty()) return;
    const std::int32_t* block =
        d.NodeDisp.data() + (step - d.NodeDisp.lo(3)) * d.NodeDisp.stride(3);
    const std::size_t cy = compStride_, cz = 2 * compStride_;
    for (std::size_t g = 0; g < rest_.size(); ++g) {
        const std::int32_t* v = block + dispAt_[g];
        out[g] = {rest_[g].x + static_cast<double>(v[0]) / kStorageScale,
                  rest_[g].y + static_cast<double>(v[cy]) / kStorageScale,
                  rest_[g].z + static_cast<double>(v[cz]) / kStorageScale};
    }
}

GroupTree::GroupTree(const CableFrame& frame, const std::vector<int>& cables,
                     const std::vector<Vec3>& pos) {
    std::vector<int> items;
    for (const int s : cables)
        for (int k = 0; k < frame.segmentCount(s); ++k) items.push_back(frame.firstNode(s) + k);
    if (items.empty()) return;
    nodes_.reserve(2 * items.size() / kLeafSegments + 1);
    build(items, pos, 0, static_cast<int>(items.size()));
    seg_ = std::move(items);
}

int GroupTree::build(std::vector<int>& items, const std::vector<Vec3>& pos, int begin, int end) {
    const int index = static_cast<int>(nodes_.size());
    nodes_.push_back({});
    if (end - begin <= kLeafSegments) {
        nodes_[static_cast<std::size_t>(index)] = {begin, end - begin, 0, 0};
        return index;
    }
    // Split at the median of the segment middles along the widest axis.
    auto mid = [&](int seg, int k) {
        const Vec3& a = pos[static_cast<std::size_t>(seg)];
        const Vec3& b = pos[static_cast<std::size_t>(seg) + 1];
        return k == 0 ? a.x + b.x : k == 1 ? a.y + b.y : a.z + b.z;
    };
    double lo[3], hi[3];
    for (int k = 0; k < 3; ++k) lo[k] = hi[k] = mid(items[static_cast<std::size_t>(begin)], k);
    for (int i = begin + 1; i < end; ++i)
        for (int k = 0; k < 3; ++k) {
            const double m = mid(items[static_cast<std::size_t>(i)], k);
            lo[k] = std::min(lo[k], m);
            hi[k] = std::max(hi[k], m);
        }
    int axis = 0;
    for (int k = 1; k < 3; ++k)
        if (hi[k] - lo[k] > hi[axis] - lo[axis]) axis = k;
    const int half = begin + (end - begin) / 2;
    std::nth_element(items.begin() + begin, items.begin() + half, items.begin() + end,
                     [&](int p, int q) {
                         const double mp = mid(p, axis), mq = mid(q, axis);
                         return mp < mq || (mp == mq && p < q);
                     });
    const int left = build(items, pos, begin, half);
    const int right = build(items, pos, half, end);
    nodes_[static_cast<std::size_t>(index)] = {0, 0, left, right};
    return index;
}

void GroupTree::refit(const std::vector<Vec3>& pos, std::vector<Box>& boxes) const {
    boxes.resize(nodes_.size());
    for (std::size_t i = nodes_.size(); i-- > 0;) {
        const Node& n = nodes_[i];
        Box& b = boxes[i];
        if (n.count > 0) {
            const Vec3& p0 = pos[static_cast<std::size_t>(seg_[static_cast<std::size_t>(n.first)])];
            b = {{p0.x, p0.y, p0.z}, {p0.x, p0.y, p0.z}};
            for (int j = n.first; j < n.first + n.count; ++j) {
                const auto s = static_cast<std::size_t>(seg_[static_cast<std::size_t>(j)]);
                for (std::size_t e = s; e <= s + 1; ++e) {
                    const double v[3] = {pos[e].x, pos[e].y, pos[e].z};
                    for (int k = 0; k < 3; ++k) {
                        b.lo[k] = std::min(b.lo[k], v[k]);
                        b.hi[k] = std::max(b.hi[k], v[k]);
                    }
                }
            }
        } else {
            const Box& l = boxes[static_cast<std::size_t>(n.left)];
            const Box& r = boxes[static_cast<std::size_t>(n.right)];
            for (int k = 0; k < 3; ++k) {
                b.lo[k] = std::min(l.lo[k], r.lo[k]);
                b.hi[k] = std::max(l.hi[k], r.hi[k]);
            }
        }
    }
}

}  // namespace qrn
