// qrnconv sample DIR: writes the synthetic sample analysis in every input format.
#include <QDir>

#include "cli/commands.h"
#include "cli/sample.h"
#include "cli/terminalhost.h"
#include "dataset/numbers.h"

namespace qrn::cli {

QString usageSample() {
    const sample::SampleOptions d;
    return QStringLiteral(
               "使い方: qrnconv sample DIR [--cables N] [--nodes N] [--steps N] [--interval S] "
               "[--seed N]\n"
               "架空送電線の動的解析を模したサンプルデータを、読込可能なすべての形式で DIR に"
               "作成します:\n"
               "  st.dat, self.dat (初期設定), run1.his, run1.f24 (テキスト時刻歴), run1.f08 "
               "(バイナリ時刻歴),\n"
               "  tmp/sec.file, self.f08 (静的釣合条件の時間断面)\n\n"
               "  --cables N    電線（素導体）の本数（既定 %1, 1..%2）\n"
               "  --nodes N     電線１本あたりの節点数（既定 %3, 2..%4）\n"
               "  --steps N     時間ステップ数（既定 %5, 1..%6）\n"
               "  --interval S  計算間隔 秒（既定 %7）\n"
               "  --seed N      乱数の種（既定 %8）。同じ種なら同じデータになります\n")
        .arg(d.cables)
        .arg(sample::kMaxCables)
        .arg(d.nodes)
        .arg(sample::kMaxNodes)
        .arg(d.steps)
        .arg(sample::kMaxSteps)
        .arg(QString::fromStdString(num::formatGeneral(d.interval)))
        .arg(d.seed);
}

int runSample(const QStringList& args) {
    const ParsedArgs a = parseArgs(args, {{QStringLiteral("cables"), true},
                                          {QStringLiteral("nodes"), true},
                                          {QStringLiteral("steps"), true},
                                          {QStringLiteral("interval"), true},
                                          {QStringLiteral("seed"), true}});
    if (a.help) {
        printHelp(usageSample());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("DIR")});
    sample::SampleOptions opts;
    if (auto v = a.value(QStringLiteral("cables")))
        opts.cables =
            static_cast<int>(intOption(QStringLiteral("cables"), *v, 1, sample::kMaxCables));
    if (auto v = a.value(QStringLiteral("nodes")))
        opts.nodes = static_cast<int>(intOption(QStringLiteral("nodes"), *v, 2, sample::kMaxNodes));
    if (auto v = a.value(QStringLiteral("steps")))
        opts.steps = intOption(QStringLiteral("steps"), *v, 1, sample::kMaxSteps);
    if (auto v = a.value(QStringLiteral("interval"))) {
        const auto s = num::strictValue(*v);
        if (!s)
            throw UsageError(
                QStringLiteral("--interval には数値を指定してください（%1）。").arg(*v));
        opts.interval = *s;
    }
    if (auto v = a.value(QStringLiteral("seed"))) {
        bool ok = false;
        opts.seed = v->trimmed().toULongLong(&ok, 10);
        if (!ok)
            throw UsageError(
                QStringLiteral("--seed には 0 以上の整数を指定してください（%1）。").arg(*v));
    }
    if (const QString problem = sample::checkOptions(opts); !problem.isEmpty())
        throw UsageError(problem);

    TerminalHost host;
    host.stage(QStringLiteral("サンプルデータ作成中"));
    sample::writeSample(a.positional[0], opts, [&](double f) { host.progress(f); });
    host.endProgress();
    return ExitOk;
}

}  // namespace qrn::cli
