// Fuzz target: the binary static-equilibrium file ("self.f08") applied after
// the sample's binary history.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qrn;
    const fuzz::Input in = fuzz::writeInput(QStringLiteral("self.f08"), data, size);
    ReadRequest r = fuzz::sampleRequest(ReadProBinary);
    r.sectionChecked = true;
    r.sectionPath = in.path;
    fuzz::checkRead(r, in);
    return 0;
}
