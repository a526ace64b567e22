#include "dataset/dataset.h"

#include <algorithm>

#include "dataset/schema.h"

namespace qrn {

bool Dataset::sameContent(const Dataset& b) const {
    if (DirPath != b.DirPath) return false;
    for (const schema::Field& f : schema::fields()) {
        if (f.role == schema::Role::Count && this->*f.count != b.*f.count) return false;
        if (f.role == schema::Role::Array && !f.ops->equal(*this, b)) return false;
    }
    return true;
}

void Dataset::DataReset() {
    for (const schema::Field& f : schema::fields()) {
        if (!f.reset) continue;
        if (f.role == schema::Role::Count) this->*f.count = 0;
        if (f.role == schema::Role::Array) f.ops->clear(*this);
    }
    invalidateNodeIndex();
}

void Dataset::invalidateNodeIndex() const {
    byNumber_.clear();
    byPosition_.clear();
    indexedUpTo_ = 0;
    indexedData_ = nullptr;
}

namespace {
std::int64_t positionKey(std::int64_t slot, std::int64_t index) {
    return (slot << 32) ^ (index & 0xffffffffLL);
}
}  // namespace

void Dataset::extendIndex() const {
    // A reallocated table may hold different content: start over.
    if (indexedData_ != NodeTbl.data()) {
        byNumber_.clear();
        byPosition_.clear();
        indexedUpTo_ = 0;
        indexedData_ = NodeTbl.data();
    }
    if (NodeTbl.empty() || NodeTbl.lo(0) > 0 || NodeTbl.hi(0) < 2) return;
    const std::int64_t last = std::min<std::int64_t>(NodeTblMax, NodeTbl.hi(1));
    for (std::int64_t e = std::max<std::int64_t>(indexedUpTo_, NodeTbl.lo(1)); e <= last; ++e) {
        byNumber_.try_emplace(NodeTbl(0, e), static_cast<std::int32_t>(e));
        byPosition_.try_emplace(positionKey(NodeTbl(1, e), NodeTbl(2, e)),
                                static_cast<std::int32_t>(e));
        indexedUpTo_ = e + 1;
    }
}

void Dataset::NodeCHK(std::int32_t NodeNo, std::int32_t& LinNo, std::int32_t& Kukan) const {
    Kukan = -1;
    extendIndex();
    const auto it = byNumber_.find(NodeNo);
    if (it == byNumber_.end() || it->second > NodeTblMax) return;
    LinNo = NodeTbl(1, it->second);
    Kukan = NodeTbl(2, it->second);
}

std::optional<std::int32_t> Dataset::NodeNoOf(std::int64_t LinNo, std::int64_t Kukan) const {
    extendIndex();
    const auto it = byPosition_.find(positionKey(LinNo, Kukan));
    if (it == byPosition_.end() || it->second > NodeTblMax) return std::nullopt;
    return NodeTbl(0, it->second);
}

void Dataset::appendNode(std::int32_t number, std::int32_t slot, std::int32_t index) {
    ++NodeTblMax;
    if (NodeTbl.empty() || NodeTbl.hi(1) < NodeTblMax) {
        // Grow geometrically: appends happen once per element and node.
        const std::int64_t cap = std::max<std::int64_t>(NodeTblMax, NodeTbl.hi(1) * 2 + 16);
        NodeTbl.resizeKeep({Bounds{0, 2}, Bounds{0, cap}});
    }
    NodeTbl(0, NodeTblMax) = number;
    NodeTbl(1, NodeTblMax) = slot;
    NodeTbl(2, NodeTblMax) = index;
}

void Dataset::trimNodeTable() {
    if (NodeTbl.empty() || NodeTbl.hi(1) == NodeTblMax) return;
    const bool indexCurrent = indexedData_ == NodeTbl.data();
    NodeTbl.resizeKeep({Bounds{0, 2}, Bounds{0, NodeTblMax}});
    if (indexCurrent) indexedData_ = NodeTbl.data();  // same content, index stays valid
}

}  // namespace qrn
