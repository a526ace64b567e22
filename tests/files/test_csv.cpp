#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>

#include "dataset/error.h"
#include "files/csvexport.h"

using namespace qrn;

namespace {

const QString kDt = QStringLiteral("0.05");

// Cable slot 0 with nodes 101, 102, 103; beam slot 1 with node 201 and a second
// entry of node 103 (a branch). Histories over steps 0..6 (StepCount 5).
Dataset makeDataset() {
    Dataset d;
    d.CableMax = 0;
    d.NodeMax = 2;
    d.StepCount = 5;
    d.StepMax = 4;
    const std::int32_t table[5][3] = {
        {101, 0, 0}, {102, 0, 1}, {103, 0, 2}, {201, 1, 0}, {103, 1, 1}};
    d.NodeTblMax = 4;
    d.NodeTbl.create({Bounds{0, 2}, Bounds{0, 4}});
    for (int j = 0; j < 5; ++j)
        for (int c = 0; c < 3; ++c) d.NodeTbl(c, j) = table[j][c];
    d.NodeDisp.create({Bounds{0, 1}, Bounds{-1, 2}, Bounds{0, 2}, Bounds{0, 6}});
    d.NodePos.create({Bounds{0, 1}, Bounds{0, 2}, Bounds{0, 2}});
    d.NodeTwist0.create({Bounds{0, 1}, Bounds{0, 2}});
    struct V {
        int slot, comp, index, step, value;
    };
    const V disp[] = {
        // node 102 (0, 1): x, y, z, torsion at steps 0, 2, 4 (and 3)
        {0, -1, 1, 2, 1500},
        {0, -1, 1, 4, -250},
        {0, 0, 1, 2, 20},
        {0, 0, 1, 4, -3},
        {0, 0, 1, 3, -7},
        {0, 1, 1, 0, 7},
        {0, 1, 1, 4, 123456},
        {0, 2, 1, 2, 1},
        {0, 2, 1, 4, -1000},
        // node 101 (0, 0): x
        {0, -1, 0, 2, -1},
        {0, -1, 0, 3, 123456789},
        // node 103 (0, 2): torsion
        {0, 2, 2, 2, 1},
        {0, 2, 2, 3, -1},
        // node 201 (1, 0): z and torsion
        {1, 1, 0, 2, 5},
        {1, 1, 0, 3, 2147483647},
        {1, 2, 0, 2, -1},
        {1, 2, 0, 4, 1},
    };
    for (const V& v : disp) d.NodeDisp(v.slot, v.comp, v.index, v.step) = v.value;
    d.NodePos(0, 0, 1) = 12.3f;
    d.NodePos(0, 1, 1) = -1.5f;
    d.NodePos(0, 2, 1) = 20.25f;
    d.NodeTwist0(0, 1) = 500.0f;

    d.TensionMax = 1;
    d.TensionElem.create({Bounds{0, 1}});
    d.TensionElem(0) = 11;
    d.TensionElem(1) = 12;
    d.TensionHist.create({Bounds{0, 6}, Bounds{0, 1}});
    d.TensionHist(0, 0) = 100;
    d.TensionHist(2, 0) = -5;
    d.TensionHist(4, 0) = 32767;
    d.TensionHist(2, 1) = 7;
    d.TensionHist(4, 1) = -32768;

    d.BeamRecCount = 2;
    d.BeamRecInfo.create({Bounds{0, 1}, Bounds{0, 1}});
    d.BeamRecInfo(0, 0) = 105;
    d.BeamRecInfo(1, 0) = 2;
    d.BeamRecInfo(0, 1) = 106;
    d.BeamRecInfo(1, 1) = 3;
    d.BeamHist.create({Bounds{0, 6}, Bounds{0, 1}});
    const std::int16_t beam[7][2] = {{9, 1}, {0, 0}, {9, 2}, {-9, 0}, {9, -3}, {0, 0}, {0, 0}};
    for (int t = 0; t <= 6; ++t)
        for (int i = 0; i < 2; ++i) d.BeamHist(t, i) = beam[t][i];
    return d;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing " + path.toUtf8() + ">";
    return f.readAll();
}

QByteArray golden(const char* name) {
    return readAll(QStringLiteral(QRN_TEST_DATA "/csv/") + QString::fromLatin1(name));
}

QStringList dirEntries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

class RecordingHost : public Progress {
  public:
    void message(const QString&, const QString&) override {}
    void progress(double f) override { last = f; }
    double last = -1.0;
};

// The golden selection: tension, initial position, node 102 on every axis,
// node 201 on θ, beam record 106-3, steps 0, 2, 4.
CsvSelection goldenSingle(const Dataset& d, const QString& out) {
    CsvSelection sel = openCsvSelection(d, kDt, out);
    sel.tension = true;
    sel.init = true;
    for (int c = 0; c < 4; ++c) sel.NodeSel(1, c) = 1;
    sel.NodeSel(3, CsvTheta) = 1;
    sel.BeamSel(1) = 1;
    sel.fromText = QStringLiteral("0");
    sel.toText = QStringLiteral("0.2");
    sel.everyText = QStringLiteral("0.1");
    return sel;
}

// The golden split selection: 101 X, 102 X and Y, 201 Z, 103 θ, both beam
// records, steps 2 and 3, no tension, displacements only.
CsvSelection goldenSplit(const Dataset& d, const QString& out) {
    CsvSelection sel = openCsvSelection(d, kDt, out);
    sel.split = true;
    sel.NodeSel(0, CsvX) = 1;
    sel.NodeSel(1, CsvX) = 1;
    sel.NodeSel(1, CsvY) = 1;
    sel.NodeSel(3, CsvZ) = 1;
    sel.NodeSel(2, CsvTheta) = 1;
    sel.BeamSel(0) = 1;
    sel.BeamSel(1) = 1;
    sel.fromText = QStringLiteral("0.1");
    sel.toText = QStringLiteral("0.15");
    sel.everyText = kDt;
    return sel;
}

const char* const kSplitGolden[5] = {"split_x.csv", "split_y.csv", "split_z.csv", "split_theta.csv",
                                     "split_other.csv"};

}  // namespace

