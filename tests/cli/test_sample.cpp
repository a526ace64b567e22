// The sample generator's files, column by column and byte by byte.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "cli/sample.h"
#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/textfile.h"

using namespace qrn::sample;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

std::vector<std::string> lines(const QByteArray& bytes) {
    // Every line must end in CR LF.
    std::vector<std::string> out;
    const std::string s = bytes.toStdString();
    std::size_t pos = 0;
    while (pos < s.size()) {
        const auto end = s.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "line without CR LF at byte " << pos;
        if (end == std::string::npos) break;
        out.push_back(s.substr(pos, end - pos));
        EXPECT_EQ(out.back().find('\n'), std::string::npos);
        pos = end + 2;
    }
    return out;
}

// 1-based columns a..b of a line, as the readers cut them.
std::string cols(const std::string& line, std::size_t a, std::size_t b) {
    if (line.size() < a) return {};
    return line.substr(a - 1, b - a + 1);
}
double colValue(const std::string& line, std::size_t a, std::size_t b) {
    return qrn::num::leadingValue(cols(line, a, b));
}

std::int32_t i32(const QByteArray& b, std::int64_t off) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(
                 static_cast<unsigned char>(b[static_cast<qsizetype>(off + i)]))
             << (8 * i);
    return static_cast<std::int32_t>(u);
}
double f64(const QByteArray& b, std::int64_t off) {
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i)
        u |= static_cast<std::uint64_t>(
                 static_cast<unsigned char>(b[static_cast<qsizetype>(off + i)]))
             << (8 * i);
    double v;
    std::memcpy(&v, &u, 8);
    return v;
}

// Two cables (one twin phase), five nodes each, seven steps: two spans with
// towers at node indices 0, 2, 4 and one spacer in each span.
SampleOptions tinyOptions() {
    SampleOptions s;
    s.cables = 2;
    s.nodes = 5;
    s.steps = 7;
    return s;
}

struct Record {
    std::string header;
    std::vector<double> values;
};

std::vector<Record> records(const std::vector<std::string>& ls) {
    std::vector<Record> out;
    for (std::size_t i = 0; i < ls.size(); ++i) {
        if (ls[i].compare(0, 7, "HISTORY") != 0) {
            if (!out.empty() && i > 0) {
                for (std::size_t f = 0; f + 12 <= ls[i].size(); f += 12)
                    out.back().values.push_back(qrn::num::leadingValue(ls[i].substr(f, 12)));
            }
            continue;
        }
        out.push_back({ls[i], {}});
        i += 2;  // the unused line and the count line
    }
    return out;
}

class SampleFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        writeSample(dir.path(), tinyOptions());
    }
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(SampleFiles, SettingsFileHasTheDeckInItsColumns) {
    const auto ls = lines(readAll(path(kSettingsName)));
    auto find = [&](const std::string& prefix) {
        for (std::size_t i = 0; i < ls.size(); ++i)
            if (ls[i].compare(0, prefix.size(), prefix) == 0) return i;
        return ls.size();
    };
    const std::size_t unit = find("*UNIT"), cable = find("*ELEMENT  CABLE"),
                      beam = find("*ELEMENT  BEAM"), node = find("*NODE");
    ASSERT_LT(unit, cable);
    ASSERT_LT(cable, beam);
    ASSERT_LT(beam, node);
    ASSERT_LT(node, ls.size());
    // Unit line: force unit in 1-2, length unit in 11.
    EXPECT_EQ(cols(ls[unit + 1], 1, 2), "KG");
    EXPECT_EQ(cols(ls[unit + 1], 11, 11), "M");

    // Element lines: number in 1-10, nodes in 31-40 and 41-50.
    struct El {
        int number, n1, n2;
    };
    auto elements = [&](std::size_t from, std::size_t to) {
        std::vector<El> out;
        for (std::size_t i = from + 1; i < to; ++i) {
            if (ls[i][0] == '#') continue;
            out.push_back({static_cast<int>(colValue(ls[i], 1, 10)),
                           static_cast<int>(colValue(ls[i], 31, 40)),
                           static_cast<int>(colValue(ls[i], 41, 50))});
        }
        return out;
    };
    const std::vector<El> cables = elements(cable, beam);
    const std::vector<El> wantCables = {{1001, 1001, 1002}, {1002, 1002, 1003}, {1003, 1003, 1004},
                                        {1004, 1004, 1005}, {2001, 2001, 2002}, {2002, 2002, 2003},
                                        {2003, 2003, 2004}, {2004, 2004, 2005}};
    ASSERT_EQ(cables.size(), wantCables.size());
    for (std::size_t i = 0; i < cables.size(); ++i) {
        EXPECT_EQ(cables[i].number, wantCables[i].number) << i;
        EXPECT_EQ(cables[i].n1, wantCables[i].n1) << i;
        EXPECT_EQ(cables[i].n2, wantCables[i].n2) << i;
    }
    // Insulators hang from a node above each tower; the spacers' centre nodes
    // lie on no cable.
    const std::vector<El> beams = elements(beam, node);
    const std::vector<El> wantBeams = {{3001, 3001, 1001}, {3002, 3001, 2001}, {3003, 3002, 1003},
                                       {3004, 3002, 2003}, {3005, 3003, 1005}, {3006, 3003, 2005},
                                       {3007, 3004, 1002}, {3008, 3004, 2002}, {3009, 3005, 1004},
                                       {3010, 3005, 2004}};
    ASSERT_EQ(beams.size(), wantBeams.size());
    for (std::size_t i = 0; i < beams.size(); ++i) {
        EXPECT_EQ(beams[i].number, wantBeams[i].number) << i;
        EXPECT_EQ(beams[i].n1, wantBeams[i].n1) << i;
        EXPECT_EQ(beams[i].n2, wantBeams[i].n2) << i;
    }
    EXPECT_EQ(ls[beam + 8], "      3007         3         1      3004      1002");

    // Node lines: number in 2-10, x, y, z in 11-20, 21-30, 31-40. Spans of 300
    // and 280 m, phase at y = -7, z = 34, bundle spacing 0.4 m, sag 3.2 % of
    // the span, insulators 3.5 m long.
    struct Nd {
        int number;
        double x, y, z;
    };
    std::vector<Nd> nodes;
    for (std::size_t i = node + 1; i < ls.size() && ls[i][0] != '*'; ++i) {
        if (ls[i][0] == '#') continue;
        EXPECT_EQ(ls[i][0], ' ');
        nodes.push_back({static_cast<int>(colValue(ls[i], 2, 10)), colValue(ls[i], 11, 20),
                         colValue(ls[i], 21, 30), colValue(ls[i], 31, 40)});
    }
    ASSERT_EQ(nodes.size(), 15u);
    const Nd want[] = {
        {1001, 0, -7.2, 34},      {1002, 150, -7.2, 24.4}, {1003, 300, -7.2, 34},
        {1004, 440, -7.2, 25.04}, {1005, 580, -7.2, 34},   {2001, 0, -6.8, 34},
        {2005, 580, -6.8, 34},    {3001, 0, -7, 37.5},     {3002, 300, -7, 37.5},
        {3003, 580, -7, 37.5},    {3004, 150, -7, 24.4},   {3005, 440, -7, 25.04},
    };
    for (const Nd& w : want) {
        bool found = false;
        for (const Nd& n : nodes) {
            if (n.number != w.number) continue;
            found = true;
            EXPECT_DOUBLE_EQ(n.x, w.x) << w.number;
            EXPECT_DOUBLE_EQ(n.y, w.y) << w.number;
            EXPECT_DOUBLE_EQ(n.z, w.z) << w.number;
        }
        EXPECT_TRUE(found) << w.number;
    }
    EXPECT_EQ(ls[node + 3], "      1002   150.000    -7.200    24.400");
    EXPECT_EQ(ls.back(), "*END");
    // The "Pro" deck is the same deck.
    EXPECT_EQ(readAll(path(kSettingsName)), readAll(path(kProSettingsName)));
}

