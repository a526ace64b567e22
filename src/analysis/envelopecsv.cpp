// The per-node envelope as a CSV file: Shift_JIS and CR LF like the CSV export,
// written to a temporary that replaces the target only when complete.
#include <QDir>
#include <QSaveFile>
#include <QStringEncoder>
#include <cmath>

#include "analysis/report.h"
#include "dataset/error.h"
#include "dataset/numbers.h"
#include "dataset/savetarget.h"

namespace qrn {
namespace {

// The CSV export's degree conversion, constant included, so that an envelope's
// θ equals the extreme of that node's exported θ column.
constexpr double kThetaPi = 3.14159;

}  // namespace

double envelopeDegrees(std::int32_t storedTwist) {
    return std::floor(static_cast<double>(storedTwist) * 18.0 / kThetaPi) / 100.0;
}

void writeEnvelopeCsv(const Report& report, const QString& path) {
    static const char* const kAxis[4] = {"X", "Y", "Z", "θ"};
    QString text = QStringLiteral("節点番号,ケーブル番号,ケーブル内番号");
    for (int c = 0; c < 4; ++c) {
        const QString axis = QString::fromUtf8(kAxis[c]);
        const QString unit = c == EnvTheta ? QStringLiteral("(ﾟ)") : QStringLiteral("(mm)");
        text += QStringLiteral(",%1最大%2,%1最大ステップ,%1最小%2,%1最小ステップ").arg(axis, unit);
    }
    text += QStringLiteral(",Y全振幅(mm),Z全振幅(mm)\r\n");
    for (const NodeEnvelope& e : report.envelopes) {
        text += QStringLiteral("%1,%2,%3").arg(e.node).arg(e.slot).arg(e.index);
        for (int c = 0; c < 4; ++c) {
            const Peak& p = e.component[static_cast<std::size_t>(c)];
            const auto value = [c](std::int32_t v) {
                return c == EnvTheta ? num::formatGeneralQ(envelopeDegrees(v)) : QString::number(v);
            };
            text += QStringLiteral(",%1,%2,%3,%4")
                        .arg(value(p.max))
                        .arg(p.maxStep)
                        .arg(value(p.min))
                        .arg(p.minStep);
        }
        text += QStringLiteral(",%1,%2\r\n").arg(e.swingY()).arg(e.swingZ());
    }

    QStringEncoder sjis("Shift_JIS");
    if (!sjis.isValid())
        throw QrnError(QStringLiteral("Shift_JISの文字コード変換が使用できません。"), kAppTitle);
    const QByteArray bytes = sjis.encode(text);
    QSaveFile file(path);
    if (isReadOnlyFile(path) || !file.open(QIODevice::WriteOnly))
        throw QrnError(saveFailure(path, kCannotCreate), kWriteErrorTitle);
    if (file.write(bytes) != bytes.size() || !holdsAll(file, bytes.size()) || !file.commit())
        throw QrnError(saveFailure(path, kCannotWrite), kWriteErrorTitle);
}

}  // namespace qrn
