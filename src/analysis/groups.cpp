#include "analysis/groups.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "analysis/cabletree.h"
#include "dataset/error.h"
#include "dataset/numbers.h"

namespace qrn {
namespace {

// True as soon as one pair of segments lies within the gap.
struct WithinGap {
    const std::vector<Vec3>* pos;
    double gap2;
    bool found = false;
    bool prune(double lb2) const { return found || lb2 > gap2; }
    void leaf(int a, int b) {
        if (found) return;
        const std::vector<Vec3>& p = *pos;
        const auto ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
        found = closestPoints(p[ia], p[ia + 1], p[ib], p[ib + 1]).distance2 <= gap2;
    }
};

int findRoot(std::vector<int>& parent, int i) {
    while (parent[static_cast<std::size_t>(i)] != i) {
        parent[static_cast<std::size_t>(i)] =
            parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
        i = parent[static_cast<std::size_t>(i)];
    }
    return i;
}

QString malformed(const QString& text) {
    return QStringLiteral(
               "グループ指定「%1」を読み取れません。ケーブル番号（0 から）を \",\" で、"
               "グループを \";\" で区切って指定してください（例: 0,1;2,3）。")
        .arg(text.trimmed());
}

}  // namespace

CableGroups defaultCableGroups(const Dataset& data, double bundleGap) {
    const CableFrame frame(data);
    const int cables = frame.cables();
    std::vector<int> parent(static_cast<std::size_t>(std::max(cables, 0)));
    std::iota(parent.begin(), parent.end(), 0);

    std::vector<GroupTree> trees;
    std::vector<std::vector<Box>> boxes(static_cast<std::size_t>(std::max(cables, 0)));
    trees.reserve(parent.size());
    for (int s = 0; s < cables; ++s) {
        trees.emplace_back(frame, std::vector<int>{s}, frame.rest());
        trees.back().refit(frame.rest(), boxes[static_cast<std::size_t>(s)]);
    }
    const double gap = std::isfinite(bundleGap) ? std::max(bundleGap, 0.0) : 0.0;
    std::vector<TreePair> stack;
    for (int s = 0; s < cables; ++s) {
        for (int t = s + 1; t < cables; ++t) {
            // Already joined through another cable: the closure needs no more.
            if (findRoot(parent, s) == findRoot(parent, t)) continue;
            WithinGap q{&frame.rest(), gap * gap};
            searchTrees(trees[static_cast<std::size_t>(s)], boxes[static_cast<std::size_t>(s)],
                        trees[static_cast<std::size_t>(t)], boxes[static_cast<std::size_t>(t)], q,
                        stack);
            if (q.found)
                parent[static_cast<std::size_t>(findRoot(parent, t))] = findRoot(parent, s);
        }
    }
    // Slots ascending, so each group is ordered and the groups follow their lowest slot.
    CableGroups groups;
    std::vector<int> groupOfRoot(parent.size(), -1);
    for (int s = 0; s < cables; ++s) {
        int& g = groupOfRoot[static_cast<std::size_t>(findRoot(parent, s))];
        if (g < 0) {
            g = static_cast<int>(groups.size());
            groups.emplace_back();
        }
        groups[static_cast<std::size_t>(g)].push_back(s);
    }
    return groups;
}

CableGroups parseCableGroups(const QString& text, const Dataset& data) {
    const int cables = std::max(data.CableMax + 1, 0);
    std::vector<int> groupOf(static_cast<std::size_t>(cables), -1);
    CableGroups groups;
    for (const QString& part : text.split(QLatin1Char(';'))) {
        if (part.trimmed().isEmpty()) continue;
        std::vector<int> group;
        const int index = static_cast<int>(groups.size());
        for (const QString& item : part.split(QLatin1Char(','))) {
            const auto v = num::strictValue(item);
            if (!v || *v != std::floor(*v) || std::fabs(*v) > 1e9)
                throw QrnError(malformed(text), kAppTitle);
            const auto slot = static_cast<std::int64_t>(*v);
            if (slot < 0 || slot >= cables)
                throw QrnError(QStringLiteral("グループ指定のケーブル番号 %1 はありません"
                                              "（ケーブル番号は 0〜%2）。")
                                   .arg(slot)
                                   .arg(cables - 1),
                               kAppTitle);
            int& owner = groupOf[static_cast<std::size_t>(slot)];
            if (owner == index) continue;  // named twice in one group: harmless
            if (owner >= 0)
                throw QrnError(
                    QStringLiteral("ケーブル番号 %1 が２つのグループに指定されています。")
                        .arg(slot),
                    kAppTitle);
            owner = index;
            group.push_back(static_cast<int>(slot));
        }
        groups.push_back(std::move(group));
    }
    for (int s = 0; s < cables; ++s)
        if (groupOf[static_cast<std::size_t>(s)] < 0) groups.push_back({s});
    return groups;
}

QString cableGroupsText(const CableGroups& groups) {
    QStringList parts;
    for (const auto& g : groups) {
        QStringList names;
        for (const int s : g) names << QString::number(s);
        parts << names.join(QLatin1Char(','));
    }
    return parts.join(QLatin1Char(';'));
}

}  // namespace qrn