TEST(CsvWriter, SingleFileMatchesShiftJisGolden) {
    QTemporaryDir dir;
    const Dataset d = makeDataset();
    const QString out = dir.filePath(QStringLiteral("run.csv"));
    RecordingHost host;
    const CsvResult r = writeCsv(d, goldenSingle(d, out), kDt, host);
    EXPECT_EQ(readAll(out), golden("single_init.csv"));
    EXPECT_EQ(r.rows, 3);
    EXPECT_EQ(r.files, QStringList{out});
    EXPECT_EQ(r.bytes, static_cast<std::uint64_t>(golden("single_init.csv").size()));
    EXPECT_DOUBLE_EQ(host.last, 1.0);
    EXPECT_EQ(dirEntries(dir.path()), QStringList{QStringLiteral("run.csv")});
}

TEST(CsvWriter, SplitFilesMatchGoldenWithDotInFolder) {
    QTemporaryDir tmp;
    const QString folder = tmp.filePath(QStringLiteral("a.b"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const Dataset d = makeDataset();
    NullProgress host;
    const CsvResult r = writeCsv(d, goldenSplit(d, folder + QStringLiteral("/run.csv")), kDt, host);
    const QStringList names = {QStringLiteral("runX軸.csv"), QStringLiteral("runY軸.csv"),
                               QStringLiteral("runZ軸.csv"), QStringLiteral("runθ.csv"),
                               QStringLiteral("run他.csv")};
    ASSERT_EQ(r.files.size(), 5);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(r.files[k], folder + QLatin1Char('/') + names[k]);
        EXPECT_EQ(readAll(r.files[k]), golden(kSplitGolden[k])) << names[k].toStdString();
    }
    EXPECT_EQ(dirEntries(folder).size(), 5);
}

TEST(CsvWriter, StartAfterEndWritesHeaderOnlyInEveryFile) {
    QTemporaryDir dir;
    const Dataset d = makeDataset();
    CsvSelection sel = goldenSplit(d, dir.filePath(QStringLiteral("late.csv")));
    sel.fromText = QStringLiteral("0.2");
    sel.toText = QStringLiteral("0.1");
    NullProgress host;
    const CsvResult r = writeCsv(d, sel, kDt, host);
    EXPECT_EQ(r.rows, 0);
    ASSERT_EQ(r.files.size(), 5);
    for (int k = 0; k < 5; ++k) {
        const QByteArray full = golden(kSplitGolden[k]);
        EXPECT_EQ(readAll(r.files[k]), full.left(full.indexOf("\r\n") + 2));
    }
}

TEST(CsvWriter, NodeAtRestAndNothingSelected) {
    QTemporaryDir dir;
    Dataset d = makeDataset();
    // Entry 4 (node 103 on slot 1) has no displacement at all; without the
    // initial position every value is 0.
    CsvSelection sel = openCsvSelection(d, kDt, dir.filePath(QStringLiteral("rest.csv")));
    for (int c = 0; c < 4; ++c) sel.NodeSel(4, c) = 1;
    sel.toText = QStringLiteral("0.1");
    NullProgress host;
    writeCsv(d, sel, kDt, host);
    EXPECT_EQ(readAll(sel.outputPath), QByteArray("\x8e\x9e\x8a\xd4(s),103X\x8e\xb2,103Y\x8e\xb2,"
                                                  "103Z\x8e\xb2,103\x83\xc6(\xdf)\r\n"
                                                  "0,0,0,0,0\r\n0.05,0,0,0,0\r\n0.1,0,0,0,0\r\n"));
    // Only the time column: still one line per step.
    CsvSelection none = openCsvSelection(d, kDt, dir.filePath(QStringLiteral("time.csv")));
    none.everyText = QStringLiteral("0.1");
    writeCsv(d, none, kDt, host);
    EXPECT_EQ(readAll(none.outputPath), QByteArray("\x8e\x9e\x8a\xd4(s)\r\n0\r\n0.1\r\n0.2\r\n"));
}

TEST(CsvWriter, TorsionIsFlooredToHundredthsOfDegrees) {
    QTemporaryDir dir;
    Dataset d = makeDataset();
    // 0.0001 degree as initial twist (rad x 1000).
    const float tiny = static_cast<float>(0.0001 * 3.14159265358979 / 180.0 * 1000.0);
    d.NodeTwist0(0, 0) = tiny;
    d.NodeTwist0(0, 2) = -tiny;
    CsvSelection sel = openCsvSelection(d, kDt, dir.filePath(QStringLiteral("t.csv")));
    sel.init = true;
    sel.NodeSel(0, CsvTheta) = 1;
    sel.NodeSel(2, CsvTheta) = 1;
    sel.toText = QStringLiteral("0");
    NullProgress host;
    writeCsv(d, sel, kDt, host);
    EXPECT_EQ(
        readAll(sel.outputPath),
        QByteArray("\x8e\x9e\x8a\xd4(s),101\x83\xc6(\xdf),103\x83\xc6(\xdf)\r\n0,0,-0.01\r\n"));
}

TEST(CsvWriter, StepsBeyondTheHistoryAreNotRead) {
    QTemporaryDir dir;
    const Dataset d = makeDataset();
    CsvSelection sel = openCsvSelection(d, kDt, dir.filePath(QStringLiteral("far.csv")));
    sel.tension = true;
    sel.fromText = QStringLiteral("-0.1");  // before the first step: starts at 0
    sel.toText = QStringLiteral("100");     // typed past the cap, never corrected
    sel.everyText = QStringLiteral("0.15");
    NullProgress host;
    const CsvResult r = writeCsv(d, sel, kDt, host);
    EXPECT_EQ(r.rows, 3);  // steps 0, 3, 6
    EXPECT_EQ(readAll(sel.outputPath),
              QByteArray("\x8e\x9e\x8a\xd4(s),11\x92\xa3\x97\xcd(kg),12\x92\xa3\x97\xcd(kg)\r\n"
                         "0,100,0\r\n0.15,0,0\r\n0.3,0,0\r\n"));
}

TEST(CsvWriter, MissingFolderIsReportedAndLeavesNothing) {
    QTemporaryDir dir;
    const Dataset d = makeDataset();
    const QString out = dir.filePath(QStringLiteral("missing/run.csv"));
    NullProgress host;
    try {
        writeCsv(d, goldenSingle(d, out), kDt, host);
        FAIL() << "no error";
    } catch (const QrnError& e) {
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(out))) << e.what();
        EXPECT_EQ(e.title(), kWriteErrorTitle);
    }
    EXPECT_TRUE(dirEntries(dir.path()).isEmpty());
}

