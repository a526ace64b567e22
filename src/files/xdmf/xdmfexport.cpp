// The HDF5 + XDMF export: the grid (points of the cable and beam slots, line
// cells), the exported steps by the CSV window's time rules, the HDF5 file
// written step by step, then the XDMF text, then both moved onto their targets.
#include "files/xdmf/xdmfexport.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>
#include <string>
#include <vector>

#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/progress.h"
#include "dataset/savetarget.h"
#include "files/csvexport.h"
#include "files/xdmf/h5file.h"
#include "files/xdmf/outputpair.h"

namespace qrn {
namespace {

using xdmf::Dims;
using xdmf::H5Failure;
using xdmf::H5File;

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
// A per-step dataset is one chunk up to this size: one read takes a whole step.
constexpr std::size_t kStepChunkBytes = std::size_t{4} << 20;
// Rest geometry and cells: large chunks, they are read whole.
constexpr std::size_t kStaticChunkBytes = std::size_t{4} << 20;
// History chunks of about this size: few to write, and one step's row is one chunk to read.
constexpr std::size_t kHistoryChunkBytes = std::size_t{1} << 20;
// Steps of a history gathered per write.
constexpr std::int64_t kHistoryBlockSteps = 512;

// The points and line cells of the export, in the order the viewer draws
// them: cable slots 0..CableMax node by node, then the beam slot.
struct Grid {
    std::vector<std::int32_t> slot, index, number;
    std::vector<double> rest;           // [points x 3] metres
    std::vector<double> restTheta;      // [points] degrees
    std::vector<std::size_t> dispBase;  // NodeDisp offset of (slot, -1, index, first time)
    std::vector<std::int32_t> cells;    // [cells x 2] point numbers
    std::vector<std::int32_t> cellSlot;
    std::size_t points() const { return slot.size(); }
    std::size_t cellCount() const { return cellSlot.size(); }
};

QString missingData(const QString& what) {
    return what + QStringLiteral("のデータが読み込まれていません。");
}

Grid buildGrid(const Dataset& d) {
    Grid g;
    const std::int32_t beamSlot = d.CableMax + 1;
    const bool dispShape = !d.NodeDisp.empty() && d.NodeDisp.lo(1) == -1 && d.NodeDisp.hi(1) >= 2;
    std::vector<std::int64_t> slotStart(static_cast<std::size_t>(beamSlot) + 1, 0);
    auto addPoint = [&](std::int32_t s, std::int32_t n) {
        if (!dispShape || !d.NodePos.contains(s, 2, n) ||
            !d.NodeDisp.contains(s, 2, n, d.NodeDisp.lo(3)))
            throw QrnError(missingData(QStringLiteral("ノード")), kAppTitle);
        g.slot.push_back(s);
        g.index.push_back(n);
        g.number.push_back(d.NodeNoOf(s, n).value_or(-1));
        for (int a = 0; a < 3; ++a) g.rest.push_back(static_cast<double>(d.NodePos(s, a, n)));
        const double twist =
            d.NodeTwist0.contains(s, n) ? static_cast<double>(d.NodeTwist0(s, n)) : 0.0;
        g.restTheta.push_back(twist / kStorageScale * kDegreesPerRadian);
        g.dispBase.push_back(d.NodeDisp.offsetOf(s, -1, n, d.NodeDisp.lo(3)));
    };
    auto lastIndex = [&](std::int32_t s) -> std::int32_t {
        if (s == beamSlot) return d.BeamNodeMax;
        if (!d.CableInfo.contains(1, s))
            throw QrnError(missingData(QStringLiteral("ケーブル")), kAppTitle);
        return d.CableInfo(1, s);
    };
    for (std::int32_t s = 0; s <= beamSlot; ++s) {
        slotStart[static_cast<std::size_t>(s)] = static_cast<std::int64_t>(g.points());
        const std::int32_t last = lastIndex(s);
        for (std::int32_t n = 0; n <= last; ++n) addPoint(s, n);
        if (s == beamSlot) break;
        const auto first = static_cast<std::int32_t>(slotStart[static_cast<std::size_t>(s)]);
        for (std::int32_t n = 0; n < last; ++n) {
            g.cells.push_back(first + n);
            g.cells.push_back(first + n + 1);
            g.cellSlot.push_back(s);
        }
    }
    // Beam elements join points of any slot; an end that is no point of the grid
    // (a damaged element) leaves the element out.
    auto pointOf = [&](std::int64_t s, std::int64_t n) -> std::int64_t {
        if (s < 0 || s > beamSlot || n < 0 || n > lastIndex(static_cast<std::int32_t>(s)))
            return -1;
        return slotStart[static_cast<std::size_t>(s)] + n;
    };
    for (std::int64_t b = 0; b <= d.BeamElemMax; ++b) {
        if (!d.BeamElem.contains(1, 1, b)) break;
        const std::int64_t p0 = pointOf(d.BeamElem(0, 0, b), d.BeamElem(0, 1, b));
        const std::int64_t p1 = pointOf(d.BeamElem(1, 0, b), d.BeamElem(1, 1, b));
        if (p0 < 0 || p1 < 0) continue;
        g.cells.push_back(static_cast<std::int32_t>(p0));
        g.cells.push_back(static_cast<std::int32_t>(p1));
        g.cellSlot.push_back(beamSlot);
    }
    return g;
}

// Whether every exported step of a [time x record] history holds `records` records.
template <typename T>
bool historyHolds(const BArray<T, 2>& h, std::int64_t records, const CsvSteps& steps) {
    if (records == 0) return true;
    const std::int64_t a = steps.at(0);
    const std::int64_t b = steps.at(steps.count - 1);
    return h.contains(std::min(a, b), 0) && h.contains(std::max(a, b), records - 1);
}

// A history [time x record] (time fastest in memory) as [exported steps x records].
template <typename T>
void writeHistory(H5File& f, const char* path, const BArray<T, 2>& h, std::int64_t records,
                  const CsvSteps& steps) {
    const auto rows = static_cast<hsize_t>(steps.count);
    const auto cols = static_cast<hsize_t>(records);
    const hsize_t chunkRows =
        std::max<hsize_t>(1, kHistoryChunkBytes / std::max<hsize_t>(1, cols * sizeof(T)));
    const Dims dims{rows, cols};
    xdmf::H5Handle ds = f.createRows<T>(path, dims, chunkRows);
    // Blocks of whole chunks, so that every chunk is written once.
    const std::int64_t block =
        std::max<std::int64_t>(1, kHistoryBlockSteps / static_cast<std::int64_t>(chunkRows)) *
        static_cast<std::int64_t>(chunkRows);
    // Time runs fastest in memory and records in the file: transposed in tiles
    // that stay in the cache on both sides.
    constexpr std::int64_t kTile = 64;
    const T* src = h.data();
    const std::int64_t recordStride = h.stride(1);
    std::vector<T> buf(static_cast<std::size_t>(std::min(block, steps.count) * records));
    for (std::int64_t i0 = 0; i0 < steps.count && records > 0; i0 += block) {
        const std::int64_t n = std::min(block, steps.count - i0);
        for (std::int64_t r0 = 0; r0 < records; r0 += kTile) {
            const std::int64_t r1 = std::min(records, r0 + kTile);
            for (std::int64_t j0 = 0; j0 < n; j0 += kTile) {
                const std::int64_t j1 = std::min(n, j0 + kTile);
                for (std::int64_t j = j0; j < j1; ++j) {
                    const T* row = src + (steps.at(i0 + j) - h.lo(0)) - h.lo(1) * recordStride;
                    T* out = buf.data() + j * records;
                    for (std::int64_t r = r0; r < r1; ++r) out[r] = row[r * recordStride];
                }
            }
        }
        f.writeRows(ds, dims, static_cast<hsize_t>(i0), static_cast<hsize_t>(n), buf.data());
    }
    ds.close("H5Dclose");
}

// Step i of the export is group /steps/i (decimal, no padding: the virtual
// datasets find the steps by that name).
QString stepGroup(std::int64_t i) { return QStringLiteral("/steps/%1").arg(i); }

void dataItem(QXmlStreamWriter& w, const QString& dims, const char* type, int precision,
              const QString& ref) {
    w.writeStartElement(QStringLiteral("DataItem"));
    w.writeAttribute(QStringLiteral("Dimensions"), dims);
    w.writeAttribute(QStringLiteral("NumberType"), QLatin1String(type));
    w.writeAttribute(QStringLiteral("Precision"), QString::number(precision));
    w.writeAttribute(QStringLiteral("Format"), QStringLiteral("HDF"));
    w.writeCharacters(ref);
    w.writeEndElement();
}

void attributeItem(QXmlStreamWriter& w, const char* name, const char* kind, const char* centre,
                   const QString& dims, const char* type, int precision, const QString& ref) {
    w.writeStartElement(QStringLiteral("Attribute"));
    w.writeAttribute(QStringLiteral("Name"), QLatin1String(name));
    w.writeAttribute(QStringLiteral("AttributeType"), QLatin1String(kind));
    w.writeAttribute(QStringLiteral("Center"), QLatin1String(centre));
    dataItem(w, dims, type, precision, ref);
    w.writeEndElement();
}

// The temporal collection: one uniform polyline grid per exported step, each
// referring to whole datasets (the XDMF readers of ParaView read no hyperslabs).
// `h5Name` is the HDF5 file's name as the text refers to it: relative, so
// that the pair can be moved together.
void writeXdmfText(QIODevice& out, const Grid& g, const CsvSteps& steps, double dt,
                   const QString& h5Name) {
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("Xdmf"));
    w.writeAttribute(QStringLiteral("Version"), QStringLiteral("3.0"));
    w.writeStartElement(QStringLiteral("Domain"));
    w.writeStartElement(QStringLiteral("Grid"));
    w.writeAttribute(QStringLiteral("Name"), QStringLiteral("qrnview"));
    w.writeAttribute(QStringLiteral("GridType"), QStringLiteral("Collection"));
    w.writeAttribute(QStringLiteral("CollectionType"), QStringLiteral("Temporal"));

