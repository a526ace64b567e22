#include "readers/staticequilibrium.h"

#include <vector>

#include "dataset/textfile.h"
#include "readers/binaryfile.h"
#include "readers/cancelpoll.h"
#include "readers/fields.h"
#include "readers/layout_section.h"

namespace qrn {
namespace {

void addOffset(Dataset& d, std::int32_t lin, std::int32_t axis, std::int32_t kukan, double v) {
    if (!d.NodePos.contains(lin, axis, kukan)) return;
    float& p = d.NodePos(lin, axis, kukan);
    p = toSingle(static_cast<double>(p) + v);
}

void setTwist(Dataset& d, std::int32_t lin, std::int32_t kukan, double v) {
    if (d.NodeTwist0.contains(lin, kukan)) d.NodeTwist0(lin, kukan) = toSingle(v);
}

void applyText(Dataset& d, const QString& path, double lengthFactor, Progress* progress) {
    LinePoll poll(progress);
    const TextFile file = TextFile::open(path);
    LineSplitter lines(file);
    std::string_view line;
    std::int32_t node = 0;
    bool found = false;
    const auto [numberAt, numberWidth] = section::kNodeNumber;
    while (lines.next(line)) {
        poll.line();
        if (fields::value(line, numberAt, numberWidth) > 0.0) {
            node = fields::integer(line, numberAt, numberWidth);
            found = true;
            break;
        }
    }
    if (!found) return;
    while (lines.next(line)) {
        poll.line();
        std::int32_t lin = 0, kukan = -1;
        d.NodeCHK(node, lin, kukan);
        if (kukan >= 0) {
            for (std::size_t a = 0; a < 3; ++a)
                addOffset(d, lin, static_cast<std::int32_t>(a), kukan,
                          fields::value(line, 1 + section::kValueWidth * a, section::kValueWidth) *
                              lengthFactor);
            setTwist(
                d, lin, kukan,
                fields::value(line, section::kTorsionColumn, section::kValueWidth) * kStorageScale);
        }
        if (!lines.next(line)) break;
        node = fields::integer(line, numberAt, numberWidth);
        if (node == 0) break;
    }
}

void applyBinary(Dataset& d, const QString& path, double lengthFactor, Progress* progress) {
    throwIfCancelled(progress);
    BinaryFile file = BinaryFile::open(path);
    const std::int32_t count = file.int32At(section::kCountAt, "項目数");
    if (count < 0) file.damaged("項目数が負の値です");
    const std::int64_t valuesAt =
        section::valuesAt(file.int32At(section::kListLengthAt, "項目リストの長さ"));
    const std::int64_t e = count;
    if (!file.holds(section::kListAt, section::kEntryBytes * e))
        file.damaged("項目リストがファイルの終わりを超えます");
    if (!file.holds(valuesAt, 8 * e)) file.damaged("値のリストがファイルの終わりを超えます");
    std::vector<std::int32_t> list(static_cast<std::size_t>(2 * e));
    file.int32s(section::kListAt, 2 * e, list.data(), "項目リスト");
    std::vector<double> values(static_cast<std::size_t>(e));
    file.float64s(valuesAt, e, values.data(), "値のリスト");
    constexpr std::int64_t kEntriesPerPoll = std::int64_t{1} << 18;  // 4 MB of the file
    for (std::int64_t i = 0; i < e; ++i) {
        if (i % kEntriesPerPoll == kEntriesPerPoll - 1) throwIfCancelled(progress);
        std::int32_t lin = 0, kukan = -1;
        d.NodeCHK(list[static_cast<std::size_t>(2 * i)], lin, kukan);
        if (kukan < 0) continue;
        const std::int32_t type = list[static_cast<std::size_t>(2 * i + 1)];
        const double v = values[static_cast<std::size_t>(i)];
        if (type >= section::kTypeX && type <= section::kTypeZ) {
            addOffset(d, lin, type - section::kTypeX, kukan, v * lengthFactor);
        } else if (type == section::kTypeTorsion) {
            setTwist(d, lin, kukan, v * kStorageScale);
        }
    }
}

}  // namespace

void ApplyStaticEquilibrium(Dataset& d, const QString& path, double lengthFactor, bool binary,
                            Progress* progress) {
    if (binary) {
        applyBinary(d, path, lengthFactor, progress);
    } else {
        applyText(d, path, lengthFactor, progress);
    }
}

}  // namespace qrn