TEST(CsvWriter, SplitFailingOnOneFileChangesNoTarget) {
    QTemporaryDir dir;
    const Dataset d = makeDataset();
    // An older X file must survive; the θ name is taken by a folder, so that
    // file cannot be created after X, Y and Z have been written.
    const QString oldX = dir.filePath(QStringLiteral("runX軸.csv"));
    {
        QFile f(oldX);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("runθ.csv")));
    NullProgress host;
    try {
        writeCsv(d, goldenSplit(d, dir.filePath(QStringLiteral("run.csv"))), kDt, host);
        FAIL() << "no error";
    } catch (const QrnError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("runθ.csv"))) << e.what();
    }
    EXPECT_EQ(readAll(oldX), QByteArray("old"));
    EXPECT_EQ(dirEntries(dir.path()),
              (QStringList{QStringLiteral("runX軸.csv"), QStringLiteral("runθ.csv")}));
}

TEST(CsvWriter, ReadOnlyFileIsKept) {
    QTemporaryDir dir;
    const Dataset d = makeDataset();
    const QString out = dir.filePath(QStringLiteral("held.csv"));
    {
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("kept");
    }
    QFile::setPermissions(out, QFileDevice::ReadOwner);
    NullProgress host;
    EXPECT_THROW(writeCsv(d, goldenSingle(d, out), kDt, host), QrnError);
    EXPECT_EQ(readAll(out), QByteArray("kept"));
    EXPECT_EQ(dirEntries(dir.path()), QStringList{QStringLiteral("held.csv")});
}

