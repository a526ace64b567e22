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

namespace {

// Three records of 8 values, 3 to a line; each record's values offset by `base`.
std::vector<std::string> threeRecords(int count, int values) {
    std::vector<std::string> out;
    const char* kinds[] = {"DISP", "CABL", "BEAM"};
    const int numbers[] = {2, 1, 1};
    for (int r = 0; r < 3; ++r) {
        std::vector<std::string> v;
        for (int j = 0; j < values; ++j) v.push_back(std::to_string(10 * r + j + 1));
        out = out + record(kinds[r], r == 0 ? 3 : 1, numbers[r], count, v, 3);
    }
    return out;
}

}  // namespace

TEST(DamagedTextHistory, CutFileKeepsTheStepsEveryRecordHolds) {
    Analysis a;
    const Dataset previous = earlier(a);
    const std::string full = lines(threeRecords(8, 8));
    const std::size_t last = full.rfind("\r\nHISTORY") + 2;
    const std::size_t lastData =
        full.find("\r\n", full.find("\r\n", full.find("\r\n", last) + 2) + 2) + 2;
    const std::size_t firstData =
        full.find("\r\n", full.find("\r\n", full.find("\r\n") + 2) + 2) + 2;
    // The file each cut one should read as: a file stating the kept steps.
    const std::string fourSteps = lines(threeRecords(4, 4));
    const std::string twoRecords = full.substr(0, last);
    struct C {
        const char* name;
        std::size_t size;
        const std::string* same;  // the file it reads as; null: the read ends
        int kept;                 // steps in the warning; 0: no warning
    };
    const C cases[] = {
        {"whole file", full.size(), &full, 0},
        {"last line end missing", full.size() - 2, &full, 0},
        {"cut after 4 values and a half", lastData + 38 + 12 + 5, &fourSteps, 4},
        {"cut at a field end", lastData + 38 + 12, &fourSteps, 4},
        {"cut before a whole value", lastData + 4, &twoRecords, 8},
        {"cut in the count line", lastData - 5, &twoRecords, 8},
        {"cut in the last header", last + 30, &twoRecords, 8},
        {"first record cut before a value", firstData + 11, nullptr, 0},
        {"first record cut in its header", 30, nullptr, 0},
        {"cut before any header", 5, nullptr, 0},
        {"empty", 0, nullptr, 0},
    };
    for (const C& c : cases) {
        const QString path = a.dir.write("cut.his", full.substr(0, c.size));
        Dataset d = previous;
        const Outcome o = read(d, a.request(path));
        ASSERT_EQ(o.completed, c.same != nullptr) << c.name;
        if (!c.same) {
            ASSERT_EQ(o.messages.size(), 1u) << c.name;
            EXPECT_EQ(o.messages[0].rfind("message[ファイル読み込みエラー]ファイル" +
                                              path.toStdString() + "は壊れているか、途中で切れ",
                                          0),
                      0u)
                << o.messages[0];
            EXPECT_TRUE(rt::sameDataset(d, previous)) << c.name;
            continue;
        }
        Dataset expected = previous;
        EXPECT_TRUE(read(expected, a.request(a.dir.write("same.his", *c.same))).completed);
        EXPECT_TRUE(rt::sameDataset(d, expected)) << c.name;
        if (c.kept == 0) {
            EXPECT_TRUE(o.messages.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(o.messages.size(), 1u) << c.name;
        EXPECT_NE(o.messages[0].find("は途中で切れています。\r"), std::string::npos);
        EXPECT_NE(o.messages[0].find("最初の " + std::to_string(c.kept) + " ステップ（全 8"),
                  std::string::npos)
            << o.messages[0];
        EXPECT_EQ(o.messages[0].find("最後の記録") != std::string::npos, c.same == &twoRecords)
            << c.name;
    }
}

TEST(DamagedSettings, SettingsWithoutCableOrBeamEndTheRead) {
    Analysis a;
    const Dataset previous = earlier(a);
    const std::string nodes = lines({"*NODE", rt::node(1, "0", "0", "10")});
    struct C {
        const char* name;
        std::string text;
        bool reads;
    };
    const C cases[] = {
        {"empty", "", false},
        {"random bytes", std::string("\x8e\x01\xff\r\nzz\r\n", 9), false},
        {"nodes only", nodes, false},
        {"empty element sections", lines({"*ELEMENT  CABLE", "*ELEMENT  BEAM"}) + nodes, false},
        {"one cable element", lines({"*ELEMENT  CABLE", elem(1, 1, 2)}) + nodes, true},
        {"one beam element", lines({"*ELEMENT  BEAM", elem(1, 1, 9)}) + nodes, true},
    };
    for (const C& c : cases) {
        const QString st = a.dir.write("bad.dat", c.text);
        for (const int mode : {qrn::ReadHis, qrn::CheckSettings}) {
            ReadRequest req = a.request(a.his);
            req.mode = mode;
            req.settingsPath = st;
            if (mode == qrn::CheckSettings) req.selectedPath = st;
            Dataset d = previous;
            const Outcome o = read(d, req);
            EXPECT_EQ(o.completed, c.reads) << c.name << " " << mode;
            if (c.reads) continue;
            ASSERT_EQ(o.messages.size(), 1u) << c.name;
            EXPECT_EQ(o.messages[0],
                      "message[ファイル読み込みエラー]ファイル" + st.toStdString() +
                          "にはケーブル要素も梁要素もありません。\r"
                          "初期設定ファイルか、途中で切れていないか確かめてください。");
            EXPECT_TRUE(rt::sameDataset(d, previous)) << c.name;
        }
    }
}
