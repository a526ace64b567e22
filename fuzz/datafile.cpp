// Fuzz target: the binary dataset file. The generation comes from the file
// name only, so the input's first byte picks the name and the rest is the file.
#include <array>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qrn;
    if (size == 0) return 0;
    // Generations A, 0, 1, 2, 3, and a name that is generation 3 without a
    // tension element table (last character not a digit).
    static const std::array<QString, 6> kNames{
        QStringLiteral("run.qrn"),  QStringLiteral("run.qrn0"), QStringLiteral("run.qrn1"),
        QStringLiteral("run.QRN2"), QStringLiteral("run.qrn3"), QStringLiteral("run.qrnx")};
    const QString& name = kNames[data[0] % kNames.size()];
    const fuzz::Input in = fuzz::writeInput(name, data + 1, size - 1);
    LoadRequest r;
    r.path = in.path;
    r.selectedName = name;
    fuzz::checkLoad(r, in);
    return 0;
}