TEST_F(SampleFiles, TextHistoryRecordsHaveTheirFieldsInPlace) {
    const QByteArray his = readAll(path(kHistoryName));
    EXPECT_EQ(his, readAll(path(kProTextName)));
    const auto ls = lines(his);
    // (10 cable nodes + 2 spacer centres) x 4 components, 8 tensions,
    // 6 insulator forces and 4 spacer arms x 2 components.
    struct Want {
        const char* kind;
        int count;
    };
    int disp = 0, cabl = 0, beam = 0;
    for (std::size_t i = 0; i < ls.size(); ++i) {
        const std::string& l = ls[i];
        if (l.compare(0, 7, "HISTORY") != 0) continue;
        ASSERT_EQ(l.size(), 60u);
        const std::string kind = cols(l, 21, 24);
        const int digit = l[39] - '0';
        const int number = static_cast<int>(colValue(l, 52, 60));
        if (kind == "DISP") {
            EXPECT_EQ(digit, disp % 4 + 1);
            ++disp;
        } else if (kind == "CABL") {
            EXPECT_EQ(digit, 1);
            ++cabl;
        } else {
            EXPECT_EQ(kind, "BEAM");
            EXPECT_GE(number, 3001);
            ++beam;
        }
        EXPECT_GT(number, 1000);
        // Count line, then 7 values: one line of six 12-character fields and one of one.
        EXPECT_DOUBLE_EQ(qrn::num::leadingValue(ls[i + 2]), 7.0);
        ASSERT_EQ(ls[i + 3].size(), 72u);
        ASSERT_EQ(ls[i + 4].size(), 12u);
        for (std::size_t f = 0; f < 72; f += 12) EXPECT_EQ(ls[i + 3][f], ' ') << l;
        if (i + 5 < ls.size()) {
            EXPECT_EQ(ls[i + 5].compare(0, 7, "HISTORY"), 0);
        }
    }
    EXPECT_EQ(disp, 48);
    EXPECT_EQ(cabl, 8);
    EXPECT_EQ(beam, 14);
    EXPECT_NE(ls[0].compare(0, 7, "HISTORY"), 0);  // title lines come first
    EXPECT_EQ(static_cast<std::int64_t>(his.size()), textHistorySize(Model(tinyOptions())));

    const auto rec = records(ls);
    ASSERT_EQ(rec.size(), 70u);
    // At step 0 the line is at rest: no displacement, no spacer force, the
    // insulators carry half of each adjacent span (1.6 kgf/m) plus 45 kgf.
    for (const auto& r : rec) {
        ASSERT_EQ(r.values.size(), 7u);
        if (cols(r.header, 21, 24) == "DISP") {
            EXPECT_EQ(r.values[0], 0.0) << r.header;
        }
    }
    EXPECT_DOUBLE_EQ(rec[56].values[0], 285.0);  // element 3001, tower 0
    EXPECT_DOUBLE_EQ(rec[58].values[0], 509.0);  // element 3003, tower 1
    EXPECT_DOUBLE_EQ(rec[60].values[0], 269.0);  // element 3005, tower 2
    EXPECT_DOUBLE_EQ(rec[62].values[0], 0.0);    // spacer arm 3007, axial
    // The motion builds up: mid-span nodes move, dead-end towers do not.
    double midSpan = 0, deadEnd = 0;
    for (const auto& r : rec) {
        const int number = static_cast<int>(colValue(r.header, 52, 60));
        for (double v : r.values) {
            if (number == 1002 && r.header[39] == '3') midSpan = std::max(midSpan, std::fabs(v));
            if (number == 1001 && cols(r.header, 21, 24) == "DISP")
                deadEnd = std::max(deadEnd, std::fabs(v));
        }
    }
    EXPECT_GT(midSpan, 0.01);
    EXPECT_EQ(deadEnd, 0.0);
}

