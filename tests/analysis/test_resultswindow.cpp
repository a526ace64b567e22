// The results window on the offscreen platform, over a small line model whose
// answers are known: tables, sorting, rows driving the viewer, bad input, the
// envelope file; and the viewer drawing the clearance line.
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "../render/model.h"
#include "analysis/window/resultswindow.h"
#include "viewer/viewerwindow.h"

using namespace qrn;

namespace {

// Three straight cables of nodes 0..4 along x at y = 0, 10, 20 (z = 20); at
// step 1 node 2 of cable 2 moves 7 m towards cable 1, so G1–G2 come within
// 3 m and G0–G2 within 13 m there; G0–G1 stay 10 m apart. Tension record r
// is 1200 + 100 t + r at step t.
Dataset model() {
    Dataset ds = test::blankModel({4, 4, 4}, 0, 2, 3);
    for (int s = 0; s < 3; ++s)
        for (int n = 0; n <= 4; ++n) test::setPos(ds, s, n, 10.0f * n, 10.0f * s, 20.0f);
    ds.NodeDisp(2, 0, 2, 1) = -7000;
    for (int t = 0; t <= 2; ++t)
        for (int r = 0; r < 3; ++r)
            ds.TensionHist(t, r) = static_cast<std::int16_t>(1200 + 100 * t + r);
    return ds;
}

struct Calls {
    std::vector<int> steps, tensions;
    std::vector<std::optional<std::pair<int, int>>> clearances;  // groups shown, or none
    std::vector<QString> messages;
};

struct Harness {
    Dataset ds = model();
    Calls calls;
    ResultsWindow w{ds, [] { return QStringLiteral("0.05"); }};

    Harness() {
        w.messageSink = [this](const QString&, const QString& text) {
            calls.messages.push_back(text);
        };
        ResultsWindow::Viewer v;
        v.showStep = [this](int s) { calls.steps.push_back(s); };
        v.selectTension = [this](int r) { calls.tensions.push_back(r); };
        v.showClearance = [this](const Clearance* c) {
            calls.clearances.push_back(c ? std::optional(std::pair{c->groupA, c->groupB})
                                         : std::nullopt);
        };
        w.openFor(v);
        QTRY_VERIFY(w.report().has_value());
        calls = {};
    }
    QTableView& table(const char* name) { return *w.findChild<QTableView*>(QLatin1String(name)); }
    QLineEdit& box(const char* name) { return *w.findChild<QLineEdit*>(QLatin1String(name)); }
    QString text(const char* name, int row, int column) {
        return table(name).model()->index(row, column).data().toString();
    }
    void select(const char* name, int row) {
        QTableView& t = table(name);
        t.setCurrentIndex(t.model()->index(row, 0));
    }
};

}  // namespace

class TestResultsWindow : public QObject {
    Q_OBJECT
  private slots:
    void tablesShowTheReport();
    void sortingIsByValue();
    void rowsDriveTheViewer();
    void badInputComputesNothing();
    void envelopeAsksBeforeReplacing();
    void curveForAClearance();
    void viewerDrawsTheLine();
};

void TestResultsWindow::tablesShowTheReport() {
    Harness h;
    QCOMPARE(h.box("Groups").text(), QStringLiteral("0;1;2"));
    QCOMPARE(h.box("To").text(), QStringLiteral("0.1"));
    const QStringList want[] = {{"G1（1）", "G2（2）", "3.000", "1", "0.05"},
                                {"G0（0）", "G1（1）", "10.000", "0", "0"},
                                {"G0（0）", "G2（2）", "13.000", "1", "0.05"}};
    QCOMPARE(h.table("ClearanceTable").model()->rowCount(), 3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c) QCOMPARE(h.text("ClearanceTable", r, c), want[r][c]);
    QCOMPARE(h.text("ClearanceTable", 0, 5), QStringLiteral("ケーブル1 区間2 u=0.000"));
    // Tension record r: 1200 + 100 t + r over steps 0..2.
    QCOMPARE(h.table("TensionTable").model()->rowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(h.text("TensionTable", r, 1), QString::number(1000 + r));
        QCOMPARE(h.text("TensionTable", r, 2), QString::number(1400 + r));
        QCOMPARE(h.text("TensionTable", r, 3), QStringLiteral("2"));
        QCOMPARE(h.text("TensionTable", r, 5), QString::number(1200 + r));
    }

    // A threshold adds the time below it and the verdict.
    h.box("Threshold").setText(QStringLiteral("5"));
    QVERIFY(h.w.compute());
    QCOMPARE(h.table("ClearanceTable").model()->columnCount(), 10);
    QCOMPARE(h.text("ClearanceTable", 0, 7), QStringLiteral("0.05"));
    QCOMPARE(h.text("ClearanceTable", 0, 8), QStringLiteral("1"));
    QCOMPARE(h.text("ClearanceTable", 0, 9), QStringLiteral("NG"));
    QCOMPARE(h.text("ClearanceTable", 1, 9), QStringLiteral("OK"));
}

