// End to end: qrnconv run as a process on the sample analysis.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "qrnconvprocess.h"

namespace {

using qrn::test::Outcome;
using qrn::test::qrnconv;

QJsonObject json(const Outcome& r) { return QJsonDocument::fromJson(r.out.toUtf8()).object(); }

const char* const kCounts[] = {"CableMax",    "NodeTblMax", "NodeMax", "BeamElemMax",
                               "BeamNodeMax", "StepCount",  "StepMax", "TensionMax"};

class QrnconvE2E : public qrn::test::SampleSuite {
  protected:
    static Outcome info(QStringList args) {
        args.prepend(QStringLiteral("info"));
        args << QStringLiteral("--json");
        return qrnconv(args);
    }
};

}  // namespace

TEST_F(QrnconvE2E, EveryReadingModeGivesTheSameCounts) {
    // Hand count for the sample: slots 0 and 1; 10 cable nodes plus 3 insulator
    // tops and 2 spacer centres in the node table; 6 insulators and 4 spacer
    // arms; 8 tension records; 6 + 4 x 2 beam records in the text histories.
    const Outcome his = info({path("run1.his")});
    ASSERT_EQ(his.exitCode, 0) << his.err.toStdString();
    const QJsonObject h = json(his);
    const int want[] = {1, 14, 4, 9, 4, 7, 6, 7};
    for (std::size_t i = 0; i < std::size(kCounts); ++i)
        EXPECT_EQ(h.value(QLatin1String(kCounts[i])).toInt(-99), want[i]) << kCounts[i];
    EXPECT_EQ(h.value(QStringLiteral("BeamRecCount")).toInt(), 14);
    EXPECT_EQ(h.value(QStringLiteral("thinning")).toInt(), 1);
    EXPECT_EQ(h.value(QStringLiteral("interval")).toString(), QStringLiteral("0.05"));
    EXPECT_EQ(h.value(QStringLiteral("forceFactor")).toDouble(), 1.0);
    EXPECT_EQ(h.value(QStringLiteral("lengthFactor")).toDouble(), 1.0);
    const QJsonArray files = h.value(QStringLiteral("files")).toArray();
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[0].toString().endsWith(QStringLiteral("st.dat")));
    EXPECT_TRUE(files[1].toString().endsWith(QStringLiteral("run1.his")));

    struct M {
        QStringList args;
        int beamRecords;
        bool settingsOnly;
        const char* firstFile;
    };
    const M modes[] = {
        {{path("run1.f24")}, 14, false, "self.dat"},
        {{path("run1.f08")}, 0, false, "self.dat"},  // the binary history holds no beam results
        {{path("st.dat")}, 0, true, "st.dat"},
        {{path("self.dat"), QStringLiteral("--mode"), QStringLiteral("7")}, 0, true, "self.dat"},
        {{path("run1.his"), QStringLiteral("--mode"), QStringLiteral("5")}, 14, false, "self.dat"},
    };
    for (const M& m : modes) {
        const Outcome r = info(m.args);
        ASSERT_EQ(r.exitCode, 0) << m.args.join(' ').toStdString() << r.err.toStdString();
        const QJsonObject o = json(r);
        for (const char* k : kCounts) {
            const bool history = std::string_view(k) == "StepCount" ||
                                 std::string_view(k) == "StepMax" ||
                                 std::string_view(k) == "TensionMax";
            const int expect = (m.settingsOnly && history) ? 0 : h.value(QLatin1String(k)).toInt();
            EXPECT_EQ(o.value(QLatin1String(k)).toInt(-99), expect)
                << k << " " << m.args[0].toStdString();
        }
        EXPECT_EQ(o.value(QStringLiteral("BeamRecCount")).toInt(), m.beamRecords);
        EXPECT_EQ(o.value(QStringLiteral("interval")).toString(), QStringLiteral("0.05"));
        EXPECT_TRUE(o.value(QStringLiteral("files"))
                        .toArray()[0]
                        .toString()
                        .endsWith(QLatin1String(m.firstFile)));
    }
}

TEST_F(QrnconvE2E, TextAndBinarySectionFilesApply) {
    const Outcome text =
        info({path("run1.his"), QStringLiteral("--section"), path("tmp/sec.file")});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_TRUE(text.err.isEmpty()) << text.err.toStdString();
    const QJsonArray files = json(text).value(QStringLiteral("files")).toArray();
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(files[2].toString(), path("tmp/sec.file"));
    const Outcome bin = info({path("run1.f08"), QStringLiteral("--section"), path("self.f08")});
    ASSERT_EQ(bin.exitCode, 0) << bin.err.toStdString();
    EXPECT_EQ(json(bin).value(QStringLiteral("files")).toArray().size(), 3);
}