TEST_F(SampleFiles, BinaryHistoryHoldsTheTextValuesAtItsOffsets) {
    const QByteArray b = readAll(path(kProBinaryName));
    const auto rec = records(lines(readAll(path(kHistoryName))));
    const std::int64_t n = 7;
    ASSERT_GE(b.size(), 1000);
    EXPECT_EQ(i32(b, 108), n);
    EXPECT_EQ(f64(b, 112), 0.05);
    const std::int64_t a = i32(b, 252);
    const std::int64_t h = 256 + 4 * n;
    const std::int64_t d = i32(b, h + 12), h2 = i32(b, h + 8);
    EXPECT_EQ(d, 48);
    EXPECT_EQ(h2, 56);  // displacement and tension entries; beam results are not in this form
    const std::int64_t e = i32(b, a + 312) / 8;
    ASSERT_EQ(e, 56);
    EXPECT_GE(a + 312, h + 64);
    EXPECT_EQ(static_cast<std::int64_t>(b.size()), a + 316 + n * (8 * e + 8) + 8 * e + 4);
    EXPECT_EQ(static_cast<std::int64_t>(b.size()), binaryHistorySize(Model(tinyOptions())));
    for (std::int64_t i = 0; i < e; ++i) {
        const auto& r = rec[static_cast<std::size_t>(i)];
        EXPECT_EQ(i32(b, a + 316 + 8 * i), static_cast<std::int32_t>(colValue(r.header, 52, 60)));
        EXPECT_EQ(i32(b, a + 320 + 8 * i), r.header[39] - '0');
        for (std::int64_t s = 1; s <= n; ++s) {
            // The same double the text field reads as.
            EXPECT_EQ(f64(b, a + 316 + s * (8 * e + 8) + 8 * i),
                      r.values[static_cast<std::size_t>(s - 1)])
                << "entry " << i << " step " << s;
        }
    }
    // Records are framed by their byte lengths.
    EXPECT_EQ(i32(b, a + 316 + 8 * e), 8 * e);
    EXPECT_EQ(i32(b, a + 316 + 8 * e + 4), 8 * e);
}

TEST_F(SampleFiles, SectionFilesAgree) {
    const auto ls = lines(readAll(path(kSectionTextName)));
    // Title lines carry no node number in 2-10.
    std::size_t i = 0;
    while (i < ls.size() && colValue(ls[i], 2, 10) <= 0) ++i;
    EXPECT_EQ(i, 2u);
    struct Entry {
        int node;
        double v[4];
    };
    std::vector<Entry> text;
    for (; i + 1 < ls.size(); i += 2) {
        const int node = static_cast<int>(colValue(ls[i], 2, 10));
        if (node == 0) break;
        Entry en{node, {}};
        ASSERT_EQ(ls[i + 1].size(), 48u);
        for (int k = 0; k < 4; ++k) en.v[k] = qrn::num::leadingValue(ls[i + 1].substr(12 * k, 12));
        text.push_back(en);
    }
    EXPECT_EQ(ls.back(), "         0");
    ASSERT_EQ(text.size(), 12u);  // the moving nodes: 10 on the cables, 2 spacer centres

    const QByteArray b = readAll(path(kSectionBinaryName));
    const std::int64_t e = i32(b, 272), bl = i32(b, 316);
    ASSERT_EQ(e, 48);
    ASSERT_EQ(bl, 8 * e);
    ASSERT_GE(b.size(), bl + 328 + 8 * e);
    for (std::int64_t k = 0; k < e; ++k) {
        const Entry& t = text[static_cast<std::size_t>(k / 4)];
        EXPECT_EQ(i32(b, 320 + 8 * k), t.node);
        EXPECT_EQ(i32(b, 324 + 8 * k), k % 4 + 1);
        EXPECT_EQ(f64(b, bl + 328 + 8 * k), t.v[k % 4]) << k;
    }
    // Tower nodes stay put; mid-span nodes sag a little further.
    EXPECT_EQ(text[0].node, 1001);
    EXPECT_EQ(text[0].v[2], 0.0);
    EXPECT_EQ(text[1].node, 1002);
    EXPECT_LT(text[1].v[2], -0.1);
}

TEST(Sample, SameSeedSameBytesOtherSeedOtherMotion) {
    QTemporaryDir a, b, c;
    SampleOptions s = tinyOptions();
    s.steps = 50;
    writeSample(a.path(), s);
    writeSample(b.path(), s);
    s.seed = 2;
    writeSample(c.path(), s);
    for (const QString& name :
         {kSettingsName, kHistoryName, kProBinaryName, kSectionTextName, kSectionBinaryName}) {
        EXPECT_EQ(readAll(QDir(a.path()).filePath(name)), readAll(QDir(b.path()).filePath(name)))
            << name.toStdString();
    }
    EXPECT_NE(readAll(QDir(a.path()).filePath(kHistoryName)),
              readAll(QDir(c.path()).filePath(kHistoryName)));
}