void TestResultsWindow::sortingIsByValue() {
    Harness h;
    QTableView& t = h.table("ClearanceTable");
    t.sortByColumn(2, Qt::DescendingOrder);
    QCOMPARE(h.text("ClearanceTable", 0, 2), QStringLiteral("13.000"));
    // By number: as text "10.000" < "13.000" < "3.000".
    t.sortByColumn(2, Qt::AscendingOrder);
    QCOMPARE(h.text("ClearanceTable", 0, 2), QStringLiteral("3.000"));
    QCOMPARE(h.text("ClearanceTable", 2, 2), QStringLiteral("13.000"));
    h.table("TensionTable").sortByColumn(2, Qt::DescendingOrder);
    QCOMPARE(h.text("TensionTable", 0, 0), QStringLiteral("2"));
}

void TestResultsWindow::rowsDriveTheViewer() {
    Harness h;
    h.select("ClearanceTable", 2);  // G0–G2 at step 1
    QCOMPARE(h.calls.steps, std::vector<int>{1});
    QCOMPARE(h.calls.clearances.back(), std::optional(std::pair{0, 2}));
    h.select("TensionTable", 1);  // record 1 peaks at step 2; the line goes
    QCOMPARE(h.calls.tensions, std::vector<int>{1});
    QCOMPARE(h.calls.steps, (std::vector<int>{1, 2}));
    QCOMPARE(h.calls.clearances.back(), std::nullopt);

    h.select("ClearanceTable", 0);
    QCOMPARE(h.calls.clearances.back(), std::optional(std::pair{1, 2}));
    h.w.close();
    QCOMPARE(h.calls.clearances.back(), std::nullopt);

    // Another read replaced the dataset: the report goes.
    h.ds = model();
    h.w.checkDataset();
    QVERIFY(!h.w.report());
    QCOMPARE(h.table("ClearanceTable").model()->rowCount(), 0);
}

void TestResultsWindow::badInputComputesNothing() {
    const struct {
        const char* box;
        QString text;
        QString message;
    } cases[] = {
        {"Groups", "0,5", "5"},
        {"Groups", "0,1;1,2", "1"},
        {"Threshold", "-1", "離隔の判定基準"},
        {"From", "5", "時間ステップがありません"},
    };
    for (const auto& c : cases) {
        Harness fresh;
        fresh.box(c.box).setText(c.text);
        QVERIFY(!fresh.w.compute());
        QCOMPARE(fresh.calls.messages.size(), std::size_t{1});
        QVERIFY2(fresh.calls.messages[0].contains(c.message), qPrintable(fresh.calls.messages[0]));
        QCOMPARE(fresh.text("ClearanceTable", 0, 2), QStringLiteral("3.000"));
        QVERIFY(fresh.calls.steps.empty() && fresh.calls.clearances.empty());
    }
}

void TestResultsWindow::envelopeAsksBeforeReplacing() {
    Harness h;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("envelope.csv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    QString asked;
    for (const bool yes : {false, true}) {
        h.w.questionSink = [&](const QString&, const QString& text) {
            asked = text;
            return yes;
        };
        QCOMPARE(h.w.saveEnvelopeCsv(path), yes);
        QVERIFY(asked.contains(QStringLiteral("envelope.csv")));
        QVERIFY(asked.contains(QStringLiteral("上書きしますか？")));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll() == "old", !yes);
    }
}

void TestResultsWindow::curveForAClearance() {
    Harness h;
    QVector<double> times, values;
    connect(&h.w, &ResultsWindow::clearanceCurveRequested, this,
            [&](const QString&, const QVector<double>& t, const QVector<double>& v) {
                times = t;
                values = v;
            });
    QVERIFY(h.w.sendClearanceCurve(0));  // G1–G2
    QCOMPARE(times, (QVector<double>{0.0, 0.05, 0.1}));
    QCOMPARE(values, (QVector<double>{10.0, 3.0, 10.0}));
}

void TestResultsWindow::viewerDrawsTheLine() {
    for (const int mode : {0, 1}) {
        Dataset ds = model();
        viewer::ViewerWindow v(
            ds, mode, [] { return QStringLiteral("0.05"); }, [] {});
        v.open(true);
        auto redPixels = [&] {
            const QImage img = v.currentImage().convertToFormat(QImage::Format_RGB32);
            int n = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == qRgb(255, 0, 0);
            return n;
        };
        QCOMPARE(redPixels(), 0);
        v.setClearanceOverlay(render::ClearanceOverlay{{1, 2, 0.0}, {2, 1, 1.0}});
        QVERIFY(redPixels() > 0);
        v.setClearanceOverlay(std::nullopt);
        QCOMPARE(redPixels(), 0);
        v.selectTensionRecord(2);
        QCOMPARE(v.state().TensSel, 2);
        v.close();
    }
}

QTEST_MAIN(TestResultsWindow)
#include "test_resultswindow.moc"
