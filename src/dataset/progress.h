#pragma once
// What a long core operation (a read, a write, an export, a report) tells
// whoever started it while it runs: messages, the busy caption of its stage,
// progress, and whether the user asked it to stop. What a window should do
// afterwards comes back in the operation's result, never through here.

#include <QString>
#include <exception>

namespace qrn {

class Progress {
  public:
    virtual ~Progress() = default;

    // A message box with a single OK button: a failure, or a warning while the
    // work goes on.
    virtual void message(const QString& title, const QString& text) = 0;
    // The busy caption of the stage now running ("データ読込中", "データ保存中" …).
    virtual void stage(const QString& caption) { (void)caption; }
    // Fraction 0..1 of the current stage; called often, cheap to ignore.
    virtual void progress(double fraction) { (void)fraction; }
    // Polled between blocks of work; true asks the operation to stop.
    virtual bool cancelRequested() { return false; }
};

// Thrown by an operation that stopped because cancelRequested() said so. Its
// boundary leaves everything as it was before the operation and shows nothing.
class Cancelled final : public std::exception {
  public:
    const char* what() const noexcept override { return "cancelled"; }
};

// Throws Cancelled when `progress` (may be null) asks the operation to stop.
// Operations call it between blocks of work: every few megabytes or stages.
inline void throwIfCancelled(Progress* progress) {
    if (progress && progress->cancelRequested()) throw Cancelled();
}

// Reports nothing, never cancels.
class NullProgress final : public Progress {
  public:
    void message(const QString&, const QString&) override {}
};

}  // namespace qrn