    const QString P = QString::number(g.points());
    const QString C = QString::number(g.cellCount());
    const QString ref = h5Name + QLatin1Char(':');
    const auto width = static_cast<int>(QString::number(steps.count - 1).size());
    for (std::int64_t i = 0; i < steps.count; ++i) {
        const QString group = stepGroup(i);
        w.writeStartElement(QStringLiteral("Grid"));
        // Padded, so that readers listing the grids by name list them in time order.
        w.writeAttribute(QStringLiteral("Name"),
                         QStringLiteral("%1").arg(i, width, 10, QLatin1Char('0')));
        w.writeAttribute(QStringLiteral("GridType"), QStringLiteral("Uniform"));
        w.writeEmptyElement(QStringLiteral("Time"));
        w.writeAttribute(QStringLiteral("Value"),
                         num::formatGeneralQ(dt * static_cast<double>(steps.at(i))));
        w.writeStartElement(QStringLiteral("Topology"));
        w.writeAttribute(QStringLiteral("TopologyType"), QStringLiteral("Polyline"));
        w.writeAttribute(QStringLiteral("NodesPerElement"), QStringLiteral("2"));
        w.writeAttribute(QStringLiteral("NumberOfElements"), C);
        dataItem(w, C + QStringLiteral(" 2"), "Int", 4,
                 ref + QStringLiteral("/cells/connectivity"));
        w.writeEndElement();
        w.writeStartElement(QStringLiteral("Geometry"));
        w.writeAttribute(QStringLiteral("GeometryType"), QStringLiteral("XYZ"));
        dataItem(w, P + QStringLiteral(" 3"), "Float", 4,
                 ref + group + QStringLiteral("/positions"));
        w.writeEndElement();
        attributeItem(w, "displacement_mm", "Vector", "Node", P + QStringLiteral(" 3"), "Float", 4,
                      ref + group + QStringLiteral("/displacement"));
        attributeItem(w, "theta_deg", "Scalar", "Node", P, "Float", 4,
                      ref + group + QStringLiteral("/theta"));
        attributeItem(w, "node_number", "Scalar", "Node", P, "Int", 4,
                      ref + QStringLiteral("/points/node_numbers"));
        attributeItem(w, "slot", "Scalar", "Cell", C, "Int", 4,
                      ref + QStringLiteral("/cells/slots"));
        w.writeEndElement();
    }
    w.writeEndDocument();
}

// The steps the CSV window would export with these time boxes.
CsvSteps exportedSteps(const Dataset& data, const XdmfRequest& r) {
    CsvCliOptions opt;
    opt.from = r.fromText;
    opt.to = r.toText;
    opt.every = r.everyText;
    const CsvSelection sel = csvSelectionFromOptions(data, opt, r.intervalText, r.outputPath);
    return csvSteps(sel, data, r.intervalText);
}

bool sameFileName(const QString& a, const QString& b) {
    // Case-insensitive: on Windows and macOS the two would be one file.
    return QFileInfo(a).absoluteFilePath().compare(QFileInfo(b).absoluteFilePath(),
                                                   Qt::CaseInsensitive) == 0;
}

class Export {
  public:
    Export(const Dataset& d, const XdmfRequest& r, Progress& p) : d_(d), r_(r), progress_(p) {}

