// qrnconv frame INPUT OUTPUT.png: one frame of the viewer as a PNG.
#include <QBuffer>
#include <QSaveFile>
#include <memory>
#include <new>

#include "cli/commands.h"
#include "cli/readinput.h"
#include "cli/viewoptions.h"
#include "dataset/error.h"
#include "dataset/savetarget.h"
#include "files/csvexport.h"

namespace qrn::cli {

QString usageFrame() {
    return QStringLiteral(
               "使い方: qrnconv frame INPUT OUTPUT.png [読込オプション] [表示オプション] "
               "[--points FILE]\n"
               "INPUT を読み込み、画像シミュレーション画面の１コマを PNG 画像に描画します。\n"
               "画像の大きさは描画領域（--window）から画面の枠と操作部を除いた大きさです。\n\n"
               "  --points FILE     投影した節点ごとに１行 \"slot,index,node,ScrX,ScrY\" "
               "を書き出す\n\n") +
           readOptionsHelp() + QChar(u'\n') + viewOptionsHelp();
}

namespace {

[[noreturn]] void failWrite(const QString& path, const QString& reason) {
    throw QrnError(
        QStringLiteral("ファイル %1 に保存できませんでした。").arg(path) + QChar(u'\r') + reason,
        kWriteErrorTitle);
}

std::unique_ptr<QSaveFile> openOutput(const QString& path) {
    if (isReadOnlyFile(path)) failWrite(path, kReadOnlyTarget);
    auto f = std::make_unique<QSaveFile>(path);
    if (!f->open(QIODevice::WriteOnly)) failWrite(path, f->errorString());
    return f;
}

// The picture and the point list are both opened before either is written,
// so a bad path for one leaves neither behind.
void writeFrame(const viewer::FrameResult& frame, const QString& pngPath,
                const std::optional<QString>& pointsPath) {
    if (frame.image.isNull())
        failWrite(pngPath, QStringLiteral("画像を作成できませんでした（メモリ不足）。"));
    const auto png = openOutput(pngPath);
    std::unique_ptr<QSaveFile> points;
    if (pointsPath) points = openOutput(*pointsPath);
    // Encoded into memory first: the encoder does not report a short write.
    QBuffer picture;
    picture.open(QIODevice::WriteOnly);
    if (!frame.image.save(&picture, "PNG")) failWrite(pngPath, png->errorString());
    const QByteArray& bytes = picture.data();
    if (png->write(bytes) != bytes.size() || !holdsAll(*png, bytes.size()))
        failWrite(pngPath, kIncompleteWrite);
    if (points && (points->write(frame.points) != frame.points.size() ||
                   !holdsAll(*points, frame.points.size())))
        failWrite(*pointsPath, points->errorString());
    if (points && !points->commit()) failWrite(*pointsPath, points->errorString());
    if (!png->commit()) failWrite(pngPath, png->errorString());
}

}  // namespace

int runFrame(const QStringList& args) {
    auto specs = readOptionSpecs();
    const auto view = viewOptionSpecs();
    specs.insert(specs.end(), view.begin(), view.end());
    specs.push_back({QStringLiteral("points"), true});
    const ParsedArgs a = parseArgs(args, specs);
    if (a.help) {
        printHelp(usageFrame());
        return ExitOk;
    }
    requirePositional(a, {QStringLiteral("INPUT"), QStringLiteral("OUTPUT.png")});
    const ReadRequest request = makeReadRequest(a.positional[0], readOptionsFrom(a));
    viewer::FrameOptions options = frameOptionsFrom(a);
    const std::optional<QString> pointsPath = a.value(QStringLiteral("points"));
    if (pointsPath && pointsPath->isEmpty())
        throw UsageError(QStringLiteral("--points のパスが空です。"));
    options.wantPoints = pointsPath.has_value();

    Dataset data;
    TerminalHost host;
    const ReadResult r = readInput(data, request, host);
    if (!r.completed) return ExitFailed;
    try {
        writeFrame(viewer::renderFrame(data, options), a.positional[1], pointsPath);
    } catch (const QrnError& e) {
        host.message(e.title(), e.message());
        return ExitFailed;
    } catch (const std::bad_alloc&) {
        host.message(kWriteErrorTitle, QStringLiteral("メモリが不足しているため、") +
                                           a.positional[1] +
                                           QStringLiteral("を出力できませんでした。"));
        return ExitFailed;
    }
    return ExitOk;
}

}  // namespace qrn::cli
