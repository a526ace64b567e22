// The viewer window on the offscreen platform: controls and their initial
// values, validation, activation, layout, leaving and re-opening, the screen
// copy, the time bar, keys, picking, fit and what the viewer remembers.

#include <QClipboard>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "../render/model.h"
#include "render/fit.h"
#include "render/layout.h"
#include "viewer/navigation.h"
#include "viewer/viewerwindow.h"

using qrn::Dataset;
using qrn::render::ViewMode;
using qrn::viewer::ViewerWindow;

namespace {

struct Harness {
    Dataset ds = qrn::test::lineModel();
    QString interval = QStringLiteral("0.05");
    int mainShown = 0;
    std::unique_ptr<ViewerWindow> w;

    explicit Harness(int mode) {
        w = std::make_unique<ViewerWindow>(
            ds, mode, [this] { return interval; }, [this] { ++mainShown; });
    }
    template <typename T>
    T& child(const char* name) {
        T* c = w->findChild<T*>(QLatin1String(name));
        if (!c) qFatal("no child %s", name);
        return *c;
    }
    QLineEdit& edit(const char* name) { return child<QLineEdit>(name); }
    // Replaces a box's text the way typing over a selection does.
    void type(const char* name, const QString& text) {
        QLineEdit& e = edit(name);
        e.selectAll();
        QTest::keyClicks(&e, text);
    }
};

QString captionLeftOf(QWidget& box) {
    // The caption sits right above its box in the parameter panel.
    QString best;
    int bestDy = 1000;
    for (QLabel* l : box.parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const int dy = box.y() - l->y();
        if (dy > 0 && dy < bestDy && l->x() < box.x() + 4) {
            bestDy = dy;
            best = l->text().remove(QLatin1Char('\n'));  // a line break is not part of it
        }
    }
    return best;
}

}  // namespace

class TestViewerWindow : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void initialControls_data();
    void initialControls();
    void validation();
    void stepBoxSetsSmallChange();
    void activationSteps();
    void activationContinuesPastFailure();
    void singleTensionRecordHidesNodeButtons();
    void titlePadding();
    void sidewaysSetAndClear_data();
    void sidewaysSetAndClear();
    void nodeRangeOnlyOnLayoutPass();
    void layoutFollowsResize();
    void returnNormalHides();
    void returnRealClosesAndReopens();
    void closingShowsMain();
    void screenCopy_data();
    void screenCopy();
    void timeBarRedrawsWithReadouts();
    void datasetReplacedBetweenOpenings();
    void frameLoopPlaysToTheEnd();
    void timerPlaybackAndStop();
    void nodeButtonsWrap();
    void closingDuringFrameLoopLeavesNothingRunning();
    void destroyingDuringFrameLoop();
    void returnStopsTimerPlayback();
    void clickPicksNode();
    void rightDragKeepsGrabbedPoint();
    void leftDragPansNormalView();
    void leftDragTurnsRealView();
    void directionButtonPans();
    void activationFromAnotherWindowOnly();
    void keys_data();
    void keys();
    void pickRadiusMarkAndDrag();
    void fitOnFirstOpeningAndCtrlHome();
    void wheelZoomsAtTheMouse();
    void remembersBoxesAndGeometry();

  private:
    QTemporaryDir settingsDir_;
};

void TestViewerWindow::initTestCase() {
    // The viewers remember their boxes: keep that out of the user's settings.
    QCoreApplication::setOrganizationName(QStringLiteral("qrnview-test"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir_.path());
}

void TestViewerWindow::init() { QSettings().clear(); }

void TestViewerWindow::initialControls_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("normal") << 0;
    QTest::newRow("real") << 1;
}

