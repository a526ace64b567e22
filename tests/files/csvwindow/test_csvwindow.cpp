// The CSV export window on the offscreen platform: the row windows onto the
// selection tables, hidden rows, heights, "全選択", the time boxes, browsing,
// cancel, and the export with its failure handling.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStringEncoder>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>

#include "../../overwriteanswer.h"
#include "files/csvexport.h"
#include "files/csvwindow/csvexportwindow.h"

using namespace qrn;

namespace {

const QString kDt = QStringLiteral("0.05");

// `entries` nodes 1001, 1002, ... on cable slot 0; `beams` records with
// element 501 + i and code i % 3 + 1; tension records of elements 11 and 12;
// StepCount 5 (histories 0..6). A few values at step 2 for the export test.
Dataset makeDataset(int entries, int beams) {
    Dataset d;
    d.CableMax = 0;
    d.NodeMax = entries - 1;
    d.NodeTblMax = entries - 1;
    d.StepCount = 5;
    d.StepMax = 5;
    d.NodeTbl.create({Bounds{0, 2}, Bounds{0, entries - 1}});
    for (int j = 0; j < entries; ++j) {
        d.NodeTbl(0, j) = 1001 + j;
        d.NodeTbl(1, j) = 0;
        d.NodeTbl(2, j) = j;
    }
    d.NodePos.create({Bounds{0, 1}, Bounds{0, 2}, Bounds{0, entries - 1}});
    d.NodeTwist0.create({Bounds{0, 1}, Bounds{0, entries - 1}});
    d.NodeDisp.create({Bounds{0, 1}, Bounds{-1, 2}, Bounds{0, entries - 1}, Bounds{0, 6}});
    if (entries > 11) {
        d.NodeDisp(0, -1, 1, 2) = 1500;  // 1002 X: 1.5
        d.NodeDisp(0, 2, 1, 2) = -1;     // 1002 θ: floor(-5.73) / 100 = -0.06
        d.NodeDisp(0, 0, 11, 2) = 20;    // 1012 Y: 0.02
        d.NodeDisp(0, 1, 11, 2) = -3;    // 1012 Z: -0.003
    }
    d.TensionMax = 1;
    d.TensionElem.create({Bounds{0, 1}});
    d.TensionElem(0) = 11;
    d.TensionElem(1) = 12;
    d.TensionHist.create({Bounds{0, 6}, Bounds{0, 1}});
    d.TensionHist(2, 0) = -5;
    d.TensionHist(2, 1) = 7;
    d.BeamRecCount = beams;
    if (beams > 0) {
        d.BeamRecInfo.create({Bounds{0, 1}, Bounds{0, beams - 1}});
        d.BeamHist.create({Bounds{0, 6}, Bounds{0, beams - 1}});
        for (int i = 0; i < beams; ++i) {
            d.BeamRecInfo(0, i) = 501 + i;
            d.BeamRecInfo(1, i) = i % 3 + 1;
        }
        d.BeamHist(2, 0) = 9;
        if (beams > 7) d.BeamHist(2, 7) = -3;
    }
    return d;
}

template <typename T>
T* child(const QWidget& w, const QString& name) {
    T* c = w.findChild<T*>(name);
    if (!c) qFatal("no child %s", qPrintable(name));
    return c;
}

QCheckBox* nodeBox(const QWidget& w, int column, int row) {
    static const char* names[4] = {"Check2_", "Check3_", "Check4_", "Check6_"};
    return child<QCheckBox>(w, QString::fromLatin1(names[column]) + QString::number(row));
}
QCheckBox* beamBox(const QWidget& w, int row) {
    return child<QCheckBox>(w, QStringLiteral("Check7_") + QString::number(row));
}
QLabel* beamLabel(const QWidget& w, int row) {
    return child<QLabel>(w, QStringLiteral("Label6_") + QString::number(row));
}

// A user's click on the box's indicator.
void clickBox(QCheckBox* box) {
    QStyleOptionButton opt;
    opt.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
}

// Types into a box as a user does: replace its text, then Return.
void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing " + path.toUtf8() + ">";
    return f.readAll();
}

QStringList dirEntries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// Answers the modal boxes that open while it lives: message boxes are
// recorded and confirmed; file dialogs are handed to `onFileDialog`.
class ModalAnswerer {
  public:
    ModalAnswerer() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    std::function<void(QFileDialog*)> onFileDialog;
    QStringList titles, texts;
    QStringList questions;  // overwrite questions, answered "はい"

  private:
    void poll() {
        QWidget* top = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(top);
            box && box->objectName() == QLatin1String("OverwriteQuestion")) {
            questions << box->text();
            box->button(QMessageBox::Yes)->click();
        } else if (box) {
            titles << box->windowTitle();
            texts << box->text();
            box->button(QMessageBox::Ok)->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && onFileDialog) {
            onFileDialog(dialog);
        }
    }
    QTimer timer_;
};

