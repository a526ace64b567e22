#pragma once
// Two files that replace their targets as one: each is written under a
// temporary name beside its target, and only when both are complete are they
// moved onto the targets, the first one's earlier file kept aside until the
// second is in place, so that a failure leaves both earlier files as they were.

#include <QString>

namespace qrn::xdmf {

// A file written under a temporary name "TARGET.xxxxxx" in the target's folder;
// removed again unless it was moved onto its target.
class TempFile {
  public:
    // Creates the empty temporary. Throws QrnError when the folder does not
    // take it.
    explicit TempFile(QString target);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const QString& path() const { return path_; }
    const QString& target() const { return target_; }
    // The temporary now is the target: nothing to remove.
    void moved() { path_.clear(); }

  private:
    QString target_;
    QString path_;
};

// Throws QrnError when an existing `target` cannot be replaced: a folder, a
// read-only file, or a file that cannot be opened for writing (in use).
void checkReplaceable(const QString& target);

// Hands the file's data to the disk; false when the system reports an error
// (a full disk may show only here).
bool syncToDisk(const QString& path);

// Moves `first` and then `second` onto their targets. On failure both targets
// hold what they held before (first's earlier file is put back) and QrnError
// is thrown.
void replacePair(TempFile& first, TempFile& second);

}  // namespace qrn::xdmf