void TestViewerWindow::initialControls() {
    QFETCH(int, mode);
    Harness h(mode);
    const bool real = mode == 1;
    h.w->open(true);
    QCOMPARE(h.w->mode(), real ? ViewMode::Real : ViewMode::Normal);
    QVERIFY(h.w->windowTitle().startsWith(
        real ? QStringLiteral("画像シミュレーション画面(リアルモード)")
             : QStringLiteral("画像シミュレーション画面(ノーマルモード)")));
    QCOMPARE(h.w->clientSize(), real ? QSize(678, 445) : QSize(682, 446));

    struct Box {
        const char* name;
        QString text;
        QString caption;
    };
    const std::vector<Box> boxes{
        {"Text1_0", real ? "300" : "3", real ? "視点距離" : "遠近倍率"},
        {"Text1_1", "50", real ? "中心視界幅" : "近点ｽｹｰﾙ"},
        {"Text1_2", "2", "ﾏｰｶｰ間隔"},
        {"Text2", "1", "ねじれ角の表示倍率"},
        {"Text4", "1", "線の太さ"},
        {"Text5", "1", "描画ｽﾃｯﾌﾟ"},
        {"Text7", "1", "移動量倍率"},
        {"Text6", "0", "動作ｳｪｲﾄ"},
    };
    for (const Box& b : boxes) {
        QLineEdit& e = h.edit(b.name);
        QCOMPARE(e.text(), b.text);
        QCOMPARE(captionLeftOf(e), b.caption);
    }
    // Activation overwrote the node range with 0 and cable 0's last node.
    QCOMPARE(h.edit("Text3_0").text(), QStringLiteral("0"));
    QCOMPARE(h.edit("Text3_1").text(), QStringLiteral("20"));

    QCOMPARE(h.child<QCheckBox>("Check1").text(), QStringLiteral("横向"));
    QCOMPARE(h.child<QCheckBox>("Check2").text(), QStringLiteral("軌跡有"));
    QCOMPARE(h.child<QCheckBox>("Check4").text(), QStringLiteral("ﾘﾋﾟｰﾄ"));
    QCOMPARE(h.child<QCheckBox>("Check3").isVisibleTo(h.w.get()), !real);
    if (!real) QCOMPARE(h.child<QCheckBox>("Check3").text(), QStringLiteral("手前若番"));
    QCOMPARE(h.child<QSlider>("Slider2").value(), 1);
    QCOMPARE(h.child<QSlider>("Slider2").maximum(), 5);
    QCOMPARE(h.child<QSlider>("Slider1").value(), 0);
    QCOMPARE(h.child<QSlider>("Slider1").maximum(), 3);
    QScrollBar& hs = h.child<QScrollBar>("HScroll2");
    QScrollBar& vs = h.child<QScrollBar>("VScroll1");
    QCOMPARE(hs.value(), real ? 5 : -40);
    QCOMPARE(hs.minimum(), real ? -180 : -50);
    QCOMPARE(hs.maximum(), real ? 180 : 50);
    QCOMPARE(vs.value(), 0);
    QCOMPARE(vs.maximum(), real ? 180 : 50);
    // Normal mode: 50 at the top end; real mode: -180 at the top end.
    QCOMPARE(vs.invertedAppearance(), !real);
    QScrollBar& time = h.child<QScrollBar>("HScroll1");
    QCOMPARE(time.maximum(), 2);
    QCOMPARE(time.pageStep(), 10);
    QCOMPARE(time.singleStep(), 1);
    QCOMPARE(h.child<QLabel>("Label2").text(), QStringLiteral("0.00"));
    QCOMPARE(h.child<QPushButton>("Command1").text(), QStringLiteral("前画面"));
    QCOMPARE(h.child<QPushButton>("Command1").toolTip(),
             QStringLiteral("前画面に戻り、ﾌｧｲﾙの保存や再読み込みを行います。"));
    QCOMPARE(h.edit("Text1_2").toolTip(),
             QStringLiteral("ノード点に対してマーカーの表示間隔を指定します。｢0」は未表示となり表示"
                            "速度が速くなります。。"));
    QCOMPARE(h.child<QToolButton>("Image1_4").toolTip(),
             QStringLiteral("画面表示範囲を移動させます。"));
    QCOMPARE(h.child<QToolButton>("Image0").toolTip(),
             QStringLiteral("動画表示のスタート・停止ボタン"));
    QVERIFY(h.child<QToolButton>("Image0").isVisibleTo(h.w.get()));
    QVERIFY(!h.child<QToolButton>("Image2").isVisibleTo(h.w.get()));
    QCOMPARE(h.w->nodeDataText(), QStringLiteral("ﾉｰﾄﾞﾃﾞｰﾀ:"));
    QCOMPARE(h.w->findChild<QAction*>(QStringLiteral("ImgCopy"))->text(),
             QStringLiteral("画面コピー"));
    QAction* gif = h.w->findChild<QAction*>(QStringLiteral("GifAni"));
    QCOMPARE(gif != nullptr, real);
    if (gif) {
        QCOMPARE(gif->text(), QStringLiteral("GIFアニメ"));
        int handled = 0;
        h.w->setGifAnimationHandler([&] { ++handled; });
        QSignalSpy spy(h.w.get(), &ViewerWindow::gifAnimationRequested);
        gif->trigger();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(handled, 1);
    }
    // The three panels and the picture where the layout pass puts them.
    QWidget& pic = h.child<QWidget>("Picture1");
    const QSize client = h.w->clientSize();
    QCOMPARE(pic.geometry(), QRect(20, 20, client.width() - 94, client.height() - 29));
    QCOMPARE(h.edit("Text1_0").parentWidget()->x(), client.width() - 70);
    QCOMPARE(h.child<QSlider>("Slider1").parentWidget()->pos(),
             QPoint(client.width() - 66, client.height() - 109));
    QCOMPARE(h.child<QScrollBar>("HScroll1").parentWidget()->y(), client.height() - 45);
    QCOMPARE(vs.geometry().bottom() + 1, client.height() - 45);  // its lower arrow in view
    QVERIFY(!h.child<QProgressBar>("ProgressBar1").toolTip().isEmpty());
}

void TestViewerWindow::validation() {
    Harness h(0);
    h.w->open(true);
    struct Case {
        const char* box;
        QString typed;
        QString expected;
    };
    // Whole texts, as pasted: one change each.
    const std::vector<Case> cases{
        {"Text1_0", "0", "2"}, {"Text1_0", "abc", "2"}, {"Text1_0", "4", "4"},
        {"Text1_1", "0", "5"}, {"Text4", "0", "1"},     {"Text4", "3", "3"},
        {"Text5", "0", "1"},   {"Text5", "0.5", "1"},   {"Text5", "-2", "1"},
        {"Text7", "-1", "0"},  {"Text7", "2.5", "2.5"}, {"Text6", "-3", "-3"},
        {"Text2", "0", "0"},
    };
    for (const Case& c : cases) {
        h.edit(c.box).setText(c.typed);
        QVERIFY2(h.edit(c.box).text() == c.expected, c.box);
    }
    // Typed key by key, every keystroke is a change of its own.
    h.type("Text1_0", QStringLiteral("0"));
    QCOMPARE(h.edit("Text1_0").text(), QStringLiteral("2"));
    h.type("Text1_0", QStringLiteral("abc"));
    QCOMPARE(h.edit("Text1_0").text(), QStringLiteral("2bc"));
    h.type("Text7", QStringLiteral("-1"));
    QCOMPARE(h.edit("Text7").text(), QStringLiteral("0"));
    h.type("Text5", QStringLiteral("0.5"));
    QCOMPARE(h.edit("Text5").text(), QStringLiteral("1.5"));
    QCOMPARE(h.w->state().StepInc, 2);
    h.edit("Text1_0").setText(QStringLiteral("4"));
    // Text1(1) is checked only while Text1(0) is not 0.
    h.edit("Text1_1").setText(QStringLiteral("0"));
    QCOMPARE(h.edit("Text1_1").text(), QStringLiteral("5"));
    QCOMPARE(h.w->form().nearScale, QStringLiteral("5"));
    QCOMPARE(h.w->state().NearScale, 5.0f);  // recomputed after the correction
    QCOMPARE(h.w->state().PerspRatio, 4.0f);
}

