// A selection's series against the CSV export of the same selection, on the
// sample analysis read through the core: same columns, same times, and every
// value formats to the CSV's cell.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "analysis/series.h"
#include "analysis/seriescsv.h"
#include "cli/cliargs.h"
#include "cli/readinput.h"
#include "cli/sample.h"
#include "dataset/error.h"
#include "dataset/numbers.h"

using namespace qrn;
using namespace qrn::analysis;

namespace {

const QString kDt = QStringLiteral("0.05");

class SeriesVsCsv : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        sample::SampleOptions s;
        s.cables = 2;
        s.nodes = 6;
        s.steps = 40;
        sample::writeSample(dir_->path(), s);
        data_ = new Dataset;
        cli::TerminalHost host([](const QByteArray&) {}, false);
        const ReadRequest req = cli::makeReadRequest(path("run1.his"), cli::ReadOptions{});
        ASSERT_TRUE(cli::readInput(*data_, req, host).completed);
    }
    static void TearDownTestSuite() {
        delete data_;
        delete dir_;
    }
    static QString path(const char* name) { return QDir(dir_->path()).filePath(name); }
    static QByteArray bytes(const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The CSV the export writes for the selection (every tension record when any).
    static QList<QStringList> exportCsv(const PlotSelection& sel) {
        CsvSelection csv = sel.csv;
        csv.tension = sel.anyTension();
        csv.outputPath = path("export.csv");
        NullProgress quiet;
        writeCsv(*data_, csv, kDt, quiet);
        QStringDecoder sjis("Shift_JIS");
        const QString text = sjis.decode(bytes(csv.outputPath));
        QList<QStringList> rows;
        for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            rows.push_back(line.split(QLatin1Char(',')));
        return rows;
    }
    static std::int32_t nodeNumber(int entry) { return data_->NodeTbl(0, entry); }
    static inline QTemporaryDir* dir_ = nullptr;
    static inline Dataset* data_ = nullptr;
};

TEST_F(SeriesVsCsv, ValuesAreTheCsvCells) {
    struct Case {
        const char* name;
        CsvCliOptions options;
        std::optional<QString> elements;
    };
    const QString nodes =
        QString::number(nodeNumber(2)) + QLatin1Char(',') + QString::number(nodeNumber(7));
    std::vector<Case> cases(5);
    cases[0] = {"nodes, every axis, part of the time", {}, std::nullopt};
    cases[0].options.nodes = nodes;
    cases[0].options.from = QStringLiteral("0.1");
    cases[0].options.to = QStringLiteral("1.2");
    cases[0].options.every = QStringLiteral("0.1");
    cases[1] = {"initial position added", {}, std::nullopt};
    cases[1].options.nodes = nodes;
    cases[1].options.init = true;
    cases[2] = {"every tension record and beam", {}, std::nullopt};
    cases[2].options.tension = true;
    cases[2].options.beams = QStringLiteral("all");
    cases[3] = {"counting down", {}, std::nullopt};
    cases[3].options.nodes = nodes;
    cases[3].options.axes = QStringLiteral("zt");
    cases[3].options.from = QStringLiteral("1.5");
    cases[3].options.to = QStringLiteral("0.2");
    cases[3].options.every = QStringLiteral("-0.15");
    const QString element = QString::number(data_->TensionElem(1));
    cases[4] = {"tension narrowed to one element", {}, element};

    for (const Case& c : cases) {
        const PlotSelection sel = plotSelectionFromOptions(*data_, c.options, c.elements, kDt);
        const std::vector<Series> series = selectionSeries(*data_, sel, kDt);
        const QList<QStringList> csv = exportCsv(sel);
        ASSERT_FALSE(series.empty()) << c.name;
        const qsizetype rows = csv.size() - 1;
        ASSERT_EQ(rows, series.front().grid.count) << c.name;
        const bool down = c.options.every && c.options.every->startsWith(QLatin1Char('-'));
        for (const Series& s : series) {
            const qsizetype column = csv.front().indexOf(s.csvHeader);
            ASSERT_GT(column, 0) << c.name << " " << s.csvHeader.toStdString();
            for (qsizetype r = 0; r < rows; ++r) {
                const std::int64_t i = down ? rows - 1 - r : r;
                const QStringList& cells = csv[r + 1];
                EXPECT_EQ(num::formatGeneralQ(s.grid.time(i)), cells[0]) << c.name;
                EXPECT_EQ(num::formatGeneralQ(s.values[static_cast<std::size_t>(i)]), cells[column])
                    << c.name << " " << s.csvHeader.toStdString() << " row " << r;
            }
        }
        if (c.elements) {
            ASSERT_EQ(series.size(), 1u);
            EXPECT_EQ(series[0].csvHeader, element + QStringLiteral("張力(kg)"));
        } else {
            // Without narrowing, the series are the CSV's columns in its order.
            ASSERT_EQ(static_cast<qsizetype>(series.size()), csv.front().size() - 1) << c.name;
        }
    }
}