TEST(Sample, ValuesStayInsideFieldsAndSixteenBits) {
    // A quad-bundle double circuit over many steps: every field keeps a
    // leading blank, forces fit 16 bits, displacements stay within metres.
    SampleOptions s;
    s.cables = 24;
    s.nodes = 21;
    s.steps = 1000;
    const Model m(s);
    EXPECT_EQ(m.bundle(), 4);
    EXPECT_EQ(m.phases(), 6);
    std::vector<Model::Row> rows(Model::kChunk);
    for (const auto& e : m.entries()) {
        for (std::int64_t first = 0; first < s.steps; first += Model::kChunk) {
            const int count =
                static_cast<int>(std::min<std::int64_t>(Model::kChunk, s.steps - first));
            m.rows(e.phase, first, count, rows.data());
            for (int i = 0; i < count; ++i) {
                const double v =
                    static_cast<double>(Model::quantValue(e, rows[static_cast<std::size_t>(i)])) /
                    Model::scale(e);
                if (e.kind == Model::Entry::Disp) {
                    ASSERT_LT(std::fabs(v), 10.0) << e.number;
                } else {
                    ASSERT_LT(std::fabs(v), 32767.0) << e.number;
                    if (e.kind == Model::Entry::Cabl) {
                        ASSERT_GT(v, 1000.0) << e.number;
                    }
                }
            }
        }
    }
}

TEST(Sample, RowsDependOnlyOnTheStep) {
    // The text files ask for one entry over all steps, the binary file for all
    // entries step by step; a chunk computed twice must be bit-identical.
    SampleOptions s;
    s.steps = 1000;
    const Model m(s);
    std::vector<Model::Row> a(Model::kChunk), b(Model::kChunk);
    m.rows(1, 512, Model::kChunk, a.data());
    m.rows(0, 0, Model::kChunk, b.data());
    m.rows(1, 512, 100, b.data());
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(a[static_cast<std::size_t>(i)].s, b[static_cast<std::size_t>(i)].s);
        EXPECT_EQ(a[static_cast<std::size_t>(i)].c, b[static_cast<std::size_t>(i)].c);
        EXPECT_EQ(a[static_cast<std::size_t>(i)].n, b[static_cast<std::size_t>(i)].n);
    }
}

TEST(Sample, SpecLimits) {
    struct C {
        int cables, nodes;
        std::int64_t steps;
        double interval;
        bool ok;
    };
    const C cases[] = {
        {6, 61, 400, 0.05, true},
        {1, 2, 1, 0.001, true},
        {999, 32767, 1, 1, true},
        {0, 61, 400, 0.05, false},
        {1000, 61, 400, 0.05, false},
        {6, 1, 400, 0.05, false},
        {6, 32768, 400, 0.05, false},
        {6, 61, 0, 0.05, false},
        {6, 61, 400, 0, false},
        {6, 61, 400, -1, false},
        {6, 61, kMaxSteps + 1, 0.05, false},
    };
    for (const C& c : cases) {
        SampleOptions s;
        s.cables = c.cables;
        s.nodes = c.nodes;
        s.steps = c.steps;
        s.interval = c.interval;
        EXPECT_EQ(checkOptions(s).isEmpty(), c.ok) << c.cables << " " << c.nodes << " " << c.steps;
    }
}

TEST(Sample, BundlesAndSpans) {
    struct C {
        int cables, nodes, bundle, phases, spans;
    };
    const C cases[] = {{1, 2, 1, 1, 1},  {3, 61, 1, 3, 3}, {6, 61, 2, 3, 3},  {8, 5, 2, 4, 2},
                       {12, 7, 4, 3, 3}, {4, 3, 2, 2, 1},  {24, 100, 4, 6, 3}};
    for (const C& c : cases) {
        SampleOptions s;
        s.cables = c.cables;
        s.nodes = c.nodes;
        const Model m(s);
        EXPECT_EQ(m.bundle(), c.bundle) << c.cables;
        EXPECT_EQ(m.phases(), c.phases) << c.cables;
        EXPECT_EQ(m.spans(), c.spans) << c.nodes;
    }
}

TEST(Sample, UnwritableFolderIsReported) {
    QTemporaryDir d;
    const QString file = QDir(d.path()).filePath(QStringLiteral("plain"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    // A folder path that runs through a plain file cannot be created.
    EXPECT_THROW(writeSample(file + QStringLiteral("/sub"), tinyOptions()), qrn::QrnError);
}