void TestViewerWindow::stepBoxSetsSmallChange() {
    Harness h(1);
    h.w->open(true);
    QScrollBar& time = h.child<QScrollBar>("HScroll1");
    QCOMPARE(time.singleStep(), 1);
    h.type("Text5", QStringLiteral("3"));
    QCOMPARE(h.w->state().StepInc, 3);
    QCOMPARE(time.singleStep(), 3);
}

void TestViewerWindow::activationSteps() {
    Harness h(0);
    h.ds.TensionHist(h.ds.StepMax, 0) = 2500;
    h.w->open(true);
    h.edit("Text3_0").setText(QStringLiteral("4"));
    h.edit("Text3_1").setText(QStringLiteral("9"));
    h.w->findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(QStringLiteral("2"));
    h.w->activate();
    QCOMPARE(h.child<QScrollBar>("HScroll1").maximum(), h.ds.StepMax);
    QCOMPARE(h.edit("Text3_0").text(), QStringLiteral("0"));
    QCOMPARE(h.edit("Text3_1").text(), QStringLiteral("20"));
    QCOMPARE(h.ds.FirstNode, 0);
    QCOMPARE(h.ds.LastNode, 20);
    QCOMPARE(h.child<QProgressBar>("ProgressBar1").maximum(), 2500);
    QCOMPARE(h.w->state().StepInc, 2);
    QVERIFY(h.child<QToolButton>("Image3_0").isVisibleTo(h.w.get()));
    QVERIFY(h.child<QToolButton>("Image3_1").isVisibleTo(h.w.get()));
    QCOMPARE(h.child<QLabel>("NodeLabel").text(), QStringLiteral("ﾉｰﾄﾞNo.1000"));
    QCOMPARE(h.w->state().LastFrame, qrn::render::FrameEnd::Complete);
}

void TestViewerWindow::activationContinuesPastFailure() {
    // A dataset whose cable table is gone: the layout pass draws nothing, the
    // later steps still run.
    Harness h(1);
    h.ds.CableInfo.clear();
    h.ds.TensionMax = 2;
    h.ds.TensionElem.create({qrn::Bounds{0, 2}});
    h.ds.TensionElem(0) = 7;
    h.w->open(true);
    h.edit("Text5").setText(QStringLiteral("4"));
    h.w->activate();
    QCOMPARE(h.child<QScrollBar>("HScroll1").maximum(), h.ds.StepMax);
    QCOMPARE(h.w->state().StepInc, 4);
    QVERIFY(h.child<QToolButton>("Image3_1").isVisibleTo(h.w.get()));
    QCOMPARE(h.child<QLabel>("NodeLabel").text(), QStringLiteral("ﾉｰﾄﾞNo.7"));
    QCOMPARE(h.w->state().LastFrame, qrn::render::FrameEnd::NoData);
}

void TestViewerWindow::singleTensionRecordHidesNodeButtons() {
    Harness h(0);
    h.ds = qrn::test::blankModel({4}, 0, 3, 1);
    h.ds.TensionElem(0) = 321;
    h.w->open(true);
    QVERIFY(!h.child<QToolButton>("Image3_0").isVisibleTo(h.w.get()));
    QVERIFY(!h.child<QToolButton>("Image3_1").isVisibleTo(h.w.get()));
    QCOMPARE(h.child<QLabel>("NodeLabel").text(), QStringLiteral("ﾉｰﾄﾞNo.321"));
}

void TestViewerWindow::titlePadding() {
    Harness h(0);
    h.w->open(true);
    const QString head = QStringLiteral("画像シミュレーション画面(ノーマルモード)");
    const QString by = qrn::render::kTitleByLine;
    // Where title bars centre the title: one blank at every width.
    h.w->setTitlePadding(false);
    h.w->resizeClient(QSize(1625, 400));
    QCOMPARE(h.w->windowTitle(), head + QLatin1Char(' ') + by);
    h.w->setTitlePadding(true);
    struct Case {
        int width;
        int blanks;
    };
    // round(W / 6.5 - 50), between 0 and 200.
    for (const Case c :
         {Case{300, 0}, Case{325, 0}, Case{682, 55}, Case{1625, 200}, Case{1900, 200}}) {
        h.w->resizeClient(QSize(c.width, 400));
        QCOMPARE(h.w->clientSize().width(), c.width);
        QCOMPARE(h.w->windowTitle(), head + QString(c.blanks, QLatin1Char(' ')) + by);
    }
}

void TestViewerWindow::sidewaysSetAndClear_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("restored");
    QTest::newRow("normal") << 0 << QStringLiteral("3");
    QTest::newRow("real") << 1 << QStringLiteral("300");
}

void TestViewerWindow::sidewaysSetAndClear() {
    QFETCH(int, mode);
    QFETCH(QString, restored);
    Harness h(mode);
    h.w->open(true);
    QCheckBox& c1 = h.child<QCheckBox>("Check1");
    c1.click();
    QCOMPARE(h.edit("Text1_0").text(), QStringLiteral("1"));
    QVERIFY(!h.edit("Text1_0").isEnabled());
    QCOMPARE(h.edit("Text2").text(), QStringLiteral("0"));
    QVERIFY(!h.edit("Text2").isEnabled());
    if (mode == 0) QCOMPARE(h.w->state().PerspRatio, 1.0f);  // the new text was recomputed
    c1.click();
    QCOMPARE(h.edit("Text1_0").text(), restored);
    QVERIFY(h.edit("Text1_0").isEnabled());
    QCOMPARE(h.edit("Text2").text(), QStringLiteral("1"));
    QVERIFY(h.edit("Text2").isEnabled());
    if (mode == 0) QCOMPARE(h.w->state().PerspRatio, 3.0f);
}

