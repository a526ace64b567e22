// Whole-process timings of the binary dataset file:
//   qrn_datafile_tool gen OUT MEGABYTES   write a .qrn3 of at least that size
//   qrn_datafile_tool load FILE           DataLood it (what "qrnconv info" does first)
//   qrn_datafile_tool save IN OUT         load IN and write OUT (what "qrnconv save" does)
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/datafile.h"

namespace {

// The failure of an operation, on stderr.
int finish(bool ok, const qrn::WindowOutcome& outcome) {
    for (const qrn::Notice& n : outcome.notices)
        std::fprintf(stderr, "%s: %s\n", qPrintable(n.title), qPrintable(n.text));
    return ok ? 0 : 1;
}

// Ten slots of 250 nodes and as many time steps as the size asks for.
qrn::Dataset bigDataset(double megabytes) {
    using qrn::Bounds;
    qrn::Dataset d;
    d.CableMax = 8;
    d.NodeMax = 249;
    const double perStep = 10.0 * 4 * 250 * 4;
    const double steps = megabytes * 1e6 / perStep;
    d.StepCount = static_cast<int>(std::min(steps, 32765.0));
    d.StepMax = d.StepCount;
    d.TensionMax = 99;
    d.BeamElemMax = -1;
    d.BeamNodeMax = -1;
    d.BeamRecCount = 10;
    const std::int64_t slot = d.CableMax + 1, T = d.StepCount + 1;
    d.CableInfo.create({Bounds{0, 1}, Bounds{0, d.CableMax}});
    for (int s = 0; s <= d.CableMax; ++s) d.CableInfo(1, s) = d.NodeMax;
    d.NodeTblMax = -1;
    for (int s = 0; s <= d.CableMax; ++s)
        for (int n = 0; n <= d.NodeMax; ++n) d.appendNode(1000 * s + n, s, n);
    d.trimNodeTable();
    d.NodeDisp.create({Bounds{0, slot}, Bounds{-1, 2}, Bounds{0, d.NodeMax}, Bounds{0, T}});
    std::int32_t* p = d.NodeDisp.data();
    for (std::size_t i = 0; i < d.NodeDisp.size(); ++i)
        p[i] = static_cast<std::int32_t>((i * 2654435761u) >> 12);
    d.TensionElem.create({Bounds{0, d.TensionMax}});
    d.TensionHist.create({Bounds{0, T}, Bounds{0, d.TensionMax}});
    d.NodePos.create({Bounds{0, slot}, Bounds{0, 2}, Bounds{0, d.NodeMax}});
    d.NodeTwist0.create({Bounds{0, slot}, Bounds{0, d.NodeMax}});
    d.BeamRecInfo.create({Bounds{0, 1}, Bounds{0, d.BeamRecCount - 1}});
    d.BeamHist.create({Bounds{0, T}, Bounds{0, d.BeamRecCount - 1}});
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qrn::NullProgress progress;
    qrn::Dataset data;
    if (argc == 4 && std::strcmp(argv[1], "gen") == 0) {
        const qrn::Dataset d = bigDataset(std::atof(argv[3]));
        const auto r = qrn::SaveDataFileAs(d, QString::fromLocal8Bit(argv[2]), "0.05", progress);
        return finish(r.saved, r.outcome);
    }
    if (argc == 3 && std::strcmp(argv[1], "load") == 0) {
        const QString path = QString::fromLocal8Bit(argv[2]);
        const auto r = qrn::DataLood(data, {path, QFileInfo(path).fileName(), false}, progress);
        return finish(r.ready, r.outcome);
    }
    if (argc == 4 && std::strcmp(argv[1], "save") == 0) {
        const auto r = qrn::ConvertDataFile(data, QString::fromLocal8Bit(argv[2]),
                                            QString::fromLocal8Bit(argv[3]), progress);
        return finish(r.saved, r.outcome);
    }
    std::fputs("usage: qrn_datafile_tool gen OUT MB | load FILE | save IN OUT\n", stderr);
    return 2;
}
