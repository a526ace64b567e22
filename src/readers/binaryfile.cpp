#include "readers/binaryfile.h"

#include <QtEndian>
#include <cstring>

#include "dataset/error.h"

namespace qrn {

BinaryFile::BinaryFile(BinaryFile&&) noexcept = default;
BinaryFile& BinaryFile::operator=(BinaryFile&&) noexcept = default;
BinaryFile::~BinaryFile() = default;

BinaryFile BinaryFile::open(const QString& path) {
    BinaryFile b;
    b.path_ = path;
    b.file_ = std::make_unique<QFile>(path);
    if (!b.file_->open(QIODevice::ReadOnly)) {
        throw QrnError(QStringLiteral("ファイル") + path + QStringLiteral("を開けません。") +
                       QChar(u'\r') + b.file_->errorString());
    }
    b.size_ = b.file_->size();
    if (b.size_ > 0) b.map_ = b.file_->map(0, b.size_);
    return b;
}

void BinaryFile::damaged(const char* what) const {
    throw QrnError(QStringLiteral("ファイル") + path_ +
                   QStringLiteral("は壊れているか、途中で切れています。") + QChar(u'\r') +
                   QStringLiteral("（") + QString::fromUtf8(what) + QStringLiteral("）"));
}

const unsigned char* BinaryFile::bytes(std::int64_t offset, std::int64_t length, const char* what) {
    if (!holds(offset, length)) damaged(what);
    if (map_) return map_ + offset;
    buffer_.resize(static_cast<std::size_t>(length));
    if (length > 0 && (!file_->seek(offset) ||
                       file_->read(reinterpret_cast<char*>(buffer_.data()), length) != length)) {
        throw QrnError(QStringLiteral("ファイル") + path_ + QStringLiteral("を読み込めません。") +
                       QChar(u'\r') + file_->errorString());
    }
    return buffer_.data();
}

std::int32_t BinaryFile::int32At(std::int64_t offset, const char* what) {
    return qFromLittleEndian<qint32>(bytes(offset, 4, what));
}

double BinaryFile::float64At(std::int64_t offset, const char* what) {
    const quint64 bits = qFromLittleEndian<quint64>(bytes(offset, 8, what));
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void BinaryFile::int32s(std::int64_t offset, std::int64_t count, std::int32_t* out,
                        const char* what) {
    if (count < 0 || count > size_ / 4) damaged(what);
    const unsigned char* p = bytes(offset, count * 4, what);
    for (std::int64_t i = 0; i < count; ++i) out[i] = qFromLittleEndian<qint32>(p + 4 * i);
}

void BinaryFile::float64s(std::int64_t offset, std::int64_t count, double* out, const char* what) {
    if (count < 0 || count > size_ / 8) damaged(what);
    const unsigned char* p = bytes(offset, count * 8, what);
    for (std::int64_t i = 0; i < count; ++i) {
        const quint64 bits = qFromLittleEndian<quint64>(p + 8 * i);
        std::memcpy(&out[i], &bits, sizeof(double));
    }
}

}  // namespace qrn
