#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <tuple>

#include "files/datafile.h"

using qrn::Bounds;
using qrn::Dataset;

namespace {

// Records what an operation reports while it runs, then what the main window
// applies from its outcome, in the window's order.
struct RecordingHost : qrn::Progress {
    QStringList calls;
    QString title, text, interval;
    void message(const QString& t, const QString& m) override {
        calls << "message";
        title = t;
        text = m;
    }
    void stage(const QString& c) override { calls << "stage " + c; }
    void applied(const qrn::WindowOutcome& o) {
        if (o.intervalText) {
            calls << "interval " + *o.intervalText;
            interval = *o.intervalText;
        }
        if (o.saveExportAllowed) calls << QString("modes23 %1").arg(*o.saveExportAllowed);
        if (o.dataReady) calls << QString("ready %1").arg(*o.dataReady);
        if (o.refreshFileList) calls << "refresh";
        if (o.openViewer) calls << QString("viewer %1").arg(o.resetViewerTime);
        for (const qrn::Notice& n : o.notices) message(n.title, n.text);
    }
};

bool saveWith(const Dataset& d, const qrn::SaveRequest& r, RecordingHost& host) {
    const qrn::SaveResult result = qrn::DataSave(d, r, host);
    host.applied(result.outcome);
    return result.saved;
}

// Little-endian bytes written value by value, independent of the code under test.
struct Bytes {
    QByteArray b;
    void i16(std::int64_t v) {
        for (int i = 0; i < 2; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xff));
    }
    void i32(std::int64_t v) {
        for (int i = 0; i < 4; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xff));
    }
    void f32(float f) { i32(std::bit_cast<std::uint32_t>(f)); }
};

