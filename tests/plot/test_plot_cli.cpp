// qrnconv plot as a process: PNG and SVG on the sample; bad input gives its
// message, exit status 1, and leaves an existing OUT as it was.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>

#include "../cli/qrnconvprocess.h"

using namespace qrn::test;

namespace {

class PlotCli : public SampleSuite {
  protected:
    static QByteArray read(const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(PlotCli, WritesPngAndSvg) {
    const QString png = path("plot.png");
    Outcome r = qrnconv({QStringLiteral("plot"), path("run1.his"), png, QStringLiteral("--nodes"),
                         QStringLiteral("1003"), QStringLiteral("--tension"),
                         QStringLiteral("--size"), QStringLiteral("640x400")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(640, 400));

    const QString svg = path("plot.svg");
    r = qrnconv({QStringLiteral("plot"), path("run1.his"), svg, QStringLiteral("--nodes"),
                 QStringLiteral("1003"), QStringLiteral("--axes"), QStringLiteral("z")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString text = QString::fromUtf8(read(svg));
    EXPECT_TRUE(text.contains(QStringLiteral("<svg")));
    EXPECT_TRUE(text.contains(QStringLiteral("viewBox=\"0 0 1000 600\"")));
    EXPECT_TRUE(text.contains(QStringLiteral(">変位<")));  // its own run of text
}

TEST_F(PlotCli, BadInputLeavesOutAsItWas) {
    const QString out = path("keep.png");
    const struct {
        QStringList options;
        const char* message;
    } cases[] = {
        {{QStringLiteral("--nodes"), QStringLiteral("4242")},
         "ノード番号4242はノードテーブルにありません。"},
        {{}, "グラフにする系列が選択されていません。"},
        {{QStringLiteral("--nodes"), QStringLiteral("1003"), QStringLiteral("--from"),
          QStringLiteral("50")},
         "にはデータがありません。"},
        {{QStringLiteral("--elements"), QStringLiteral("77")},
         "要素番号77の張力データはありません。"},
    };
    for (const auto& c : cases) {
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
        f.close();
        const Outcome r =
            qrnconv(QStringList{QStringLiteral("plot"), path("run1.his"), out} + c.options);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << r.err.toStdString();
        EXPECT_EQ(read(out), QByteArray("old")) << c.message;
    }
    const Outcome r = qrnconv(
        {QStringLiteral("plot"), path("run1.his"), path("a.jpg"), QStringLiteral("--tension")});
    EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
