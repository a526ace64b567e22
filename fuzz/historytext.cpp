// Fuzz target: the text history file ("*.his", "*.f24") with the sample's
// settings and section file.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qrn;
    const fuzz::Input in = fuzz::writeInput(QStringLiteral("run1.his"), data, size);
    ReadRequest r = fuzz::sampleRequest(ReadHis);
    r.selectedPath = in.path;
    r.sectionChecked = true;
    fuzz::checkRead(r, in);
    return 0;
}