TEST_F(QrnconvE2E, MissingSectionFileIsReportedAndIgnored) {
    const Outcome r = info({path("run1.his"), QStringLiteral("--section"), path("tmp/none.file")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, QStringLiteral("ファイル読み込みエラー: 静的条件ＤＴファイル") +
                         path("tmp/none.file") +
                         QStringLiteral("がありません。\nこのデータを無視して処理します。\n"));
    EXPECT_EQ(json(r).value(QStringLiteral("files")).toArray().size(), 2);
}

TEST_F(QrnconvE2E, MissingSettingsFileFailsWithTheProgramsMessage) {
    const QString missing = path("none.dat");
    const Outcome r = info({path("run1.his"), QStringLiteral("--settings"), missing});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err, QStringLiteral("ファイル読み込みエラー: 初期設定ファイル") + missing +
                         QStringLiteral("がありません。\n再入力してください。\n"));
    // The default settings file of the "Pro" modes is self.dat beside INPUT.
    QTemporaryDir other;
    QFile::copy(path("run1.f08"), QDir(other.path()).filePath(QStringLiteral("run1.f08")));
    const Outcome pro = info({QDir(other.path()).filePath(QStringLiteral("run1.f08"))});
    EXPECT_EQ(pro.exitCode, 1);
    EXPECT_TRUE(pro.err.contains(QDir(other.path()).filePath(QStringLiteral("self.dat")) +
                                 QStringLiteral("がありません。")))
        << pro.err.toStdString();
}

TEST_F(QrnconvE2E, CorruptBinaryHistoryFailsWithAMessage) {
    QTemporaryDir other;
    const QString f08 = QDir(other.path()).filePath(QStringLiteral("run1.f08"));
    QFile::copy(path("self.dat"), QDir(other.path()).filePath(QStringLiteral("self.dat")));
    QFile src(path("run1.f08"));
    ASSERT_TRUE(src.open(QIODevice::ReadOnly));
    const QByteArray whole = src.readAll();
    for (const qsizetype keep : {qsizetype{0}, qsizetype{200}, whole.size() - 100}) {
        QFile out(f08);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(whole.left(keep));
        out.close();
        const Outcome r = info({f08});
        EXPECT_EQ(r.exitCode, 1) << keep;
        EXPECT_TRUE(r.out.isEmpty()) << keep;
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("ファイル読み込みエラー: ファイル") + f08))
            << keep << " " << r.err.toStdString();
    }
}

TEST_F(QrnconvE2E, DamagedTextFilesWarnOrFail) {
    // Copies of the sample cut short: a history cut in its last record reads
    // with a warning, one cut before its first value and a settings file cut
    // before its elements fail.
    QTemporaryDir other;
    const QDir o(other.path());
    struct C {
        const char* name;
        qsizetype keep;  // bytes kept; negative: counted from the end
        int exitCode;
        QString err;  // start of stderr
    };
    const QString his = o.filePath(QStringLiteral("run1.his"));
    const QString st = o.filePath(QStringLiteral("st.dat"));
    const C cases[] = {
        {"run1.his", 0, 1, QStringLiteral("ファイル読み込みエラー: ファイル") + his},
        {"run1.his", 200, 1, QStringLiteral("ファイル読み込みエラー: ファイル") + his},
        {"run1.his", -30, 0,
         QStringLiteral("qrnconv: ファイル") + his + QStringLiteral("は途中で切れています。\n")},
        {"run1.his", -2, 0, QString()},  // only the last line end lost
        {"st.dat", 0, 1, QStringLiteral("ファイル読み込みエラー: ファイル") + st},
        {"st.dat", 60, 1, QStringLiteral("ファイル読み込みエラー: ファイル") + st},
    };
    for (const C& c : cases) {
        for (const char* name : {"run1.his", "st.dat"}) {
            QFile src(path(name));
            ASSERT_TRUE(src.open(QIODevice::ReadOnly));
            QByteArray bytes = src.readAll();
            if (std::string_view(name) == c.name)
                bytes = bytes.left(c.keep >= 0 ? c.keep : bytes.size() + c.keep);
            QFile out(o.filePath(QString::fromUtf8(name)));
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(bytes);
        }
        const Outcome r = info({his});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name << " " << c.keep << r.err.toStdString();
        EXPECT_EQ(r.out.isEmpty(), c.exitCode != 0);
        EXPECT_TRUE(c.err.isEmpty() ? r.err.isEmpty() : r.err.startsWith(c.err))
            << c.name << " " << c.keep << " " << r.err.toStdString();
    }
}

