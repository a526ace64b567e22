#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "dataset/error.h"
#include "dataset/textfile.h"

using qrn::LineSplitter;

namespace {
std::vector<std::string> split(std::string_view text) {
    LineSplitter s(text, qrn::detectLfMode(text));
    std::vector<std::string> out;
    std::string_view line;
    while (s.next(line)) out.emplace_back(line);
    return out;
}
using V = std::vector<std::string>;
}  // namespace

TEST(LineSplitter, LineEndRules) {
    struct C {
        std::string text;
        V lines;
    };
    const C cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},            // last line without terminator
        {"a\nx\r\nb\r\n", {"a\nx", "b"}},  // bare LF stays inside a line when CR is used
        {"a\nb\nc\n", {"a", "b", "c"}},    // no CR at all: LF ends lines
        {"a\nb", {"a", "b"}},
        {"\r\n\r\n", {"", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(split(c.text), c.lines) << c.text;
}

TEST(TextFile, ReadsMappedFileAndReportsMissingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.his"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("HISTORY\r\n12\r\n");
    }
    const auto t = qrn::TextFile::open(path);
    EXPECT_FALSE(t.lfMode());
    LineSplitter s(t);
    std::string_view line;
    ASSERT_TRUE(s.next(line));
    EXPECT_EQ(line, "HISTORY");
    try {
        qrn::TextFile::open(dir.filePath(QStringLiteral("none.his")));
        FAIL() << "no exception";
    } catch (const qrn::QrnError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("none.his")));
        EXPECT_EQ(e.title(), QStringLiteral("ファイル読み込みエラー"));
    }
}

TEST(TextFile, EmptyFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("e.dat"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const auto t = qrn::TextFile::open(path);
    EXPECT_TRUE(t.text().empty());
}
