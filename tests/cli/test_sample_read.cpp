// The sample read through the core in every reading mode: the same dataset
// whichever history form is read.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "cli/cliargs.h"
#include "cli/readinput.h"
#include "cli/sample.h"

using namespace qrn;

namespace {

class SampleRead : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        sample::SampleOptions s;
        s.cables = 4;  // two twin phases
        s.nodes = 9;
        s.steps = 30;
        sample::writeSample(dir_->path(), s);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static QString path(const char* name) {
        return QDir(dir_->path()).filePath(QString::fromUtf8(name));
    }

    // Reads as qrnconv does for INPUT with the given options.
    static Dataset read(const char* input, std::optional<QString> section = {},
                        std::optional<int> mode = {}, ReadResult* result = nullptr) {
        cli::ReadOptions o;
        o.section = section;
        o.mode = mode;
        const ReadRequest req = cli::makeReadRequest(path(input), o);
        Dataset d;
        QByteArray err;
        cli::TerminalHost host([&](const QByteArray& b) { err += b; }, false);
        const ReadResult r = cli::readInput(d, req, host);
        EXPECT_TRUE(r.completed) << input << " " << err.toStdString();
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
        if (result) *result = r;
        return d;
    }
    static QTemporaryDir* dir_;
};
QTemporaryDir* SampleRead::dir_ = nullptr;

void expectSameModel(const Dataset& a, const Dataset& b) {
    EXPECT_EQ(a.CableMax, b.CableMax);
    EXPECT_EQ(a.NodeTblMax, b.NodeTblMax);
    EXPECT_EQ(a.NodeMax, b.NodeMax);
    EXPECT_EQ(a.BeamElemMax, b.BeamElemMax);
    EXPECT_EQ(a.BeamNodeMax, b.BeamNodeMax);
    EXPECT_TRUE(a.NodeTbl == b.NodeTbl);
    EXPECT_TRUE(a.CableInfo == b.CableInfo);
    EXPECT_TRUE(a.BeamElem == b.BeamElem);
    EXPECT_TRUE(a.NodePos == b.NodePos);
    EXPECT_TRUE(a.NodeTwist0 == b.NodeTwist0);
}

void expectSameHistories(const Dataset& a, const Dataset& b) {
    EXPECT_EQ(a.StepCount, b.StepCount);
    EXPECT_EQ(a.StepMax, b.StepMax);
    EXPECT_EQ(a.TensionMax, b.TensionMax);
    EXPECT_TRUE(a.NodeDisp == b.NodeDisp);
    EXPECT_TRUE(a.TensionHist == b.TensionHist);
    EXPECT_TRUE(a.TensionElem == b.TensionElem);
}

}  // namespace

TEST_F(SampleRead, TextAndBinaryHistoriesGiveTheSameDataset) {
    const Dataset his = read("run1.his");
    const Dataset f24 = read("run1.f24");
    const Dataset f08 = read("run1.f08");
    expectSameModel(his, f24);
    expectSameModel(his, f08);
    expectSameHistories(his, f24);
    expectSameHistories(his, f08);
    EXPECT_EQ(his.BeamRecCount, f24.BeamRecCount);
    EXPECT_TRUE(his.BeamHist == f24.BeamHist);
    EXPECT_TRUE(his.BeamRecInfo == f24.BeamRecInfo);
    EXPECT_EQ(f08.BeamRecCount, 0);

    // Two twin phases over three spans (towers at node indices 0, 3, 5, 8):
    // 4 x 9 cable nodes, 2 x 4 insulator tops and 2 x (2 + 1 + 2) spacer
    // centres (one per inner node of a span, at most four).
    EXPECT_EQ(his.CableMax, 3);
    EXPECT_EQ(his.NodeTblMax, 36 + 8 + 10 - 1);
    EXPECT_EQ(his.BeamNodeMax, 17);
    EXPECT_EQ(his.NodeMax, 17);
    EXPECT_EQ(his.BeamElemMax, 8 * 2 + 10 * 2 - 1);
    EXPECT_EQ(his.TensionMax, 4 * 8 - 1);
    EXPECT_EQ(his.StepMax, 29);
    // Node 1002 (cable 0, index 1) lies 100 m into the 300 m span, 7.2 m left
    // of the line, 34 m up less the sag 4 x 9.6 x (1/3)(2/3).
    EXPECT_FLOAT_EQ(his.NodePos(0, 0, 1), 100.0f);
    EXPECT_FLOAT_EQ(his.NodePos(0, 1, 1), -7.2f);
    EXPECT_FLOAT_EQ(his.NodePos(0, 2, 1), 25.467f);
    // At rest at step 0; the insulator on tower 0 carries 150 m of conductor
    // at 1.6 kgf/m plus 45 kgf; its record is the first beam record.
    for (int c = -1; c <= 2; ++c) EXPECT_EQ(his.NodeDisp(0, c, 1, 0), 0);
    EXPECT_EQ(his.BeamRecInfo(0, 0), 5001);
    EXPECT_EQ(his.BeamRecInfo(1, 0), 1);
    EXPECT_EQ(his.BeamHist(0, 0), 285);
    // Later the mid-span nodes move.
    int moved = 0;
    for (int t = 0; t <= his.StepMax; ++t)
        moved = std::max(moved, std::abs(his.NodeDisp(0, 1, 1, t)));
    EXPECT_GT(moved, 10);
}

TEST_F(SampleRead, TextAndBinarySectionFilesMoveTheModelAlike) {
    const Dataset plain = read("run1.his");
    const Dataset text = read("run1.his", path("tmp/sec.file"));
    const Dataset pro = read("run1.f24", path("self.f08"));
    const Dataset bin = read("run1.f08", path("self.f08"));
    expectSameModel(text, pro);
    expectSameModel(text, bin);
    expectSameHistories(text, plain);
    EXPECT_FALSE(text.NodePos == plain.NodePos);
    // Mid-span node 1002 sags further and twists; tower node 1001 stays.
    EXPECT_LT(text.NodePos(0, 2, 1), plain.NodePos(0, 2, 1) - 0.1f);
    EXPECT_NE(text.NodeTwist0(0, 1), 0.0f);
    EXPECT_EQ(text.NodePos(0, 2, 0), plain.NodePos(0, 2, 0));
}

TEST_F(SampleRead, SettingsOnlyModesShowTheModelAtRest) {
    ReadResult history, settings, pro;
    const Dataset his = read("run1.his", {}, {}, &history);
    const Dataset st = read("st.dat", {}, {}, &settings);
    const Dataset self = read("self.dat", {}, CheckProSettings, &pro);
    // Nothing to save or export after these reads: qrnconv refuses on this field.
    EXPECT_FALSE(history.settingsOnly);
    EXPECT_TRUE(settings.settingsOnly);
    EXPECT_TRUE(pro.settingsOnly);
    expectSameModel(his, st);
    expectSameModel(his, self);
    EXPECT_EQ(st.StepCount, 0);
    EXPECT_EQ(st.StepMax, 0);
    EXPECT_EQ(st.NodeDisp.hi(3), 1);
}