QByteArray sjis(const QString& text) {
    QStringEncoder enc("Shift_JIS");
    return enc.encode(text);
}

}  // namespace

class TestCsvWindow : public QObject {
    Q_OBJECT

  private slots:
    void opening_data();
    void opening();
    void openingTexts();
    void captionsAndTips();
    void nodeScrollMapping();
    void beamScrollMapping();
    void selectAll_data();
    void selectAll();
    void timeBoxes_data();
    void timeBoxes();
    void exportSingle();
    void exportSplitMatchesWriter();
    void unwritableOutput_data();
    void unwritableOutput();
    void emptyOutputName();
    void cancelWritesNothing();
    void stopDuringExportKeepsEarlierFile();
    void overwriteAnsweredNo();
    void browse_data();
    void browse();
    void fileFilter_data();
    void fileFilter();
    void nodeJump();
    void wideFileQuestion_data();
    void wideFileQuestion();
};

void TestCsvWindow::opening_data() {
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("beams");
    QTest::addColumn<int>("nodeRows");
    QTest::addColumn<int>("nodeScrollMax");  // -1: scroll bar disabled
    QTest::addColumn<int>("beamRows");
    QTest::addColumn<int>("beamScrollMax");
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");

    QTest::newRow("7 entries, no beams") << 7 << 0 << 7 << -1 << 0 << -1 << 4485 << 299;
    QTest::newRow("1 entry, 1 beam") << 1 << 1 << 1 << -1 << 1 << -1 << 6645 << 443;
    QTest::newRow("10 entries, 5 beams") << 10 << 5 << 10 << -1 << 5 << -1 << 6645 << 443;
    QTest::newRow("11 entries, 6 beams") << 11 << 6 << 10 << 1 << 5 << 1 << 6645 << 443;
    QTest::newRow("500 entries, 3 beams") << 500 << 3 << 10 << 490 << 3 << -1 << 6645 << 443;
}