// A small dataset with a distinct value in every element. NodeDisp values are
// wide (beyond 16 bits) and some floats are negative zero or NaN with a payload,
// so a round trip proves the bits survive.
Dataset sample(int cableMax, int nodeMax, int stepCount, int tensionMax, int beamElemMax,
               int beamRecCount) {
    Dataset d;
    d.CableMax = cableMax;
    d.NodeMax = nodeMax;
    d.StepCount = stepCount;
    d.StepMax = stepCount;
    d.HeadSpare = -7;
    d.FirstNode = 1;
    d.LastNode = nodeMax;
    d.TensionMax = tensionMax;
    d.BeamElemMax = beamElemMax;
    d.BeamNodeMax = beamElemMax >= 0 ? 0 : -1;
    d.BeamRecCount = beamRecCount;
    const std::int64_t slot = cableMax + 1, T = stepCount + 1;
    d.CableInfo.create({Bounds{0, 1}, Bounds{0, cableMax}});
    for (int s = 0; s <= cableMax; ++s) {
        d.CableInfo(0, s) = 100000 + s;
        d.CableInfo(1, s) = nodeMax;
    }
    d.NodeTblMax = -1;
    d.NodeTbl.create({Bounds{0, 2}, Bounds{0, (cableMax + 2) * (nodeMax + 1) - 1}});
    for (std::int64_t s = 0; s <= slot; ++s)
        for (int n = 0; n <= nodeMax; ++n) {
            ++d.NodeTblMax;
            d.NodeTbl(0, d.NodeTblMax) = static_cast<std::int32_t>(70000 + 100 * s + n);
            d.NodeTbl(1, d.NodeTblMax) = static_cast<std::int32_t>(s);
            d.NodeTbl(2, d.NodeTblMax) = n;
        }
    if (beamElemMax >= 0) {
        d.BeamElem.create({Bounds{0, 1}, Bounds{0, 1}, Bounds{0, beamElemMax}});
        for (int b = 0; b <= beamElemMax; ++b) {
            d.BeamElem(0, 0, b) = static_cast<std::int32_t>(b % (slot + 1));
            d.BeamElem(0, 1, b) = b % (nodeMax + 1);
            d.BeamElem(1, 0, b) = static_cast<std::int32_t>(slot);
            d.BeamElem(1, 1, b) = 0;
        }
    }
    d.NodeDisp.create({Bounds{0, slot}, Bounds{-1, 2}, Bounds{0, nodeMax}, Bounds{0, T}});
    for (std::size_t i = 0; i < d.NodeDisp.size(); ++i)
        d.NodeDisp.data()[i] = static_cast<std::int32_t>(i * 2654435761u);
    d.TensionElem.create({Bounds{0, tensionMax}});
    for (int r = 0; r <= tensionMax; ++r) d.TensionElem(r) = 50000 + r;
    d.TensionHist.create({Bounds{0, T}, Bounds{0, tensionMax}});
    for (std::size_t i = 0; i < d.TensionHist.size(); ++i)
        d.TensionHist.data()[i] = static_cast<std::int16_t>(i * 977 - 20000);
    d.NodePos.create({Bounds{0, slot}, Bounds{0, 2}, Bounds{0, nodeMax}});
    for (std::size_t i = 0; i < d.NodePos.size(); ++i)
        d.NodePos.data()[i] = static_cast<float>(i) * 0.1f - 3.3f;
    d.NodePos.data()[0] = -0.0f;
    d.NodeTwist0.create({Bounds{0, slot}, Bounds{0, nodeMax}});
    for (std::size_t i = 0; i < d.NodeTwist0.size(); ++i)
        d.NodeTwist0.data()[i] = static_cast<float>(i) * -1.5f;
    d.NodeTwist0.data()[0] = std::bit_cast<float>(0x7fc12345u);
    if (beamRecCount > 0) {
        d.BeamRecInfo.create({Bounds{0, 1}, Bounds{0, beamRecCount - 1}});
        d.BeamHist.create({Bounds{0, T}, Bounds{0, beamRecCount - 1}});
        for (int r = 0; r < beamRecCount; ++r) {
            d.BeamRecInfo(0, r) = 30000 + r;
            d.BeamRecInfo(1, r) = r % 6;
        }
        for (std::size_t i = 0; i < d.BeamHist.size(); ++i)
            d.BeamHist.data()[i] = static_cast<std::int16_t>(-static_cast<int>(i) * 3);
    }
    d.trimNodeTable();
    return d;
}

void expectSame(const Dataset& a, const Dataset& b) {
    EXPECT_EQ(a.StepMax, b.StepMax);
    EXPECT_EQ(a.HeadSpare, b.HeadSpare);
    EXPECT_EQ(a.CableMax, b.CableMax);
    EXPECT_EQ(a.NodeTblMax, b.NodeTblMax);
    EXPECT_EQ(a.FirstNode, b.FirstNode);
    EXPECT_EQ(a.LastNode, b.LastNode);
    EXPECT_EQ(a.BeamElemMax, b.BeamElemMax);
    EXPECT_EQ(a.BeamNodeMax, b.BeamNodeMax);
    EXPECT_EQ(a.NodeMax, b.NodeMax);
    EXPECT_EQ(a.StepCount, b.StepCount);
    EXPECT_EQ(a.TensionMax, b.TensionMax);
    EXPECT_EQ(a.BeamRecCount, b.BeamRecCount);
    EXPECT_EQ(a.DirPath, b.DirPath);
    EXPECT_TRUE(a.CableInfo == b.CableInfo);
    EXPECT_TRUE(a.NodeTbl == b.NodeTbl);
    EXPECT_TRUE(a.BeamElem == b.BeamElem);
    EXPECT_TRUE(a.NodeDisp == b.NodeDisp);
    EXPECT_TRUE(a.TensionElem == b.TensionElem);
    EXPECT_TRUE(a.TensionHist == b.TensionHist);
    EXPECT_TRUE(a.NodePos == b.NodePos);
    EXPECT_TRUE(a.NodeTwist0 == b.NodeTwist0);
    EXPECT_TRUE(a.BeamRecInfo == b.BeamRecInfo);
    EXPECT_TRUE(a.BeamHist == b.BeamHist);
}

