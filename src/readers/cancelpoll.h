#pragma once
// How often the readers look at Progress::cancelRequested(): rarely enough to
// cost nothing, often enough that a stop takes effect within a blink.

#include <cstddef>
#include <cstdint>

#include "dataset/progress.h"

namespace qrn {

// Bytes of work between two polls: a poll costs a virtual call, a megabyte
// takes a few milliseconds.
inline constexpr std::size_t kCancelPollBytes = std::size_t{1} << 20;

// Polls once when made (a stop between two stages) and then every 65,536
// lines of a text file (a few megabytes).
class LinePoll {
  public:
    explicit LinePoll(Progress* progress) : progress_(progress) { throwIfCancelled(progress_); }
    void line() {
        if (++lines_ % kLines == 0) throwIfCancelled(progress_);
    }

  private:
    static constexpr std::uint32_t kLines = std::uint32_t{1} << 16;
    Progress* progress_;
    std::uint32_t lines_ = 0;
};

}  // namespace qrn