void TestCsvWindow::opening() {
    QFETCH(int, entries);
    QFETCH(int, beams);
    QFETCH(int, nodeRows);
    QFETCH(int, nodeScrollMax);
    QFETCH(int, beamRows);
    QFETCH(int, beamScrollMax);
    QFETCH(int, twips);
    QFETCH(int, pixels);

    const Dataset d = makeDataset(entries, beams);
    CsvExportWindow w(d, QStringLiteral("/tmp/run.csv"), kDt, QStringLiteral("/tmp/"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QCOMPARE(w.heightTwips(), twips);
    QCOMPARE(w.height(), pixels);
    QCOMPARE(w.minimumHeight(), w.maximumHeight());

    auto* vs1 = child<QScrollBar>(w, QStringLiteral("VScroll1"));
    QCOMPARE(vs1->isEnabled(), nodeScrollMax >= 0);
    if (nodeScrollMax >= 0) {
        QCOMPARE(vs1->minimum(), 0);
        QCOMPARE(vs1->maximum(), nodeScrollMax);
    }
    QCOMPARE(vs1->value(), 0);
    for (int k = 0; k < 10; ++k) {
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(nodeBox(w, c, k)->isVisible(), k < nodeRows);
            QVERIFY(!nodeBox(w, c, k)->isChecked());
        }
        if (k < nodeRows) QCOMPARE(nodeBox(w, 0, k)->text(), QString::number(1001 + k));
        QCOMPARE(nodeBox(w, 1, k)->text(), QString());
    }

    // Without records the beam frame lies below the window's edge and is hidden.
    auto* beamFrame = child<QGroupBox>(w, QStringLiteral("BeamFrame"));
    QCOMPARE(beamFrame->isVisible(), beams > 0);
    if (beams == 0) QVERIFY(beamFrame->geometry().top() >= w.height());
    if (beams > 0) QVERIFY(beamFrame->geometry().bottom() < w.height());
    auto* vs2 = child<QScrollBar>(w, QStringLiteral("VScroll2"));
    QCOMPARE(vs2->isEnabled(), beamScrollMax >= 0);
    if (beamScrollMax >= 0) QCOMPARE(vs2->maximum(), beamScrollMax);
    for (int k = 0; k < 5; ++k) {
        QCOMPARE(beamLabel(w, k)->isVisible(), k < beamRows);
        QCOMPARE(beamBox(w, k)->isVisible(), k < beamRows);
        if (k < beamRows) {
            QCOMPARE(beamLabel(w, k)->text(), QString::number(501 + k));
            QCOMPARE(beamBox(w, k)->text(), QString::number(k % 3 + 1));
        }
    }

    // The controls below the node frame stay inside the short window too.
    for (const char* name : {"Command1", "Command2", "Command3", "Command4", "Text4"})
        QVERIFY2(child<QWidget>(w, QString::fromLatin1(name))->geometry().bottom() < 299, name);
    QCOMPARE(child<QGroupBox>(w, QStringLiteral("NodeFrame"))->title(),
             QStringLiteral("ノード点出力情報選択"));
}

void TestCsvWindow::openingTexts() {
    const Dataset d = makeDataset(3, 0);
    struct Case {
        QString label1, interval, text2, text4;
    };
    const Case cases[] = {
        {QStringLiteral("C:\\work\\run1.csv"), kDt, QStringLiteral("0.2"),
         QStringLiteral("C:\\work\\run1.csv")},
        {QStringLiteral("C:\\a.b\\run.old.qrn"), QStringLiteral("0.1"), QStringLiteral("0.4"),
         QStringLiteral("C:\\a.b\\run.csv")},
        {QStringLiteral("/data/a.b/run"), QStringLiteral("0.01s"), QStringLiteral("0.04"),
         QStringLiteral("/data/a.b/run.csv")},
    };
    for (const Case& c : cases) {
        CsvExportWindow w(d, c.label1, c.interval, QString());
        QVERIFY(w.windowTitle().startsWith(QStringLiteral("CSVデータ保存")));
        QCOMPARE(child<QLineEdit>(w, QStringLiteral("Text1"))->text(), QStringLiteral("0"));
        QCOMPARE(child<QLineEdit>(w, QStringLiteral("Text2"))->text(), c.text2);
        QCOMPARE(child<QLineEdit>(w, QStringLiteral("Text3"))->text(), c.interval);
        QCOMPARE(child<QLineEdit>(w, QStringLiteral("Text4"))->text(), c.text4);
        QVERIFY(!child<QLabel>(w, QStringLiteral("Label5"))->isVisibleTo(&w));
        QCOMPARE(child<QLabel>(w, QStringLiteral("Label5"))->text(),
                 QStringLiteral("データ保存中"));
        for (const char* box : {"Check1", "Check5", "Check8"})
            QVERIFY(!child<QCheckBox>(w, QString::fromLatin1(box))->isChecked());
    }
}

void TestCsvWindow::captionsAndTips() {
    const Dataset d = makeDataset(3, 2);
    const CsvExportWindow w(d, QStringLiteral("/tmp/run.csv"), kDt, QString());
    struct Case {
        const char* name;
        QString caption, tip;
    };
    const QString node = QStringLiteral("出力させたいノード情報にチェックを付けます。");
    const QString time = QStringLiteral("出力する時間範囲を指定します。");
    const Case cases[] = {
        {"Check2_0", QStringLiteral("1001"), node},
        {"Check3_9", QString(), node},
        {"Check4_4", QString(), node},
        {"Check6_0", QString(), node},
        {"Label6_1", QStringLiteral("502"), QStringLiteral("Beam軸力ノードNo.")},
        {"Check7_1", QStringLiteral("2"), QStringLiteral("軸力の種別コード")},
        {"Check1", QStringLiteral("張力データ出力"),
         QStringLiteral("HISﾌｧｲﾙに出力されている全ての張力データが出力されます。")},
        {"Check5", QStringLiteral("変位ﾃﾞｰﾀに初期位置を付加"),
         QStringLiteral("移動量に初期座標位置データを加算して出力します。")},
        {"Check8", QStringLiteral("軸毎にファイルを分割"), QString()},
        {"Text1", QStringLiteral("0"), time},
        {"Text2", QStringLiteral("0.2"), time},
        {"Text3", kDt, QStringLiteral("出力時間間隔を指定します。")},
        {"Command1", QStringLiteral("実行"), QStringLiteral("CSVﾌｧｲﾙ出力を実行します。")},
        {"Command2", QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("CSVﾌｧｲﾙ出力をｷｬﾝｾﾙします。")},
        {"Command3", QStringLiteral("全選択"), QString()},
        {"Command4", QStringLiteral("参照"), QString()},
    };
    for (const Case& c : cases) {
        QWidget* widget = child<QWidget>(w, QString::fromLatin1(c.name));
        QString caption;
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) caption = b->text();
        if (auto* l = qobject_cast<QLabel*>(widget)) caption = l->text();
        if (auto* e = qobject_cast<QLineEdit*>(widget)) caption = e->text();
        QVERIFY2(caption == c.caption, c.name);
        QVERIFY2(widget->toolTip() == c.tip, c.name);
    }
    QStringList labels;
    for (const QLabel* l : w.findChildren<QLabel*>())
        if (l->objectName().isEmpty()) labels << l->text();
    for (const char* text : {"ノードNo.", "X軸", "Y軸", "Z軸", "θ", "出力コード", "出力時間", "s～",
                             "s", "出力間隔", "出力ファイル名"})
        QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
    QCOMPARE(child<QGroupBox>(w, QStringLiteral("BeamFrame"))->title(),
             QStringLiteral("Beam軸力データ"));
}

