#include "dataset/textfile.h"

#include <cstring>

#include "dataset/error.h"

namespace qrn {

TextFile::TextFile(TextFile&&) noexcept = default;
TextFile& TextFile::operator=(TextFile&&) noexcept = default;
TextFile::~TextFile() = default;

TextFile TextFile::open(const QString& path) {
    TextFile t;
    t.path_ = path;
    t.file_ = std::make_unique<QFile>(path);
    if (!t.file_->open(QIODevice::ReadOnly)) {
        throw QrnError(QStringLiteral("ファイル") + path + QStringLiteral("を開けません。") +
                       QChar(u'\r') + t.file_->errorString());
    }
    const qint64 size = t.file_->size();
    if (size > 0) {
        uchar* p = t.file_->map(0, size);
        if (p) {
            t.text_ =
                std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(size));
        } else {
            t.fallback_ = t.file_->readAll();
            if (t.fallback_.size() != size) {
                throw QrnError(QStringLiteral("ファイル") + path +
                               QStringLiteral("を読み込めません。") + QChar(u'\r') +
                               t.file_->errorString());
            }
            t.text_ = std::string_view(t.fallback_.constData(),
                                       static_cast<std::size_t>(t.fallback_.size()));
        }
    }
    t.lfMode_ = detectLfMode(t.text_);
    return t;
}

bool detectLfMode(std::string_view text) {
    return text.empty() || std::memchr(text.data(), '\r', text.size()) == nullptr;
}

bool LineSplitter::next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const char* base = text_.data() + pos_;
    const std::size_t rest = text_.size() - pos_;
    const char term = lfMode_ ? '\n' : '\r';
    const void* hit = std::memchr(base, term, rest);
    if (!hit) {
        line = std::string_view(base, rest);
        pos_ = text_.size();
        return true;
    }
    const auto len = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
    line = std::string_view(base, len);
    pos_ += len + 1;
    if (!lfMode_ && pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    return true;
}

}  // namespace qrn
