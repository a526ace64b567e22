#pragma once
// Cable groups: cables that are never compared with each other in the
// clearance search (sub-conductors of one bundle, spans that meet at a node).

#include <QString>
#include <vector>

#include "dataset/dataset.h"

namespace qrn {

// Each group lists cable slots (0 .. CableMax).
using CableGroups = std::vector<std::vector<int>>;

inline constexpr double kDefaultBundleGap = 1.0;  // metres

// Cables whose undisplaced polylines (NodePos) come within `bundleGap` metres
// of each other share a group, transitively. Groups are ordered by their
// lowest slot, slots ascending within a group.
CableGroups defaultCableGroups(const Dataset& data, double bundleGap = kDefaultBundleGap);

// Reads "1,2,3;4,5,6": cable slots separated by ",", groups by ";". Named
// groups come first in the order given; every cable not named forms a group of
// its own, in slot order. Throws QrnError (title kAppTitle) for a malformed
// text, a slot the dataset has no cable for, or a cable named in two groups.
CableGroups parseCableGroups(const QString& text, const Dataset& data);

// The text parseCableGroups reads back as `groups` ("0,1;2,3").
QString cableGroupsText(const CableGroups& groups);

}  // namespace qrn