    XdmfResult run() {
        steps_ = exportedSteps(d_, r_);
        if (steps_.count <= 0)
            throw QrnError(QStringLiteral("出力する時間の範囲にデータがありません。"
                                          "開始時間、終了時間、出力間隔を確かめてください。"),
                           kAppTitle);
        dt_ = csvStepSeconds(r_.intervalText);
        grid_ = buildGrid(d_);
        tensions_ = std::max<std::int64_t>(0, std::int64_t{d_.TensionMax} + 1);
        beams_ = std::max<std::int64_t>(0, d_.BeamRecCount);
        if (tensions_ > 0 && (!d_.TensionElem.contains(tensions_ - 1) ||
                              !historyHolds(d_.TensionHist, tensions_, steps_)))
            throw QrnError(missingData(QStringLiteral("張力")), kAppTitle);
        if (beams_ > 0 &&
            (!d_.BeamRecInfo.contains(1, beams_ - 1) || !historyHolds(d_.BeamHist, beams_, steps_)))
            throw QrnError(missingData(QStringLiteral("Beam軸力")), kAppTitle);

        XdmfResult result;
        result.xdmfPath = r_.outputPath;
        result.h5Path = xdmfDataPath(r_.outputPath);
        if (sameFileName(result.xdmfPath, result.h5Path))
            throw QrnError(
                saveFailure(result.xdmfPath,
                            QStringLiteral("XDMFファイルの名前がHDF5ファイル（.h5）と同じです。"
                                           "拡張子 .xdmf の名前を指定してください。")),
                kWriteErrorTitle);
        // A target that cannot be replaced is reported before the long write.
        xdmf::checkReplaceable(result.h5Path);
        xdmf::checkReplaceable(result.xdmfPath);

        progress_.stage(kXdmfStage);
        xdmf::TempFile h5(result.h5Path);
        xdmf::TempFile text(result.xdmfPath);
        try {
            writeH5(h5.path());
        } catch (const H5Failure& e) {
            throw QrnError(h5Message(result.h5Path, e), kWriteErrorTitle);
        }
        if (!xdmf::syncToDisk(h5.path()))
            throw QrnError(saveFailure(result.h5Path, kCannotWrite), kWriteErrorTitle);
        writeText(text.path(), result.xdmfPath, QFileInfo(result.h5Path).fileName());
        xdmf::replacePair(h5, text);

        result.steps = steps_.count;
        result.points = static_cast<std::int64_t>(grid_.points());
        result.cells = static_cast<std::int64_t>(grid_.cellCount());
        result.bytes = static_cast<std::uint64_t>(QFileInfo(result.h5Path).size() +
                                                  QFileInfo(result.xdmfPath).size());
        progress_.progress(1.0);
        return result;
    }