class DataFile : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
    void put(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray get(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    qrn::SaveRequest saveTo(const QString& name, const QString& interval = "0.05") const {
        return {path(name), name, "", dir.path() + "/", interval};
    }
    // Loads `name` into a dataset prefilled with `before`; returns the host.
    RecordingHost load(const QString& name, Dataset& into) const {
        RecordingHost host;
        host.applied(qrn::DataLood(into, {path(name), name, false}, host).outcome);
        return host;
    }
};

TEST_F(DataFile, WritesTheCurrentLayoutByteForByte) {
    Dataset d = sample(0, 1, 0, 1, 0, 1);
    RecordingHost host;
    ASSERT_TRUE(saveWith(d, saveTo("a.qrn3"), host));
    EXPECT_EQ(host.calls, QStringList({"stage データ保存中", "ready 1", "refresh"}));

    Bytes e;
    e.i16(d.StepMax);
    e.i16(-7);
    e.i16(0);
    e.i32(100000), e.i32(1);  // CableInfo (0,0), (1,0)
    e.i16(3);                 // NodeTblMax: 2 slots x 2 nodes
    for (int s = 0; s <= 1; ++s)
        for (int n = 0; n <= 1; ++n) e.i32(70000 + 100 * s + n), e.i32(s), e.i32(n);
    e.i16(1), e.i16(1);                      // FirstNode, LastNode
    e.i16(0);                                // BeamElemMax
    e.i16(0), e.i16(1), e.i16(0), e.i16(0);  // BeamElem, first index fastest
    e.i16(0), e.i16(5), e.i16(1), e.i16(0);  // BeamNodeMax, interval, NodeMax, StepCount
    for (std::uint32_t i = 0; i < 2 * 4 * 2 * 2; ++i)
        e.i32(static_cast<std::int32_t>(i * 2654435761u));
    e.i16(1), e.i32(50000), e.i32(50001);
    for (int i = 0; i < 4; ++i) e.i16(i * 977 - 20000);
    e.f32(-0.0f);
    for (int i = 1; i < 12; ++i) e.f32(static_cast<float>(i) * 0.1f - 3.3f);
    e.i16(1), e.i16(30000), e.i16(0), e.i16(0), e.i16(-3);
    e.i32(0x7fc12345);
    for (int i = 1; i < 4; ++i) e.f32(static_cast<float>(i) * -1.5f);
    EXPECT_EQ(get("a.qrn3").toHex(), e.b.toHex());
}

TEST_F(DataFile, RoundTripKeepsEveryBit) {
    struct Case {
        int cables, nodes, steps, tensions, beams, beamRecs;
    };
    const Case cases[] = {
        {0, 0, 0, 0, -1, 0}, {2, 5, 9, 3, 4, 2}, {4, 1, 30, 0, -1, 5}, {1, 12, 3, 7, 0, 0}};
    for (const Case& c : cases) {
        Dataset d = sample(c.cables, c.nodes, c.steps, c.tensions, c.beams, c.beamRecs);
        d.DirPath = "/kept/";
        RecordingHost save;
        ASSERT_TRUE(saveWith(d, saveTo("r.qrn3"), save)) << save.text.toStdString();
        Dataset back;
        back.DirPath = "/kept/";
        const RecordingHost host = load("r.qrn3", back);
        EXPECT_EQ(host.calls, QStringList({"stage データ読込中", "interval 0.05", "modes23 1",
                                           "ready 1", "viewer 1"}));
        expectSame(back, d);
        std::int32_t slot = -1, index = -1;
        back.NodeCHK(70000 + 100 * (c.cables + 1), slot, index);  // lookups see the new table
        EXPECT_EQ(slot, c.cables + 1);
        EXPECT_EQ(index, 0);
    }
}

TEST_F(DataFile, LargeArraysRoundTripAndCutOnesFail) {
    // NodeDisp of 68 MB: more than one piece of the chunked bulk read.
    const Dataset d = sample(8, 249, 1700, 0, -1, 0);
    ASSERT_GE(d.NodeDisp.bytes(), std::size_t{64} << 20);
    RecordingHost save;
    ASSERT_TRUE(saveWith(d, saveTo("big.qrn3"), save));
    Dataset back;
    ASSERT_TRUE(load("big.qrn3", back).text.isEmpty());
    EXPECT_TRUE(back.NodeDisp == d.NodeDisp);
    EXPECT_TRUE(back.NodeTwist0 == d.NodeTwist0);

    QFile f(path("big.qrn3"));
    ASSERT_TRUE(f.resize(f.size() / 2));
    Dataset kept = d;
    EXPECT_EQ(load("big.qrn3", kept).title, "ファイル読み込みエラー");
    EXPECT_TRUE(kept.NodeDisp == d.NodeDisp);
}

TEST_F(DataFile, IntervalIsStoredInHundredths) {
    const std::pair<const char*, const char*> cases[] = {
        {"0.05", "0.05"}, {"0.125", "0.12"}, {"0.004", "0"},      {" 2.5ms", "2.5"},
        {"abc", "0"},     {"-0.3", "-0.3"},  {"327.67", "327.67"}};
    const Dataset d = sample(0, 0, 0, 0, -1, 0);
    for (const auto& [text, shown] : cases) {
        RecordingHost save;
        ASSERT_TRUE(saveWith(d, saveTo("i.qrn3", text), save)) << text;
        Dataset back;
        EXPECT_EQ(load("i.qrn3", back).interval, shown) << text;
    }
    RecordingHost host;
    EXPECT_FALSE(saveWith(d, saveTo("big.qrn3", "400"), host));
    EXPECT_EQ(host.title, "ファイル書き込みエラー");
    EXPECT_FALSE(QFile::exists(path("big.qrn3")));
}

TEST_F(DataFile, GenerationComesFromTheNameAlone) {
    using G = qrn::DataFileGeneration;
    using K = qrn::FileKind;
    const std::tuple<const char*, G, K, int> cases[] = {
        {"x.qrn", G::A, K::DataFile, 0},     {"X.QRN", G::A, K::DataFile, 0},
        {"a.qrn0", G::G0, K::DataFile, 0},   {"b.Qrn1", G::G1, K::DataFile, 1},
        {"run.QRN2", G::G2, K::DataFile, 2}, {"c.qrn3", G::G3, K::DataFile, 3},
        {"R.QRN3", G::G3, K::DataFile, 3},   {"r.qrn4", G::G3, K::Other, 4},
        {"c.dat", G::G3, K::Settings, 0},    {"qrn", G::G3, K::Other, 0},
        {"run.qrnx", G::G3, K::Other, 0},    {"out.bin5", G::G3, K::Other, 5}};
    for (const auto& [name, gen, kind, level] : cases) {
        const qrn::FileFormat f = qrn::fileFormatOf(QString::fromUtf8(name));
        EXPECT_EQ(f.generation, gen) << name;
        EXPECT_EQ(f.kind, kind) << name;
        EXPECT_EQ(f.tensionLevel, level) << name;
    }
}

// The common tail of every older generation after StepCount, with one cable
// slot, NodeMax 1, StepCount 0: 2 x 4 x 2 x 2 = 32 NodeDisp values.
void oldTail(Bytes& e, bool wideDisp, int tensionWidth, bool twist) {
    for (int i = 0; i < 32; ++i) wideDisp ? e.i32(i - 16) : e.i16(i - 16);
    if (tensionWidth == 2) e.i16(1), e.i16(901), e.i16(-902);  // TensionMax, TensionElem
    for (int i = 0; i < 2 * (tensionWidth ? 2 : 1); ++i) e.i16(10 + i);
    for (int i = 0; i < 12; ++i) e.f32(static_cast<float>(i) + 0.5f);
    e.i16(1), e.i16(205), e.i16(2), e.i16(-8), e.i16(9);  // one beam record
    if (twist)
        for (int i = 0; i < 4; ++i) e.f32(static_cast<float>(i) * 0.25f);
}

void expectOldTail(const Dataset& d, bool twist) {
    EXPECT_EQ(d.NodeMax, 1);
    EXPECT_EQ(d.StepCount, 0);
    ASSERT_EQ(d.NodeDisp.size(), 32u);
    EXPECT_EQ(d.NodeDisp(0, -1, 0, 0), -16);
    EXPECT_EQ(d.NodeDisp(1, 2, 1, 1), 15);
    EXPECT_EQ(d.NodeDisp(1, -1, 0, 0), -15);  // first index fastest
    EXPECT_FLOAT_EQ(d.NodePos(1, 2, 1), 11.5f);
    EXPECT_EQ(d.BeamRecCount, 1);
    EXPECT_EQ(d.BeamRecInfo(0, 0), 205);
    EXPECT_EQ(d.BeamHist(1, 0), 9);
    EXPECT_FLOAT_EQ(d.NodeTwist0(1, 1), twist ? 0.75f : 0.0f);
}

TEST_F(DataFile, ReadsGenerationAWithLegacyBlocks) {
    Bytes e;
    e.i16(1), e.i16(0);
    for (int c = 0; c <= 2; ++c)  // legacy node block: row fastest
        for (int r = 0; r < 501; ++r)
            e.i16(r <= 3 ? (c == 0 ? 11 + r : c == 1 ? r / 2 : r % 2) : 99);
    e.i16(0);                                   // CableMax
    for (int i = 0; i < 12; ++i) e.i16(i + 1);  // legacy cable block: (0,0) = 1, (1,0) = 2
    e.i16(3), e.i16(0), e.i16(1);               // NodeTblMax, FirstNode, LastNode
    for (int b = 0; b < 81; ++b) e.i16(b == 1), e.i16(1), e.i16(0), e.i16(1);  // fixed beams
    e.i16(1), e.i16(0), e.i16(5), e.i16(1), e.i16(0);  // BeamElemMax, BeamNodeMax, interval
    // Cable element count 2 would exceed NodeMax 1: the legacy block says 2 in (1,0).
    Bytes bad = e;
    oldTail(e, false, 0, false);  // int16 NodeDisp, no tension table, no NodeTwist0
    QByteArray bytes = e.b;
    bytes[2 + 2 + 3006 + 2 + 2] = 1;  // CableInfo(1,0) := 1
    put("old.qrn", bytes);
    Dataset d;
    const RecordingHost host = load("old.qrn", d);
    ASSERT_TRUE(host.text.isEmpty()) << host.text.toStdString();
    EXPECT_EQ(host.interval, "0.05");
    EXPECT_EQ(d.CableInfo(0, 0), 1);
    EXPECT_EQ(d.CableInfo(1, 0), 1);
    EXPECT_EQ(d.NodeTblMax, 3);
    EXPECT_EQ(d.NodeTbl(0, 2), 13);
    EXPECT_EQ(d.NodeTbl(1, 2), 1);
    EXPECT_EQ(d.NodeTbl(2, 3), 1);
    EXPECT_EQ(d.BeamElemMax, 1);
    EXPECT_EQ(d.BeamElem.size(), 8u);
    EXPECT_EQ(d.BeamElem(0, 0, 1), 1);
    EXPECT_EQ(d.BeamElem(1, 0, 1), 1);
    EXPECT_EQ(d.BeamElem(0, 1, 1), 0);
    EXPECT_EQ(d.BeamElem(1, 1, 1), 1);
    EXPECT_EQ(d.TensionMax, 0);
    ASSERT_EQ(d.TensionElem.size(), 1u);
    EXPECT_EQ(d.TensionHist(1, 0), 11);
    expectOldTail(d, false);

    // The unpatched block fails the element-count check.
    oldTail(bad, false, 0, false);
    put("bad.qrn", bad.b);
    Dataset keep;
    EXPECT_FALSE(load("bad.qrn", keep).text.isEmpty());
}

TEST_F(DataFile, ReadsGenerations0To2) {
    for (const char* name : {"g.qrn0", "g.qrn1", "run.QRN2"}) {
        const auto gen = qrn::fileFormatOf(QString::fromUtf8(name)).generation;
        const bool legacy = gen == qrn::DataFileGeneration::G0;
        const bool g2 = gen == qrn::DataFileGeneration::G2;
        Bytes e;
        e.i16(1), e.i16(4);
        if (legacy)
            for (int c = 0; c <= 2; ++c)
                for (int r = 0; r < 501; ++r) e.i16(r == 1 ? (c == 0 ? 77 : c == 1 ? 1 : 1) : 0);
        e.i16(0);
        if (legacy)
            for (int i = 0; i < 12; ++i) e.i16(i == 0 ? 66 : 1);
        else
            e.i16(66), e.i16(1);
        e.i16(1);
        if (!legacy) e.i16(0), e.i16(0), e.i16(0), e.i16(77), e.i16(1), e.i16(1);
        e.i16(0), e.i16(1);
        e.i16(0), e.i16(1), e.i16(0), e.i16(1), e.i16(1);  // BeamElemMax 0 and its 4 values
        e.i16(0), e.i16(12), e.i16(1), e.i16(0);
        oldTail(e, true, g2 ? 2 : 0, true);
        put(name, e.b);
        Dataset d;
        const RecordingHost host = load(name, d);
        ASSERT_TRUE(host.text.isEmpty()) << name << host.text.toStdString();
        EXPECT_EQ(host.interval, "0.12");
        EXPECT_EQ(d.HeadSpare, 4);
        EXPECT_EQ(d.CableInfo(0, 0), 66);
        EXPECT_EQ(d.NodeTbl(0, 1), 77);
        EXPECT_EQ(d.NodeTbl(2, 1), 1);
        EXPECT_EQ(d.BeamElem(1, 1, 0), 1);
        EXPECT_EQ(d.TensionMax, g2 ? 1 : 0);
        EXPECT_EQ(d.TensionElem(0), g2 ? 901 : 0);
        if (g2) {
            EXPECT_EQ(d.TensionElem(1), -902);
        }
        EXPECT_EQ(d.TensionHist(1, 0), 11);
        if (g2) {
            EXPECT_EQ(d.TensionHist(0, 1), 12);
        }
        expectOldTail(d, true);
    }
}

TEST_F(DataFile, BadFilesLeaveTheDatasetAsItWas) {
    Dataset good = sample(1, 2, 3, 1, 1, 1);
    for (std::size_t i = 0; i < good.NodeDisp.size(); ++i) good.NodeDisp.data()[i] = -1;
    RecordingHost save;
    ASSERT_TRUE(saveWith(good, saveTo("g.qrn3"), save));
    const QByteArray valid = get("g.qrn3");
    const int twistBytes = 3 * 3 * 4;

    // Offsets in the file of sample(1, 2, 3, 1, 1, 1): 9 node-table entries.
    const int cableMaxAt = 4, nodeTblAt = 4 + 2 + 16 + 2, beamAt = nodeTblAt + 9 * 12 + 4 + 2;
    const int nodeMaxAt = beamAt + 16 + 4, stepCountAt = nodeMaxAt + 2;
    struct Patch {
        const char* what;
        int at;
        std::int16_t value;
    };
    const Patch patches[] = {
        {"negative CableMax", cableMaxAt, -1},    {"slot out of range", nodeTblAt + 12 * 4 + 4, 3},
        {"index out of range", nodeTblAt + 8, 3}, {"beam outside", beamAt + 2, 3},
        {"negative NodeMax", nodeMaxAt, -1},      {"huge StepCount", stepCountAt, 32767},
        {"StepMax past the end", 0, 5},
    };
    const Dataset before = sample(0, 0, 0, 0, -1, 0);
    auto expectRefused = [&](const QString& name, const std::string& what) {
        Dataset d = before;
        const RecordingHost host = load(name, d);
        EXPECT_EQ(host.title, "ファイル読み込みエラー") << what;
        EXPECT_TRUE(host.text.contains(path(name))) << what;
        EXPECT_FALSE(host.calls.contains("ready 1")) << what;
        EXPECT_FALSE(host.calls.contains("viewer 1")) << what;
        expectSame(d, before);
    };
    for (const Patch& p : patches) {
        QByteArray b = valid;
        b[p.at] = static_cast<char>(p.value & 0xff);
        b[p.at + 1] = static_cast<char>((p.value >> 8) & 0xff);
        put("p.qrn3", b);
        expectRefused("p.qrn3", p.what);
    }
    // Every cut before NodeTwist0 is an error; a cut inside it loads with zero twist.
    for (int len = 0; len < valid.size(); ++len) {
        put("t.qrn3", valid.left(len));
        if (len < valid.size() - twistBytes) {
            expectRefused("t.qrn3", "cut at " + std::to_string(len));
        } else {
            Dataset d;
            ASSERT_TRUE(load("t.qrn3", d).text.isEmpty()) << len;
            EXPECT_TRUE(d.NodeDisp == good.NodeDisp);
            EXPECT_EQ(d.NodeTwist0(2, 2), 0.0f);
        }
    }
    // Legacy counts beyond their fixed blocks.
    const std::tuple<const char*, int, int> legacyCases[] = {
        {"l.qrn0", 3010, 6}, {"l.qrn0", 3036, 501}, {"l.qrn", 3690, 81}};
    for (const auto& [name, at, value] : legacyCases) {
        QByteArray b(20000, '\0');
        b[at] = static_cast<char>(value & 0xff);
        b[at + 1] = static_cast<char>(value >> 8);
        put(name, b);
        expectRefused(name, std::to_string(at));
    }
    expectRefused("missing.qrn3", "missing");
}

TEST_F(DataFile, SaveReplacesTheSelectedFileOnlyAfterWriting) {
    const Dataset d = sample(1, 1, 1, 0, -1, 0);
    put("x.qrn1", "old data");
    // Unwritable output: nothing is touched.
    qrn::SaveRequest r{path("nofolder/x.qrn3"), "x.qrn1", "x.qrn1", dir.path() + "/", "0.05"};
    RecordingHost fail;
    EXPECT_FALSE(saveWith(d, r, fail));
    EXPECT_EQ(fail.title, "ファイル書き込みエラー");
    EXPECT_TRUE(fail.text.contains("nofolder"));
    EXPECT_FALSE(fail.calls.contains("refresh"));
    EXPECT_EQ(get("x.qrn1"), "old data");
    // A directory in the way of the output.
    QDir(dir.path()).mkdir("d.qrn3");
    r.outputPath = path("d.qrn3");
    EXPECT_FALSE(saveWith(d, r, fail));
    EXPECT_EQ(get("x.qrn1"), "old data");

    // The output name differs from the selected name: the selected file stays.
    r.outputPath = path("x.qrn3");
    r.outputText = "y";
    RecordingHost ok;
    ASSERT_TRUE(saveWith(d, r, ok));
    EXPECT_EQ(get("x.qrn1"), "old data");
    // Same name: the new file is written, then the selected one goes.
    r.outputText = "x.qrn1";
    ASSERT_TRUE(saveWith(d, r, ok));
    EXPECT_FALSE(QFile::exists(path("x.qrn1")));
    // Selected file is the output itself: replaced in place, not deleted.
    r.selectedName = r.outputText = "x.qrn3";
    put("x.qrn3", "stale");
    ASSERT_TRUE(saveWith(d, r, ok));
    Dataset back;
    ASSERT_TRUE(load("x.qrn3", back).text.isEmpty());
    expectSame(back, d);
}

TEST_F(DataFile, RefusesWhatWouldNotReadBack) {
    Dataset steps = sample(0, 0, 0, 0, -1, 0);
    steps.StepCount = 40000;
    steps.NodeDisp.create({Bounds{0, 1}, Bounds{-1, 2}, Bounds{0, 0}, Bounds{0, 40001}});
    steps.TensionHist.create({Bounds{0, 40001}, Bounds{0, 0}});
    Dataset beamNo = sample(0, 0, 0, 0, -1, 2);
    beamNo.BeamRecInfo(0, 1) = 40000;
    Dataset loose = sample(1, 1, 1, 0, -1, 0);
    loose.NodeTbl.resizeKeep({Bounds{0, 2}, Bounds{0, loose.NodeTblMax + 5}});
    Dataset shortDisp = sample(1, 1, 1, 0, -1, 0);
    shortDisp.NodeDisp.resizeKeep({Bounds{0, 2}, Bounds{-1, 2}, Bounds{0, 1}, Bounds{0, 1}});
    const std::pair<const Dataset*, const char*> cases[] = {
        {&steps, "StepCount"}, {&beamNo, "40000"}, {&loose, "NodeTbl"}, {&shortDisp, "NodeDisp"}};
    put("keep.qrn3", "previous");
    for (const auto& [data, word] : cases) {
        RecordingHost host;
        qrn::SaveRequest r = saveTo("keep.qrn3");
        r.selectedName = "keep.qrn3";
        EXPECT_FALSE(saveWith(*data, r, host)) << word;
        EXPECT_TRUE(host.text.contains(word)) << host.text.toStdString();
        EXPECT_EQ(get("keep.qrn3"), "previous");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }
}

TEST_F(DataFile, ConvertWritesTheCurrentGenerationWhateverTheName) {
    Dataset d = sample(2, 3, 4, 2, 1, 1);
    qrn::NullProgress progress;
    ASSERT_TRUE(qrn::SaveDataFileAs(d, path("in.qrn3"), "0.125", progress).saved);
    Dataset mem;
    const qrn::SaveResult converted =
        qrn::ConvertDataFile(mem, path("in.qrn3"), path("out.bin"), progress);
    ASSERT_TRUE(converted.saved);
    EXPECT_EQ(converted.outcome.intervalText, QStringLiteral("0.12"));
    EXPECT_EQ(get("out.bin"), get("in.qrn3"));
    expectSame(mem, d);
    const qrn::SaveResult missing =
        qrn::ConvertDataFile(mem, path("none.qrn3"), path("o.qrn3"), progress);
    EXPECT_FALSE(missing.saved);
    ASSERT_EQ(missing.outcome.notices.size(), 1u);
    EXPECT_TRUE(missing.outcome.notices[0].text.contains(path("none.qrn3")));
    EXPECT_FALSE(QFile::exists(path("o.qrn3")));
}

TEST_F(DataFile, ReadyDataOnlyReopensTheViewer) {
    const Dataset before = sample(0, 0, 0, 0, -1, 0);
    Dataset d = before;
    RecordingHost host;
    const qrn::LoadResult r = qrn::DataLood(d, {path("absent.qrn3"), "absent.qrn3", true}, host);
    host.applied(r.outcome);
    EXPECT_TRUE(r.ready);
    EXPECT_EQ(host.calls, QStringList({"viewer 0"}));
    expectSame(d, before);
}

}  // namespace
