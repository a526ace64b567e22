#pragma once
// Random access to the analysis program's binary files (little-endian int32
// and float64 at fixed offsets). Every access is checked against the file's
// size; an access past the end throws QrnError naming the file as damaged.

#include <QFile>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace qrn {

class BinaryFile {
  public:
    // Throws QrnError when the file cannot be opened.
    static BinaryFile open(const QString& path);

    BinaryFile(BinaryFile&&) noexcept;
    BinaryFile& operator=(BinaryFile&&) noexcept;
    ~BinaryFile();

    std::int64_t size() const { return size_; }
    const QString& path() const { return path_; }

    // True when [offset, offset + length) lies inside the file.
    bool holds(std::int64_t offset, std::int64_t length) const {
        return offset >= 0 && length >= 0 && offset <= size_ && length <= size_ - offset;
    }

    std::int32_t int32At(std::int64_t offset, const char* what);
    double float64At(std::int64_t offset, const char* what);
    // `count` consecutive values starting at offset.
    void int32s(std::int64_t offset, std::int64_t count, std::int32_t* out, const char* what);
    void float64s(std::int64_t offset, std::int64_t count, double* out, const char* what);

    // The damaged-file error for a structure that does not fit the file.
    [[noreturn]] void damaged(const char* what) const;

  private:
    BinaryFile() = default;
    const unsigned char* bytes(std::int64_t offset, std::int64_t length, const char* what);

    QString path_;
    std::unique_ptr<QFile> file_;
    const unsigned char* map_ = nullptr;
    std::int64_t size_ = 0;
    std::vector<unsigned char> buffer_;  // when the file cannot be mapped
};

}  // namespace qrn
