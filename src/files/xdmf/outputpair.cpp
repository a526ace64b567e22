#include "files/xdmf/outputpair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <filesystem>
#include <system_error>

#include "dataset/error.h"
#include "dataset/savetarget.h"

namespace qrn::xdmf {
namespace {

constexpr int kNameTries = 100;

std::filesystem::path fsPath(const QString& path) { return QFile(path).filesystemFileName(); }

// TARGET + "." + six random hexadecimal digits.
QString randomSibling(const QString& target) {
    const quint32 r = QRandomGenerator::global()->bounded(0x1000000u);
    return target + QStringLiteral(".%1").arg(r, 6, 16, QLatin1Char('0'));
}

// A sibling name that no file holds now.
QString freeSibling(const QString& target) {
    for (int i = 0; i < kNameTries; ++i) {
        const QString name = randomSibling(target);
        if (!QFileInfo::exists(name)) return name;
    }
    return randomSibling(target);
}

bool moveOnto(const QString& from, const QString& to) {
    // std::filesystem::rename replaces an existing target in one step on every
    // system we build for (rename(2); MoveFileEx with replacement on Windows).
    std::error_code ec;
    std::filesystem::rename(fsPath(from), fsPath(to), ec);
    return !ec;
}

bool hardLink(const QString& existing, const QString& link) {
    std::error_code ec;
    std::filesystem::create_hard_link(fsPath(existing), fsPath(link), ec);
    return !ec;
}

}  // namespace

TempFile::TempFile(QString target) : target_(std::move(target)) {
    // Created by QFile so that it gets the permissions any new file gets.
    for (int i = 0; i < kNameTries; ++i) {
        const QString name = randomSibling(target_);
        QFile f(name);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            path_ = name;
            return;
        }
        if (!QFileInfo::exists(name)) break;
    }
    throw QrnError(saveFailure(target_, kCannotCreate), kWriteErrorTitle);
}

TempFile::~TempFile() {
    if (!path_.isEmpty()) QFile::remove(path_);
}

void checkReplaceable(const QString& target) {
    const QFileInfo fi(target);
    if (!fi.exists()) return;
    // Permission bits rather than an access test: a read-only file stays, even
    // for an administrator, as it does on Windows.
    constexpr QFile::Permissions kWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    bool ok = fi.isFile() && (fi.permissions() & kWrite);
    if (ok) {
        QFile probe(target);
        ok = probe.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
    }
    if (!ok) throw QrnError(saveFailure(target, kTargetInUse), kWriteErrorTitle);
}

void replacePair(TempFile& first, TempFile& second) {
    checkReplaceable(first.target());
    checkReplaceable(second.target());
    for (TempFile* t : {&first, &second}) {
        if (QFileInfo::exists(t->target()))
            QFile::setPermissions(t->path(), QFile::permissions(t->target()));
    }

    // First's earlier file stays reachable under a spare name until second is
    // in place: a second name for it where the file system has links (the
    // target never disappears), else the file moved aside.
    QString kept;
    bool linked = false;
    if (QFileInfo::exists(first.target())) {
        kept = freeSibling(first.target());
        linked = hardLink(first.target(), kept);
        if (!linked && !moveOnto(first.target(), kept))
            throw QrnError(saveFailure(first.target(), kTargetInUse), kWriteErrorTitle);
    }
    auto putBack = [&]() -> bool {
        if (kept.isEmpty()) return QFile::remove(first.target());
        return moveOnto(kept, first.target());
    };

    if (!moveOnto(first.path(), first.target())) {
        if (!kept.isEmpty()) {
            if (linked)
                QFile::remove(kept);
            else
                moveOnto(kept, first.target());
        }
        throw QrnError(saveFailure(first.target(), kCannotFinish), kWriteErrorTitle);
    }
    first.moved();

    if (!moveOnto(second.path(), second.target())) {
        QString text = saveFailure(second.target(), kCannotFinish);
        if (!putBack() && !kept.isEmpty())
            text += QLatin1Char('\r') + QStringLiteral("元のファイル %1 は %2 に残っています。")
                                            .arg(QDir::toNativeSeparators(first.target()),
                                                 QDir::toNativeSeparators(kept));
        throw QrnError(text, kWriteErrorTitle);
    }
    second.moved();
    if (!kept.isEmpty()) QFile::remove(kept);
}

}  // namespace qrn::xdmf
