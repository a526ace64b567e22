// Damaged and hostile files of the kinds the fuzz targets found: each read ends
// with its message, and the dataset in memory stays as the earlier read left it.
#include <gtest/gtest.h>

#include <QDir>

#include "readers/readsequence.h"
#include "readertest.h"

using qrn::Dataset;
using qrn::ReadRequest;
using rt::elem;
using rt::lines;
using rt::operator+;
using rt::record;

namespace {

// Cable 1-2-3 (slot 0), beam 3-9 (node 9: slot 1, index 0).
struct Analysis {
    rt::Folder dir;
    QString st, his;

    Analysis() {
        st = dir.write(
            "st.dat",
            lines({"*ELEMENT  CABLE", elem(1, 1, 2), elem(2, 2, 3), "*ELEMENT  BEAM", elem(1, 3, 9),
                   "*NODE", rt::node(1, "0", "0", "10"), rt::node(9, "10", "1", "10")}));
        his = dir.write("run1.his", lines(record("DISP", 3, 2, 3, {"1", "2", "3"})));
    }

    ReadRequest request(const QString& history) const {
        ReadRequest r;
        r.mode = qrn::ReadHis;
        r.selectedPath = history;
        r.settingsPath = st;
        return r;
    }
};

struct Outcome {
    bool completed;
    std::vector<std::string> messages;
};

Outcome read(Dataset& d, const ReadRequest& req) {
    rt::RecordingProgress progress;
    const auto r = qrn::ReadAnalysis(d, req, progress);
    Outcome o{r.completed, {}};
    for (const auto& call : progress.calls + rt::applied(r.outcome))
        if (call.rfind("message[", 0) == 0) o.messages.push_back(call);
    return o;
}

Dataset earlier(const Analysis& a) {
    Dataset d;
    d.DirPath = QStringLiteral("C:\\work\\");
    EXPECT_TRUE(read(d, a.request(a.his)).completed);
    d.FirstNode = 1;
    return d;
}

std::string many(const std::vector<std::string>& head, int copies) {
    std::vector<std::string> out;
    for (int i = 0; i < copies; ++i) out = out + head;
    return lines(out);
}

}  // namespace

TEST(DamagedTextHistory, CountsTheFileCannotHoldEndTheRead) {
    Analysis a;
    const Dataset previous = earlier(a);
    struct C {
        const char* name;
        std::string text;
        std::string detail;  // the reason in the message
    };
    // 70 tension records of 32767 steps: 70 x 32769 cells for a file of a few KB.
    const C cases[] = {
        {"step count far beyond the file",
         lines(record("CABL", 1, 1, 0, {"1"}) + record("CABL", 1, 1, 99999999, {"7", "8"})),
         "（時間ステップ数 99999999 の値を記録できる大きさ"},
        {"step count just beyond the file", lines(record("DISP", 1, 1, 32768, {"1"})),
         "（時間ステップ数 32768 の値を記録できる大きさ"},
        {"many empty records of the largest count", many(record("CABL", 2, 1, 32767, {}), 70),
         "（張力・梁の時刻歴 64 件 × 時間ステップ数 32767 の値"},
    };
    for (const auto& c : cases) {
        const QString path = a.dir.write("bad.his", c.text);
        Dataset d = previous;
        const Outcome o = read(d, a.request(path));
        EXPECT_FALSE(o.completed) << c.name;
        ASSERT_EQ(o.messages.size(), 1u) << c.name;
        const std::string start = "message[ファイル読み込みエラー]ファイル" + path.toStdString() +
                                  "は壊れているか、途中で切れています。\r";
        EXPECT_EQ(o.messages[0].rfind(start, 0), 0u) << o.messages[0];
        EXPECT_NE(o.messages[0].find(c.detail), std::string::npos) << o.messages[0];
        EXPECT_TRUE(rt::sameDataset(d, previous)) << c.name;
    }
}

TEST(DamagedTextHistory, FilesEndingBeforeTheirCountStillRead) {
    // Within the analysis program's range a short file reads as far as it goes,
    // and a count beyond 16 bits is taken when the file has room for its values.
    Analysis a;
    struct C {
        std::string text;
        std::int32_t stepCount, stepMax;
    };
    std::vector<std::string> v(40000, "0");
    const C cases[] = {
        {lines(record("DISP", 1, 1, 32767, {"1"})), 32767, 0},
        {many(record("CABL", 1, 1, 32767, {"1", "2"}), 63), 32767, 1},
        {lines(record("DISP", 1, 1, 40000, v)), 40000, 39999},
    };
    for (const auto& c : cases) {
        Dataset d;
        const Outcome o = read(d, a.request(a.dir.write("short.his", c.text)));
        EXPECT_TRUE(o.completed) << c.stepCount;
        EXPECT_TRUE(o.messages.empty());
        EXPECT_EQ(d.StepCount, c.stepCount);
        EXPECT_EQ(d.StepMax, c.stepMax);
    }
}

TEST(DamagedSettings, SettingsOnlyModelBeyondTheMemoryLimitEndsTheRead) {
    // Cable slot 0 and the beam slot, node indices 0..2: the one frame's
    // displacement array takes 2 x 4 x 3 x 2 x 4 = 192 bytes.
    Analysis a;
    const Dataset previous = earlier(a);
    for (const int mode : {qrn::CheckSettings, qrn::CheckProSettings}) {
        for (const std::uint64_t limit : {191u, 192u}) {
            ReadRequest req = a.request(a.st);
            req.mode = mode;
            req.memoryLimit = limit;
            Dataset d = previous;
            const Outcome o = read(d, req);
            EXPECT_EQ(o.completed, limit == 192u) << mode << " " << limit;
            if (o.completed) {
                EXPECT_EQ(d.NodeDisp.bytes(), 192u);
                continue;
            }
            ASSERT_EQ(o.messages.size(), 1u);
            EXPECT_EQ(o.messages[0], "message[メモリー不足]ファイル" + a.st.toStdString() +
                                         "のモデルが大きすぎてメモリーに収まりません。\r"
                                         "0 MBが必要です（使用できるメモリー 0 MB）。");
            EXPECT_TRUE(rt::sameDataset(d, previous));
        }
    }
}
