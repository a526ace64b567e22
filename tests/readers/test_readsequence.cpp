#include <gtest/gtest.h>

#include <QDir>

#include "dataset/error.h"
#include "readers/readsequence.h"
#include "readertest.h"

using qrn::Dataset;
using qrn::ReadRequest;
using rt::elem;
using rt::lines;
using rt::operator+;
using rt::record;
using Calls = std::vector<std::string>;

namespace {

const std::string kStage = "stage:データ読込中";

// An analysis folder: settings, text and binary histories, both section files.
// Model: cable 1-2-3 (slot 0), beam 3-9 (node 9: slot 1, index 0); 2 x 4 x 3 x 4 = 96
// bytes of displacement history per time index.
struct Analysis {
    rt::Folder dir;
    QString st, his, f08, sec, selfF08;

    Analysis() {
        st = dir.write("st.dat",
                       lines({"*UNIT", rt::units("KG", "M"), "*ELEMENT  CABLE", elem(1, 1, 2),
                              elem(2, 2, 3), "*ELEMENT  BEAM", elem(1, 3, 9), "*NODE",
                              rt::node(1, "0", "0", "10"), rt::node(2, "5", "0", "9"),
                              rt::node(3, "10", "0", "10"), rt::node(9, "10", "1", "10")}));
        std::vector<std::string> v;
        for (int j = 0; j < 10; ++j) v.push_back(std::to_string(j));
        his =
            dir.write("run1.his", lines(record("DISP", 3, 2, 10, v) + record("CABL", 1, 1, 10, v)));
        rt::F08 f;
        f.steps = 10;
        f.interval = 0.02;
        f.entries = {{2, 3}, {1, 0}};
        f.dispCount = 1;
        f.listEnd = 2;
        for (int s = 1; s <= 10; ++s) f.values.push_back({s - 1.0, s - 1.0});
        f08 = dir.write("run1.f08", f.build().str());
        QDir(dir.path(QString())).mkdir(QStringLiteral("tmp"));
        sec = dir.write("tmp/sec.file", lines({"SECTION", " " + rt::right("2", 9),
                                               rt::values({"1", "0", "0", "0.5"})}));
        rt::Bytes b;
        b.i32(272, 1);
        b.i32(316, 8);
        b.i32(320, 2);
        b.i32(324, 4);
        b.f64(336, 0.25);
        selfF08 = dir.write("self.f08", b.str());
    }

    ReadRequest request(int mode) const {
        ReadRequest r;
        r.mode = mode;
        r.selectedPath = mode == qrn::ReadProBinary ? f08 : his;
        r.settingsPath = st;
        r.sectionPath = mode == qrn::ReadProText || mode == qrn::ReadProBinary ? selfF08 : sec;
        return r;
    }
};

std::string errorMessage(const QString& text) {
    return "message[ファイル読み込みエラー]" + text.toStdString();
}

// A dataset as left by an earlier, completed read.
Dataset earlierDataset(const Analysis& a) {
    Dataset d;
    d.DirPath = QStringLiteral("C:\\work\\");
    qrn::NullProgress progress;
    const auto r = qrn::ReadAnalysis(d, a.request(qrn::ReadHis), progress);
    EXPECT_TRUE(r.completed);
    d.FirstNode = 1;  // as the viewer leaves it
    return d;
}

}  // namespace