  private:
    static QString h5Message(const QString& target, const H5Failure& e) {
        switch (e.kind()) {
            case H5Failure::Create:
                return saveFailure(target, kCannotCreate);
            case H5Failure::NoFilter:
                return saveFailure(
                    target,
                    QStringLiteral("HDF5ライブラリに圧縮（gzip, shuffle）の機能がありません。"
                                   "圧縮なしで出力してください。"));
            case H5Failure::Write:
                break;
        }
        return saveFailure(target, kCannotWrite);
    }

    void writeH5(const QString& path) {
        H5File f(path, r_.compress);
        const auto P = static_cast<hsize_t>(grid_.points());
        const auto C = static_cast<hsize_t>(grid_.cellCount());
        const auto S = static_cast<hsize_t>(steps_.count);

        // Groups made explicitly, without modification times: the same
        // analysis exports to the same bytes.
        for (const char* g : {"/points", "/cells", "/time", "/steps", "/tension", "/beam", "/all"})
            f.createGroup(g);
        f.attribute("/", "generator", QStringLiteral("qrnview"));
        f.attribute("/", "layout_version", std::int32_t{1});
        f.attribute("/", "interval", dt_);
        f.attribute("/", "beam_slot", std::int32_t{d_.CableMax + 1});

        f.write("/points/rest_positions", {P, 3}, grid_.rest.data(), kStaticChunkBytes);
        f.write("/points/rest_theta", {P}, grid_.restTheta.data(), kStaticChunkBytes);
        f.write("/points/node_numbers", {P}, grid_.number.data(), kStaticChunkBytes);
        f.write("/points/slots", {P}, grid_.slot.data(), kStaticChunkBytes);
        f.write("/points/indexes", {P}, grid_.index.data(), kStaticChunkBytes);
        f.write("/cells/connectivity", {C, 2}, grid_.cells.data(), kStaticChunkBytes);
        f.write("/cells/slots", {C}, grid_.cellSlot.data(), kStaticChunkBytes);

        std::vector<double> times(S);
        std::vector<std::int32_t> stored(S);
        for (std::int64_t i = 0; i < steps_.count; ++i) {
            times[static_cast<std::size_t>(i)] = dt_ * static_cast<double>(steps_.at(i));
            stored[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(steps_.at(i));
        }
        f.write("/time/values", {S}, times.data(), kStaticChunkBytes);
        f.write("/time/steps", {S}, stored.data(), kStaticChunkBytes);

        std::vector<float> pos(P * 3), disp(P * 3), theta(P);
        const std::int32_t* src = d_.NodeDisp.data();
        const auto compStride = static_cast<std::size_t>(d_.NodeDisp.stride(1));
        const auto stepStride = static_cast<std::size_t>(d_.NodeDisp.stride(3));
        constexpr double kThetaDegrees = kDegreesPerRadian / kStorageScale;
        // Points visited in NodeDisp's memory order (slot fastest), so that the
        // slots of one node index share their cache lines.
        std::vector<std::uint32_t> order(P);
        for (std::uint32_t p = 0; p < P; ++p) order[p] = p;
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return grid_.dispBase[a] < grid_.dispBase[b];
        });
        for (std::int64_t i = 0; i < steps_.count; ++i) {
            if (progress_.cancelRequested()) throw Cancelled();
            const std::int32_t* step =
                src + static_cast<std::size_t>(steps_.at(i) - d_.NodeDisp.lo(3)) * stepStride;
            for (const std::uint32_t p : order) {
                const std::int32_t* v = step + grid_.dispBase[p];
                const double* rest = &grid_.rest[std::size_t{p} * 3];
                float* dp = &disp[std::size_t{p} * 3];
                float* pp = &pos[std::size_t{p} * 3];
                for (std::size_t a = 0; a < 3; ++a) {
                    const double mm = static_cast<double>(v[a * compStride]);
                    dp[a] = static_cast<float>(mm);
                    pp[a] = static_cast<float>(rest[a] + mm / kStorageScale);
                }
                theta[p] =
                    static_cast<float>(static_cast<double>(v[3 * compStride]) * kThetaDegrees);
            }
            const std::string group = stepGroup(i).toStdString();
            f.createGroup(group.c_str());
            f.write((group + "/positions").c_str(), {P, 3}, pos.data(), kStepChunkBytes);
            f.write((group + "/displacement").c_str(), {P, 3}, disp.data(), kStepChunkBytes);
            f.write((group + "/theta").c_str(), {P}, theta.data(), kStepChunkBytes);
            progress_.progress(0.95 * static_cast<double>(i + 1) / static_cast<double>(S));
        }

