#pragma once
// Line access to the analysis program's text files, built for files of many
// gigabytes: the file is mapped (or read whole when mapping is impossible) and
// lines are handed out as views into it, without copying or allocation.
//
// A line ends at CR LF or at a lone CR; a bare LF stays inside the line. A
// file that holds no CR at all (copied through Unix tools) is split at LF
// instead, so it does not read as one single line.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstddef>
#include <memory>
#include <string_view>

namespace qrn {

class TextFile {
  public:
    // Opens and maps the file. Throws QrnError with the given message prefix
    // when it cannot be opened or read.
    static TextFile open(const QString& path);

    TextFile(TextFile&&) noexcept;
    TextFile& operator=(TextFile&&) noexcept;
    ~TextFile();

    std::string_view text() const { return text_; }
    const QString& path() const { return path_; }
    // True when line ends are LF because the file holds no CR.
    bool lfMode() const { return lfMode_; }

  private:
    TextFile() = default;
    QString path_;
    std::unique_ptr<QFile> file_;
    QByteArray fallback_;
    std::string_view text_;
    bool lfMode_ = false;
};

// Splits a text into lines by the rule above.
class LineSplitter {
  public:
    LineSplitter(std::string_view text, bool lfMode) : text_(text), lfMode_(lfMode) {}
    explicit LineSplitter(const TextFile& f) : LineSplitter(f.text(), f.lfMode()) {}

    // Next line without its terminator; false at the end of the text.
    bool next(std::string_view& line);
    // Offset of the next unread byte.
    std::size_t position() const { return pos_; }
    void seek(std::size_t pos) { pos_ = pos; }
    bool atEnd() const { return pos_ >= text_.size(); }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    bool lfMode_;
};

// True when the text contains no CR byte.
bool detectLfMode(std::string_view text);

}  // namespace qrn