// A replacement that fails part-way through the split set (the hook fails the
// k-th rename) puts every earlier file back: those already replaced get their
// earlier bytes again, a name that had no earlier file goes, and no spare stays.
TEST(CsvWriter, SplitSetIsAllOrNothingWhenARenameFails) {
    const Dataset d = makeDataset();
    const QStringList names = {QStringLiteral("runX軸.csv"), QStringLiteral("runY軸.csv"),
                               QStringLiteral("runZ軸.csv"), QStringLiteral("runθ.csv"),
                               QStringLiteral("run他.csv")};
    for (int failing = 0; failing < 5; ++failing) {
        QTemporaryDir dir;
        QStringList earlier;  // every name but Y had a file before
        for (int k = 0; k < 5; ++k) {
            if (k == 1) continue;
            QFile f(dir.filePath(names[k]));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("earlier " + QByteArray::number(k));
            earlier << names[k];
        }
        int calls = 0;
        setCsvReplaceHook([&](const QString&) { return calls++ != failing; });
        NullProgress host;
        try {
            writeCsv(d, goldenSplit(d, dir.filePath(QStringLiteral("run.csv"))), kDt, host);
            ADD_FAILURE() << "no error at " << failing;
        } catch (const QrnError& e) {
            EXPECT_TRUE(e.message().contains(names[failing])) << e.what();
        }
        setCsvReplaceHook({});
        EXPECT_EQ(calls, failing + 1);
        for (int k = 0; k < 5; ++k) {
            if (k == 1) continue;
            EXPECT_EQ(readAll(dir.filePath(names[k])), "earlier " + QByteArray::number(k))
                << failing << " " << k;
        }
        QStringList left = dirEntries(dir.path());
        left.sort();
        earlier.sort();
        EXPECT_EQ(left, earlier) << failing;
    }
}

// --- selection model and time boxes ---