TEST(ReadAnalysis, TextHistoryInOrder) {
    Analysis a;
    Dataset d;
    d.DirPath = QStringLiteral("C:\\work\\");
    rt::RecordingProgress progress;
    const auto r = qrn::ReadAnalysis(d, a.request(qrn::ReadHis), progress);
    EXPECT_EQ(progress.calls, Calls{kStage});
    EXPECT_EQ(rt::applied(r.outcome), (Calls{"saveExport:on", "ready:on", "viewer:reset"}));
    EXPECT_GT(progress.progressCalls, 0);
    EXPECT_TRUE(r.completed);
    EXPECT_FALSE(r.settingsOnly);
    EXPECT_EQ(r.thinning, 1);
    EXPECT_EQ(r.intervalText, QStringLiteral("0.05"));
    EXPECT_EQ(r.filesRead, (QStringList{a.st, a.his}));
    EXPECT_EQ(d.StepCount, 10);
    EXPECT_EQ(d.StepMax, 9);
    EXPECT_EQ(d.NodeDisp(0, 1, 1, 9), 9000);
    EXPECT_EQ(d.TensionMax, 0);
    EXPECT_EQ(d.TensionElem(0), 1);
    EXPECT_EQ(d.TensionHist(9, 0), 9);
    EXPECT_FLOAT_EQ(d.NodePos(1, 1, 0), 1.0f);  // beam node 9
    EXPECT_EQ(d.DirPath, QStringLiteral("C:\\work\\"));
    // Exact bounds, as the dataset file stores them.
    EXPECT_EQ(d.NodeTbl.hi(1), d.NodeTblMax);
    EXPECT_EQ(d.NodeDisp.hi(3), d.StepCount + 1);
    EXPECT_EQ(d.TensionHist.hi(0), d.StepCount + 1);
    EXPECT_EQ(d.TensionElem.hi(0), d.TensionMax);
}

TEST(ReadAnalysis, MissingSettingsFileChangesOnlyStepMax) {
    Analysis a;
    Dataset d = earlierDataset(a);
    Dataset expected = d;
    expected.StepMax = 0;
    for (const int mode : {qrn::ReadHis, qrn::CheckSettings}) {
        ReadRequest req = a.request(mode);
        req.settingsPath = a.dir.path("none.dat");
        if (mode == qrn::CheckSettings) req.selectedPath = req.settingsPath;
        rt::RecordingProgress progress;
        const auto r = qrn::ReadAnalysis(d, req, progress);
        Calls want{errorMessage(QStringLiteral("初期設定ファイル") + req.settingsPath +
                                QStringLiteral("がありません。\r再入力してください。"))};
        if (mode == qrn::CheckSettings)
            want.insert(want.begin(), "settings:" + req.settingsPath.toStdString());
        EXPECT_TRUE(progress.calls.empty());
        EXPECT_EQ(rt::applied(r.outcome), want);
        EXPECT_FALSE(r.completed);
        EXPECT_TRUE(rt::sameDataset(d, expected));
    }
}

TEST(ReadAnalysis, SettingsOnlyModesReadTheSelectedFile) {
    Analysis a;
    for (const int mode : {qrn::CheckSettings, qrn::CheckProSettings}) {
        Dataset d;
        ReadRequest req = a.request(mode);
        req.selectedPath = a.st;
        req.settingsPath = QStringLiteral("ignored.dat");
        rt::RecordingProgress progress;
        const auto r = qrn::ReadAnalysis(d, req, progress);
        EXPECT_EQ(progress.calls, Calls{kStage});
        EXPECT_EQ(rt::applied(r.outcome), (Calls{"settings:" + a.st.toStdString(), "saveExport:off",
                                                 "ready:on", "viewer:reset"}));
        EXPECT_TRUE(r.completed);
        EXPECT_TRUE(r.settingsOnly);
        EXPECT_EQ(d.StepCount, 0);
        EXPECT_EQ(d.StepMax, 0);
        EXPECT_EQ(d.TensionMax, 0);
        EXPECT_EQ(d.TensionHist(0, 0), 100);
        EXPECT_EQ(d.NodeDisp.hi(3), 1);
        EXPECT_FLOAT_EQ(d.NodePos(0, 0, 1), 5.0f);
    }
}

