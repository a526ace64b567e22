#include "readers/settingsreader.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/textfile.h"
#include "readers/cancelpoll.h"
#include "readers/fields.h"
#include "readers/histories.h"

namespace qrn {
namespace {

using fields::startsWith;

void applyUnitLine(std::string_view line, UnitFactors& f) {
    if (fields::cols(line, 1, 2) == "KG") {
        f.force = 1.0;
    } else if (fields::cols(line, 1, 1) == "T") {
        f.force = 1000.0;
    }
    if (fields::cols(line, 11, 1) == "M") {
        f.length = 1.0;
    } else if (fields::cols(line, 11, 2) == "CM") {
        f.length = 0.01;
    }
}

bool isSectionEnd(std::string_view line) { return !line.empty() && line.front() == '*'; }

bool isElementLine(std::string_view line) {
    return !line.empty() && line.front() != '#' && fields::value(line, 1, 10) > 0.0;
}

// Which cable slotRange currently end at a node: the chaining asks for the lowest
// such slot once per element, so a linear search over all slotRange would make
// large models quadratic.
class FarEnds {
  public:
    std::int32_t lowestSlot(std::int32_t node) const {
        const auto it = slots_.find(node);
        return it == slots_.end() || it->second.empty() ? -1 : it->second.front();
    }
    void add(std::int32_t slot, std::int32_t node) {
        auto& v = slots_[node];
        v.insert(std::lower_bound(v.begin(), v.end(), slot), slot);
    }
    void move(std::int32_t slot, std::int32_t from, std::int32_t to) {
        auto& v = slots_[from];
        const auto it = std::lower_bound(v.begin(), v.end(), slot);
        if (it != v.end() && *it == slot) v.erase(it);
        add(slot, to);
    }

