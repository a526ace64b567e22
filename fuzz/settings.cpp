// Fuzz target: the settings file ("st.dat"), read alone (settings-only mode)
// and as the model of the sample's text history and section file.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qrn;
    const fuzz::Input in = fuzz::writeInput(QStringLiteral("st.dat"), data, size);

    ReadRequest alone = fuzz::sampleRequest(CheckSettings);
    alone.selectedPath = in.path;
    alone.sectionChecked = true;
    fuzz::checkRead(alone, in);

    ReadRequest withHistory = fuzz::sampleRequest(ReadHis);
    withHistory.settingsPath = in.path;
    withHistory.sectionChecked = true;
    fuzz::checkRead(withHistory, in);
    return 0;
}