TEST(CsvSelection, Opening) {
    const Dataset d = makeDataset();
    const CsvSelection sel = openCsvSelection(d, kDt, QStringLiteral("C:\\a.b\\run.x.y"));
    EXPECT_EQ(sel.fromText, QStringLiteral("0"));
    EXPECT_EQ(sel.toText, QStringLiteral("0.2"));
    EXPECT_EQ(sel.everyText, kDt);
    EXPECT_EQ(sel.outputPath, QStringLiteral("C:\\a.b\\run.csv"));
    EXPECT_EQ(sel.NodeSel.bounds()[0], (Bounds{0, 4}));
    EXPECT_EQ(sel.NodeSel.bounds()[1], (Bounds{0, 3}));
    EXPECT_EQ(sel.BeamSel.bounds()[0], (Bounds{0, 1}));
    EXPECT_EQ(csvSelectedNodeCells(sel), 0);
    EXPECT_EQ(csvSelectedBeams(sel), 0);
    EXPECT_EQ(csvDefaultPath(QStringLiteral("/w/x.y/run")), QStringLiteral("/w/x.y/run.csv"));
    EXPECT_EQ(csvDefaultPath(QStringLiteral("/w/run.csv")), QStringLiteral("/w/run.csv"));
}

TEST(CsvSelection, SelectAllCounts) {
    Dataset d;
    d.NodeTblMax = 499;
    d.BeamRecCount = 3;
    CsvSelection sel = openCsvSelection(d, kDt, QString());
    sel.tension = false;
    csvSelectAll(sel);
    EXPECT_EQ(csvSelectedNodeCells(sel), 2000);
    EXPECT_EQ(csvSelectedBeams(sel), 3);
    EXPECT_FALSE(sel.tension);
    d.BeamRecCount = 0;
    CsvSelection noBeams = openCsvSelection(d, kDt, QString());
    csvSelectAll(noBeams);
    EXPECT_EQ(csvSelectedBeams(noBeams), 0);
    EXPECT_TRUE(noBeams.BeamSel.empty());
}

TEST(CsvSelection, TimeBoxRules) {
    const Dataset d = makeDataset();  // StepCount 5: end capped at 0.25 with dt 0.05
    struct Case {
        const char* text;
        const char* interval;
        const char* every;  // Text3 after its rule
        const char* to;     // the end time after its rule
    } cases[] = {
        {"0.12", "0.05", "0.1", "0.12"}, {"0.02", "0.05", "0.05", "0.02"},
        {"0", "0.05", "0.05", "0"},      {"abc", "0.050", "0.05", "abc"},
        {"0.1", "0.05", "0.1", "0.1"},   {"-0.12", "0.05", "-0.1", "-0.12"},
        {"0.75", "0.5", "1", "0.75"},    {"1.25", "0.5", "1", "1.25"},
        {"0.3", "0.05", "0.3", "0.25"},  {"0.25", "0.05", "0.25", "0.25"},
        {"9 s", "0.1", "9", "0.5"},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const QString interval = QString::fromUtf8(c.interval);
        EXPECT_EQ(csvCorrectEveryText(text, interval), QString::fromUtf8(c.every)) << c.text;
        EXPECT_EQ(csvCorrectToText(text, d, interval), QString::fromUtf8(c.to)) << c.text;
    }
}

TEST(CsvSelection, StepSelection) {
    const Dataset d = makeDataset();  // steps 0..6 stored
    struct Case {
        const char *from, *to, *every, *interval;
        std::vector<std::int64_t> steps;
    } cases[] = {
        {"0", "0.2", "0.1", "0.05", {0, 2, 4}},
        {"0", "0.2", "0.05", "0.05", {0, 1, 2, 3, 4}},
        {"0.3", "0.2", "0.05", "0.05", {}},
        {"0.2", "0.2", "0.05", "0.05", {4}},
        {"-1", "0.1", "0.05", "0.05", {0, 1, 2}},
        {"0.25", "9", "0.05", "0.05", {5, 6}},
        {"0.5", "9", "0.05", "0.05", {}},
        {"0.2", "0", "-0.1", "0.05", {4, 2, 0}},
        {"9", "0.2", "-0.1", "0.05", {6, 4}},
        {"0", "0.2", "0.1", "0.05", {0, 2, 4}},
        {"0", "0.2", "0", "0.05", {0, 1, 2, 3, 4}},
        {"0", "0.3", "0.1", "0", {0, 1, 2, 3}},  // interval box 0 stands for 0.1
    };
    for (const Case& c : cases) {
        CsvSelection sel;
        sel.fromText = QString::fromUtf8(c.from);
        sel.toText = QString::fromUtf8(c.to);
        sel.everyText = QString::fromUtf8(c.every);
        const CsvSteps s = csvSteps(sel, d, QString::fromUtf8(c.interval));
        std::vector<std::int64_t> got;
        for (std::int64_t i = 0; i < s.count; ++i) got.push_back(s.at(i));
        EXPECT_EQ(got, c.steps) << c.from << " " << c.to << " " << c.every;
    }
    EXPECT_EQ(csvSteps(CsvSelection{}, Dataset{}, kDt).count, 0);  // nothing stored
}

