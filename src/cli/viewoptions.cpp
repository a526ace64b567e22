#include "cli/viewoptions.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>
#include <new>

#include "animation/gifwriter.h"
#include "animation/qimageview.h"
#include "cli/readinput.h"
#include "cli/terminalhost.h"
#include "dataset/error.h"
#include "dataset/numbers.h"

namespace qrn::cli {

std::vector<OptionSpec> viewOptionSpecs() {
    std::vector<OptionSpec> v;
    for (const char* n :
         {"view", "window", "time-step", "p1", "p2", "markers", "marker-size", "twist-scale",
          "line-width", "disp-scale", "zoom", "h", "v", "node-range", "pan"})
        v.push_back({QString::fromLatin1(n), true});
    for (const char* n : {"sideways", "near-low", "trace"})
        v.push_back({QString::fromLatin1(n), false});
    return v;
}

QString viewOptionsHelp() {
    return QStringLiteral(
        "表示オプション（画像シミュレーション画面の設定。画面を開いた後に入力したものとして、\n"
        "横向、各欄、スライダー、スクロールバーの順に設定してから１コマを描画します）:\n"
        "  --view normal|real  表示モード ノーマル / リアル（既定 real）\n"
        "  --window WxH        描画領域の大きさ（既定 normal 682x446, real 678x445）\n"
        "  --time-step T       描画する時間ステップ（既定 0）\n"
        "  --p1 TEXT --p2 TEXT --markers TEXT   パラメータ欄（1番目、2番目、ﾏｰｶｰ間隔）\n"
        "  --marker-size S     マーカーのサイズ 1..5\n"
        "  --twist-scale TEXT  ねじれ角の表示倍率\n"
        "  --line-width TEXT   線の太さ\n"
        "  --disp-scale TEXT   移動量倍率\n"
        "  --sideways          横向    --near-low  手前若番（ノーマルのみ）    --trace  軌跡有\n"
        "  --zoom 0..3         表示ｻｲｽﾞ\n"
        "  --h N --v N         視点（視野角）のスクロール位置\n"
        "  --node-range A:B    描画する節点の範囲\n"
        "  --pan X,Y           表示位置の移動量（描画座標）\n");
}

namespace {

void intValue(const ParsedArgs& a, const char* name, std::int64_t lo, std::int64_t hi,
              std::optional<int>& into) {
    const QString key = QString::fromLatin1(name);
    if (auto v = a.value(key)) into = static_cast<int>(intOption(key, *v, lo, hi));
}

void textValue(const ParsedArgs& a, const char* name, std::optional<QString>& into) {
    if (auto v = a.value(QString::fromLatin1(name))) into = *v;
}

}  // namespace

viewer::FrameOptions frameOptionsFrom(const ParsedArgs& a) {
    viewer::FrameOptions o;
    if (auto v = a.value(QStringLiteral("view"))) {
        if (*v == QLatin1String("normal"))
            o.mode = render::ViewMode::Normal;
        else if (*v == QLatin1String("real"))
            o.mode = render::ViewMode::Real;
        else
            throw UsageError(
                QStringLiteral("--view には normal か real を指定してください（%1）。").arg(*v));
    }
    if (auto v = a.value(QStringLiteral("window"))) {
        static const QRegularExpression re(
            QStringLiteral("^\\s*(\\d{1,9})\\s*[xX]\\s*(\\d{1,9})\\s*$"));
        const auto m = re.match(*v);
        const int w = m.hasMatch() ? m.captured(1).toInt() : 0;
        const int h = m.hasMatch() ? m.captured(2).toInt() : 0;
        if (w < 1 || h < 1 || w > kMaxWindowSide || h > kMaxWindowSide)
            throw UsageError(QStringLiteral("--window には 幅x高さ を 1 から %1 の整数で指定して"
                                            "ください（%2）。")
                                 .arg(kMaxWindowSide)
                                 .arg(*v));
        o.window = QSize(w, h);
    }
    constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();
    constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
    std::optional<int> step;
    intValue(a, "time-step", 0, kIntMax, step);
    o.timeStep = step.value_or(0);
    intValue(a, "marker-size", render::kMarkerSizeMin, render::kMarkerSizeMax, o.markerSize);
    intValue(a, "zoom", render::kZoomLevelMin, render::kZoomLevelMax, o.zoomLevel);
    intValue(a, "h", kIntMin, kIntMax, o.azimuth);
    intValue(a, "v", kIntMin, kIntMax, o.elevation);
    textValue(a, "p1", o.perspectiveRatio);
    textValue(a, "p2", o.nearScale);
    textValue(a, "markers", o.markerStep);
    textValue(a, "twist-scale", o.twistScale);
    textValue(a, "line-width", o.lineWidth);
    textValue(a, "disp-scale", o.dispScale);
    if (auto v = a.value(QStringLiteral("node-range"))) {
        const qsizetype colon = v->indexOf(QLatin1Char(':'));
        if (colon < 0)
            throw UsageError(
                QStringLiteral("--node-range には 開始:終了 の形で指定してください（%1）。")
                    .arg(*v));
        o.nodeRange = std::make_pair(v->left(colon), v->mid(colon + 1));
    }
    if (auto v = a.value(QStringLiteral("pan"))) {
        const QStringList parts = v->split(QLatin1Char(','));
        std::optional<double> x, y;
        if (parts.size() == 2) {
            x = num::strictValue(parts[0]);
            y = num::strictValue(parts[1]);
        }
        // The offsets are stored as 32-bit floats.
        constexpr double kFloatMax = std::numeric_limits<float>::max();
        if (!x || !y || !std::isfinite(*x) || !std::isfinite(*y) || std::fabs(*x) > kFloatMax ||
            std::fabs(*y) > kFloatMax)
            throw UsageError(
                QStringLiteral("--pan には X,Y の２つの数値を指定してください（%1）。").arg(*v));
        o.pan = std::make_pair(*x, *y);
    }
    o.sideways = a.has(QStringLiteral("sideways"));
    o.nearLow = a.has(QStringLiteral("near-low"));
    o.trace = a.has(QStringLiteral("trace"));
    return o;
}

std::vector<OptionSpec> csvOptionSpecs() {
    std::vector<OptionSpec> v;
    for (const char* n : {"nodes", "axes", "beams", "from", "to", "every"})
        v.push_back({QString::fromLatin1(n), true});
    for (const char* n : {"tension", "init", "split"}) v.push_back({QString::fromLatin1(n), false});
    return v;
}

CsvCliOptions csvOptionsFrom(const ParsedArgs& a) {
    CsvCliOptions o;
    textValue(a, "nodes", o.nodes);
    textValue(a, "beams", o.beams);
    if (auto v = a.value(QStringLiteral("axes"))) o.axes = *v;
    textValue(a, "from", o.from);
    textValue(a, "to", o.to);
    textValue(a, "every", o.every);
    o.tension = a.has(QStringLiteral("tension"));
    o.init = a.has(QStringLiteral("init"));
    o.split = a.has(QStringLiteral("split"));
    if (const QString bad = csvOptionsError(o); !bad.isEmpty()) throw UsageError(bad);
    return o;
}

std::vector<OptionSpec> animationOptionSpecs() {
    std::vector<OptionSpec> specs;
    for (const char* n : {"from", "to", "every", "speed"})
        specs.push_back({QString::fromLatin1(n), true});
    return specs;
}

int runAnimationExport(const ParsedArgs& a, const WriteAnimation& write) {
    const ReadRequest request = makeReadRequest(a.positional[0], readOptionsFrom(a));
    const viewer::FrameOptions options = frameOptionsFrom(a);

    Dataset data;
    TerminalHost host;
    const ReadResult r = readInput(data, request, host);
    if (!r.completed) return ExitFailed;
    try {
        viewer::FrameJob job(data, options);
        // The dialog as it opens (start "0", end at the data's end, the other
        // boxes at their initial texts), then the options typed into it.
        gif::ExportRequest req;
        req.texts.start = a.value(QStringLiteral("from")).value_or(gif::kInitialStartText);
        req.texts.end = a.value(QStringLiteral("to"))
                            .value_or(gif::openingEndText(r.intervalText, job.stepMax())
                                          .value_or(gif::kInitialEndText));
        req.texts.every = a.value(QStringLiteral("every")).value_or(gif::kInitialEveryText);
        req.texts.speed = a.value(QStringLiteral("speed")).value_or(gif::kInitialSpeedText);
        req.path = a.positional[1];
        req.intervalText = r.intervalText;
        req.stepMax = job.stepMax();
        write(
            gif::planExport(req),
            [&job](int step) {
                job.setTimeStep(step);
                return gif::viewOf(job.image());
            },
            host);
        host.endProgress();
    } catch (const QrnError& e) {
        host.message(e.title(), e.message());
        return ExitFailed;
    } catch (const std::bad_alloc&) {
        host.message(gif::kGifTitle, QStringLiteral("メモリが不足しているため、") +
                                         a.positional[1] +
                                         QStringLiteral("を出力できませんでした。"));
        return ExitFailed;
    }
    return ExitOk;
}

}  // namespace qrn::cli
