// qrnconv xdmf INPUT OUT.xdmf: the analysis as HDF5 with an XDMF description,
// for ParaView, VisIt and Python.
#include <new>

#include "cli/commands.h"
#include "cli/readinput.h"
#include "dataset/error.h"
#include "dataset/progress.h"
#include "files/xdmf/xdmfexport.h"

namespace qrn::cli {
QString usageXdmf() {
    return QStringLiteral(
               "使い方: qrnconv xdmf INPUT OUT.xdmf [読込オプション] [--from T] [--to T] "
               "[--every T] [--compress]\n"
               "INPUT を読み込み、ParaView・VisIt・Python で開ける HDF5 ファイル OUT.h5 と、\n"
               "それを時系列の線要素として記述する XDMF ファイル OUT.xdmf を出力します。\n"
               "二つのファイルは同じフォルダーに置いたまま移動してください（XDMF は .h5 を\n"
               "相対名で参照します）。内容は docs/hdf5-layout.md を見てください。\n"
               "初期設定ファイルだけの読込（作業モード 4, 7）の後は出力できません。\n\n"
               "XDMFオプション:\n"
               "  --from TEXT --to TEXT --every TEXT   出力する時間の範囲と間隔(s)。CSV出力画面と\n"
               "                     同じ規則（既定 \"0\"、データの終了時間、解析時間の欄）\n"
               "  --compress         すべてのデータを gzip + shuffle で圧縮する\n\n") +
           readOptionsHelp();
}

int runXdmf(const QStringList& args) {
    auto specs = readOptionSpecs();
    for (const char* n : {"from", "to", "every"}) specs.push_back({QString::fromLatin1(n), true});
    specs.push_back({QStringLiteral("compress"), false});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageXdmf());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUT.xdmf")});
    const ReadRequest request = makeReadRequest(a.positional[0], readOptionsFrom(a));
    XdmfRequest job;
    job.outputPath = a.positional[1];
    job.fromText = a.value(QStringLiteral("from"));
    job.toText = a.value(QStringLiteral("to"));
    job.everyText = a.value(QStringLiteral("every"));
    job.compress = a.has(QStringLiteral("compress"));

    Dataset data;
    TerminalHost host;
    const ReadResult r = readInput(data, request, host);
    if (!r.completed) return ExitFailed;
    if (!historiesRead(r, host, QStringLiteral("XDMF/HDF5に出力"))) return ExitFailed;
    job.intervalText = r.intervalText;
    try {
        writeXdmf(data, job, host);
        host.endProgress();
    } catch (const QrnError& e) {
        host.message(e.title(), e.message());
        return ExitFailed;
    } catch (const std::bad_alloc&) {
        host.message(kWriteErrorTitle, QStringLiteral("メモリが不足しているため、") +
                                           job.outputPath +
                                           QStringLiteral("を出力できませんでした。"));
        return ExitFailed;
    }
    return ExitOk;
}

}  // namespace qrn::cli