        std::vector<std::int32_t> elems(static_cast<std::size_t>(tensions_));
        for (std::int64_t r = 0; r < tensions_; ++r)
            elems[static_cast<std::size_t>(r)] = d_.TensionElem(r);
        f.write("/tension/elements", {static_cast<hsize_t>(tensions_)}, elems.data(),
                kStaticChunkBytes);
        writeHistory(f, "/tension/values", d_.TensionHist, tensions_, steps_);

        std::vector<std::int32_t> beamElems(static_cast<std::size_t>(beams_));
        std::vector<std::int32_t> beamDigits(static_cast<std::size_t>(beams_));
        for (std::int64_t b = 0; b < beams_; ++b) {
            beamElems[static_cast<std::size_t>(b)] = d_.BeamRecInfo(0, b);
            beamDigits[static_cast<std::size_t>(b)] = d_.BeamRecInfo(1, b);
        }
        f.write("/beam/elements", {static_cast<hsize_t>(beams_)}, beamElems.data(),
                kStaticChunkBytes);
        f.write("/beam/components", {static_cast<hsize_t>(beams_)}, beamDigits.data(),
                kStaticChunkBytes);
        writeHistory(f, "/beam/values", d_.BeamHist, beams_, steps_);

        f.writeVirtual<float>("/all/positions", {P, 3}, S, "/steps/%b/positions");
        f.writeVirtual<float>("/all/displacement", {P, 3}, S, "/steps/%b/displacement");
        f.writeVirtual<float>("/all/theta", {P}, S, "/steps/%b/theta");
        f.close();
    }