TEST(ReadAnalysis, ThinnedTextReadShowsTheMessageAfterTheViewer) {
    Analysis a;
    struct C {
        std::uint64_t limit;
        int n;
        const char* interval;
        std::int32_t stepMax;
    };
    // T = 10 div N + 1: N = 2 needs 96 x 7 bytes, N = 5 needs 96 x 4.
    for (const C c : {C{96 * 7, 2, "0.1", 4}, C{96 * 4, 5, "0.25", 1}}) {
        Dataset d;
        ReadRequest req = a.request(qrn::ReadHis);
        req.memoryLimit = c.limit;
        rt::RecordingProgress progress;
        const auto r = qrn::ReadAnalysis(d, req, progress);
        const std::string n = std::to_string(c.n);
        EXPECT_EQ(progress.calls, Calls{kStage});
        EXPECT_EQ(rt::applied(r.outcome),
                  (Calls{std::string("interval:") + c.interval, "saveExport:on", "ready:on",
                         "viewer:reset",
                         "message[qrnview]データがオーバーフローしたため時間データを1/" + n +
                             "に間引きしました。"}));
        EXPECT_EQ(r.thinning, c.n);
        EXPECT_EQ(r.intervalText, QString::fromUtf8(c.interval));
        EXPECT_EQ(d.StepMax, c.stepMax);
        EXPECT_EQ(d.StepCount, 10 / c.n);
        EXPECT_EQ(d.NodeDisp.hi(3), d.StepCount + 1);
        EXPECT_EQ(d.NodeDisp(0, 1, 1, 1), c.n * 1000);
    }
}

TEST(ReadAnalysis, BinaryHistoryWritesTheFileIntervalOrTheThinnedOne) {
    Analysis a;
    Dataset whole;
    rt::RecordingProgress progress;
    const auto full = qrn::ReadAnalysis(whole, a.request(qrn::ReadProBinary), progress);
    EXPECT_EQ(rt::applied(full.outcome),
              (Calls{"interval:0.02", "saveExport:on", "ready:on", "viewer:reset"}));
    EXPECT_EQ(full.intervalText, QStringLiteral("0.02"));

    Dataset d;
    ReadRequest req = a.request(qrn::ReadProBinary);
    req.memoryLimit = 96 * 7;
    const auto r = qrn::ReadAnalysis(d, req, progress);
    EXPECT_EQ(
        rt::applied(r.outcome),
        (Calls{"interval:0.04", "saveExport:on", "ready:on", "viewer:reset",
               "message[qrnview]データがオーバーフローしたため時間データを1/2に間引きしました。"}));
    EXPECT_EQ(r.intervalText, QStringLiteral("0.04"));
    EXPECT_EQ(d.StepMax, 4);
    EXPECT_EQ(d.TensionElem(0), 1);
    EXPECT_EQ(d.TensionHist(2, 0), 4);
    EXPECT_EQ(d.NodeDisp(0, 1, 1, 2), 4000);
}

TEST(ReadAnalysis, SectionFileAppliesInItsForm) {
    Analysis a;
    struct C {
        int mode;
        float twist, x;
    };
    for (const C c : {C{qrn::ReadHis, 500.0f, 6.0f}, C{qrn::CheckSettings, 500.0f, 6.0f},
                      C{qrn::ReadProText, 250.0f, 5.0f}}) {
        Dataset d;
        ReadRequest req = a.request(c.mode);
        if (c.mode == qrn::CheckSettings) req.selectedPath = a.st;
        req.sectionChecked = true;
        rt::RecordingProgress progress;
        const auto r = qrn::ReadAnalysis(d, req, progress);
        EXPECT_TRUE(r.completed) << c.mode;
        EXPECT_EQ(r.filesRead.back(), req.sectionPath) << c.mode;
        EXPECT_FLOAT_EQ(d.NodeTwist0(0, 1), c.twist) << c.mode;
        EXPECT_FLOAT_EQ(d.NodePos(0, 0, 1), c.x) << c.mode;
    }
}