TEST(CsvSelection, SplitNames) {
    const struct {
        const char* path;
        const char* base;
    } cases[] = {
        {"C:\\out\\run.csv", "C:\\out\\run"},
        {"C:\\a.b\\run.csv", "C:\\a.b\\run"},
        {"/tmp/a.b/run", "/tmp/a.b/run"},
        {"/tmp/run.x.csv", "/tmp/run"},
    };
    for (const auto& c : cases) {
        const QString base = QString::fromUtf8(c.base);
        EXPECT_EQ(csvOutputFiles(QString::fromUtf8(c.path), true),
                  (QStringList{base + QStringLiteral("X軸.csv"), base + QStringLiteral("Y軸.csv"),
                               base + QStringLiteral("Z軸.csv"), base + QStringLiteral("θ.csv"),
                               base + QStringLiteral("他.csv")}))
            << c.path;
    }
    EXPECT_EQ(csvOutputFiles(QStringLiteral("C:\\a.b\\run.csv"), false),
              QStringList{QStringLiteral("C:\\a.b\\run.csv")});
}

TEST(CsvSelection, ListLayout) {
    Dataset d;
    const struct {
        int nodeTblMax, beams;
        int nodeRows;
        bool nodeScroll;
        int nodeMax;
        int beamRows;
        bool beamScroll;
        int beamMax;
        int height;
    } cases[] = {
        {6, 0, 7, false, 0, 0, false, 0, 4485},
        {9, 1, 10, false, 0, 1, false, 0, 6645},
        {10, 5, 10, true, 1, 5, false, 0, 6645},
        {499, 6, 10, true, 490, 5, true, 1, 6645},
    };
    for (const auto& c : cases) {
        d.NodeTblMax = c.nodeTblMax;
        d.BeamRecCount = c.beams;
        const CsvListLayout n = csvNodeListLayout(d);
        const CsvListLayout b = csvBeamListLayout(d);
        EXPECT_EQ(n.rowsShown, c.nodeRows) << c.nodeTblMax;
        EXPECT_EQ(n.scrollEnabled, c.nodeScroll) << c.nodeTblMax;
        EXPECT_EQ(n.scrollMax, c.nodeMax) << c.nodeTblMax;
        EXPECT_EQ(b.rowsShown, c.beamRows) << c.beams;
        EXPECT_EQ(b.scrollEnabled, c.beamScroll) << c.beams;
        EXPECT_EQ(b.scrollMax, c.beamMax) << c.beams;
        EXPECT_EQ(csvWindowHeightTwips(d), c.height);
    }
    const Dataset full = makeDataset();
    EXPECT_EQ(csvNodeCaption(full, 3), QStringLiteral("201"));
    EXPECT_EQ(csvBeamElementCaption(full, 1), QStringLiteral("106"));
    EXPECT_EQ(csvBeamCodeCaption(full, 1), QStringLiteral("3"));
}

// --- qrnconv csv options ---