void TestViewerWindow::nodeRangeOnlyOnLayoutPass() {
    Harness h(0);
    h.w->open(true);
    QCOMPARE(h.ds.FirstNode, 0);
    h.type("Text3_0", QStringLiteral("3"));
    h.type("Text3_1", QStringLiteral("12"));
    QCOMPARE(h.ds.FirstNode, 0);
    QCOMPARE(h.ds.LastNode, 20);
    h.child<QSlider>("Slider1").setValue(1);
    QCOMPARE(h.ds.FirstNode, 3);
    QCOMPARE(h.ds.LastNode, 12);
    QCOMPARE(h.w->state().Zoom, 2.0f);
}

void TestViewerWindow::layoutFollowsResize() {
    Harness h(1);
    h.w->open(true);
    h.w->resizeClient(QSize(900, 600));
    const qrn::render::ViewerState& st = h.w->state();
    QCOMPARE(h.child<QWidget>("Picture1").geometry(), QRect(20, 20, 806, 571));
    QCOMPARE(st.Client, QSize(900, 600));
    QCOMPARE(h.w->currentImage().size(), QSize(802, 567));
    // Real mode: height round(-100 * 567 / 802) = -71, centred on the origin.
    QCOMPARE(st.ViewHeight, -71);
    QCOMPARE(st.ViewLeft, -50);
    QCOMPARE(st.ViewTop, 36);  // round(35.5) to even
    QCOMPARE(st.PixPerUnitX, 8.02f);
}

void TestViewerWindow::returnNormalHides() {
    Harness h(0);
    h.w->open(true);
    h.type("Text4", QStringLiteral("2"));
    h.child<QPushButton>("Command1").click();
    QCOMPARE(h.mainShown, 1);
    QVERIFY(h.w->isHidden());
    QVERIFY(h.w->isLoaded());
    QCOMPARE(h.w->state().Play, qrn::render::PlayState::Stopped);
    h.w->open(false);
    QCOMPARE(h.edit("Text4").text(), QStringLiteral("2"));  // controls stay as they were
}

void TestViewerWindow::returnRealClosesAndReopens() {
    Harness h(1);
    h.w->open(true);
    h.type("Text4", QStringLiteral("2"));
    h.child<QScrollBar>("HScroll2").setValue(30);
    h.child<QScrollBar>("HScroll1").setValue(2);
    h.w->resizeClient(QSize(800, 500));
    const_cast<qrn::render::ViewerState&>(h.w->state()).PanX = 7.0f;
    h.child<QPushButton>("Command1").click();
    QCOMPARE(h.mainShown, 1);
    QVERIFY(h.w->isHidden());
    QVERIFY(!h.w->isLoaded());
    h.w->open(true);
    // Initial controls and size again; the state record kept its pan.
    QCOMPARE(h.edit("Text4").text(), QStringLiteral("1"));
    QCOMPARE(h.child<QScrollBar>("HScroll2").value(), 5);
    QCOMPARE(h.child<QScrollBar>("HScroll1").value(), 0);
    QCOMPARE(h.w->clientSize(), QSize(800, 500));  // the window's size is remembered
    QCOMPARE(h.w->state().PanX, 7.0f);
    QCOMPARE(h.w->state().Window.Left, -50.0f + 7.0f);
}

void TestViewerWindow::closingShowsMain() {
    Harness h(0);
    h.w->open(true);
    h.w->close();
    QCOMPARE(h.mainShown, 1);
    QVERIFY(!h.w->isLoaded());
    QCOMPARE(h.w->state().Play, qrn::render::PlayState::Stopped);
}

void TestViewerWindow::screenCopy_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("normal") << 0;
    QTest::newRow("real") << 1;
}

void TestViewerWindow::screenCopy() {
    QFETCH(int, mode);
    Harness h(mode);
    h.w->open(true);
    const QImage before = h.w->currentImage().copy();
    QGuiApplication::clipboard()->clear();
    h.w->findChild<QAction*>(QStringLiteral("ImgCopy"))->trigger();
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), h.w->currentImage().size());
    QCOMPARE(h.w->currentImage(), before);  // the live picture stays as it was
    QCOMPARE(h.w->statusText(), QStringLiteral("クリップボードにコピーしました"));
    if (mode == 1) {
        QCOMPARE(copied.convertToFormat(QImage::Format_RGB32), before);  // no text line
        return;
    }
    // Normal mode printed a black text line, its top 300 pixels above the
    // picture's bottom edge (outer height 417, drawable 413).
    const int textTop = 417 - 300;
    int changedRows = 0;
    for (int y = 0; y < copied.height(); ++y) {
        bool changed = false;
        for (int x = 0; x < copied.width() && !changed; ++x)
            changed = copied.pixel(x, y) != before.pixel(x, y);
        if (changed) {
            ++changedRows;
            QVERIFY2(y >= textTop - 3 && y < textTop + 30, qPrintable(QString::number(y)));
        }
    }
    QVERIFY(changedRows > 3);
}

void TestViewerWindow::timeBarRedrawsWithReadouts() {
    Harness h(0);
    h.w->open(true);
    QScrollBar& time = h.child<QScrollBar>("HScroll1");
    const QImage at0 = h.w->currentImage().copy();
    h.interval = QStringLiteral("0.05");
    time.setValue(2);
    QCOMPARE(h.child<QLabel>("Label2").text(), QStringLiteral("0.10"));
    QCOMPARE(h.child<QLabel>("Label5").text(), QStringLiteral("1400kg"));
    QVERIFY(h.w->currentImage() != at0);
    // The interval box is read at every change.
    h.interval = QStringLiteral("0.1");
    h.w->setTimeStep(1);
    QCOMPARE(h.w->timeStep(), 1);
    QCOMPARE(h.child<QLabel>("Label2").text(), QStringLiteral("0.10"));
    QCOMPARE(h.child<QLabel>("Label5").text(), QStringLiteral("1300kg"));
    // An interval text with something after the number uses its leading number.
    h.interval = QStringLiteral("0.05秒");
    h.w->setTimeStep(2);
    QCOMPARE(h.child<QLabel>("Label2").text(), QStringLiteral("0.10"));
    QCOMPARE(h.w->timeStepMaximum(), 2);
}