void TestCsvWindow::nodeScrollMapping() {
    const Dataset d = makeDataset(25, 0);
    CsvExportWindow w(d, QStringLiteral("/tmp/run.csv"), kDt, QString());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* vs1 = child<QScrollBar>(w, QStringLiteral("VScroll1"));
    const auto& sel = w.selection().NodeSel;

    // Every visible box shows NodeSel of the entry v + k, and the captions follow.
    auto expectRows = [&] {
        const int v = vs1->value();
        for (int k = 0; k < 10; ++k) {
            if (nodeBox(w, 0, k)->text() != QString::number(1001 + v + k)) return false;
            for (int c = 0; c < 4; ++c)
                if (nodeBox(w, c, k)->isChecked() != (sel(v + k, c) == 1)) return false;
        }
        return true;
    };

    clickBox(nodeBox(w, 0, 2));  // entry 2, X
    QCOMPARE(sel(2, CsvX), std::int16_t{1});
    vs1->setValue(5);
    QVERIFY(expectRows());
    QCOMPARE(nodeBox(w, 0, 2)->text(), QStringLiteral("1008"));
    QVERIFY(!nodeBox(w, 0, 2)->isChecked());
    clickBox(nodeBox(w, 3, 0));  // entry 5, θ
    clickBox(nodeBox(w, 2, 9));  // entry 14, Z
    QCOMPARE(sel(5, CsvTheta), std::int16_t{1});
    QCOMPARE(sel(14, CsvZ), std::int16_t{1});

    vs1->setValue(3);  // entry 5 is now row 2, entry 2 is gone from view
    QVERIFY(expectRows());
    QVERIFY(nodeBox(w, 3, 2)->isChecked());
    vs1->setValue(vs1->maximum());
    QCOMPARE(vs1->maximum(), 15);
    QCOMPARE(nodeBox(w, 0, 9)->text(), QStringLiteral("1025"));
    QVERIFY(expectRows());

    // The wheel over the list scrolls it like its scroll bar.
    auto* frame = child<QGroupBox>(w, QStringLiteral("NodeFrame"));
    const QPointF at(frame->width() / 2.0, frame->height() / 2.0);
    QWheelEvent wheel(at, frame->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(frame, &wheel);
    QVERIFY(vs1->value() < 15);
    QVERIFY(expectRows());

    vs1->setValue(0);
    QVERIFY(expectRows());
    QVERIFY(nodeBox(w, 0, 2)->isChecked());
    clickBox(nodeBox(w, 0, 2));  // clearing stores 0
    QCOMPARE(sel(2, CsvX), std::int16_t{0});
    QCOMPARE(csvSelectedNodeCells(w.selection()), 2);
}

void TestCsvWindow::beamScrollMapping() {
    const Dataset d = makeDataset(3, 8);
    CsvExportWindow w(d, QStringLiteral("/tmp/run.csv"), kDt, QString());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* vs2 = child<QScrollBar>(w, QStringLiteral("VScroll2"));
    const auto& sel = w.selection().BeamSel;

    clickBox(beamBox(w, 1));  // record 1
    QCOMPARE(sel(1), std::int16_t{1});
    vs2->setValue(3);
    QCOMPARE(beamLabel(w, 1)->text(), QStringLiteral("505"));
    QCOMPARE(beamBox(w, 1)->text(), QStringLiteral("2"));
    QVERIFY(!beamBox(w, 1)->isChecked());
    clickBox(beamBox(w, 4));  // record 7
    QCOMPARE(sel(7), std::int16_t{1});
    QCOMPARE(beamLabel(w, 4)->text(), QStringLiteral("508"));
    vs2->setValue(0);
    QVERIFY(beamBox(w, 1)->isChecked());
    QVERIFY(!beamBox(w, 4)->isChecked());
    vs2->setValue(2);  // records 2..6: record 1 above the view, record 7 below it
    for (int k = 0; k < 5; ++k) QCOMPARE(beamBox(w, k)->isChecked(), sel(2 + k) == 1);
    QCOMPARE(csvSelectedBeams(w.selection()), 2);
}

void TestCsvWindow::selectAll_data() {
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("beams");
    QTest::addColumn<int>("cells");
    QTest::newRow("500 entries, 3 beams") << 500 << 3 << 2000;
    QTest::newRow("7 entries, no beams") << 7 << 0 << 28;
    QTest::newRow("12 entries, 9 beams") << 12 << 9 << 48;
}

void TestCsvWindow::selectAll() {
    QFETCH(int, entries);
    QFETCH(int, beams);
    QFETCH(int, cells);
    const Dataset d = makeDataset(entries, beams);
    CsvExportWindow w(d, QStringLiteral("/tmp/run.csv"), kDt, QString());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    if (entries > 10) child<QScrollBar>(w, QStringLiteral("VScroll1"))->setValue(1);

    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command3")), Qt::LeftButton);
    QCOMPARE(csvSelectedNodeCells(w.selection()), cells);
    QCOMPARE(csvSelectedBeams(w.selection()), beams);
    QVERIFY(!child<QCheckBox>(w, QStringLiteral("Check1"))->isChecked());
    for (int k = 0; k < std::min(entries, 10); ++k)
        for (int c = 0; c < 4; ++c) QVERIFY(nodeBox(w, c, k)->isChecked());
    for (int k = 0; k < std::min(beams, 5); ++k) QVERIFY(beamBox(w, k)->isChecked());
    if (beams > 5) {
        child<QScrollBar>(w, QStringLiteral("VScroll2"))->setValue(beams - 5);
        for (int k = 0; k < 5; ++k) QVERIFY(beamBox(w, k)->isChecked());
    }
}

void TestCsvWindow::timeBoxes_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    // StepCount 5, dt 0.05: the end time is capped at 0.25.
    QTest::newRow("end beyond the last step") << "Text2"
                                              << "1"
                                              << "0.25";
    QTest::newRow("end at the cap") << "Text2"
                                    << "0.25"
                                    << "0.25";
    QTest::newRow("end below the cap") << "Text2"
                                       << "0.2"
                                       << "0.2";
    QTest::newRow("end with trailing text") << "Text2"
                                            << "0.3s"
                                            << "0.25";
    QTest::newRow("end not a number") << "Text2"
                                      << "abc"
                                      << "abc";
    QTest::newRow("end negative") << "Text2"
                                  << "-1"
                                  << "-1";
    // The interval becomes a whole multiple of dt, never 0.
    QTest::newRow("interval 0.12") << "Text3"
                                   << "0.12"
                                   << "0.1";
    QTest::newRow("interval 0.16") << "Text3"
                                   << "0.16"
                                   << "0.15";
    QTest::newRow("interval 0.02 rounds to 0") << "Text3"
                                               << "0.02"
                                               << "0.05";
    QTest::newRow("interval 0") << "Text3"
                                << "0"
                                << "0.05";
    QTest::newRow("interval empty") << "Text3"
                                    << ""
                                    << "0.05";
    QTest::newRow("interval not a number") << "Text3"
                                           << "x"
                                           << "0.05";
    QTest::newRow("interval exponent") << "Text3"
                                       << "1e-1"
                                       << "0.1";
    QTest::newRow("interval negative") << "Text3"
                                       << "-0.1"
                                       << "-0.1";
    QTest::newRow("start has no rule") << "Text1"
                                       << "9"
                                       << "9";
}