TEST(CsvOptions, NodesAxesBeamsAndTimes) {
    const Dataset d = makeDataset();
    CsvCliOptions opt;
    opt.nodes = QStringLiteral("103,101");
    opt.axes = QStringLiteral("xt");
    opt.beams = QStringLiteral("106");
    opt.to = QStringLiteral("9");
    opt.every = QStringLiteral("0.02");
    const CsvSelection sel = csvSelectionFromOptions(d, opt, kDt, QStringLiteral("/o/r.csv"));
    // Node 103 has two entries (2 and 4); both are selected.
    const int expected[5][4] = {
        {1, 0, 0, 1}, {0, 0, 0, 0}, {1, 0, 0, 1}, {0, 0, 0, 0}, {1, 0, 0, 1}};
    for (int j = 0; j < 5; ++j)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(sel.NodeSel(j, c), expected[j][c]) << j << c;
    EXPECT_EQ(sel.BeamSel(0), 0);
    EXPECT_EQ(sel.BeamSel(1), 1);
    EXPECT_EQ(sel.fromText, QStringLiteral("0"));
    EXPECT_EQ(sel.toText, QStringLiteral("0.25"));
    EXPECT_EQ(sel.everyText, QStringLiteral("0.05"));
    EXPECT_EQ(sel.outputPath, QStringLiteral("/o/r.csv"));

    CsvCliOptions all;
    all.nodes = QStringLiteral("all");
    all.beams = QStringLiteral("all");
    const CsvSelection a = csvSelectionFromOptions(d, all, kDt, QStringLiteral("/o/r.csv"));
    EXPECT_EQ(csvSelectedNodeCells(a), 20);
    EXPECT_EQ(csvSelectedBeams(a), 2);
    EXPECT_EQ(a.toText, QStringLiteral("0.2"));  // as at opening
    const CsvSelection none =
        csvSelectionFromOptions(d, CsvCliOptions{}, kDt, QStringLiteral("/o/r.csv"));
    EXPECT_EQ(csvSelectedNodeCells(none), 0);
    EXPECT_EQ(csvSelectedBeams(none), 0);
}

TEST(CsvOptions, BadOptions) {
    const Dataset d = makeDataset();
    const struct {
        const char* nodes;
        const char* axes;
        const char* beams;
        bool syntax;  // rejected before looking at the data
    } cases[] = {
        {"1,a", "xyzt", nullptr, true},  {"1.5", "xyzt", nullptr, true},
        {"101", "xq", nullptr, true},    {"101", "", nullptr, true},
        {"", "xyzt", nullptr, true},     {"101", "xyzt", "x", true},
        {"999", "xyzt", nullptr, false}, {"101", "xyzt", "107", false},
    };
    for (const auto& c : cases) {
        CsvCliOptions opt;
        opt.nodes = QString::fromUtf8(c.nodes);
        opt.axes = QString::fromUtf8(c.axes);
        if (c.beams) opt.beams = QString::fromUtf8(c.beams);
        EXPECT_EQ(!csvOptionsError(opt).isEmpty(), c.syntax) << c.nodes << " " << c.axes;
        EXPECT_THROW(csvSelectionFromOptions(d, opt, kDt, QStringLiteral("/o/r.csv")), QrnError)
            << c.nodes;
    }
}

TEST(CsvOptions, SameBytesAsTheWindow) {
    QTemporaryDir dir;
    const Dataset d = makeDataset();
    CsvCliOptions opt;
    opt.nodes = QStringLiteral("102");
    opt.tension = true;
    opt.init = true;
    opt.beams = QStringLiteral("106");
    opt.from = QStringLiteral("0");
    opt.to = QStringLiteral("0.2");
    opt.every = QStringLiteral("0.1");
    const QString cli = dir.filePath(QStringLiteral("cli.csv"));
    NullProgress host;
    writeCsv(d, csvSelectionFromOptions(d, opt, kDt, cli), kDt, host);

    CsvSelection win = goldenSingle(d, dir.filePath(QStringLiteral("win.csv")));
    win.NodeSel(3, CsvTheta) = 0;
    writeCsv(d, win, kDt, host);
    EXPECT_EQ(readAll(cli), readAll(win.outputPath));
    EXPECT_TRUE(readAll(cli).startsWith("\x8e\x9e\x8a\xd4(s),11\x92\xa3\x97\xcd(kg)"));
}
