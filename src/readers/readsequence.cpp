#include "readers/readsequence.h"

#include <QFileInfo>
#include <exception>
#include <new>

#include "dataset/error.h"
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

// Passes every call on and remembers what a failed read must put back.
class TrackingHost : public Host {
  public:
    explicit TrackingHost(Host& h) : h_(h) {}
    bool intervalWritten = false;
    bool dataReadySet = false;

    void showMessage(const QString& title, const QString& text) override {
        h_.showMessage(title, text);
    }
    void setBusyCaption(const QString& caption) override { h_.setBusyCaption(caption); }
    void setBusyVisible(bool visible) override { h_.setBusyVisible(visible); }
    void repaintOnce() override { h_.repaintOnce(); }
    void progress(double fraction) override { h_.progress(fraction); }
    void setSettingsText(const QString& text) override { h_.setSettingsText(text); }
    void setIntervalText(const QString& text) override {
        intervalWritten = true;
        h_.setIntervalText(text);
    }
    void setSaveExportEnabled(bool enabled) override { h_.setSaveExportEnabled(enabled); }
    void uncheckSection() override { h_.uncheckSection(); }
    void setDataReady(bool ready) override {
        dataReadySet = ready;
        h_.setDataReady(ready);
    }
    void refreshFileList() override { h_.refreshFileList(); }
    void openViewer(bool resetTime) override { h_.openViewer(resetTime); }

  private:
    Host& h_;
};

}  // namespace

ReadResult ReadAnalysis(Dataset& data, const ReadRequest& request, Host& mainWindow) {
    TrackingHost host(mainWindow);
    ReadResult result;
    result.intervalText = request.intervalText;
    const int mode = request.mode;
    if (!isReadingMode(mode)) return result;
    const bool settingsOnly = mode == CheckSettings || mode == CheckProSettings;

    QString settingsPath = request.settingsPath;
    if (settingsOnly) {
        settingsPath = request.selectedPath;
        host.setSettingsText(settingsPath);
    }
    int n = 1;
    UnitFactors factors;

    if (!fileExists(settingsPath)) {
        data.StepMax = 0;
        host.showMessage(kReadErrorTitle, QStringLiteral("初期設定ファイル") + settingsPath +
                                              QStringLiteral("がありません。") + QChar(u'\r') +
                                              QStringLiteral("再入力してください。"));
        host.setBusyVisible(false);
        return result;
    }

    const std::uint64_t memoryLimit =
        request.memoryLimit ? *request.memoryLimit : availableMemoryBytes();
    Dataset fresh;
    fresh.DirPath = data.DirPath;
    QString failTitle, failText;
    try {
        fresh.DataReset();
        host.setSaveExportEnabled(true);
        host.setBusyCaption(QStringLiteral("データ読込中"));
        host.setBusyVisible(true);
        host.repaintOnce();

        factors = ReadTopology(fresh, settingsPath);
        result.filesRead << settingsPath;

        double interval = num::leadingValue(request.intervalText);
        if (settingsOnly) {
            AllocSettingsOnly(fresh, host, memoryLimit, settingsPath);
        } else if (mode == ReadProBinary) {
            interval =
                ReadHistoryBinary(fresh, request.selectedPath, factors, n, host, memoryLimit);
            result.intervalText = num::formatGeneralQ(interval);
            result.filesRead << request.selectedPath;
        } else {
            HistoryReadOptions options;
            options.memoryLimit = memoryLimit;
            options.host = &host;
            ReadHistoryText(fresh, request.selectedPath, factors, n, options);
            result.filesRead << request.selectedPath;
        }
        AddTensionPlaceholder(fresh, n);
        ReadCoordinates(fresh, settingsPath, factors.length);

        host.setDataReady(true);

        if (request.sectionChecked) {
            if (!fileExists(request.sectionPath)) {
                host.showMessage(kReadErrorTitle,
                                 QStringLiteral("静的条件ＤＴファイル") + request.sectionPath +
                                     QStringLiteral("がありません。") + QChar(u'\r') +
                                     QStringLiteral("このデータを無視して処理します。"));
                host.uncheckSection();
            } else {
                const bool binary = mode == ReadProText || mode == ReadProBinary;
                ApplyStaticEquilibrium(fresh, request.sectionPath, factors.length, binary);
                result.filesRead << request.sectionPath;
            }
        }

        if (n > 1) {
            FinishThinning(fresh, n);
            result.intervalText = thinnedIntervalText(interval, n);
            host.setIntervalText(result.intervalText);
        }
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
        host.showMessage(failTitle, failText);
        if (host.dataReadySet) host.setDataReady(false);
        if (host.intervalWritten) host.setIntervalText(request.intervalText);
        host.setSaveExportEnabled(request.saveExportEnabled);
        host.setBusyVisible(false);
        result.intervalText = request.intervalText;
        result.filesRead.clear();
        return result;
    }

    data = std::move(fresh);
    host.setBusyVisible(false);
    host.openViewer(true);
    if (n > 1) host.showMessage(kAppTitle, thinningMessage(n));

    result.completed = true;
    result.thinning = n;
    result.forceFactor = factors.force;
    result.lengthFactor = factors.length;
    return result;
}

std::optional<int> workModeForName(const QString& path) {
    const QString name = QFileInfo(path).fileName().toLower();
    if (name.endsWith(QLatin1String(".his"))) return ReadHis;
    if (name.endsWith(QLatin1String(".f24"))) return ReadProText;
    if (name.endsWith(QLatin1String(".f08"))) return ReadProBinary;
    if (name.endsWith(QLatin1String(".dat"))) return CheckSettings;
    const QString last4 = name.right(4);
    if (last4 == QLatin1String(".qrn") || last4 == QLatin1String("qrn0") ||
        last4 == QLatin1String("qrn1") || last4 == QLatin1String("qrn2") ||
        last4 == QLatin1String("qrn3"))
        return LoadBinary;
    return std::nullopt;
}

}  // namespace qrn
