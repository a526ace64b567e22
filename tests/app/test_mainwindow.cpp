#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "../overwriteanswer.h"
#include "app/mainwindow.h"

using qrn::MainWindow;

namespace {

void touch(const QString& path, const QByteArray& content = {}) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QString sep() { return qrn::nativeSep(); }

// Text in fixed columns: each pair is (1-based start column, text).
QByteArray cols(std::initializer_list<std::pair<int, const char*>> fields) {
    QByteArray line;
    for (const auto& [col, text] : fields) {
        while (line.size() < col - 1) line.append(' ');
        line.append(text);
    }
    return line + "\r\n";
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The history of node 2, component z, over `steps` steps.
void writeHistory(const QString& path, int steps) {
    QByteArray his = cols({{1, "HISTORY"}, {21, "DISP"}, {40, "3"}, {52, "        2"}});
    his += "title\r\n" + QByteArray::number(steps) + "\r\n";
    for (int i = 1; i <= steps; ++i)
        his += QByteArray::number(i * 0.001, 'f', 3).rightJustified(12);
    touch(path, his + "\r\n");
}

// One cable 1-2-3 in metres and a history of 3 steps for node 2, component z.
void writeModel(const QString& dir) {
    QByteArray st = "*UNIT\r\nKG        M\r\n*ELEMENT  CABLE\r\n";
    st += cols({{1, "         1"}, {31, "         1"}, {41, "         2"}});
    st += cols({{1, "         2"}, {31, "         2"}, {41, "         3"}});
    st += "*NODE\r\n";
    st += cols({{2, "        1"}, {11, "       0.0"}, {21, "       0.0"}, {31, "      10.0"}});
    st += cols({{2, "        2"}, {11, "      10.0"}, {21, "       0.0"}, {31, "       9.0"}});
    st += cols({{2, "        3"}, {11, "      20.0"}, {21, "       0.0"}, {31, "      10.0"}});
    touch(dir + QStringLiteral("/st.dat"), st);
    QByteArray his = cols({{1, "HISTORY"}, {21, "DISP"}, {40, "3"}, {52, "        2"}});
    his += "title\r\n3\r\n";
    his += "       0.001       0.002       0.003\r\n";
    touch(dir + QStringLiteral("/model.his"), his);
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    QString native(const QString& name = {}) const { return native(dir_, name); }
    static QString native(const QTemporaryDir& d, const QString& name = {}) {
        QString p = QDir::toNativeSeparators(QDir(d.path()).canonicalPath());
        return name.isEmpty() ? p : p + sep() + name;
    }

    QTemporaryDir settingsDir_;

    // A window that has read `d`/model.his (3 steps) with a recorder for its messages.
    struct Session {
        qrn::Dataset data;
        MainWindow w{data};
        QStringList messages;
        int reads = 0;  // reads and loads that replaced the dataset
        explicit Session(const QString& dir) {
            writeModel(dir);
            w.setMessageSink(
                [this](const QString& t, const QString& m) { messages << t + u'|' + m; });
            w.setDatasetReplacedHandler([this] { ++reads; });
            w.setCsvOpener([] { return QStringList(); });
            w.setFolder(dir);
            w.clickFile(QStringLiteral("model.his"));
            w.execute();
        }
    };

    // Clicks "中止" as soon as the window offers it.
    static void clickAbortWhenShown(MainWindow& w, QTimer& timer) {
        QObject::connect(&timer, &QTimer::timeout, [&w] {
            if (w.cancelShown()) w.findChild<QPushButton*>(QStringLiteral("abortButton"))->click();
        });
        timer.start(0);
    }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // The window's memory goes to a folder of the test's own.
        QCoreApplication::setOrganizationName(QStringLiteral("qrnview-test"));
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir_.path());
        touch(dir_.filePath(QStringLiteral("run1.his")));
        touch(dir_.filePath(QStringLiteral("RUN2.HIS")));
        touch(dir_.filePath(QStringLiteral("run1.f24")));
        touch(dir_.filePath(QStringLiteral("run1.f08")));
        touch(dir_.filePath(QStringLiteral("st.dat")));
        touch(dir_.filePath(QStringLiteral("x.qrn1")));
        touch(dir_.filePath(QStringLiteral("y.qrn3")));
        touch(dir_.filePath(QStringLiteral("out.csv")));
    }