void TestViewerWindow::datasetReplacedBetweenOpenings() {
    // The application swaps a new dataset in after every read; the viewer
    // reads it afresh at activation and in every frame.
    Harness h(0);
    h.w->open(true);
    h.w->setTimeStep(2);
    h.child<QPushButton>("Command1").click();
    h.ds = qrn::test::blankModel({40, 40}, 3, 9, 4);
    h.w->open(true);
    QCOMPARE(h.child<QScrollBar>("HScroll1").maximum(), 9);
    QCOMPARE(h.edit("Text3_1").text(), QStringLiteral("40"));
    QCOMPARE(h.w->state().ScrX.hi(1), 40);
    h.w->setTimeStep(9);
    QCOMPARE(h.w->state().LastFrame, qrn::render::FrameEnd::Complete);
}

namespace {

// 100 time steps, three tension records.
Dataset longModel() {
    Dataset ds = qrn::test::blankModel({6, 6}, 0, 100, 3);
    for (int t = 0; t <= 101; ++t)
        for (int r = 0; r < 3; ++r) ds.TensionHist(t, r) = static_cast<std::int16_t>(10 * t + r);
    return ds;
}

}  // namespace

void TestViewerWindow::frameLoopPlaysToTheEnd() {
    Harness h(0);
    h.ds = longModel();
    h.w->open(true);
    h.type("Text5", QStringLiteral("3"));
    QVector<int> seen;
    connect(&h.child<QScrollBar>("HScroll1"), &QScrollBar::valueChanged, this,
            [&](int v) { seen.push_back(v); });
    // A timer of the event loop keeps firing while the frames run.
    int ticks = 0;
    QTimer other;
    connect(&other, &QTimer::timeout, this, [&] { ++ticks; });
    other.start(0);
    h.child<QToolButton>("Image0").click();
    QVERIFY(!h.child<QToolButton>("Image0").isVisibleTo(h.w.get()));
    QVERIFY(h.child<QToolButton>("Image2").isVisibleTo(h.w.get()));
    QTRY_VERIFY(h.w->playback().startVisible());
    QCOMPARE(seen.size(), 33);
    QCOMPARE(seen.front(), 3);
    QCOMPARE(seen.back(), 99);
    QVERIFY(ticks >= 30);
    QCOMPARE(h.w->timeStep(), 99);
    QCOMPARE(h.child<QLabel>("Label2").text(), QStringLiteral("4.95"));
    QCOMPARE(h.child<QLabel>("Label5").text(), QStringLiteral("990kg"));
    QCOMPARE(h.child<QProgressBar>("ProgressBar1").value(), 990);
    QVERIFY(h.child<QToolButton>("Image0").isVisibleTo(h.w.get()));
    QVERIFY(!h.child<QToolButton>("Image2").isVisibleTo(h.w.get()));
    h.w->setTimeStep(3);
    QCOMPARE(h.child<QLabel>("Label2").text(), QStringLiteral("0.15"));
}

void TestViewerWindow::timerPlaybackAndStop() {
    Harness h(1);
    h.ds = longModel();
    h.w->open(true);
    h.type("Text6", QStringLiteral("1"));
    h.child<QToolButton>("Image0").click();
    QCOMPARE(h.w->state().Play, qrn::render::PlayState::Timer);
    QVERIFY(h.w->playback().timerRunning());
    QCOMPARE(h.w->timeStep(), 0);  // the timer draws the first step
    QTRY_VERIFY(h.w->timeStep() >= 3);
    h.child<QToolButton>("Image2").click();
    QVERIFY(!h.w->playback().timerRunning());
    const int stoppedAt = h.w->timeStep();
    QTest::qWait(60);
    QCOMPARE(h.w->timeStep(), stoppedAt);
    QVERIFY(h.child<QToolButton>("Image0").isVisibleTo(h.w.get()));
}

void TestViewerWindow::nodeButtonsWrap() {
    Harness h(0);
    h.ds = longModel();
    h.w->open(true);
    h.w->setTimeStep(5);
    QToolButton& prev = h.child<QToolButton>("Image3_0");
    QToolButton& next = h.child<QToolButton>("Image3_1");
    QCOMPARE(h.child<QLabel>("NodeLabel").text(), QStringLiteral("ﾉｰﾄﾞNo.1000"));
    prev.click();
    QCOMPARE(h.w->state().TensSel, 2);
    QCOMPARE(h.child<QLabel>("NodeLabel").text(), QStringLiteral("ﾉｰﾄﾞNo.1002"));
    QCOMPARE(h.child<QLabel>("Label5").text(), QStringLiteral("52kg"));
    next.click();
    QCOMPARE(h.w->state().TensSel, 0);
    next.click();
    QCOMPARE(h.w->state().TensSel, 1);
    QCOMPARE(h.child<QLabel>("Label5").text(), QStringLiteral("51kg"));
    // The choice survives leaving and re-opening.
    h.child<QPushButton>("Command1").click();
    h.w->open(false);
    QCOMPARE(h.child<QLabel>("NodeLabel").text(), QStringLiteral("ﾉｰﾄﾞNo.1001"));
}

void TestViewerWindow::closingDuringFrameLoopLeavesNothingRunning() {
    Harness h(1);
    h.ds = longModel();
    h.w->open(true);
    h.child<QCheckBox>("Check4").setChecked(true);  // repeat: the loop never ends by itself
    h.child<QToolButton>("Image0").click();
    QTRY_VERIFY(h.w->timeStep() >= 5);
    h.w->close();
    QCOMPARE(h.mainShown, 1);
    QVERIFY(!h.w->playback().frameLoopActive());
    QVERIFY(!h.w->playback().timerRunning());
    const int at = h.w->timeStep();
    QTest::qWait(50);
    QCOMPARE(h.w->timeStep(), at);
    // Opened again, it is stopped with its start button.
    h.w->open(false);
    QVERIFY(h.child<QToolButton>("Image0").isVisibleTo(h.w.get()));
    QVERIFY(!h.w->playback().frameLoopActive());
}

