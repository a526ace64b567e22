#include "dataset/schema.h"

#include <cstdlib>
#include <cstring>

namespace qrn::schema {
namespace {

template <typename T>
struct MemberTraits;
template <typename T, std::size_t N>
struct MemberTraits<BArray<T, N> Dataset::*> {
    using Element = T;
    static constexpr std::size_t rank = N;
};

template <auto Member>
constexpr ArrayOps opsFor() {
    using Traits = MemberTraits<decltype(Member)>;
    using T = typename Traits::Element;
    constexpr std::size_t N = Traits::rank;
    return ArrayOps{
        sizeof(T),
        N,
        [](const Dataset& d) { return (d.*Member).size(); },
        [](Dataset& d) -> void* { return (d.*Member).data(); },
        [](const Dataset& d) -> const void* { return (d.*Member).data(); },
        [](Dataset& d, const Bounds* b) {
            std::array<Bounds, N> a{};
            for (std::size_t i = 0; i < N; ++i) a[i] = b[i];
            (d.*Member).create(a);
        },
        [](Dataset& d) { (d.*Member).clear(); },
        [](const Dataset& d, const Bounds* b) {
            std::array<Bounds, N> a{};
            for (std::size_t i = 0; i < N; ++i) a[i] = b[i];
            return (d.*Member).bounds() == a && (d.*Member).size() > 0;
        },
        [](const Dataset& a, const Dataset& b) { return a.*Member == b.*Member; },
    };
}

template <auto Member>
inline constexpr ArrayOps kOps = opsFor<Member>();

using D = Dataset;
// DataReset zeroes or empties the field, or leaves it as it is.
constexpr bool kResets = true;
constexpr bool kKeeps = false;
// The oldest node block lists each column's 501 rows in turn.
constexpr bool kEntryFastest = true;
using FF = FileFormat;
using G = DataFileGeneration;

bool legacy(const FF& f) { return f.generation == G::A || f.generation == G::G0; }
bool narrow(const FF& f) { return f.generation == G::G1 || f.generation == G::G2; }

Storage int16(const FF&) { return Storage::Int16; }
Storage native(const FF&) { return Storage::Native; }
// Cable and node tables: fixed blocks, then 16-bit, then the memory's 32 bits.
Storage table(const FF& f) {
    return legacy(f) ? Storage::Fixed16 : narrow(f) ? Storage::Int16 : Storage::Native;
}
Storage legacyBlock(const FF& f) { return legacy(f) ? Storage::Fixed16 : Storage::Absent; }
Storage beamBlock(const FF& f) { return f.generation == G::A ? Storage::Fixed16 : Storage::Absent; }
Storage beams(const FF& f) { return f.generation == G::A ? Storage::Fixed16 : Storage::Int16; }
Storage byRoom(const FF&) { return Storage::ByRoom; }
Storage tensionCount(const FF& f) { return f.tensionLevel >= 2 ? Storage::Int16 : Storage::Absent; }
Storage tensionTable(const FF& f) {
    return f.tensionLevel > 2    ? Storage::Native
           : f.tensionLevel == 2 ? Storage::Int16
                                 : Storage::Absent;
}
Storage trailing(const FF&) { return Storage::Trailing; }

constexpr Dim fixed(std::int32_t lo, std::int32_t hi) { return Dim{lo, nullptr, hi}; }
constexpr Dim upTo(std::int32_t Dataset::*count, std::int32_t add = 0) {
    return Dim{0, count, add};
}

Field count(const char* name, std::int32_t D::*member, const char* label, bool reset,
            std::int32_t minimum = kNoMinimum, Storage (*storage)(const FF&) = int16) {
    Field f{name, Role::Count};
    f.label = label;
    f.reset = reset;
    f.count = member;
    f.minimum = minimum;
    f.storage = storage;
    return f;
}

template <auto Member>
Field array(const char* name, std::array<Dim, 4> dims, bool reset, Storage (*storage)(const FF&),
            const char* label = "") {
    Field f{name, Role::Array};
    f.label = label;
    f.reset = reset;
    f.ops = &kOps<Member>;
    f.dims = dims;
    f.storage = storage;
    return f;
}

Field withBlock(Field f, std::int32_t capacity, bool entryFastest = false) {
    f.capacity = capacity;
    f.entryFastest = entryFastest;
    return f;
}

Field interval() {
    Field f{"interval", Role::Interval};
    f.storage = int16;
    return f;
}

Field block(const char* name, const char* of, Storage (*storage)(const FF&)) {
    Field f{name, Role::Block};
    f.blockOf = of;
    f.storage = storage;
    return f;
}

}  // namespace

// The oldest generations keep 501 node-table rows, 6 cable slots and 81 beams.
std::span<const Field> fields() {
    static const std::array<Field, 25> kFields{
        count("StepMax", &D::StepMax, "最終時間ステップ (StepMax)", kResets),
        count("HeadSpare", &D::HeadSpare, "予備欄 (HeadSpare)", kResets),
        block("NodeTblBlock", "NodeTbl", legacyBlock),
        count("CableMax", &D::CableMax, "ケーブル数 (CableMax)", kResets, 0),
        withBlock(
            array<&D::CableInfo>("CableInfo", {fixed(0, 1), upTo(&D::CableMax)}, kResets, table),
            6),
        count("NodeTblMax", &D::NodeTblMax, "節点表の件数 (NodeTblMax)", kResets, 0),
        withBlock(
            array<&D::NodeTbl>("NodeTbl", {fixed(0, 2), upTo(&D::NodeTblMax)}, kResets, table), 501,
            kEntryFastest),
        count("FirstNode", &D::FirstNode, "表示開始節点 (FirstNode)", kResets),
        count("LastNode", &D::LastNode, "表示終了節点 (LastNode)", kResets),
        block("BeamElemBlock", "BeamElem", beamBlock),
        count("BeamElemMax", &D::BeamElemMax, "梁要素数 (BeamElemMax)", kResets, -1),
        withBlock(array<&D::BeamElem>("BeamElem", {fixed(0, 1), fixed(0, 1), upTo(&D::BeamElemMax)},
                                      kResets, beams, "梁要素表 (BeamElem)"),
                  81),
        count("BeamNodeMax", &D::BeamNodeMax, "梁節点数 (BeamNodeMax)", kResets),
        interval(),
        count("NodeMax", &D::NodeMax, "節点数 (NodeMax)", kKeeps),
        count("StepCount", &D::StepCount, "時間ステップ数 (StepCount)", kKeeps),
        array<&D::NodeDisp>(
            "NodeDisp",
            {upTo(&D::CableMax, 1), fixed(-1, 2), upTo(&D::NodeMax), upTo(&D::StepCount, 1)},
            kResets, byRoom),
        count("TensionMax", &D::TensionMax, "張力データ数 (TensionMax)", kKeeps, 0, tensionCount),
        array<&D::TensionElem>("TensionElem", {upTo(&D::TensionMax)}, kKeeps, tensionTable),
        array<&D::TensionHist>("TensionHist", {upTo(&D::StepCount, 1), upTo(&D::TensionMax)},
                               kResets, native),
        array<&D::NodePos>("NodePos", {upTo(&D::CableMax, 1), fixed(0, 2), upTo(&D::NodeMax)},
                           kResets, native),
        count("BeamRecCount", &D::BeamRecCount, "梁結果データ数 (BeamRecCount)", kKeeps, 0),
        array<&D::BeamRecInfo>("BeamRecInfo", {fixed(0, 1), upTo(&D::BeamRecCount, -1)}, kKeeps,
                               int16, "梁結果データの要素番号・種別 (BeamRecInfo)"),
        array<&D::BeamHist>("BeamHist", {upTo(&D::StepCount, 1), upTo(&D::BeamRecCount, -1)},
                            kKeeps, native),
        array<&D::NodeTwist0>("NodeTwist0", {upTo(&D::CableMax, 1), upTo(&D::NodeMax)}, kResets,
                              trailing),
    };
    return kFields;
}

const Field& field(const char* name) {
    for (const Field& f : fields())
        if (std::strcmp(f.name, name) == 0) return f;
    std::abort();
}

std::array<Bounds, 4> boundsOf(const Field& f, const Dataset& d) {
    std::array<Bounds, 4> b{};
    for (std::size_t i = 0; i < f.ops->rank; ++i) {
        const Dim& dim = f.dims[i];
        const std::int64_t base = dim.count ? std::int64_t{d.*dim.count} : 0;
        b[i] = Bounds{dim.lo, base + dim.add};
    }
    return b;
}

bool held(const Field& f, const Dataset& d) {
    const std::array<Bounds, 4> b = boundsOf(f, d);
    for (std::size_t i = 0; i < f.ops->rank; ++i)
        if (b[i].hi < b[i].lo) return false;
    return true;
}

Storage currentStorage(const Field& f) {
    return f.storage(FileFormat{FileKind::DataFile, DataFileGeneration::G3, 3});
}

}  // namespace qrn::schema