    void initialState() {
        qrn::Dataset data;
        MainWindow w(data);
        QCOMPARE(w.workMode(), 0);
        QCOMPARE(w.displayMode(), 1);
        QVERIFY(!w.executeEnabled());
        QVERIFY(!w.workModeEnabled(2));
        QVERIFY(!w.workModeEnabled(3));
        QCOMPARE(w.intervalText(), QStringLiteral("0.05"));
        QVERIFY(!w.sectionPathShown());
        QVERIFY(!w.sectionBrowseShown());
        QVERIFY(!w.sectionChecked());
        QCOMPARE(w.busyCaption(), QStringLiteral("データ解析中"));
        QVERIFY(!w.busyShown());
        QCOMPARE(w.workModeCaption(0), QStringLiteral("Quarn出力DT読込"));
        QCOMPARE(w.workModeCaption(6), QStringLiteral("QuarnProBinryDT読込"));
        QStringList buttons;
        for (const auto* b : w.findChildren<QPushButton*>()) buttons << b->text();
        QVERIFY(buttons.contains(QStringLiteral("実 行")));
        QVERIFY(w.dirPath().endsWith(sep()));
    }

    void modeTable_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("label11");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("check1");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("cmd0");
        QTest::addColumn<bool>("cmd1");
        const QString settings = QStringLiteral("初期設定ファイル名");
        const QString output = QStringLiteral("出力ファイル名");
        QTest::newRow("0") << 0 << QStringList{"run1.his", "RUN2.HIS"} << true << settings << true
                           << false << true << false;
        QTest::newRow("1") << 1 << QStringList{"x.qrn1", "y.qrn3"} << false << QString() << false
                           << false << false << false;
        QTest::newRow("2") << 2 << QStringList{"x.qrn1", "y.qrn3"} << true << output << false
                           << false << false << false;
        QTest::newRow("3") << 3 << QStringList{"out.csv"} << true << output << false << false
                           << false << false;
        QTest::newRow("4") << 4 << QStringList{"st.dat"} << false << QString() << true << false
                           << false << false;
        QTest::newRow("5") << 5 << QStringList{"run1.f24"} << true << settings << true << true
                           << true << true;
        QTest::newRow("6") << 6 << QStringList{"run1.f08"} << true << settings << true << true
                           << true << true;
        QTest::newRow("7") << 7 << QStringList{"st.dat"} << false << QString() << true << false
                           << false << false;
    }

    void modeTable() {
        QFETCH(int, mode);
        QFETCH(QStringList, files);
        QFETCH(bool, label11);
        QFETCH(QString, caption);
        QFETCH(bool, check1);
        QFETCH(bool, checked);
        QFETCH(bool, cmd0);
        QFETCH(bool, cmd1);
        qrn::Dataset data;
        MainWindow w(data);
        w.setFolder(dir_.path());
        w.setSettingsText(QStringLiteral("keep"));
        w.selectWorkMode(mode);
        QStringList listed = w.listedFiles();
        listed.sort(Qt::CaseInsensitive);
        files.sort(Qt::CaseInsensitive);
        QCOMPARE(listed, files);
        QCOMPARE(w.settingsShown(), label11);
        if (label11) QCOMPARE(w.settingsCaption(), caption);
        QCOMPARE(w.sectionOffered(), check1);
        if (check1) QCOMPARE(w.sectionChecked(), checked);
        QCOMPARE(w.settingsBrowseShown(), cmd0);
        QCOMPARE(w.sectionBrowseShown(), cmd1);
        if (mode == 2 || mode == 3) QVERIFY(w.settingsText().isEmpty());
    }

    void fileClickFillsBoxesPerMode() {
        qrn::Dataset data;
        MainWindow w(data);
        w.setFolder(dir_.path());
        QVERIFY(w.clickFile(QStringLiteral("run1.his")));
        QCOMPARE(w.selectedPath(), native(QStringLiteral("run1.his")));
        QCOMPARE(w.settingsText(), native(QStringLiteral("st.dat")));
        QCOMPARE(w.sectionPath(),
                 native(QStringLiteral("tmp") + sep() + QStringLiteral("sec.file")));
        QVERIFY(!w.sectionPathShown());  // until the section box is ticked
        QVERIFY(w.executeEnabled());
        w.selectWorkMode(6);
        QVERIFY(w.clickFile(QStringLiteral("run1.f08")));
        QCOMPARE(w.settingsText(), native(QStringLiteral("self.dat")));
        QCOMPARE(w.sectionPath(), native(QStringLiteral("self.f08")));
        QVERIFY(w.sectionPathShown());
        w.selectWorkMode(1);  // hides the check box and buttons, the path box stays
        QVERIFY(!w.sectionOffered());
        QVERIFY(!w.sectionBrowseShown());
        QVERIFY(w.sectionPathShown());
        w.selectWorkMode(4);
        w.setSettingsText(QStringLiteral("unchanged"));
        QVERIFY(w.clickFile(QStringLiteral("st.dat")));
        QCOMPARE(w.settingsText(), QStringLiteral("unchanged"));
    }

    void outputNameRule() {
        qrn::Dataset data;
        MainWindow w(data);
        w.setFolder(dir_.path());
        w.selectWorkMode(2);
        QVERIFY(!w.executeEnabled());
        w.setSettingsText(QStringLiteral("result.old"));
        QCOMPARE(w.selectedPath(), w.dirPath() + QStringLiteral("result.qrn3"));
        QVERIFY(w.executeEnabled());
        w.setSettingsText(QStringLiteral("a.b.c"));
        QCOMPARE(w.selectedPath(), w.dirPath() + QStringLiteral("a.qrn3"));
        w.setSettingsText(QString());
        QVERIFY(!w.executeEnabled());
        w.selectWorkMode(3);
        w.setSettingsText(QStringLiteral("table"));
        QCOMPARE(w.selectedPath(), w.dirPath() + QStringLiteral("table.csv"));
        // A click in mode 2 puts the file name into the name box, which forms the output path.
        w.selectWorkMode(2);
        QVERIFY(w.clickFile(QStringLiteral("x.qrn1")));
        QCOMPARE(w.settingsText(), QStringLiteral("x.qrn1"));
        QCOMPARE(w.selectedPath(), w.dirPath() + QStringLiteral("x.qrn3"));
    }

    void intervalRule_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("zero") << "0"
                              << "0.1";
        QTest::newRow("empty") << ""
                               << "0.1";
        QTest::newRow("text") << "abc"
                              << "0.1";
        QTest::newRow("value") << "0.02"
                               << "0.02";
        QTest::newRow("lead") << "0.5s"
                              << "0.5s";
    }
    void intervalRule() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        qrn::Dataset data;
        MainWindow w(data);
        w.setIntervalText(typed);
        QCOMPARE(w.intervalText(), shown);
    }

    void dataReadyTransitions() {
        qrn::Dataset data;
        MainWindow w(data);
        w.setFolder(dir_.path());
        qrn::WindowOutcome ready;
        ready.dataReady = true;
        w.apply(ready);
        w.selectWorkMode(5);  // mode change leaves DataReady; ticks the section box (a change)
        QVERIFY(!w.dataReady());
        w.apply(ready);
        w.setSectionChecked(false);
        QVERIFY(!w.dataReady());
        w.apply(ready);
        w.setSectionPath(QStringLiteral("other"));
        QVERIFY(!w.dataReady());
        w.apply(ready);
        w.setIntervalText(QStringLiteral("0.2"));
        w.setSettingsText(QStringLiteral("x"));
        w.setFolder(dir_.path());
        QVERIFY(w.dataReady());
        w.selectWorkMode(0);
        w.apply(ready);
        QVERIFY(w.clickFile(QStringLiteral("run1.his")));
        QVERIFY(!w.dataReady());
    }

    void outcomeUntickFollowsReady() {
        qrn::Dataset data;
        MainWindow w(data);
        w.setFolder(dir_.path());
        w.selectWorkMode(5);  // ticks the section box
        QVERIFY(w.sectionChecked());
        qrn::WindowOutcome o;
        o.dataReady = true;
        o.sectionUnticked = true;
        o.intervalText = QStringLiteral("0");
        o.saveExportAllowed = true;
        w.apply(o);
        // The untick clears DataReady as a user's untick does: execute reads again.
        QVERIFY(!w.sectionChecked());
        QVERIFY(!w.sectionPathShown());
        QVERIFY(!w.dataReady());
        QCOMPARE(w.intervalText(), QStringLiteral("0.1"));  // the box's own rule
        QVERIFY(w.workModeEnabled(2));
        QVERIFY(!w.workModeEnabled(3));  // no CSV window to open
    }

    void dropSelectsFolderModeAndFile() {
        qrn::Dataset data;
        MainWindow w(data);
        w.selectFile(dir_.filePath(QStringLiteral("run1.f24")));
        QCOMPARE(w.workMode(), 5);
        QCOMPARE(w.selectedPath(), native(QStringLiteral("run1.f24")));
        QCOMPARE(w.settingsText(), native(QStringLiteral("self.dat")));
        w.selectFile(dir_.filePath(QStringLiteral("x.qrn1")));
        QCOMPARE(w.workMode(), 1);
        QCOMPARE(w.selectedFileName(), QStringLiteral("x.qrn1"));
    }

    void executeTwiceReadsOnce() {
        QTemporaryDir d;
        writeModel(d.path());
        qrn::Dataset data;
        MainWindow w(data);
        QStringList messages;
        int opened = 0;
        w.setMessageSink([&](const QString& t, const QString& m) { messages << t + u'|' + m; });
        w.setViewerOpener([&](int mode, bool reset) {
            QCOMPARE(mode, 1);
            QVERIFY(reset);
            ++opened;
        });
        w.setFolder(d.path());
        QVERIFY(w.clickFile(QStringLiteral("model.his")));
        w.execute();
        QCOMPARE(messages, QStringList());
        QCOMPARE(opened, 1);
        QVERIFY(w.dataReady());
        QCOMPARE(data.StepCount, 3);
        QCOMPARE(data.StepMax, 2);
        QCOMPARE(data.CableMax, 0);
        QVERIFY(w.workModeEnabled(2));
        QVERIFY(!w.busyShown());
        QCOMPARE(w.busyCaption(), QStringLiteral("データ読込中"));
        // The second execute only shows the viewer again: even a vanished settings
        // file goes unnoticed.
        QVERIFY(QFile::remove(d.filePath(QStringLiteral("st.dat"))));
        w.execute();
        QCOMPARE(messages, QStringList());
        QCOMPARE(opened, 2);
        QCOMPARE(data.StepCount, 3);
    }

    void missingSettingsKeepsDataset() {
        QTemporaryDir d;
        writeModel(d.path());
        qrn::Dataset data;
        MainWindow w(data);
        QStringList messages;
        w.setMessageSink([&](const QString& t, const QString& m) { messages << t + u'|' + m; });
        w.setFolder(d.path());
        QVERIFY(w.clickFile(QStringLiteral("model.his")));
        w.execute();
        QCOMPARE(data.NodeTblMax, 2);
        QVERIFY(w.clickFile(QStringLiteral("model.his")));  // DataReady back to 0
        const QString missing = native() + sep() + QStringLiteral("nothere.dat");
        w.setSettingsText(missing);
        w.execute();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first(), QStringLiteral("ファイル読み込みエラー|初期設定ファイル") +
                                       missing +
                                       QStringLiteral("がありません。\r再入力してください。"));
        QVERIFY(!w.dataReady());
        QVERIFY(!w.busyShown());
        QCOMPARE(data.NodeTblMax, 2);
        QCOMPARE(data.StepCount, 3);
        QCOMPARE(data.StepMax, 0);  // the one field the read sets before its check
    }

    void saveThenLoadBinary() {
        QTemporaryDir d;
        writeModel(d.path());
        qrn::Dataset data;
        MainWindow w(data);
        QStringList messages;
        int opened = 0;
        w.setMessageSink([&](const QString& t, const QString& m) { messages << t + u'|' + m; });
        w.setViewerOpener([&](int, bool) { ++opened; });
        w.setFolder(d.path());
        QVERIFY(w.clickFile(QStringLiteral("model.his")));
        w.execute();
        const qrn::Dataset loaded = data;
        w.selectWorkMode(2);
        w.setSettingsText(QStringLiteral("saved"));
        w.execute();
        QCOMPARE(messages, QStringList());
        QVERIFY(QFile::exists(d.filePath(QStringLiteral("saved.qrn3"))));
        QVERIFY(w.listedFiles().contains(QStringLiteral("saved.qrn3")));
        w.selectWorkMode(1);
        QVERIFY(w.clickFile(QStringLiteral("saved.qrn3")));
        data = qrn::Dataset();
        w.execute();
        QCOMPARE(messages, QStringList());
        QCOMPARE(opened, 2);
        QCOMPARE(data.StepCount, loaded.StepCount);
        QVERIFY(data.NodeDisp == loaded.NodeDisp);
        QVERIFY(data.NodeTbl == loaded.NodeTbl);
        QCOMPARE(w.intervalText(), QStringLiteral("0.05"));
    }

    // Execute reads again whenever what the dataset was read from differs from the
    // boxes; a trip to saving or CSV output and back only shows it again.
    void executeRereads_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("reads");
        QTest::newRow("nothing") << "" << false;
        QTest::newRow("settings path") << "settings" << true;
        QTest::newRow("interval") << "interval" << true;
        QTest::newRow("section ticked") << "section" << true;
        QTest::newRow("work mode") << "mode" << true;
        QTest::newRow("save and back") << "save" << false;
        QTest::newRow("csv and back") << "csv" << false;
    }
    void executeRereads() {
        QFETCH(QString, change);
        QFETCH(bool, reads);
        QTemporaryDir d;
        Session s(d.path());
        QCOMPARE(s.reads, 1);
        QCOMPARE(s.data.StepCount, 3);
        const QString settings = s.w.settingsText();
        writeHistory(d.filePath(QStringLiteral("model.his")), 4);
        QVERIFY(QFile::copy(d.filePath(QStringLiteral("st.dat")),
                            d.filePath(QStringLiteral("st2.dat"))));
        if (change == QLatin1String("settings"))
            s.w.setSettingsText(native(d, QStringLiteral("st2.dat")));
        if (change == QLatin1String("interval")) s.w.setIntervalText(QStringLiteral("0.1"));
        if (change == QLatin1String("section")) s.w.setSectionChecked(true);
        if (change == QLatin1String("mode")) s.w.selectWorkMode(4);
        if (change == QLatin1String("save")) {
            s.w.selectWorkMode(2);
            s.w.setSettingsText(QStringLiteral("out"));
            s.w.selectWorkMode(0);
        }
        if (change == QLatin1String("csv")) {
            s.w.selectWorkMode(3);
            s.w.execute();
            s.w.selectWorkMode(0);
        }
        s.messages.clear();
        s.w.execute();
        // A read that was attempted either replaced the dataset or said why not.
        QCOMPARE(s.reads > 1 || !s.messages.isEmpty(), reads);
        if (!reads) {
            QCOMPARE(s.data.StepCount, 3);
            QCOMPARE(s.w.settingsText(), settings);
            QCOMPARE(s.w.selectedFileName(), QStringLiteral("model.his"));
        } else if (change != QLatin1String("mode")) {
            QCOMPARE(s.data.StepCount, 4);
        }
    }

    // Mode-2 save over an existing file: "はい" writes it, "いいえ" leaves it byte for byte.
    void saveAsksBeforeReplacing_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void saveAsksBeforeReplacing() {
        QFETCH(bool, yes);
        QTemporaryDir d;
        Session s(d.path());
        const QString target = d.filePath(QStringLiteral("saved.qrn3"));
        touch(target, "old");
        s.w.selectWorkMode(2);
        s.w.setSettingsText(QStringLiteral("saved"));
        qrn::test::OverwriteAnswerer answer(yes);
        s.w.execute();
        QCOMPARE(answer.asked.size(), 1);
        QVERIFY(answer.asked.first().contains(native(d, QStringLiteral("saved.qrn3"))));
        QCOMPARE(contents(target) == "old", !yes);
        QCOMPARE(s.w.statusText(),
                 yes ? QStringLiteral("保存しました: ") + native(d, QStringLiteral("saved.qrn3"))
                     : QString());
        QCOMPARE(s.messages, QStringList());
    }

    // "開く…" and `qrnview FILE`: folder, work mode and file from the name.
    void openFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");  // -1: refused with a message
        QTest::newRow("history") << "run1.his" << 0;
        QTest::newRow("binary") << "y.qrn3" << 1;
        QTest::newRow("pro binary") << "run1.f08" << 6;
        QTest::newRow("missing") << "gone.his" << -1;
        QTest::newRow("other kind") << "out.csv" << -1;
    }
    void openFile() {
        QFETCH(QString, name);
        QFETCH(int, mode);
        qrn::Dataset data;
        MainWindow w(data);
        QStringList messages;
        w.setMessageSink([&](const QString&, const QString& m) { messages << m; });
        QCOMPARE(w.openFile(dir_.filePath(name)), mode >= 0);
        QCOMPARE(messages.size(), mode >= 0 ? 0 : 1);
        if (mode < 0) {
            QVERIFY(messages.first().contains(native(name)));
            return;
        }
        QCOMPARE(w.workMode(), mode);
        QCOMPARE(w.dirPath(), native() + sep());
        QCOMPARE(w.selectedPath(), native(name));
        QVERIFY(w.executeEnabled());
    }

    void commandLineFileReads() {
        QTemporaryDir d;
        writeModel(d.path());
        qrn::Dataset data;
        MainWindow w(data);
        int opened = 0;
        w.setViewerOpener([&](int, bool) { ++opened; });
        QVERIFY(w.openFile(d.filePath(QStringLiteral("model.his"))));
        w.execute();  // what main() does with its argument
        QCOMPARE(opened, 1);
        QCOMPARE(data.StepCount, 3);
        QCOMPARE(w.recentFiles(), QStringList{native(d, QStringLiteral("model.his"))});
    }

    // "中止" during a read: the dataset and the boxes' record of it stay as they were.
    void readCancelKeepsDataset() {
        QTemporaryDir d;
        Session s(d.path());
        writeHistory(d.filePath(QStringLiteral("model.his")), 4);
        s.w.setIntervalText(QStringLiteral("0.1"));
        QTimer abort;
        clickAbortWhenShown(s.w, abort);
        s.w.execute();
        QCOMPARE(s.reads, 1);
        QCOMPARE(s.data.StepCount, 3);
        QCOMPARE(s.messages, QStringList());
        QVERIFY(!s.w.cancelShown() && !s.w.busyShown());
        abort.stop();
        s.w.execute();  // the boxes still differ from what is loaded: it reads now
        QCOMPARE(s.data.StepCount, 4);
    }

    void settingsRoundTrip() {
        QSettings().clear();
        QTemporaryDir d;
        {
            Session s(d.path());
            s.w.recallSettings();
            s.w.selectWorkMode(5);
            s.w.selectDisplayMode(0);
            s.w.resize(800, 610);
            s.w.rememberSettings();
        }
        qrn::Dataset data;
        MainWindow w(data);
        w.recallSettings();
        QCOMPARE(w.dirPath(), native(d) + sep());
        QCOMPARE(w.workMode(), 5);
        QCOMPARE(w.displayMode(), 0);
        QCOMPARE(w.size(), QSize(800, 610));
        QCOMPARE(w.recentFiles(), QStringList{native(d, QStringLiteral("model.his"))});
        // A session starts in a reading mode; the list keeps the last eight.
        QSettings store;
        store.setValue(QStringLiteral("main/workMode"), 2);
        QStringList many;
        for (int i = 0; i < 10; ++i) many << QStringLiteral("/r/%1.his").arg(i);
        store.setValue(QStringLiteral("main/recentFiles"), many);
        store.sync();
        MainWindow again(data);
        again.recallSettings();
        QCOMPARE(again.workMode(), 0);
        QCOMPARE(again.recentFiles(), many.mid(0, MainWindow::kRecentFiles));
    }

    void xdmfEntryFollowsSaveAndCsv() {
        qrn::Dataset data;
        MainWindow w(data);
        QVERIFY(!w.xdmfExportEnabled());
        for (bool allowed : {true, false}) {
            qrn::WindowOutcome o;
            o.saveExportAllowed = allowed;
            w.apply(o);
            QCOMPARE(w.xdmfExportEnabled(), allowed);
            QCOMPARE(w.workModeEnabled(2), allowed);
        }
    }

    // The export with its question, status line and "中止"; a refusal or a
    // cancel leaves the earlier pair and says nothing.
    void xdmfExport_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("written");
        QTest::newRow("new") << "new" << true;
        QTest::newRow("replace") << "yes" << true;
        QTest::newRow("keep") << "no" << false;
        QTest::newRow("cancel") << "cancel" << false;
    }
    void xdmfExport() {
        QFETCH(QString, how);
        QFETCH(bool, written);
        QTemporaryDir d;
        Session s(d.path());
        const QString xdmf = d.filePath(QStringLiteral("run.xdmf"));
        if (how != QLatin1String("new")) touch(d.filePath(QStringLiteral("run.h5")), "old");
        qrn::test::OverwriteAnswerer answer(how != QLatin1String("no"));
        QTimer abort;
        if (how == QLatin1String("cancel")) clickAbortWhenShown(s.w, abort);
        QCOMPARE(s.w.exportXdmf(xdmf, false), written);
        QCOMPARE(s.messages, QStringList());
        QCOMPARE(answer.asked.size(), how == QLatin1String("new") ? 0 : 1);
        QCOMPARE(QFile::exists(xdmf), written);
        QCOMPARE(contents(d.filePath(QStringLiteral("run.h5"))) == "old", !written);
        QCOMPARE(s.w.statusText().startsWith(QStringLiteral("保存しました: ")), written);
        QVERIFY(!s.w.busyShown());
        QVERIFY(!s.w.cancelShown());
        QCOMPARE(s.data.StepCount, 3);
    }

    void folderChangeDisablesExecute() {
        qrn::Dataset data;
        MainWindow w(data);
        w.setFolder(dir_.path());
        QVERIFY(w.clickFile(QStringLiteral("run1.his")));
        QVERIFY(w.executeEnabled());
        w.setFolder(dir_.path());
        QVERIFY(!w.executeEnabled());
        QCOMPARE(w.dirPath(), native() + sep());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