void TestViewerWindow::destroyingDuringFrameLoop() {
    Harness h(0);
    h.ds = longModel();
    h.w->open(true);
    h.child<QCheckBox>("Check4").setChecked(true);
    h.child<QToolButton>("Image0").click();
    bool destroyed = false;
    QTimer::singleShot(20, this, [&] {
        h.w.reset();
        destroyed = true;
    });
    QTRY_VERIFY(destroyed);
    QTest::qWait(30);  // nothing may run on the destroyed window (checked by ASan)
}

void TestViewerWindow::returnStopsTimerPlayback() {
    Harness h(0);
    h.ds = longModel();
    h.w->open(true);
    h.type("Text6", QStringLiteral("2"));
    h.child<QToolButton>("Image0").click();
    QVERIFY(h.w->playback().timerRunning());
    h.child<QPushButton>("Command1").click();
    QVERIFY(!h.w->playback().timerRunning());
    QCOMPARE(h.w->state().Play, qrn::render::PlayState::Stopped);
    QVERIFY(h.w->playback().startVisible());
}

namespace {

// Pixel of the picture widget (border included) for a drawing position.
QPoint pixelOf(const qrn::render::ViewerState& st, double x, double y) {
    return QPoint(qRound((x - st.Window.Left) * st.PixPerUnitX) + 2,
                  qRound((y - st.Window.Top) * st.PixPerUnitY) + 2);
}

QPointF unitsAt(const qrn::render::ViewerState& st, QPoint p) {
    return QPointF(st.Window.Left + (p.x() - 2) / double(st.PixPerUnitX),
                   st.Window.Top + (p.y() - 2) / double(st.PixPerUnitY));
}

}  // namespace

void TestViewerWindow::clickPicksNode() {
    Harness h(0);
    h.w->open(true);
    h.w->setTimeStep(1);
    const qrn::render::ViewerState& st = h.w->state();
    QWidget& pic = h.child<QWidget>("Picture1");
    const QPoint at = pixelOf(st, st.ScrX(1, 10), st.ScrY(1, 10));
    QTest::mousePress(&pic, Qt::LeftButton, {}, at);
    QCOMPARE(pic.cursor().shape(), Qt::CrossCursor);
    QTest::mouseRelease(&pic, Qt::LeftButton, {}, at);
    QCOMPARE(h.w->nodeDataText(), qrn::viewer::nodeInfoText(h.ds, {1, 10}, 1));
    QVERIFY(h.w->nodeDataText().startsWith(QStringLiteral("ノードNo.210 (移動量 x=0,y=")));
    QVERIFY(!pic.testAttribute(Qt::WA_SetCursor));
    // Beside every node.
    QTest::mousePress(&pic, Qt::LeftButton, {}, QPoint(6, 6));
    QCOMPARE(pic.cursor().shape(), Qt::WhatsThisCursor);
    QTest::mouseRelease(&pic, Qt::LeftButton, {}, QPoint(6, 6));
    QCOMPARE(h.w->nodeDataText(), QStringLiteral("該当ノードなし"));
    // Picking changes no view setting.
    QCOMPARE(h.child<QScrollBar>("HScroll2").value(), -40);
}

void TestViewerWindow::rightDragKeepsGrabbedPoint() {
    Harness h(1);
    h.w->open(true);
    const qrn::render::ViewerState& st = h.w->state();
    QWidget& pic = h.child<QWidget>("Picture1");
    const QPoint from(200, 150), to(260, 110);
    const QPointF grabbed = unitsAt(st, from);
    QTest::mousePress(&pic, Qt::RightButton, {}, from);
    QCOMPARE(pic.cursor().shape(), Qt::SizeAllCursor);
    QTest::mouseMove(&pic, to);
    const QPointF now = unitsAt(st, to);
    QVERIFY(std::abs(now.x() - grabbed.x()) < 1e-4);
    QVERIFY(std::abs(now.y() - grabbed.y()) < 1e-4);
    QVERIFY(st.PanX < 0.0f);
    QVERIFY(st.PanY < 0.0f);
    QTest::mouseRelease(&pic, Qt::RightButton, {}, to);
    QVERIFY(!pic.testAttribute(Qt::WA_SetCursor));
    QCOMPARE(h.w->nodeDataText(), QStringLiteral("ﾉｰﾄﾞﾃﾞｰﾀ:"));  // no search on the right button
}

void TestViewerWindow::leftDragPansNormalView() {
    Harness h(0);
    h.w->open(true);
    const qrn::render::ViewerState& st = h.w->state();
    QWidget& pic = h.child<QWidget>("Picture1");
    QScrollBar& hs = h.child<QScrollBar>("HScroll2");
    QScrollBar& vs = h.child<QScrollBar>("VScroll1");
    const QPoint from(100, 300);
    const QPointF grabbed = unitsAt(st, from);
    QTest::mousePress(&pic, Qt::LeftButton, {}, from);
    // 30 pixels left and 20 up: the viewpoint follows by whole units.
    const QPoint to(70, 280);
    QTest::mouseMove(&pic, to);
    const double dx = 30.0 / st.PixPerUnitX;
    const double dy = -20.0 / st.PixPerUnitY;
    QCOMPARE(hs.value(), -40 + qRound(dx));
    QCOMPARE(vs.value(), qRound(-dy));
    // The grabbed point stays under the mouse to within whole units (the
    // window's edges are rounded, a half to even).
    const QPointF now = unitsAt(st, to);
    QVERIFY(std::abs(now.x() - grabbed.x()) <= 1.0);
    QVERIFY(std::abs(now.y() - grabbed.y()) <= 1.0);
    // The bars stop at -50 .. 50.
    QTest::mouseMove(&pic, QPoint(to.x() + 400, to.y()));
    QCOMPARE(hs.value(), -40 + qRound(dx));
    QTest::mouseRelease(&pic, Qt::LeftButton, {}, QPoint(to.x() + 400, to.y()));
}