  private:
    std::unordered_map<std::int32_t, std::vector<std::int32_t>> slots_;
};

struct Cable {
    std::int32_t farEnd = 0;
    std::int32_t count = 0;
};

}  // namespace

UnitFactors ReadTopology(Dataset& d, const QString& path, Progress* progress) {
    LinePoll poll(progress);
    const TextFile file = TextFile::open(path);
    LineSplitter lines(file);
    UnitFactors f;
    std::string_view line;

    bool cableFound = false;
    while (lines.next(line)) {
        poll.line();
        if (startsWith(line, "*UNIT")) {
            if (!lines.next(line)) break;
            applyUnitLine(line, f);
        }
        if (startsWith(line, "*ELEMENT  CABLE")) {
            cableFound = true;
            break;
        }
    }

    d.CableMax = 0;
    d.NodeTblMax = 0;
    d.NodeTbl.create({Bounds{0, 2}, Bounds{0, 0}});
    d.invalidateNodeIndex();
    std::vector<Cable> cables(1);
    FarEnds farEnds;
    farEnds.add(0, 0);

    bool endedByLine = false;
    std::string_view ender;
    if (cableFound) {
        while (lines.next(line)) {
            poll.line();
            if (isSectionEnd(line)) {
                endedByLine = true;
                ender = line;
                break;
            }
            if (!isElementLine(line)) continue;
            const std::int32_t a = fields::integer(line, 31, 10);
            const std::int32_t b = fields::integer(line, 41, 10);
            if (d.NodeTblMax == 0) {
                farEnds.move(0, cables[0].farEnd, a);
                cables[0].farEnd = a;
                d.NodeTbl(0, 0) = a;
                d.invalidateNodeIndex();
            }
            const std::int32_t s = farEnds.lowestSlot(a);
            if (s >= 0) {
                Cable& c = cables[static_cast<std::size_t>(s)];
                ++c.count;
                farEnds.move(s, c.farEnd, b);
                c.farEnd = b;
                d.appendNode(b, s, c.count);
            } else {
                ++d.CableMax;
                cables.push_back(Cable{b, 1});
                farEnds.add(d.CableMax, b);
                d.appendNode(a, d.CableMax, 0);
                d.appendNode(b, d.CableMax, 1);
            }
        }
    }

    d.CableInfo.create({Bounds{0, 1}, Bounds{0, d.CableMax}});
    for (std::int32_t s = 0; s <= d.CableMax; ++s) {
        d.CableInfo(0, s) = cables[static_cast<std::size_t>(s)].farEnd;
        d.CableInfo(1, s) = cables[static_cast<std::size_t>(s)].count;
    }

    bool beamFound = false;
    if (endedByLine && startsWith(ender, "*ELEMENT  BEAM")) {
        beamFound = true;
    } else {
        lines = LineSplitter(file);
        while (lines.next(line)) {
            poll.line();
            if (startsWith(line, "*ELEMENT  BEAM")) {
                beamFound = true;
                break;
            }
        }
    }

    d.BeamElemMax = -1;
    if (beamFound) {
        d.BeamNodeMax = -1;
        std::vector<std::array<std::int32_t, 4>> beams;  // slot and index of end 0, then end 1
        const std::int32_t beamSlot = d.CableMax + 1;
        while (lines.next(line)) {
            poll.line();
            if (isSectionEnd(line)) break;
            if (!isElementLine(line)) continue;
            std::array<std::int32_t, 4> e{};
            const std::int32_t nodes[2] = {fields::integer(line, 31, 10),
                                           fields::integer(line, 41, 10)};
            for (int end = 0; end < 2; ++end) {
                std::int32_t lin = 0, kukan = -1;
                d.NodeCHK(nodes[end], lin, kukan);
                if (kukan < 0) {
                    ++d.BeamNodeMax;
                    d.appendNode(nodes[end], beamSlot, d.BeamNodeMax);
                    lin = beamSlot;
                    kukan = d.BeamNodeMax;
                }
                e[static_cast<std::size_t>(2 * end)] = lin;
                e[static_cast<std::size_t>(2 * end + 1)] = kukan;
            }
            beams.push_back(e);
        }
        d.BeamElemMax = static_cast<std::int32_t>(beams.size()) - 1;
        if (d.BeamElemMax >= 0) {
            d.BeamElem.create({Bounds{0, 1}, Bounds{0, 1}, Bounds{0, d.BeamElemMax}});
            for (std::int32_t b = 0; b <= d.BeamElemMax; ++b) {
                const auto& e = beams[static_cast<std::size_t>(b)];
                d.BeamElem(0, 0, b) = e[0];
                d.BeamElem(0, 1, b) = e[1];
                d.BeamElem(1, 0, b) = e[2];
                d.BeamElem(1, 1, b) = e[3];
            }
        }
    }

    d.trimNodeTable();
    d.StepCount = 0;
    d.BeamRecCount = 0;
    d.NodeMax = std::max<std::int32_t>(0, d.BeamNodeMax);
    for (const Cable& c : cables) d.NodeMax = std::max(d.NodeMax, c.count);
    d.TensionMax = -1;
    d.TensionElem.create({Bounds{0, 0}});
    return f;
}

bool definesElements(const Dataset& d) {
    // Without cable elements the one empty slot 0 remains.
    const bool cables = d.CableMax > 0 || (!d.CableInfo.empty() && d.CableInfo(1, 0) > 0);
    return cables || d.BeamElemMax >= 0;
}

void AllocSettingsOnly(Dataset& d, std::uint64_t memoryLimit, const QString& path) {
    // One frame still spans every slot and node, and slots times nodes can grow
    // with the square of the file's size: a model whose frame does not fit ends
    // the read as a history that does not fit does.
    const std::uint64_t need = nodeDispBytes(d, 1);
    if (need > memoryLimit) {
        const auto mb = [](std::uint64_t bytes) {
            return num::formatGeneralQ(
                num::roundHalfEven(static_cast<double>(bytes) / (1024.0 * 1024.0)));
        };
        throw QrnError(QStringLiteral("ファイル") + path +
                           QStringLiteral("のモデルが大きすぎてメモリーに収まりません。") +
                           QChar(u'\r') + mb(need) +
                           QStringLiteral(" MBが必要です（使用できるメモリー ") + mb(memoryLimit) +
                           QStringLiteral(" MB）。"),
                       kMemoryErrorTitle);
    }
    d.StepCount = 0;
    const Bounds slotRange{0, d.CableMax + 1};
    const Bounds nodes{0, d.NodeMax};
    d.NodeDisp.create({slotRange, Bounds{-1, 2}, nodes, Bounds{0, 1}});
    d.TensionHist.create({Bounds{0, 1}, Bounds{0, 0}});
    d.NodePos.create({slotRange, Bounds{0, 2}, nodes});
    d.NodeTwist0.create({slotRange, nodes});
    d.TensionMax = -1;
}

void ReadCoordinates(Dataset& d, const QString& path, double lengthFactor, Progress* progress) {
    LinePoll poll(progress);
    const TextFile file = TextFile::open(path);
    LineSplitter lines(file);
    std::string_view line;
    bool found = false;
    while (lines.next(line)) {
        poll.line();
        if (startsWith(line, "*NODE")) {
            found = true;
            break;
        }
    }
    if (!found) return;
    while (lines.next(line)) {
        poll.line();
        if (isSectionEnd(line)) break;
        if (!line.empty() && line.front() == '#') continue;
        std::int32_t lin = 0, kukan = -1;
        d.NodeCHK(fields::integer(line, 2, 9), lin, kukan);
        if (kukan < 0) continue;
        for (int a = 0; a < 3; ++a) {
            if (!d.NodePos.contains(lin, a, kukan)) continue;
            const double v = fields::value(line, static_cast<std::size_t>(11 + 10 * a), 10);
            d.NodePos(lin, a, kukan) = toSingle(v * lengthFactor);
        }
    }
}

}  // namespace qrn