void TestCsvWindow::timeBoxes() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Dataset d = makeDataset(3, 0);
    CsvExportWindow w(d, dir.filePath(QStringLiteral("run.csv")), kDt, QString());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* edit = child<QLineEdit>(w, box);
    typeInto(edit, typed);
    QCOMPARE(edit->text(), expected);
    // Return confirms the box only: nothing is exported, the window stays.
    QVERIFY(w.isVisible());
    QVERIFY(dirEntries(dir.path()).isEmpty());
}

void TestCsvWindow::exportSingle() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Dataset d = makeDataset(12, 8);
    CsvExportWindow w(d, dir.filePath(QStringLiteral("run.csv")), kDt, dir.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    clickBox(child<QCheckBox>(w, QStringLiteral("Check1")));
    clickBox(nodeBox(w, 0, 1));  // 1002 X
    clickBox(nodeBox(w, 3, 1));  // 1002 θ
    child<QScrollBar>(w, QStringLiteral("VScroll1"))->setValue(2);
    clickBox(nodeBox(w, 1, 9));  // 1012 Y
    clickBox(nodeBox(w, 2, 9));  // 1012 Z
    clickBox(beamBox(w, 0));     // Beam501-1
    child<QScrollBar>(w, QStringLiteral("VScroll2"))->setValue(3);
    clickBox(beamBox(w, 4));  // Beam508-2
    typeInto(child<QLineEdit>(w, QStringLiteral("Text2")), QStringLiteral("0.2"));
    typeInto(child<QLineEdit>(w, QStringLiteral("Text3")), QStringLiteral("0.1"));

    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QVERIFY(!w.isVisible());
    QVERIFY(!child<QLabel>(w, QStringLiteral("Label5"))->isVisibleTo(&w));
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    const QByteArray expected =
        sjis(QStringLiteral("時間(s),11張力(kg),12張力(kg),1002X軸,1002θ(ﾟ),1012Y軸,1012Z軸,"
                            "Beam501-1,Beam508-2\r\n")) +
        "0,0,0,0,0,0,0,0,0\r\n"
        "0.1,-5,7,1.5,-0.06,0.02,-0.003,9,-3\r\n"
        "0.2,0,0,0,0,0,0,0,0\r\n";
    QCOMPARE(readAll(dir.filePath(QStringLiteral("run.csv"))), expected);
    QCOMPARE(dirEntries(dir.path()), QStringList{QStringLiteral("run.csv")});
}

