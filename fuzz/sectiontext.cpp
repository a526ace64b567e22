// Fuzz target: the text static-equilibrium file ("tmp\sec.file") applied to
// the sample's model (settings-only read, which takes the text form).
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qrn;
    const fuzz::Input in = fuzz::writeInput(QStringLiteral("sec.file"), data, size);
    ReadRequest r = fuzz::sampleRequest(CheckSettings);
    r.sectionChecked = true;
    r.sectionPath = in.path;
    fuzz::checkRead(r, in);
    return 0;
}