    void writeText(const QString& path, const QString& target, const QString& h5Name) {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw QrnError(saveFailure(target, kCannotCreate), kWriteErrorTitle);
        writeXdmfText(out, grid_, steps_, dt_, h5Name);
        const bool written = out.error() == QFileDevice::NoError && out.flush();
        out.close();
        if (!written || out.error() != QFileDevice::NoError || !xdmf::syncToDisk(path))
            throw QrnError(saveFailure(target, kCannotWrite), kWriteErrorTitle);
    }

    const Dataset& d_;
    const XdmfRequest& r_;
    Progress& progress_;
    CsvSteps steps_;
    double dt_ = 0.1;
    Grid grid_;
    std::int64_t tensions_ = 0;
    std::int64_t beams_ = 0;
};

// The HDF5 library of most builds is not thread-safe: one export at a time.
std::mutex& h5Mutex() {
    static std::mutex m;
    return m;
}

}  // namespace

QString xdmfDataPath(const QString& xdmfPath) {
    const qsizetype slash =
        std::max(xdmfPath.lastIndexOf(QLatin1Char('/')), xdmfPath.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = xdmfPath.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > slash + 1 ? xdmfPath.left(dot) : xdmfPath;
    return base + QStringLiteral(".h5");
}

XdmfResult writeXdmf(const Dataset& data, const XdmfRequest& request, Progress& progress) {
    const std::lock_guard<std::mutex> lock(h5Mutex());
    return Export(data, request, progress).run();
}

}  // namespace qrn