void TestCsvWindow::exportSplitMatchesWriter() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("ui.d"));
    QDir(dir.path()).mkpath(QStringLiteral("core"));
    const Dataset d = makeDataset(12, 8);
    const QString label1 = dir.filePath(QStringLiteral("ui.d/run.csv"));
    CsvExportWindow w(d, label1, kDt, dir.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    clickBox(child<QCheckBox>(w, QStringLiteral("Check1")));
    clickBox(child<QCheckBox>(w, QStringLiteral("Check5")));
    clickBox(child<QCheckBox>(w, QStringLiteral("Check8")));
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command3")), Qt::LeftButton);
    clickBox(nodeBox(w, 2, 0));  // clear 1001 Z
    clickBox(beamBox(w, 1));     // clear record 1
    typeInto(child<QLineEdit>(w, QStringLiteral("Text1")), QStringLiteral("0.05"));
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Accepted));

    // The same selection handed to the writer directly.
    CsvSelection sel = openCsvSelection(d, kDt, dir.filePath(QStringLiteral("core/run.csv")));
    csvSelectAll(sel);
    sel.NodeSel(0, CsvZ) = 0;
    sel.BeamSel(1) = 0;
    sel.tension = sel.init = sel.split = true;
    sel.fromText = QStringLiteral("0.05");
    NullProgress host;
    const CsvResult core = writeCsv(d, sel, kDt, host);
    QCOMPARE(core.files.size(), 5);
    const QStringList ui = csvOutputFiles(label1, true);
    for (qsizetype i = 0; i < 5; ++i) {
        const QByteArray bytes = readAll(ui[i]);
        QVERIFY2(bytes.count('\n') == 5, qPrintable(ui[i]));  // header + steps 1..4
        QCOMPARE(bytes, readAll(core.files[i]));
    }
    QCOMPARE(dirEntries(dir.filePath(QStringLiteral("ui.d"))).size(), 5);
}

void TestCsvWindow::unwritableOutput_data() {
    QTest::addColumn<QString>("output");  // Text4, relative to the temporary folder
    QTest::addColumn<bool>("split");
    QTest::addColumn<QString>("named");        // part of the path the message must show
    QTest::addColumn<QString>("blockingDir");  // a folder in the way of one target

    QTest::newRow("missing folder") << "missing/out.csv" << false << "missing/out.csv"
                                    << "";
    QTest::newRow("missing folder, split") << "missing/out.csv" << true << "missing/out"
                                           << "";
    QTest::newRow("target is a folder") << "taken.csv" << false << "taken.csv"
                                        << "taken.csv";
    QTest::newRow("split, fourth target is a folder") << "run.csv" << true << "runθ.csv"
                                                      << "runθ.csv";
}

void TestCsvWindow::unwritableOutput() {
    QFETCH(QString, output);
    QFETCH(bool, split);
    QFETCH(QString, named);
    QFETCH(QString, blockingDir);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!blockingDir.isEmpty()) QVERIFY(QDir(dir.path()).mkdir(blockingDir));
    // An earlier export that must survive the failed one untouched.
    const QString earlier = dir.filePath(QStringLiteral("runX軸.csv"));
    {
        QFile f(earlier);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier\r\n");
    }
    const QStringList before = dirEntries(dir.path());

    const Dataset d = makeDataset(12, 2);
    CsvExportWindow w(d, dir.filePath(QStringLiteral("run.csv")), kDt, dir.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command3")), Qt::LeftButton);
    if (split) clickBox(child<QCheckBox>(w, QStringLiteral("Check8")));
    auto* text4 = child<QLineEdit>(w, QStringLiteral("Text4"));
    text4->setText(QDir::toNativeSeparators(dir.filePath(output)));

    ModalAnswerer answerer;
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(answerer.texts.size(), 1);
    QCOMPARE(answerer.titles.front(), QStringLiteral("ファイル書き込みエラー"));
    QVERIFY2(answerer.texts.front().contains(QDir::toNativeSeparators(dir.filePath(named))),
             qPrintable(answerer.texts.front()));

    // The window stays open, idle, with the selection as it was.
    QVERIFY(w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Rejected));
    QVERIFY(!child<QLabel>(w, QStringLiteral("Label5"))->isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(csvSelectedNodeCells(w.selection()), 48);
    // Nothing written, nothing left behind, the earlier file unchanged.
    QCOMPARE(dirEntries(dir.path()), before);
    QCOMPARE(readAll(earlier), QByteArray("earlier\r\n"));

    // Another name, and the export goes through.
    text4->setText(QDir::toNativeSeparators(dir.filePath(QStringLiteral("second.csv"))));
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(answerer.texts.size(), 1);
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QCOMPARE(dirEntries(dir.path()).size(), before.size() + (split ? 5 : 1));
}

