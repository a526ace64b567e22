#include "readers/readsequence.h"

#include <QFileInfo>
#include <exception>
#include <new>
#include <optional>

#include "dataset/error.h"
#include "dataset/fileformat.h"
#include "dataset/numbers.h"
#include "readers/histories.h"
#include "readers/historybinary.h"
#include "readers/historytext.h"
#include "readers/memory.h"
#include "readers/settingsreader.h"
#include "readers/staticequilibrium.h"

namespace qrn {
namespace {

bool fileExists(const QString& path) {
    const QFileInfo fi(path);
    return fi.exists() && !fi.isDir();
}

bool isReadingMode(int mode) {
    return mode == ReadHis || mode == CheckSettings || mode == ReadProText ||
           mode == ReadProBinary || mode == CheckProSettings;
}

}  // namespace

ReadResult ReadAnalysis(Dataset& data, const ReadRequest& request, Progress& progress) {
    ReadResult result;
    result.intervalText = request.intervalText;
    const int mode = request.mode;
    if (!isReadingMode(mode)) return result;
    const bool settingsOnly = mode == CheckSettings || mode == CheckProSettings;
    WindowOutcome& outcome = result.outcome;

    QString settingsPath = request.settingsPath;
    if (settingsOnly) {
        settingsPath = request.selectedPath;
        outcome.settingsText = settingsPath;
    }
    int n = 1;
    UnitFactors factors;

    if (!fileExists(settingsPath)) {
        data.StepMax = 0;
        outcome.notices.push_back(
            {kReadErrorTitle, QStringLiteral("初期設定ファイル") + settingsPath +
                                  QStringLiteral("がありません。") + QChar(u'\r') +
                                  QStringLiteral("再入力してください。")});
        return result;
    }

    const std::uint64_t memoryLimit =
        request.memoryLimit ? *request.memoryLimit : availableMemoryBytes();
    Dataset fresh;
    fresh.DirPath = data.DirPath;
    QString intervalText = request.intervalText;
    bool sectionUnticked = false;
    std::optional<HistoryCut> cut;
    QString failTitle, failText;
    try {
        fresh.DataReset();
        progress.stage(QStringLiteral("データ読込中"));

        factors = ReadTopology(fresh, settingsPath, &progress);
        if (!definesElements(fresh))
            throw QrnError(QStringLiteral("ファイル") + settingsPath +
                           QStringLiteral("にはケーブル要素も梁要素もありません。") + QChar(u'\r') +
                           QStringLiteral("初期設定ファイルか、途中で切れていないか確かめて"
                                          "ください。"));
        result.filesRead << settingsPath;

        double interval = num::leadingValue(request.intervalText);
        if (settingsOnly) {
            AllocSettingsOnly(fresh, memoryLimit, settingsPath);
        } else if (mode == ReadProBinary) {
            interval =
                ReadHistoryBinary(fresh, request.selectedPath, factors, n, progress, memoryLimit);
            intervalText = num::formatGeneralQ(interval);
            result.filesRead << request.selectedPath;
        } else {
            HistoryReadOptions options;
            options.memoryLimit = memoryLimit;
            options.progress = &progress;
            cut = ReadHistoryText(fresh, request.selectedPath, factors, n, options);
            result.filesRead << request.selectedPath;
        }
        AddTensionPlaceholder(fresh, n);
        ReadCoordinates(fresh, settingsPath, factors.length, &progress);

        if (request.sectionChecked) {
            if (!fileExists(request.sectionPath)) {
                progress.message(kReadErrorTitle,
                                 QStringLiteral("静的条件ＤＴファイル") + request.sectionPath +
                                     QStringLiteral("がありません。") + QChar(u'\r') +
                                     QStringLiteral("このデータを無視して処理します。"));
                sectionUnticked = true;
            } else {
                const bool binary = mode == ReadProText || mode == ReadProBinary;
                ApplyStaticEquilibrium(fresh, request.sectionPath, factors.length, binary,
                                       &progress);
                result.filesRead << request.sectionPath;
            }
        }

        if (n > 1) {
            FinishThinning(fresh, n);
            intervalText = thinnedIntervalText(interval, n);
        }
    } catch (const Cancelled&) {
        ReadResult stopped;
        stopped.cancelled = true;
        stopped.intervalText = request.intervalText;
        return stopped;
    } catch (const QrnError& e) {
        failTitle = e.title();
        failText = e.message();
    } catch (const std::bad_alloc&) {
        failTitle = kMemoryErrorTitle;
        failText = QStringLiteral("メモリーが不足したため、読み込みを中止しました。");
    } catch (const std::exception& e) {
        failTitle = kReadErrorTitle;
        failText = QStringLiteral("読み込み中にエラーが発生したため、読み込みを中止しました。") +
                   QChar(u'\r') + QString::fromLocal8Bit(e.what());
    }

    if (!failText.isEmpty()) {
        outcome.notices.push_back({failTitle, failText});
        result.filesRead.clear();
        return result;
    }

    data = std::move(fresh);
    result.completed = true;
    result.settingsOnly = settingsOnly;
    result.thinning = n;
    result.intervalText = intervalText;
    result.forceFactor = factors.force;
    result.lengthFactor = factors.length;
    // The binary history writes its own interval into the box; a thinned read the interval x N.
    if (mode == ReadProBinary || n > 1) outcome.intervalText = intervalText;
    outcome.saveExportAllowed = !settingsOnly;
    outcome.dataReady = true;
    outcome.sectionUnticked = sectionUnticked;
    outcome.openViewer = true;
    outcome.resetViewerTime = true;
    if (cut) outcome.notices.push_back({kAppTitle, historyCutMessage(request.selectedPath, *cut)});
    if (n > 1) outcome.notices.push_back({kAppTitle, thinningMessage(n)});
    return result;
}

std::optional<int> workModeForName(const QString& path) {
    switch (fileFormatOf(QFileInfo(path).fileName()).kind) {
        case FileKind::TextHistory:
            return ReadHis;
        case FileKind::ProTextHistory:
            return ReadProText;
        case FileKind::ProBinaryHistory:
            return ReadProBinary;
        case FileKind::Settings:
            return CheckSettings;
        case FileKind::DataFile:
            return LoadBinary;
        case FileKind::Other:
            break;
    }
    return std::nullopt;
}

}  // namespace qrn
