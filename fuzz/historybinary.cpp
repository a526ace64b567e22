// Fuzz target: the binary history file ("*.f08") with the sample's settings
// and binary section file.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qrn;
    const fuzz::Input in = fuzz::writeInput(QStringLiteral("run1.f08"), data, size);
    ReadRequest r = fuzz::sampleRequest(ReadProBinary);
    r.selectedPath = in.path;
    r.sectionChecked = true;
    fuzz::checkRead(r, in);
    return 0;
}