void TestCsvWindow::emptyOutputName() {
    QTemporaryDir dir;
    const Dataset d = makeDataset(3, 0);
    CsvExportWindow w(d, dir.filePath(QStringLiteral("run.csv")), kDt, dir.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    child<QLineEdit>(w, QStringLiteral("Text4"))->setText(QStringLiteral("  "));
    ModalAnswerer answerer;
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("出力ファイル名を指定してください。")});
    QVERIFY(w.isVisible());
    QVERIFY(dirEntries(dir.path()).isEmpty());
}

void TestCsvWindow::cancelWritesNothing() {
    QTemporaryDir dir;
    const Dataset d = makeDataset(12, 3);
    CsvExportWindow w(d, dir.filePath(QStringLiteral("run.csv")), kDt, dir.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command3")), Qt::LeftButton);
    auto* cancel = child<QPushButton>(w, QStringLiteral("Command2"));
    QCOMPARE(cancel->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QCOMPARE(cancel->toolTip(), QStringLiteral("CSVﾌｧｲﾙ出力をｷｬﾝｾﾙします。"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(w.result(), int(QDialog::Rejected));
    QVERIFY(!w.isVisible());
    QVERIFY(dirEntries(dir.path()).isEmpty());
}

// "中止" while the export runs: the earlier file stays, no temporary is left,
// and the window is ready for another try.
void TestCsvWindow::stopDuringExportKeepsEarlierFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier\r\n");
    }
    // 3,000 rows of 800 cells: several of the writer's 1 MB blocks.
    Dataset d = makeDataset(200, 0);
    d.StepCount = d.StepMax = 3000;
    d.NodeDisp.create({Bounds{0, 1}, Bounds{-1, 2}, Bounds{0, 199}, Bounds{0, 3001}});
    d.TensionHist.create({Bounds{0, 3001}, Bounds{0, 1}});
    CsvExportWindow w(d, path, kDt, dir.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command3")), Qt::LeftButton);
    auto* stop = child<QPushButton>(w, QStringLiteral("Command2"));
    QString shownText;
    bool othersLocked = false;
    // Clicked once the export shows its progress (after the overwrite question).
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &w, [&] {
        if (!child<QLabel>(w, QStringLiteral("Label5"))->isVisible()) return;
        poll.stop();
        shownText = stop->text();
        othersLocked = !child<QPushButton>(w, QStringLiteral("Command1"))->isEnabled();
        stop->click();
    });
    poll.start(0);
    qrn::test::OverwriteAnswerer yes(true);
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(shownText, QStringLiteral("中止"));
    QVERIFY(othersLocked);
    QVERIFY(w.isVisible());
    QVERIFY(w.result() != int(QDialog::Accepted));
    QCOMPARE(readAll(path), QByteArray("earlier\r\n"));
    QCOMPARE(dirEntries(dir.path()), QStringList{QStringLiteral("run.csv")});
    QCOMPARE(stop->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    QVERIFY(child<QPushButton>(w, QStringLiteral("Command1"))->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// "いいえ" to the overwrite question: the file stays byte for byte and the window open.
void TestCsvWindow::overwriteAnsweredNo() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier\r\n");
    }
    const Dataset d = makeDataset(12, 3);
    CsvExportWindow w(d, path, kDt, dir.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command3")), Qt::LeftButton);
    qrn::test::OverwriteAnswerer no(false);
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(no.asked.size(), 1);
    QVERIFY(no.asked.first().contains(QDir::toNativeSeparators(path)));
    QVERIFY(w.isVisible());
    QCOMPARE(readAll(path), QByteArray("earlier\r\n"));
    QCOMPARE(dirEntries(dir.path()), QStringList{QStringLiteral("run.csv")});
}

void TestCsvWindow::browse_data() {
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("chosen");  // file name chosen in the dialog
    QTest::newRow("new name") << true << "fresh.csv";
    QTest::newRow("cancel") << false << "fresh.csv";
}

void TestCsvWindow::browse() {
    QFETCH(bool, accept);
    QFETCH(QString, chosen);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    const Dataset d = makeDataset(3, 0);
    const QString label1 = dir.filePath(QStringLiteral("sub/run.csv"));
    CsvExportWindow w(d, label1, kDt, dir.path());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* text4 = child<QLineEdit>(w, QStringLiteral("Text4"));
    const QString before = text4->text();
    const QString cwd = QDir::currentPath();

    ModalAnswerer answerer;
    QStringList filters;
    QString startDir;
    answerer.onFileDialog = [&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        startDir = dialog->directory().absolutePath();
        if (accept) {
            dialog->selectFile(dir.filePath(QStringLiteral("sub/") + chosen));
            static_cast<QDialog*>(dialog)->accept();  // the dialog's own accept
        } else {
            dialog->reject();
        }
    };
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command4")), Qt::LeftButton);

    QCOMPARE(filters, (QStringList{QStringLiteral("CSVファイル (*.csv)"),
                                   QStringLiteral("すべてのファイル (*.*)")}));
    QCOMPARE(startDir, QDir(dir.filePath(QStringLiteral("sub"))).absolutePath());
    QCOMPARE(
        text4->text(),
        accept ? QDir::toNativeSeparators(dir.filePath(QStringLiteral("sub/") + chosen)) : before);
    QCOMPARE(QDir::currentPath(), cwd);
    QVERIFY(w.isVisible());
    QVERIFY(dirEntries(dir.filePath(QStringLiteral("sub"))).isEmpty());
}

void TestCsvWindow::fileFilter_data() {
    QTest::addColumn<QString>("pipe");
    QTest::addColumn<QString>("qt");
    QTest::newRow("csv window") << "CSVファイル (*.csv)|*.csv|すべてのファイル (*.*)|*.*|"
                                << "CSVファイル (*.csv);;すべてのファイル (*.*)";
    QTest::newRow("settings file")
        << "バッチ ファイル (st.dat)|st.dat|バッチ ファイル (*.dat)|*.dat|"
           "すべてのファイル (*.*)|*.*|"
        << "バッチ ファイル (st.dat);;バッチ ファイル (*.dat);;すべてのファイル (*.*)";
    QTest::newRow("patterns not shown") << "画像|*.bmp;*.gif|"
                                        << "画像 (*.bmp *.gif)";
    QTest::newRow("other patterns shown") << "テキスト (*.txt)|*.txt;*.log"
                                          << "テキスト (*.txt) (*.txt *.log)";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("text without pattern") << "a|"
                                          << "";
}

void TestCsvWindow::fileFilter() {
    QFETCH(QString, pipe);
    QFETCH(QString, qt);
    QCOMPARE(qtFileFilter(pipe), qt);
}

void TestCsvWindow::nodeJump() {
    const Dataset d = makeDataset(4800, 0);  // entry j holds node 1001 + j
    CsvExportWindow w(d, QStringLiteral("run.his"), kDt, QString());
    w.show();
    QLineEdit* jump = child<QLineEdit>(w, QStringLiteral("NodeJump"));
    // The node's row at the top, or within the last ten rows (from 4790); an
    // unknown number leaves the list and says so.
    for (const auto& [typed, top] :
         {std::pair{"3000", 1999}, {"77", 1999}, {"5799", 4790}, {"1001", 0}}) {
        jump->clear();
        QTest::keyClicks(jump, QString::fromLatin1(typed));
        QCOMPARE(child<QScrollBar>(w, QStringLiteral("VScroll1"))->value(), top);
        QCOMPARE(jump->toolTip().startsWith(QStringLiteral("ノードNo.77 ")),
                 QByteArray(typed) == "77");
    }
    QTest::keyClick(jump, Qt::Key_Return);  // on to the row's first box
    QCOMPARE(w.focusWidget(), nodeBox(w, 0, 0));
}

void TestCsvWindow::wideFileQuestion_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("split") << QStringLiteral("軸毎に分割")
                           << QStringList{"runX軸.csv", "runY軸.csv", "runZ軸.csv", "runθ.csv",
                                          "run他.csv"};
    QTest::newRow("anyway") << QStringLiteral("そのまま出力") << QStringList{"run.csv"};
    QTest::newRow("cancel") << QStringLiteral("キャンセル") << QStringList{};
}

void TestCsvWindow::wideFileQuestion() {
    QFETCH(QString, answer);
    QFETCH(QStringList, written);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Dataset d = makeDataset(4100, 0);
    CsvExportWindow w(d, dir.filePath(QStringLiteral("run.csv")), kDt, dir.path());
    w.show();
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command3")), Qt::LeftButton);
    clickBox(child<QCheckBox>(w, QStringLiteral("Check1")));
    // Every node and both tension records: 1 + 4 x 4100 + 2 columns; per axis 4101.
    QCOMPARE(CsvExportWindow::widestFileColumns(d, w.selection(), true), 4101);
    QString asked;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        asked = box->text();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == answer) b->click();
    });
    poll.start(5);
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command1")), Qt::LeftButton);
    QVERIFY(asked.contains(QStringLiteral("16,403 列")));
    QCOMPARE(dirEntries(dir.path()), written);
    QCOMPARE(w.isVisible(), written.isEmpty());  // cancelled: the window stays open
}

QTEST_MAIN(TestCsvWindow)
#include "test_csvwindow.moc"
