// qrnconv's option parsing, read request, terminal host and info output.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/cliargs.h"
#include "cli/readinput.h"
#include "cli/terminalhost.h"
#include "cli/viewoptions.h"

using namespace qrn::cli;

namespace {
QStringList words(std::initializer_list<const char*> w) {
    QStringList out;
    for (const char* s : w) out << QString::fromUtf8(s);
    return out;
}
const std::vector<OptionSpec> kSpecs = {
    {QStringLiteral("mode"), true}, {QStringLiteral("h"), true}, {QStringLiteral("json"), false}};
}  // namespace

TEST(CliArgs, DefaultModeFromTheFileName) {
    struct C {
        const char* name;
        int mode;  // -1: none
    };
    const C cases[] = {
        {"run1.his", 0}, {"/a/b/RUN1.HIS", 0}, {"x.f24", 5},         {"x.F08", 6},
        {"st.dat", 4},   {"self.DAT", 4},      {"r.qrn3", 1},        {"r.QRN", 1},
        {"r.qrn0", 1},   {"abcqrn2", 1},       {"r.qrn4", -1},       {"x.txt", -1},
        {"his", -1},     {"run1.his.bak", -1}, {"dir.his/file", -1}, {"a.f08x", -1},
    };
    for (const C& c : cases) {
        const auto m = qrn::workModeForName(QString::fromUtf8(c.name));
        EXPECT_EQ(m.value_or(-1), c.mode) << c.name;
    }
}

TEST(CliArgs, ParsesPositionalsValuesAndSwitches) {
    const ParsedArgs a =
        parseArgs(words({"in.his", "--mode", "5", "--h=-10", "--json", "out"}), kSpecs);
    EXPECT_EQ(a.positional, words({"in.his", "out"}));
    EXPECT_EQ(a.value(QStringLiteral("mode")).value_or(QString()), QStringLiteral("5"));
    EXPECT_EQ(a.value(QStringLiteral("h")).value_or(QString()), QStringLiteral("-10"));
    EXPECT_TRUE(a.has(QStringLiteral("json")));
    EXPECT_FALSE(a.help);
    // A value may start with "-"; the last of a repeated option wins; "--" ends options.
    const ParsedArgs b = parseArgs(words({"--h", "-5", "--h", "7", "--", "--json"}), kSpecs);
    EXPECT_EQ(*b.value(QStringLiteral("h")), QStringLiteral("7"));
    EXPECT_EQ(b.positional, words({"--json"}));
    EXPECT_FALSE(b.has(QStringLiteral("json")));
    EXPECT_TRUE(parseArgs(words({"x", "--bogus", "--help"}), kSpecs).help);
}