TEST_F(QrnconvE2E, MemoryLimitThinsTheTimeAxis) {
    // NodeDisp takes (1 + 2) slots x 4 components x 5 nodes x (T + 1) x 4 bytes
    // = 240 (T + 1) bytes with T = 7 div N + 1: 2160 at N = 1, 1200 at N = 2.
    const Outcome r =
        info({path("run1.his"), QStringLiteral("--memory-limit"), QStringLiteral("1500")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = json(r);
    EXPECT_EQ(o.value(QStringLiteral("thinning")).toInt(), 2);
    EXPECT_EQ(o.value(QStringLiteral("StepCount")).toInt(), 3);
    EXPECT_EQ(o.value(QStringLiteral("StepMax")).toInt(), 3);
    EXPECT_EQ(o.value(QStringLiteral("interval")).toString(), QStringLiteral("0.1"));
    EXPECT_EQ(r.err,
              QStringLiteral(
                  "qrnconv: データがオーバーフローしたため時間データを1/2に間引きしました。\n"));
}

TEST_F(QrnconvE2E, TextOutputAndIntervalBox) {
    const Outcome r = qrnconv({QStringLiteral("info"), path("run1.his"),
                               QStringLiteral("--interval"), QStringLiteral("0")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("CableMax      1\nNodeTblMax    14\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\ninterval      0.1\n")));  // "0" turns into "0.1"
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nfiles         ") + path("st.dat") +
                               QStringLiteral("\n              ") + path("run1.his") +
                               QChar(u'\n')));
}