void TestViewerWindow::leftDragTurnsRealView() {
    Harness h(1);
    h.w->open(true);
    const qrn::render::ViewerState& st = h.w->state();
    QWidget& pic = h.child<QWidget>("Picture1");
    QCOMPARE(st.PixPerUnitX, 5.8f);
    QTest::mousePress(&pic, Qt::LeftButton, {}, QPoint(100, 100));
    QCOMPARE(st.DownScroll[0], 5.0f);
    // 30 pixels (5.17 units) to the right turn the view by 10 degrees.
    QTest::mouseMove(&pic, QPoint(130, 100));
    QCOMPARE(h.child<QScrollBar>("HScroll2").value(), 15);
    QCOMPARE(h.child<QScrollBar>("VScroll1").value(), 0);
    QTest::mouseRelease(&pic, Qt::LeftButton, {}, QPoint(130, 100));
}

void TestViewerWindow::directionButtonPans() {
    Harness h(0);
    h.w->open(true);
    const qrn::render::ViewerState& st = h.w->state();
    QToolButton& up = h.child<QToolButton>("Image1_1");
    // A click moves one step of 2 / Zoom units.
    QTest::mouseClick(&up, Qt::LeftButton);
    QCOMPARE(st.PanButton, 1);
    QCOMPARE(st.PanY, 2.0f);
    // Held, it keeps moving.
    QTest::mousePress(&up, Qt::LeftButton);
    QTRY_VERIFY(st.PanY >= 8.0f);
    QTest::mouseRelease(&up, Qt::LeftButton);
    const float stopped = st.PanY;
    QCOMPARE(st.Window.Top, float(st.ViewTop + double(stopped)));
    QTest::qWait(20);
    QCOMPARE(st.PanY, stopped);
    QCOMPARE(st.PanX, 0.0f);
    QTest::mouseClick(&h.child<QToolButton>("Image1_5"), Qt::LeftButton);  // left
    QCOMPARE(st.PanX, -2.0f);
    // The centre button brings the view back.
    QTest::mouseClick(&h.child<QToolButton>("Image1_4"), Qt::LeftButton);
    QCOMPARE(st.PanY, 0.0f);
    QCOMPARE(st.PanX, 0.0f);
    QCOMPARE(st.Window.Top, float(st.ViewTop));
}

void TestViewerWindow::activationFromAnotherWindowOnly() {
    Harness h(0);
    h.w->open(true);
    QVERIFY(QTest::qWaitForWindowActive(h.w.get()));
    h.edit("Text3_0").setText(QStringLiteral("5"));
    // Another program in front and back again: no activation.
    emit qGuiApp->focusWindowChanged(nullptr);
    emit qGuiApp->focusWindowChanged(h.w->windowHandle());
    QCOMPARE(h.edit("Text3_0").text(), QStringLiteral("5"));
    // Back from another window of the program (the main window): activation.
    QWidget mainWindow;
    mainWindow.resize(200, 100);
    mainWindow.show();
    mainWindow.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&mainWindow));
    QCOMPARE(h.edit("Text3_0").text(), QStringLiteral("5"));
    h.w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.w.get()));
    QCOMPARE(h.edit("Text3_0").text(), QStringLiteral("0"));
}

void TestViewerWindow::keys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("step");  // time step after the key (from 5, drawing step 3)
    QTest::addColumn<int>("zoom");  // display size after the key (from 1)
    QTest::addColumn<bool>("playing");
    QTest::addColumn<bool>("back");  // returned to the main window
    const int none = Qt::NoModifier;
    QTest::newRow("right") << int(Qt::Key_Right) << none << 8 << 1 << false << false;
    QTest::newRow("left") << int(Qt::Key_Left) << none << 2 << 1 << false << false;
    QTest::newRow("home") << int(Qt::Key_Home) << none << 0 << 1 << false << false;
    QTest::newRow("end") << int(Qt::Key_End) << none << 100 << 1 << false << false;
    QTest::newRow("+") << int(Qt::Key_Plus) << int(Qt::ShiftModifier) << 5 << 2 << false << false;
    QTest::newRow("-") << int(Qt::Key_Minus) << int(Qt::KeypadModifier) << 5 << 0 << false << false;
    QTest::newRow("space") << int(Qt::Key_Space) << none << -1 << 1 << true << false;
    QTest::newRow("esc") << int(Qt::Key_Escape) << none << 5 << 1 << false << true;
    // Every node of this model is at the origin: the largest size holds it.
    QTest::newRow("ctrl+home") << int(Qt::Key_Home) << int(Qt::ControlModifier) << 5 << 3 << false
                               << false;
    QTest::newRow("alt+left") << int(Qt::Key_Left) << int(Qt::AltModifier) << 5 << 1 << false
                              << false;
}

void TestViewerWindow::keys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, step);
    QFETCH(int, zoom);
    QFETCH(bool, playing);
    QFETCH(bool, back);
    Harness h(0);
    h.ds = longModel();
    h.w->open(true);
    QWidget& pic = h.child<QWidget>("Picture1");
    QCOMPARE(h.w->focusWidget(), &pic);  // the keys go to the picture from the start
    h.type("Text5", QStringLiteral("3"));
    h.w->setTimeStep(5);
    h.child<QSlider>("Slider1").setValue(1);
    QTest::keyClick(&pic, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    if (step >= 0) QCOMPARE(h.w->timeStep(), step);
    QCOMPARE(h.child<QSlider>("Slider1").value(), zoom);
    QCOMPARE(!h.w->playback().startVisible(), playing);
    QCOMPARE(h.mainShown, back ? 1 : 0);
    if (playing) {
        QTest::keyClick(&pic, Qt::Key_Space);
        QVERIFY(h.w->playback().startVisible());
    }
    // A box keeps the keys it uses.
    const int before = h.w->timeStep();
    QTest::keyClick(&h.edit("Text7"), Qt::Key_Home);
    QCOMPARE(h.w->timeStep(), before);
}