TEST(CliArgs, BadUseIsAUsageError) {
    const std::vector<QStringList> bad = {
        words({"--bogus"}),  words({"-x"}),        words({"--mode"}),
        words({"--json=1"}), words({"in", "--h"}),
    };
    for (const auto& w : bad)
        EXPECT_THROW(parseArgs(w, kSpecs), UsageError) << w.join(' ').toStdString();
    const ParsedArgs a = parseArgs(words({"a", "b"}), kSpecs);
    EXPECT_THROW(requirePositional(a, {QStringLiteral("INPUT")}), UsageError);
    EXPECT_THROW(
        requirePositional(a, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}),
        UsageError);
    EXPECT_NO_THROW(requirePositional(a, {QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_EQ(intOption(QStringLiteral("n"), QStringLiteral(" 12 "), 1, 20), 12);
    for (const char* t : {"0", "21", "1.5", "", "abc", "1e3"})
        EXPECT_THROW(intOption(QStringLiteral("n"), QString::fromUtf8(t), 1, 20), UsageError) << t;
}

TEST(CliArgs, ReadOptionValuesAreChecked) {
    auto opts = [](std::initializer_list<const char*> w) {
        return readOptionsFrom(parseArgs(words(w), readOptionSpecs()));
    };
    for (auto w : {words({"--mode", "2"}), words({"--mode", "3"}), words({"--mode", "8"}),
                   words({"--mode", "x"}), words({"--memory-limit", "-1"}),
                   words({"--memory-limit", "1GB"}), words({"--settings="})}) {
        EXPECT_THROW(readOptionsFrom(parseArgs(w, readOptionSpecs())), UsageError)
            << w.join(' ').toStdString();
    }
    const ReadOptions o = opts({"--mode", "7", "--memory-limit", "123456", "--interval", "0.02"});
    EXPECT_EQ(o.mode.value_or(-1), 7);
    EXPECT_EQ(o.memoryLimit.value_or(0), 123456u);
    EXPECT_EQ(o.interval, QStringLiteral("0.02"));
    const ReadOptions d = opts({});
    EXPECT_FALSE(d.mode);
    EXPECT_FALSE(d.memoryLimit);
    EXPECT_EQ(d.interval, QStringLiteral("0.05"));
}

TEST(CliArgs, ViewOptionsAsTheFrameJobTakesThem) {
    auto parse = [](std::initializer_list<const char*> w) {
        return frameOptionsFrom(parseArgs(words(w), viewOptionSpecs()));
    };
    using qrn::render::ViewMode;
    const auto d = parse({});
    EXPECT_EQ(d.mode, ViewMode::Real);
    EXPECT_FALSE(d.window);
    EXPECT_EQ(d.timeStep, 0);
    EXPECT_FALSE(d.perspectiveRatio || d.zoomLevel || d.azimuth || d.nodeRange || d.pan ||
                 d.markerSize);
    EXPECT_FALSE(d.sideways || d.nearLow || d.trace);

    const auto o = parse({"--view",      "normal",    "--window",      " 640 x 480 ",
                          "--time-step", "12",        "--p1",          "abc",
                          "--markers",   "",          "--marker-size", "5",
                          "--zoom",      "0",         "--h",           "-40",
                          "--v",         "99999",     "--node-range",  "3:x",
                          "--pan",       "-1.5, 2e1", "--sideways",    "--near-low",
                          "--trace"});
    EXPECT_EQ(o.mode, ViewMode::Normal);
    EXPECT_EQ(o.window.value_or(QSize()), QSize(640, 480));
    EXPECT_EQ(o.timeStep, 12);
    EXPECT_EQ(o.perspectiveRatio.value_or(QString()),
              QStringLiteral("abc"));  // boxes take any text
    EXPECT_EQ(o.markerStep.value_or(QStringLiteral("?")), QString());
    EXPECT_EQ(o.markerSize.value_or(0), 5);
    EXPECT_EQ(o.zoomLevel.value_or(-1), 0);
    EXPECT_EQ(o.azimuth.value_or(0), -40);  // scroll bars clamp later
    EXPECT_EQ(o.elevation.value_or(0), 99999);
    ASSERT_TRUE(o.nodeRange);
    EXPECT_EQ(o.nodeRange->first, QStringLiteral("3"));
    EXPECT_EQ(o.nodeRange->second, QStringLiteral("x"));
    ASSERT_TRUE(o.pan);
    EXPECT_EQ(o.pan->first, -1.5);
    EXPECT_EQ(o.pan->second, 20.0);
    EXPECT_TRUE(o.sideways && o.nearLow && o.trace);

    const std::vector<QStringList> bad = {
        words({"--view", "Real"}),     words({"--window", "640"}),
        words({"--window", "0x10"}),   words({"--window", "10001x10"}),
        words({"--window", "-5x10"}),  words({"--time-step", "-1"}),
        words({"--time-step", "1.5"}), words({"--marker-size", "0"}),
        words({"--marker-size", "6"}), words({"--zoom", "4"}),
        words({"--h", "x"}),           words({"--v", "3000000000"}),
        words({"--node-range", "3"}),  words({"--pan", "1"}),
        words({"--pan", "1,2,3"}),     words({"--pan", "a,2"}),
        words({"--pan", "1e39,0"}),
    };
    for (const auto& w : bad)
        EXPECT_THROW(frameOptionsFrom(parseArgs(w, viewOptionSpecs())), UsageError)
            << w.join(' ').toStdString();
}

TEST(CliArgs, CsvOptions) {
    const auto o = csvOptionsFrom(
        parseArgs(words({"--nodes", "1,2", "--axes", "tx", "--beams", "all", "--from", "a", "--to",
                         "", "--every", "0", "--tension", "--split"}),
                  csvOptionSpecs()));
    EXPECT_EQ(o.nodes.value_or(QString()), QStringLiteral("1,2"));
    EXPECT_EQ(o.axes, QStringLiteral("tx"));
    EXPECT_EQ(o.beams.value_or(QString()), QStringLiteral("all"));
    // The time boxes take any text; the window's correction rules apply later.
    EXPECT_EQ(o.from.value_or(QString()), QStringLiteral("a"));
    EXPECT_EQ(o.to.value_or(QStringLiteral("?")), QString());
    EXPECT_EQ(o.every.value_or(QString()), QStringLiteral("0"));
    EXPECT_TRUE(o.tension && o.split && !o.init);
    const auto d = csvOptionsFrom(parseArgs({}, csvOptionSpecs()));
    EXPECT_FALSE(d.nodes || d.beams || d.from || d.to || d.every);
    EXPECT_EQ(d.axes, QStringLiteral("xyzt"));
    for (const auto& w : {words({"--axes", ""}), words({"--axes", "xyzw"}),
                          words({"--nodes", "1,,2"}), words({"--beams", "x"})})
        EXPECT_THROW(csvOptionsFrom(parseArgs(w, csvOptionSpecs())), UsageError)
            << w.join(' ').toStdString();
}

TEST(CliArgs, ReadRequestFollowsTheFileClickRule) {
    const QString dir = QDir::toNativeSeparators(QDir::currentPath() + QStringLiteral("/data/"));
    struct C {
        const char* input;
        std::optional<int> mode;
        int wantMode;
        QString settings;
    };
    const C cases[] = {
        {"data/run1.his", {}, 0, dir + QStringLiteral("st.dat")},
        {"data/run1.f24", {}, 5, dir + QStringLiteral("self.dat")},
        {"data/run1.f08", {}, 6, dir + QStringLiteral("self.dat")},
        {"data/st.dat", {}, 4, dir + QStringLiteral("st.dat")},
        {"data/self.dat", 7, 7, dir + QStringLiteral("self.dat")},
        {"data/run1.txt", 0, 0, dir + QStringLiteral("st.dat")},
        {"data/run1.his", 6, 6, dir + QStringLiteral("self.dat")},
    };
    for (const C& c : cases) {
        ReadOptions o;
        o.mode = c.mode;
        const qrn::ReadRequest r = makeReadRequest(QString::fromUtf8(c.input), o);
        EXPECT_EQ(r.mode, c.wantMode) << c.input;
        EXPECT_EQ(r.settingsPath, c.settings) << c.input;
        EXPECT_EQ(r.selectedPath, QDir::toNativeSeparators(
                                      QFileInfo(QString::fromUtf8(c.input)).absoluteFilePath()));
        EXPECT_FALSE(r.sectionChecked);
        EXPECT_EQ(r.intervalText, QStringLiteral("0.05"));
        EXPECT_FALSE(r.memoryLimit);
    }
    ReadOptions o;
    o.settings = QStringLiteral("other/deck.dat");
    o.section = QStringLiteral("tmp/sec.file");
    o.memoryLimit = 1000;
    const qrn::ReadRequest r = makeReadRequest(QStringLiteral("run1.his"), o);
    EXPECT_EQ(r.settingsPath, QDir::toNativeSeparators(QStringLiteral("other/deck.dat")));
    EXPECT_TRUE(r.sectionChecked);
    EXPECT_EQ(r.sectionPath, QDir::toNativeSeparators(QStringLiteral("tmp/sec.file")));
    EXPECT_EQ(r.memoryLimit.value_or(0), 1000u);
    EXPECT_THROW(makeReadRequest(QStringLiteral("run1.txt"), ReadOptions{}), UsageError);
}

TEST(CliArgs, IntervalBoxRule) {
    struct C {
        const char* in;
        const char* out;
    };
    const C cases[] = {{"0.05", "0.05"}, {"0", "0.1"}, {"", "0.1"},      {"abc", "0.1"},
                       {"0.000", "0.1"}, {" 2", " 2"}, {"1e-3", "1e-3"}, {"-0.5", "-0.5"}};
    for (const C& c : cases)
        EXPECT_EQ(intervalBoxText(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
    ReadOptions o;
    o.interval = QStringLiteral("0");
    EXPECT_EQ(makeReadRequest(QStringLiteral("a.his"), o).intervalText, QStringLiteral("0.1"));
}

TEST(TerminalHost, MessagesOneLinePerCrJoinedLine) {
    QByteArray out;
    TerminalHost host([&](const QByteArray& b) { out += b; }, false);
    host.message(QStringLiteral("ファイル読み込みエラー"),
                 QStringLiteral("初期設定ファイルx.datがありません。\r再入力してください。"));
    host.message(qrn::kAppTitle, QStringLiteral("間引き"));
    EXPECT_EQ(QString::fromUtf8(out),
              QStringLiteral("ファイル読み込みエラー: 初期設定ファイルx.datがありません。\n"
                             "再入力してください。\nqrnconv: 間引き\n"));
    EXPECT_EQ(host.messages().size(), 2);
}

TEST(TerminalHost, ProgressOnlyOnATerminal) {
    QByteArray quiet;
    {
        TerminalHost host([&](const QByteArray& b) { quiet += b; }, false);
        host.stage(QStringLiteral("データ読込中"));
        for (int i = 0; i <= 10; ++i) host.progress(i / 10.0);
        host.endProgress();
    }
    EXPECT_TRUE(quiet.isEmpty());

    QByteArray tty;
    TerminalHost host([&](const QByteArray& b) { tty += b; }, true);
    host.stage(QStringLiteral("データ読込中"));
    host.progress(0.0);
    host.progress(0.001);  // same percentage: nothing drawn
    host.progress(1.0);    // completion is always drawn
    host.message(QStringLiteral("T"), QStringLiteral("m"));
    EXPECT_EQ(QString::fromUtf8(tty),
              QStringLiteral("\rデータ読込中   0%\rデータ読込中 100%\nT: m\n"));
}

TEST(TerminalHost, NoticesFollowTheProgressLineInOrder) {
    QByteArray tty;
    TerminalHost host([&](const QByteArray& b) { tty += b; }, true);
    host.stage(QStringLiteral("データ保存中"));
    host.progress(0.5);
    host.show({{qrn::kAppTitle, QStringLiteral("a")}, {QStringLiteral("T"), QStringLiteral("b")}});
    EXPECT_EQ(QString::fromUtf8(tty), QStringLiteral("\rデータ保存中  50%\nqrnconv: a\nT: b\n"));
}

TEST(InfoText, JsonAndTextForms) {
    qrn::Dataset d;
    d.CableMax = 5;
    d.NodeTblMax = 413;
    d.NodeMax = 60;
    d.BeamElemMax = -1;
    d.BeamNodeMax = 0;
    d.StepCount = 40;
    d.StepMax = 39;
    d.TensionMax = 0;
    d.BeamRecCount = 0;
    qrn::ReadResult r;
    r.completed = true;
    r.thinning = 10;
    r.intervalText = QStringLiteral("0.5");
    r.forceFactor = 1000;
    r.lengthFactor = 0.01;
    r.filesRead = {QStringLiteral("C:\\work\\st.dat"), QStringLiteral("a \"b\".his")};
    const QByteArray json = infoText(d, r, true);
    EXPECT_EQ(
        json,
        "{\"CableMax\":5,\"NodeTblMax\":413,\"NodeMax\":60,\"BeamElemMax\":-1,\"BeamNodeMax\":0,"
        "\"StepCount\":40,\"StepMax\":39,\"TensionMax\":0,\"BeamRecCount\":0,\"thinning\":10,"
        "\"interval\":\"0.5\",\"forceFactor\":1000,\"lengthFactor\":0.01,"
        "\"files\":[\"C:\\\\work\\\\st.dat\",\"a \\\"b\\\".his\"]}\n");
    QJsonParseError err;
    const QJsonObject o = QJsonDocument::fromJson(json, &err).object();
    ASSERT_EQ(err.error, QJsonParseError::NoError);
    EXPECT_EQ(o.value(QStringLiteral("files")).toArray().at(0).toString(),
              QStringLiteral("C:\\work\\st.dat"));
    EXPECT_EQ(o.value(QStringLiteral("lengthFactor")).toDouble(), 0.01);

    const QString text = QString::fromUtf8(infoText(d, r, false));
    EXPECT_TRUE(text.startsWith(QStringLiteral("CableMax      5\nNodeTblMax    413\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\ninterval      0.5\n")));
    EXPECT_TRUE(text.endsWith(
        QStringLiteral("files         C:\\work\\st.dat\n              a \"b\".his\n")));
    EXPECT_EQ(jsonString(QStringLiteral("\x01\tü")), QByteArray("\"\\u0001\\tü\""));
}