TEST(Qrnconv, ExitStatusAndHelp) {
    struct C {
        QStringList args;
        int exit;
        const char* inOut;  // text expected on stdout
        const char* inErr;  // text expected on stderr
    };
    const C cases[] = {
        {{}, 2, "", "サブコマンドがありません"},
        {{QStringLiteral("bogus")}, 2, "", "不明なサブコマンド bogus"},
        {{QStringLiteral("--help")}, 0, "使い方: qrnconv <サブコマンド>", ""},
        {{QStringLiteral("info")}, 2, "", "INPUT がありません"},
        {{QStringLiteral("info"), QStringLiteral("a.his"), QStringLiteral("--bogus")},
         2,
         "",
         "不明なオプション --bogus"},
        {{QStringLiteral("info"), QStringLiteral("a.his"), QStringLiteral("--mode")},
         2,
         "",
         "--mode に値がありません"},
        {{QStringLiteral("info"), QStringLiteral("a.txt")}, 2, "", "--mode で指定してください"},
        {{QStringLiteral("info"), QStringLiteral("a.his"), QStringLiteral("b")},
         2,
         "",
         "余分な引数 b"},
        {{QStringLiteral("sample")}, 2, "", "DIR がありません"},
        {{QStringLiteral("sample"), QStringLiteral("d"), QStringLiteral("--cables"),
          QStringLiteral("0")},
         2,
         "",
         "--cables"},
        {{QStringLiteral("sample"), QStringLiteral("d"), QStringLiteral("--steps"),
          QStringLiteral("x")},
         2,
         "",
         "--steps"},
        {{QStringLiteral("sample"), QStringLiteral("d"), QStringLiteral("--interval"),
          QStringLiteral("0")},
         2,
         "",
         "--interval"},
        // Well-formed commands on a file that is not there fail as jobs.
        {{QStringLiteral("save"), QStringLiteral("a.his"), QStringLiteral("b.qrn3")},
         1,
         "",
         "st.datがありません。"},
        {{QStringLiteral("csv"), QStringLiteral("a.his"), QStringLiteral("b.csv"),
          QStringLiteral("--split")},
         1,
         "",
         "がありません。"},
        {{QStringLiteral("frame"), QStringLiteral("a.his"), QStringLiteral("b.png"),
          QStringLiteral("--h"), QStringLiteral("-10")},
         1,
         "",
         "がありません。"},
        {{QStringLiteral("gif"), QStringLiteral("a.his"), QStringLiteral("b.gif"),
          QStringLiteral("--speed"), QStringLiteral("2")},
         1,
         "",
         "がありません。"},
        {{QStringLiteral("info"), QStringLiteral("a.qrn3")},
         1,
         "",
         "a.qrn3 を読み込めませんでした"},
        {{QStringLiteral("csv"), QStringLiteral("a.his"), QStringLiteral("b.csv"),
          QStringLiteral("--speed"), QStringLiteral("2")},
         2,
         "",
         "不明なオプション --speed"},
        {{QStringLiteral("save"), QStringLiteral("a.his")}, 2, "", "OUTPUT がありません"},
        {{QStringLiteral("frame"), QStringLiteral("a.his"), QStringLiteral("b.png"),
          QStringLiteral("--points")},
         2,
         "",
         "--points に値がありません"},
        // Malformed option values are bad use, found before anything is read.
        {{QStringLiteral("csv"), QStringLiteral("a.his"), QStringLiteral("b.csv"),
          QStringLiteral("--axes"), QStringLiteral("xw")},
         2,
         "",
         "--axes"},
        {{QStringLiteral("csv"), QStringLiteral("a.his"), QStringLiteral("b.csv"),
          QStringLiteral("--nodes"), QStringLiteral("1,x")},
         2,
         "",
         "--nodes"},
        {{QStringLiteral("frame"), QStringLiteral("a.his"), QStringLiteral("b.png"),
          QStringLiteral("--view"), QStringLiteral("side")},
         2,
         "",
         "--view"},
        {{QStringLiteral("frame"), QStringLiteral("a.his"), QStringLiteral("b.png"),
          QStringLiteral("--window"), QStringLiteral("0x300")},
         2,
         "",
         "--window"},
        {{QStringLiteral("gif"), QStringLiteral("a.his"), QStringLiteral("b.gif"),
          QStringLiteral("--zoom"), QStringLiteral("4")},
         2,
         "",
         "--zoom"},
        {{QStringLiteral("gif"), QStringLiteral("a.his"), QStringLiteral("b.gif"),
          QStringLiteral("--pan"), QStringLiteral("1")},
         2,
         "",
         "--pan"},
    };
    for (const C& c : cases) {
        const Outcome r = qrnconv(c.args);
        const std::string what = c.args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, c.exit) << what << "\n" << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QString::fromUtf8(c.inOut))) << what << "\n"
                                                                << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.inErr))) << what << "\n"
                                                                << r.err.toStdString();
        if (c.exit == 2 && !c.args.isEmpty() && c.args[0] != QLatin1String("bogus")) {
            EXPECT_TRUE(r.err.contains(QStringLiteral("--help"))) << what;
        }
    }
    for (const char* cmd : {"sample", "info", "save", "csv", "frame", "gif", "video"}) {
        const Outcome r = qrnconv({QString::fromLatin1(cmd), QStringLiteral("--help")});
        EXPECT_EQ(r.exitCode, 0) << cmd;
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("使い方: qrnconv ") + QString::fromLatin1(cmd)))
            << r.out.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << cmd;
    }
}

TEST(Qrnconv, SampleIntoAnUnwritablePlaceFails) {
    QTemporaryDir d;
    const QString file = QDir(d.path()).filePath(QStringLiteral("plain"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const Outcome r = qrnconv({QStringLiteral("sample"), file + QStringLiteral("/sub")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("を作成できません"))) << r.err.toStdString();
}

TEST_F(QrnconvE2E, CutDatasetFileFailsWhereTheRestStillHoldsInt16) {
    // A .qrn3 always stores displacements as int32; cut so that the rest only
    // has room for int16 values, it once loaded as garbage with exit 0.
    QTemporaryDir other;
    const QString full = QDir(other.path()).filePath(QStringLiteral("full.qrn3"));
    ASSERT_EQ(qrnconv({QStringLiteral("save"), path("run1.his"), full}).exitCode, 0);
    QFile src(full);
    ASSERT_TRUE(src.open(QIODevice::ReadOnly));
    const QByteArray bytes = src.readAll();
    const QString cut = QDir(other.path()).filePath(QStringLiteral("cut.qrn3"));
    for (const double part : {0.5, 0.6, 0.7, 0.8}) {
        QFile out(cut);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes.left(static_cast<qsizetype>(bytes.size() * part)));
        out.close();
        const Outcome r = info({cut});
        EXPECT_EQ(r.exitCode, 1) << part;
        EXPECT_TRUE(r.err.contains(QStringLiteral("途中で終わっています"))) << part;
    }
}