TEST(ReadAnalysis, MissingSectionFileIsReportedAndUnticked) {
    Analysis a;
    Dataset d;
    ReadRequest req = a.request(qrn::ReadHis);
    req.sectionChecked = true;
    req.sectionPath = a.dir.path("tmp/none.file");
    rt::RecordingProgress progress;
    const auto r = qrn::ReadAnalysis(d, req, progress);
    // Shown while the read goes on; the box is unticked after DataReady is set.
    EXPECT_EQ(progress.calls,
              (Calls{kStage, errorMessage(QStringLiteral("静的条件ＤＴファイル") + req.sectionPath +
                                          QStringLiteral("がありません。\r"
                                                         "このデータを無視して処理します。"))}));
    EXPECT_EQ(rt::applied(r.outcome),
              (Calls{"saveExport:on", "ready:on", "untick", "viewer:reset"}));
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(d.StepCount, 10);
}

TEST(ReadAnalysis, FailedReadKeepsThePreviousDatasetAndWindowState) {
    Analysis a;
    const Dataset previous = earlierDataset(a);
    rt::Bytes damaged = [] {
        rt::F08 f;
        f.steps = 10;
        f.entries = {{2, 3}};
        f.dispCount = 1;
        f.listEnd = 1;
        for (int s = 1; s <= 10; ++s) f.values.push_back({1.0});
        rt::Bytes b = f.build();
        b.resize(b.size() - 4);
        return b;
    }();
    const QString cut = a.dir.write("cut.f08", damaged.str());
    const QString badSelf = a.dir.write("bad.f08", std::string(100, '\0'));

    struct C {
        const char* name;
        int mode;
        QString selected, section;
        std::uint64_t limit;
        QString title, fileNamed;
    };
    const std::string cutText = "message[ファイル読み込みエラー]ファイル" + cut.toStdString();
    const C cases[] = {
        {"truncated binary history", qrn::ReadProBinary, cut, QString(), 0,
         QStringLiteral("ファイル読み込みエラー"), cut},
        {"vanished text history", qrn::ReadHis, a.dir.path("gone.his"), QString(), 0,
         QStringLiteral("ファイル読み込みエラー"), a.dir.path("gone.his")},
        {"damaged binary section file", qrn::ReadProBinary, a.f08, badSelf, 0,
         QStringLiteral("ファイル読み込みエラー"), badSelf},
        {"no memory even for 1/100", qrn::ReadHis, a.his, QString(), 95,
         QStringLiteral("メモリー不足"), a.his},
    };
    for (const auto& c : cases) {
        Dataset d = previous;
        ReadRequest req = a.request(c.mode);
        req.selectedPath = c.selected;
        if (!c.section.isEmpty()) {
            req.sectionChecked = true;
            req.sectionPath = c.section;
        }
        if (c.limit) req.memoryLimit = c.limit;
        rt::RecordingProgress progress;
        const auto r = qrn::ReadAnalysis(d, req, progress);
        EXPECT_FALSE(r.completed) << c.name;
        EXPECT_EQ(r.intervalText, QStringLiteral("0.05")) << c.name;
        EXPECT_TRUE(rt::sameDataset(d, previous)) << c.name;
        EXPECT_EQ(progress.calls, Calls{kStage}) << c.name;
        // The failure is the only thing the window applies: its boxes, DataReady and
        // work modes 2 and 3 stay as they were, as the previous dataset does.
        const Calls outcome = rt::applied(r.outcome);
        ASSERT_EQ(outcome.size(), 1u) << c.name;
        const std::string& message = outcome.front();
        EXPECT_EQ(message.rfind("message[" + c.title.toStdString() + "]", 0), 0u) << message;
        EXPECT_NE(message.find(c.fileNamed.toStdString()), std::string::npos) << message;
    }
}

TEST(ReadAnalysis, NonReadingModesDoNothing) {
    Analysis a;
    for (const int mode : {qrn::LoadBinary, qrn::SaveBinary, qrn::ExportCsv}) {
        Dataset d;
        rt::RecordingProgress progress;
        const auto r = qrn::ReadAnalysis(d, a.request(mode), progress);
        EXPECT_FALSE(r.completed);
        EXPECT_TRUE(progress.calls.empty());
        EXPECT_TRUE(rt::applied(r.outcome).empty());
    }
}
