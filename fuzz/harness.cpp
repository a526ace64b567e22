#include "harness.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "dataset/error.h"
#include "dataset/schema.h"
#include "readers/histories.h"

namespace qrn::fuzz {
namespace {

const QTemporaryDir& scratch() {
    static const QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/qrnfuzz-XXXXXX"));
    require(dir.isValid(), "cannot create the scratch folder");
    return dir;
}

// What an earlier read left in memory, as the viewer leaves it.
const Dataset& previous() {
    static const Dataset d = [] {
        Dataset p;
        p.DirPath = QStringLiteral("C:\\work\\");
        NullProgress progress;
        require(ReadAnalysis(p, sampleRequest(ReadHis), progress).completed,
                "the sample analysis in fuzz/support does not read");
        p.FirstNode = 1;
        return p;
    }();
    return d;
}

void checkInputKept(const Input& input) {
    QFile f(input.path);
    require(f.open(QIODevice::ReadOnly) && f.readAll() == input.bytes,
            "the read changed its input file");
}

}  // namespace

QString support(const QString& name) {
    return QStringLiteral(QRN_FUZZ_SUPPORT) + QLatin1Char('/') + name;
}

Input writeInput(const QString& name, const std::uint8_t* data, std::size_t size) {
    Input in{scratch().filePath(name),
             QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))};
    QFile f(in.path);
    require(
        f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(in.bytes) == in.bytes.size(),
        "cannot write the input file");
    return in;
}

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

ReadRequest sampleRequest(int mode) {
    ReadRequest r;
    r.mode = mode;
    const bool pro = mode == ReadProText || mode == ReadProBinary || mode == CheckProSettings;
    r.settingsPath = support(pro ? QStringLiteral("self.dat") : QStringLiteral("st.dat"));
    if (mode == ReadProBinary)
        r.selectedPath = support(QStringLiteral("run1.f08"));
    else if (mode == ReadProText)
        r.selectedPath = support(QStringLiteral("run1.f24"));
    else if (mode == ReadHis)
        r.selectedPath = support(QStringLiteral("run1.his"));
    else
        r.selectedPath = r.settingsPath;
    const bool binarySection = mode == ReadProText || mode == ReadProBinary;
    r.sectionPath =
        support(binarySection ? QStringLiteral("self.f08") : QStringLiteral("tmp/sec.file"));
    r.memoryLimit = kMemoryLimit;
    return r;
}

void checkRead(const ReadRequest& request, const Input& input) {
    Dataset d = previous();
    MessageLog host;
    const ReadResult r = ReadAnalysis(d, request, host);
    host.add(r.outcome);
    checkInputKept(input);
    if (r.completed) {
        // Only the thinning note may follow a completed read.
        for (const auto& m : host.messages)
            require(m.first == kAppTitle, "a completed read showed an error message");
        checkConsistent(d);
        return;
    }
    require(host.messages.size() == 1, "a failed read must show exactly one message");
    const auto& [title, text] = host.messages.front();
    require(title == kReadErrorTitle || title == kMemoryErrorTitle,
            "a failed read's message has a foreign title");
    require(!text.isEmpty(), "a failed read's message is empty");
    require(d.sameContent(previous()), "a failed read changed the dataset in memory");
}

void checkLoad(const LoadRequest& request, const Input& input) {
    Dataset d = previous();
    MessageLog host;
    const LoadResult loaded = DataLood(d, request, host);
    host.add(loaded.outcome);
    const bool ok = loaded.ready;
    checkInputKept(input);
    if (ok) {
        require(host.messages.empty(), "a completed load showed a message");
        checkConsistent(d);
        return;
    }
    require(host.messages.size() == 1, "a failed load must show exactly one message");
    require(host.messages.front().first == kReadErrorTitle,
            "a failed load's message has a foreign title");
    require(!host.messages.front().second.isEmpty(), "a failed load's message is empty");
    require(d.sameContent(previous()), "a failed load changed the dataset in memory");
}

void checkConsistent(const Dataset& d) {
    require(d.CableMax >= 0, "CableMax < 0");
    require(d.NodeTblMax >= 0, "NodeTblMax < 0");
    require(d.NodeMax >= 0, "NodeMax < 0");
    require(d.BeamElemMax >= -1, "BeamElemMax < -1");
    require(d.BeamNodeMax >= -1 && d.BeamNodeMax <= d.NodeMax, "BeamNodeMax out of range");
    require(d.StepCount >= 0, "StepCount < 0");
    require(d.StepMax >= 0 && d.StepMax <= std::int64_t{d.StepCount} + 1, "StepMax beyond T");
    require(d.TensionMax >= 0, "TensionMax < 0 after a read");
    require(d.BeamRecCount >= 0, "BeamRecCount < 0");

    // Every array its counts say the dataset holds has exactly the bounds they give.
    for (const schema::Field& f : schema::fields()) {
        if (f.role != schema::Role::Array || !schema::held(f, d)) continue;
        if (!f.ops->hasBounds(d, schema::boundsOf(f, d).data())) {
            std::fprintf(stderr, "fuzz check failed: %s bounds\n", f.name);
            std::abort();
        }
    }

    const Bounds slotRange{0, std::int64_t{d.CableMax} + 1};
    const Bounds nodeRange{0, d.NodeMax};

    for (std::int64_t e = 0; e <= d.NodeTblMax; ++e) {
        require(slotRange.contains(d.NodeTbl(1, e)) && nodeRange.contains(d.NodeTbl(2, e)),
                "a node-table entry lies outside the per-node arrays");
        std::int32_t lin = -7, kukan = -1;
        d.NodeCHK(d.NodeTbl(0, e), lin, kukan);
        require(kukan >= 0 && slotRange.contains(lin) && nodeRange.contains(kukan),
                "NodeCHK does not find a node of the table inside the arrays");
    }
    for (std::int64_t b = 0; b <= d.BeamElemMax; ++b)
        for (int end = 0; end <= 1; ++end)
            require(slotRange.contains(d.BeamElem(end, 0, b)) &&
                        nodeRange.contains(d.BeamElem(end, 1, b)),
                    "a beam end lies outside the per-node arrays");
    for (std::int64_t s = 0; s <= d.CableMax; ++s)
        require(nodeRange.contains(d.CableInfo(1, s)), "a cable is longer than NodeMax");
}

}  // namespace qrn::fuzz