// The plot's own CSV writer gives the export's bytes for the same columns,
// and savePlotCsv uses it for what the export cannot select.
TEST_F(SeriesVsCsv, SavedCsvIsTheExportsFormat) {
    CsvCliOptions o;
    o.nodes = QString::number(nodeNumber(3));
    o.tension = true;
    const PlotSelection sel = plotSelectionFromOptions(*data_, o, std::nullopt, kDt);
    const std::vector<Series> series = selectionSeries(*data_, sel, kDt);
    std::vector<const Series*> all;
    for (const Series& s : series) all.push_back(&s);
    writeSeriesCsv(all, path("own.csv"));
    exportCsv(sel);
    EXPECT_EQ(bytes(path("own.csv")), bytes(path("export.csv")));

    Series extra;
    extra.label = extra.csvHeader = QStringLiteral("離隔");
    extra.grid = series.front().grid;
    extra.grid.first = 2;
    extra.grid.count = 2;
    extra.values = {1.5, 2.25};
    savePlotCsv(*data_, sel, kDt, {all.front()}, {&extra}, path("extra.csv"));
    const QByteArray text = bytes(path("extra.csv"));
    const QList<QByteArray> lines = text.split('\n');
    EXPECT_TRUE(lines[0].endsWith(",\x97\xa3\x8a\x75\r")) << lines[0].toStdString();  // 離隔
    EXPECT_TRUE(lines[1].endsWith(",\r"));
    EXPECT_TRUE(lines[3].startsWith("0.1,")) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].endsWith(",1.5\r"));
    EXPECT_TRUE(lines[4].endsWith(",2.25\r"));
}

TEST_F(SeriesVsCsv, BadSelectionsGiveMessages) {
    const auto nodesFrom = [](std::optional<QString> nodes, std::optional<QString> from) {
        CsvCliOptions o;
        o.nodes = nodes;
        o.from = from;
        return o;
    };
    const struct {
        const char* name;
        CsvCliOptions options;
        std::optional<QString> elements;
        QString message;
    } cases[] = {
        {"unknown element",
         {},
         QStringLiteral("77"),
         QStringLiteral("要素番号77の張力データはありません。")},
        {"unknown node", nodesFrom(QStringLiteral("4242"), std::nullopt), std::nullopt,
         QStringLiteral("ノード番号4242はノードテーブルにありません。")},
        {"range outside the data", nodesFrom(QString::number(nodeNumber(2)), QStringLiteral("30")),
         std::nullopt,
         QStringLiteral("出力時間 30 s～1.95 s にはデータがありません。\rデータは 0 s～1.95 s "
                        "の範囲にあります。")},
    };
    for (const auto& c : cases) {
        try {
            const PlotSelection sel = plotSelectionFromOptions(*data_, c.options, c.elements, kDt);
            selectionSeries(*data_, sel, kDt);
            ADD_FAILURE() << c.name;
        } catch (const QrnError& e) {
            EXPECT_EQ(e.message(), c.message) << c.name;
        }
    }
    EXPECT_TRUE(plotKeys(*data_, openPlotSelection(*data_, kDt)).empty());
    EXPECT_FALSE(elementsOptionError(QStringLiteral("1,x")).isEmpty());
    EXPECT_TRUE(elementsOptionError(QStringLiteral("1, 2")).isEmpty());
}

}  // namespace
