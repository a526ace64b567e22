#include "cli/commands.h"

#include "cli/terminalhost.h"

namespace qrn::cli {

void printHelp(const QString& text) { writeStdout(text.toUtf8()); }

int notAvailable(const char* name) {
    stderrSink()(QStringLiteral("qrnconv %1: この機能はまだ使用できません。\n")
                     .arg(QString::fromLatin1(name))
                     .toUtf8());
    return ExitFailed;
}

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
        "表示オプション（画像シミュレーション画面の設定）:\n"
        "  --view normal|real  表示モード（既定 real）\n"
        "  --window WxH        描画領域の大きさ（既定 normal 682x446, real 678x445）\n"
        "  --time-step T       描画する時間ステップ\n"
        "  --p1 TEXT --p2 TEXT --markers TEXT   パラメータ欄\n"
        "  --marker-size S     マーカーの大きさ 1..5\n"
        "  --twist-scale TEXT  ねじれ角の表示倍率\n"
        "  --line-width TEXT   線の太さ\n"
        "  --disp-scale TEXT   移動量倍率\n"
        "  --sideways          横向    --near-low  手前若番    --trace  軌跡有\n"
        "  --zoom 0..3         表示倍率\n"
        "  --h N --v N         視点のスクロール位置\n"
        "  --node-range A:B    描画する節点の範囲\n"
        "  --pan X,Y           表示位置の移動\n");
}

}  // namespace qrn::cli