void TestViewerWindow::pickRadiusMarkAndDrag() {
    Harness h(0);
    h.w->open(true);
    h.w->setTimeStep(1);
    const qrn::render::ViewerState& st = h.w->state();
    auto& pic = h.child<qrn::viewer::PictureWidget>("Picture1");
    auto pixel = [&] { return pixelOf(st, st.ScrX(1, 10), st.ScrY(1, 10)) - QPoint(2, 2); };
    // 5 pixels away (4 across, 3 down) still picks the node; a ring marks it.
    QTest::mouseClick(&pic, Qt::LeftButton, {}, pixel() + QPoint(6, 5));
    QCOMPARE(h.w->pickedNode(), (qrn::viewer::NodeRef{1, 10}));
    QCOMPARE(pic.mark(), QPointF(pixel()));
    // The ring follows its node and stays out of the picture's image.
    const QImage image = h.w->currentImage().copy();
    h.w->setTimeStep(2);
    QCOMPARE(pic.mark(), QPointF(pixel()));
    h.w->setTimeStep(1);
    QCOMPARE(h.w->currentImage(), image);
    // A drag turns the view and leaves the node information alone.
    const QString info = h.w->nodeDataText();
    QTest::mousePress(&pic, Qt::LeftButton, {}, QPoint(6, 6));
    QTest::mouseMove(&pic, QPoint(40, 30));
    QTest::mouseRelease(&pic, Qt::LeftButton, {}, QPoint(40, 30));
    QVERIFY(h.child<QScrollBar>("HScroll2").value() != -40);
    QCOMPARE(h.w->nodeDataText(), info);
    QTest::mouseClick(&pic, Qt::LeftButton, {}, QPoint(6, 6));  // beside every node
    QCOMPARE(h.w->nodeDataText(), QStringLiteral("該当ノードなし"));
    QVERIFY(!pic.mark());
}

void TestViewerWindow::fitOnFirstOpeningAndCtrlHome() {
    Harness h(0);
    h.w->noteNewDataset();
    h.w->open(true);
    const qrn::render::ViewerState& st = h.w->state();
    // At rest (time step 0) every node is 6 pixels inside the picture and
    // above the bottom bar, which covers the lowest 34 rows.
    const QRect inside = QRect(QPoint(0, 0), h.w->currentImage().size()).adjusted(5, 5, -5, -39);
    for (int s = 0; s <= h.ds.CableMax; ++s)
        for (int n = 0; n <= h.ds.CableInfo(1, s); ++n)
            QVERIFY(inside.contains(qrn::viewer::nodePixel(st, {s, n})->toPoint()));
    const int level = h.child<QSlider>("Slider1").value();
    const float panX = st.PanX, panY = st.PanY;
    // Moved away, and back with Ctrl+Home.
    h.child<QSlider>("Slider1").setValue(3);
    QTest::mouseClick(&h.child<QToolButton>("Image1_7"), Qt::LeftButton);
    QTest::keyClick(&h.child<QWidget>("Picture1"), Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(h.child<QSlider>("Slider1").value(), level);
    QCOMPARE(st.PanX, panX);
    QCOMPARE(st.PanY, panY);
    // Opened again on the same dataset: the view stays as the user left it.
    h.child<QSlider>("Slider1").setValue(3);
    h.child<QPushButton>("Command1").click();
    h.w->open(true);
    QCOMPARE(h.child<QSlider>("Slider1").value(), 3);
}

void TestViewerWindow::wheelZoomsAtTheMouse() {
    Harness h(1);
    h.w->open(true);
    const qrn::render::ViewerState& st = h.w->state();
    QWidget& pic = h.child<QWidget>("Picture1");
    const QPoint at(150, 120);
    const QPointF grabbed = unitsAt(st, at);
    for (const auto& [angle, level] : {std::pair{120, 1}, {60, 1}, {60, 2}, {-480, 0}}) {
        QWheelEvent e(at, pic.mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&pic, &e);
        QCOMPARE(h.child<QSlider>("Slider1").value(), level);
        // The point under the mouse stays there.
        QVERIFY(std::abs(unitsAt(st, at).x() - grabbed.x()) < 1e-3);
        QVERIFY(std::abs(unitsAt(st, at).y() - grabbed.y()) < 1e-3);
    }
}

void TestViewerWindow::remembersBoxesAndGeometry() {
    {
        Harness h(1);
        h.w->open(true);
        h.type("Text6", QStringLiteral("3"));
        h.type("Text1_2", QStringLiteral("5"));
        h.child<QSlider>("Slider2").setValue(3);
        h.child<QSlider>("Slider1").setValue(2);
        h.w->resizeClient(QSize(800, 500));
        h.child<QPushButton>("Command1").click();
    }
    // The next run of the program: a new window of the same mode.
    Harness r(1);
    r.w->open(true);
    QCOMPARE(r.edit("Text6").text(), QStringLiteral("3"));
    QCOMPARE(r.w->state().MarkerStep, 5);
    QCOMPARE(r.child<QSlider>("Slider2").value(), 3);
    QCOMPARE(r.w->state().Zoom, 4.0f);
    QCOMPARE(r.w->clientSize(), QSize(800, 500));
    // The other mode has its own; unusable values are left out or held in range.
    QSettings store;
    store.setValue(QStringLiteral("viewer/normal/zoomLevel"), QStringLiteral("abc"));
    store.setValue(QStringLiteral("viewer/normal/markerSize"), 99);
    store.setValue(QStringLiteral("viewer/normal/wait"), QString(500, QLatin1Char('1')));
    store.sync();
    Harness n(0);
    n.w->open(true);
    QCOMPARE(n.child<QSlider>("Slider1").value(), 0);
    QCOMPARE(n.child<QSlider>("Slider2").value(), 5);
    QCOMPARE(n.edit("Text6").text(), QStringLiteral("0"));
}

QTEST_MAIN(TestViewerWindow)
#include "test_viewerwindow.moc"
