#include "dataset/systemerror.h"

namespace qrn {
namespace {

struct KnownCause {
    const char* system;  // strerror's text, as Qt reports it on Linux and macOS
    const char16_t* sentence;
};

const KnownCause kKnownCauses[] = {
    {"Read-only file system", u"読み取り専用のファイルシステムのため書き込めません。"},
    {"No space left on device", u"ディスクの空き容量が足りません。"},
    {"Disk quota exceeded", u"ディスクの使用量の上限を超えました。"},
    {"Permission denied", u"アクセスが許可されていません。"},
    {"Operation not permitted", u"この操作は許可されていません。"},
    {"No such file or directory", u"ファイルまたはフォルダーがありません。"},
    {"Is a directory", u"同じ名前のフォルダーがあります。"},
    {"File name too long", u"ファイル名が長すぎます。"},
    {"Too many open files", u"開いているファイルが多すぎます。"},
    {"Input/output error", u"ディスクの読み書きに失敗しました。"},
    {"Device or resource busy", u"ファイルが使用中です。"},
    {"Text file busy", u"ファイルが使用中です。"},
    {"File too large", u"ファイルが大きすぎます。"},
};

QString kindSentence(QFileDevice::FileError kind) {
    switch (kind) {
        case QFileDevice::NoError:
            return {};
        case QFileDevice::ReadError:
            return QStringLiteral("ファイルを読み込めませんでした。");
        case QFileDevice::WriteError:
            return QStringLiteral("ファイルに書き込めませんでした。");
        case QFileDevice::ResourceError:
            return QStringLiteral("ディスクの空き容量やメモリーが足りません。");
        case QFileDevice::OpenError:
            return QStringLiteral("ファイルを開けませんでした。");
        case QFileDevice::AbortError:
            return QStringLiteral("ファイルの操作が中断されました。");
        case QFileDevice::RemoveError:
            return QStringLiteral("ファイルを削除できませんでした。");
        case QFileDevice::RenameError:
            return QStringLiteral("ファイルの名前を変更できませんでした。");
        case QFileDevice::PermissionsError:
            return QStringLiteral("ファイルのアクセス権を変更できませんでした。");
        case QFileDevice::CopyError:
            return QStringLiteral("ファイルをコピーできませんでした。");
        default:
            return QStringLiteral("ファイルの操作でエラーが発生しました。");
    }
}

}  // namespace

QString systemErrorText(QFileDevice::FileError kind, const QString& detail) {
    const QString trimmed = detail.trimmed();
    QString sentence;
    for (const KnownCause& c : kKnownCauses)
        // Qt sometimes wraps the system's text ("Cannot open …: Permission denied").
        if (trimmed.contains(QLatin1String(c.system), Qt::CaseInsensitive)) {
            sentence = QString::fromUtf16(c.sentence);
            break;
        }
    if (sentence.isEmpty()) sentence = kindSentence(kind);
    if (sentence.isEmpty()) sentence = kindSentence(QFileDevice::UnspecifiedError);
    if (trimmed.isEmpty() || trimmed == sentence) return sentence;
    return sentence + QStringLiteral("（") + trimmed + QStringLiteral("）");
}

QString systemErrorText(const QFileDevice& file) {
    return systemErrorText(file.error(), file.errorString());
}

}  // namespace qrn
