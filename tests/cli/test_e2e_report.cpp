// End to end: qrnconv report on the bundled sample (six cables in three twin
// phases, 400 steps), in every reading mode, and its refusals.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cmath>

#include "qrnconvprocess.h"

namespace {

using qrn::test::Outcome;
using qrn::test::qrnconv;

TEST(QrnconvReport, BundledSample) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QString::fromUtf8(name)); };
    ASSERT_EQ(qrnconv({QStringLiteral("sample"), dir.path()}).exitCode, 0);
    const auto report = [&](QStringList args) {
        args.prepend(QStringLiteral("report"));
        return qrnconv(args);
    };

    const Outcome his =
        report({path("run1.his"), QStringLiteral("--json"), QStringLiteral("--threshold"),
                QStringLiteral("5"), QStringLiteral("--envelope-csv"), path("env.csv")});
    ASSERT_EQ(his.exitCode, 0) << his.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(his.out.toUtf8()).object();
    EXPECT_EQ(o.value(QStringLiteral("steps")).toArray(), (QJsonArray{0, 399}));
    // The twin sub-conductors of each phase are 0.4 m apart, the phases metres apart.
    EXPECT_EQ(o.value(QStringLiteral("groups")).toArray(),
              (QJsonArray{QJsonArray{0, 1}, QJsonArray{2, 3}, QJsonArray{4, 5}}));
    const QJsonArray clearance = o.value(QStringLiteral("clearance")).toArray();
    ASSERT_EQ(clearance.size(), 3);
    double previous = 0.0;
    for (const auto& v : clearance) {
        const QJsonObject c = v.toObject();
        const double d = c.value(QStringLiteral("distance")).toDouble();
        EXPECT_GE(d, previous);
        previous = d;
        // The two points are the distance apart, on cables of the two groups.
        const QJsonObject a = c.value(QStringLiteral("a")).toObject();
        const QJsonObject b = c.value(QStringLiteral("b")).toObject();
        const auto diff = [&](const char* k) {
            return a.value(QLatin1String(k)).toDouble() - b.value(QLatin1String(k)).toDouble();
        };
        EXPECT_NEAR(std::hypot(diff("x"), diff("y"), diff("z")), d, 1e-9);
        const QJsonArray groups = c.value(QStringLiteral("groups")).toArray();
        EXPECT_EQ(a.value(QStringLiteral("slot")).toInt() / 2, groups[0].toInt());
        EXPECT_EQ(b.value(QStringLiteral("slot")).toInt() / 2, groups[1].toInt());
        const int step = c.value(QStringLiteral("step")).toInt();
        EXPECT_DOUBLE_EQ(c.value(QStringLiteral("time")).toDouble(), step * 0.05);
        EXPECT_EQ(c.value(QStringLiteral("pass")).toBool(), d >= 5.0);
        EXPECT_EQ(c.value(QStringLiteral("firstBelowStep")).isNull(),
                  c.value(QStringLiteral("belowTime")).toDouble() == 0.0);
    }
    const QJsonArray tension = o.value(QStringLiteral("tension")).toArray();
    EXPECT_EQ(tension.size(), 360);  // every cable element of the sample
    for (const auto& v : tension)
        EXPECT_GE(v.toObject().value(QStringLiteral("max")).toInt(),
                  v.toObject().value(QStringLiteral("min")).toInt());
    EXPECT_EQ(o.value(QStringLiteral("beams")).toArray().size(), 168);
    QFile csv(path("env.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count("\r\n"), 1 + 6 * 61);

    // Every reading mode: the same clearances (the binary history holds no beam results).
    ASSERT_EQ(qrnconv({QStringLiteral("save"), path("run1.his"), path("run1.qrn3")}).exitCode, 0);
    for (const char* input : {"run1.f24", "run1.f08", "run1.qrn3"}) {
        const Outcome r = report({path(input), QStringLiteral("--json"),
                                  QStringLiteral("--threshold"), QStringLiteral("5")});
        ASSERT_EQ(r.exitCode, 0) << input << r.err.toStdString();
        EXPECT_EQ(
            QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("clearance")),
            QJsonValue(clearance))
            << input;
    }
    // Thinned and settings-only reads still give a report.
    struct Few {
        QStringList args;
        QJsonArray steps;
    } const few[] = {
        {{path("run1.his"), QStringLiteral("--memory-limit"), QStringLiteral("1500000")},
         QJsonArray{0, 199}},
        {{path("st.dat")}, QJsonArray{0, 0}},
    };
    for (const Few& f : few) {
        const Outcome r = report(f.args + QStringList{QStringLiteral("--json")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QJsonObject j = QJsonDocument::fromJson(r.out.toUtf8()).object();
        EXPECT_EQ(j.value(QStringLiteral("steps")).toArray(), f.steps);
        EXPECT_EQ(j.value(QStringLiteral("clearance")).toArray().size(), 3);
    }
    // The summary, and one group for all: no clearance, a note, the rest reported.
    const Outcome one =
        report({path("run1.his"), QStringLiteral("--groups"), QStringLiteral("0,1,2,3,4,5")});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_TRUE(one.out.contains(QStringLiteral("１つのグループ")));
    EXPECT_TRUE(one.out.contains(QStringLiteral("張力（最大値の大きい順、全 360 記録）")));

    struct Bad {
        QStringList args;
        int exit;
        const char* says;
    } const bad[] = {
        {{QStringLiteral("--groups"), QStringLiteral("0,6")}, 1, "ケーブル番号 6 はありません"},
        {{QStringLiteral("--groups"), QStringLiteral("0,1;1,2")}, 1, "２つのグループ"},
        {{QStringLiteral("--from"), QStringLiteral("30")}, 1, "時間ステップがありません"},
        {{QStringLiteral("--bundle-gap"), QStringLiteral("-1")}, 2, "--bundle-gap"},
        {{QStringLiteral("--threshold"), QStringLiteral("0")}, 2, "--threshold"},
    };
    for (const Bad& b : bad) {
        const Outcome r = report(
            QStringList{path("run1.his"), QStringLiteral("--envelope-csv"), path("env.csv")} +
            b.args);
        EXPECT_EQ(r.exitCode, b.exit) << b.says;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(b.says))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    // The envelope written above is still there, untouched by the refusals.
    EXPECT_EQ(QFile(path("env.csv")).size(), csv.size());
}

}  // namespace
