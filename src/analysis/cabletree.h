#pragma once
// The clearance search's machinery, shared by the report and the per-step
// clearance curve: cable polylines with their node positions at one step, and
// a tree of segment bounding boxes per group. The tree's shape is built once;
// each step only refits its boxes, and two trees are searched together, pruned
// by the best distance so far, so that far-apart parts are never compared
// segment by segment.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/geometry.h"
#include "dataset/dataset.h"

namespace qrn {

// Cable s is the polyline through its nodes 0 .. CableInfo(1, s); nodes of all
// cables are numbered globally, cable by cable.
class CableFrame {
  public:
    // Throws QrnError when the dataset's arrays do not hold the cables' nodes.
    explicit CableFrame(const Dataset& data);

    int cables() const { return static_cast<int>(first_.size()) - 1; }
    int firstNode(int slot) const { return first_[static_cast<std::size_t>(slot)]; }
    int nodeCount(int slot) const { return firstNode(slot + 1) - firstNode(slot); }
    int segmentCount(int slot) const { return nodeCount(slot) > 1 ? nodeCount(slot) - 1 : 0; }
    std::size_t totalNodes() const { return rest_.size(); }
    // Slot of a global node number.
    int slotOf(int node) const;
    // Undisplaced positions (NodePos).
    const std::vector<Vec3>& rest() const { return rest_; }
    // Positions at a stored step: NodePos + NodeDisp / 1000. `step` must be held by NodeDisp.
    void positionsAt(const Dataset& data, std::int64_t step, std::vector<Vec3>& out) const;

  private:
    std::vector<int> first_;           // cables + 1 entries
    std::vector<Vec3> rest_;           // per global node
    std::vector<std::size_t> dispAt_;  // offset of the node's x in a step's NodeDisp block
    std::size_t compStride_ = 0;       // NodeDisp elements from one component to the next
};

struct Box {
    double lo[3];
    double hi[3];
};

// Squared distance between two boxes: a lower bound for anything inside them.
inline double boxDistance2(const Box& a, const Box& b) {
    double s = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double g = a.lo[k] > b.hi[k]   ? a.lo[k] - b.hi[k]
                         : b.lo[k] > a.hi[k] ? b.lo[k] - a.hi[k]
                                             : 0.0;
        s += g * g;
    }
    return s;
}

// Segment bounding boxes of a group's cables, as a binary tree.
class GroupTree {
  public:
    struct Node {
        int first = 0;  // leaf: segments seg_[first .. first + count - 1]
        int count = 0;  // 0 for an inner node
        int left = 0;
        int right = 0;
    };

    // Shape from the positions `pos` (any step: the boxes are refitted per step).
    GroupTree(const CableFrame& frame, const std::vector<int>& cables,
              const std::vector<Vec3>& pos);

    bool empty() const { return nodes_.empty(); }
    // Boxes of every tree node for the positions `pos`.
    void refit(const std::vector<Vec3>& pos, std::vector<Box>& boxes) const;

    const std::vector<Node>& nodes() const { return nodes_; }
    // Segments by their first node's global number (the second is the next one).
    const std::vector<int>& segments() const { return seg_; }

  private:
    int build(std::vector<int>& items, const std::vector<Vec3>& pos, int begin, int end);

    std::vector<int> seg_;
    std::vector<Node> nodes_;  // parents before children; node 0 is the root
};

struct TreePair {
    int a;
    int b;
    double lb2;
};

// Visits every pair of segments of trees A and B whose boxes the visitor does
// not prune; nearer box pairs first. The visitor has
//   bool prune(double boxDistance2) const;
//   void leaf(int segmentA, int segmentB);
template <typename Visitor>
void searchTrees(const GroupTree& A, const std::vector<Box>& boxA, const GroupTree& B,
                 const std::vector<Box>& boxB, Visitor& visit, std::vector<TreePair>& stack) {
    if (A.empty() || B.empty()) return;
    const auto& na = A.nodes();
    const auto& nb = B.nodes();
    stack.clear();
    stack.push_back({0, 0, boxDistance2(boxA[0], boxB[0])});
    while (!stack.empty()) {
        const TreePair p = stack.back();
        stack.pop_back();
        if (visit.prune(p.lb2)) continue;
        const GroupTree::Node& x = na[static_cast<std::size_t>(p.a)];
        const GroupTree::Node& y = nb[static_cast<std::size_t>(p.b)];
        if (x.count > 0 && y.count > 0) {
            for (int i = x.first; i < x.first + x.count; ++i)
                for (int j = y.first; j < y.first + y.count; ++j)
                    visit.leaf(A.segments()[static_cast<std::size_t>(i)],
                               B.segments()[static_cast<std::size_t>(j)]);
            continue;
        }
        // Open the larger box (a leaf cannot be opened).
        bool openA = y.count > 0;
        if (x.count == 0 && y.count == 0) {
            const Box& ba = boxA[static_cast<std::size_t>(p.a)];
            const Box& bb = boxB[static_cast<std::size_t>(p.b)];
            double ea = 0.0, eb = 0.0;
            for (int k = 0; k < 3; ++k) {
                ea += (ba.hi[k] - ba.lo[k]) * (ba.hi[k] - ba.lo[k]);
                eb += (bb.hi[k] - bb.lo[k]) * (bb.hi[k] - bb.lo[k]);
            }
            openA = ea >= eb;
        }
        TreePair c1, c2;
        if (openA) {
            const Box& o = boxB[static_cast<std::size_t>(p.b)];
            c1 = {x.left, p.b, boxDistance2(boxA[static_cast<std::size_t>(x.left)], o)};
            c2 = {x.right, p.b, boxDistance2(boxA[static_cast<std::size_t>(x.right)], o)};
        } else {
            const Box& o = boxA[static_cast<std::size_t>(p.a)];
            c1 = {p.a, y.left, boxDistance2(o, boxB[static_cast<std::size_t>(y.left)])};
            c2 = {p.a, y.right, boxDistance2(o, boxB[static_cast<std::size_t>(y.right)])};
        }
        if (c1.lb2 < c2.lb2) std::swap(c1, c2);
        // The nearer pair goes on top, so it is searched first and tightens the bound.
        if (!visit.prune(c1.lb2)) stack.push_back(c1);
        if (!visit.prune(c2.lb2)) stack.push_back(c2);
    }
}

// The closest pair of segments below a bound, and whether any pair comes
// closer than a threshold.
struct ClosestQuery {
    const std::vector<Vec3>* pos = nullptr;
    double bound2 = std::numeric_limits<double>::infinity();  // only strictly closer pairs count
    double threshold2 = -1.0;                                 // below: closer than this
    bool below = true;  // start false to learn whether any pair is below threshold2
    int segA = -1;      // the pair found (first nodes), -1 when none beat the bound
    int segB = -1;
    SegmentClosest hit;

    bool prune(double lb2) const { return lb2 >= bound2 && (below || lb2 >= threshold2); }
    void leaf(int a, int b) {
        const std::vector<Vec3>& p = *pos;
        const auto ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
        const SegmentClosest c = closestPoints(p[ia], p[ia + 1], p[ib], p[ib + 1]);
        if (c.distance2 < threshold2) below = true;
        if (c.distance2 < bound2) {
            bound2 = c.distance2;
            segA = a;
            segB = b;
            hit = c;
        }
    }
};

}  // namespace qrn
