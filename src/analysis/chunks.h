#pragma once
// Runs a computation over a range of steps split into chunks, one thread per
// chunk, with progress and cancel through the caller's Progress. Only the
// calling thread talks to the Progress; when no thread can be started the
// chunks run one after another on the calling thread.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <vector>

#include "analysis/report.h"
#include "dataset/progress.h"

namespace qrn {

// Chunks of a step range: contiguous, ascending, as even as possible.
std::vector<StepRange> splitSteps(const StepRange& steps, int chunks);

// Threads to use: `requested` when positive, else one per core.
int threadCount(int requested);

class ChunkRunner {
  public:
    ChunkRunner(Progress& progress, std::int64_t totalUnits);

    // What a chunk calls after finishing `units` of work; false: stop now.
    class Ticker {
      public:
        bool operator()(std::int64_t units) const { return runner_->tick(units, caller_); }

      private:
        friend class ChunkRunner;
        Ticker(ChunkRunner* runner, bool caller) : runner_(runner), caller_(caller) {}
        ChunkRunner* runner_;
        bool caller_;
    };

    // Runs work(k, ticker) for k = 0 .. chunks - 1 and waits for all of them.
    // Rethrows the first exception a chunk threw; throws Cancelled when the
    // Progress asked to stop.
    void run(int chunks, const std::function<void(int, const Ticker&)>& work);

  private:
    bool tick(std::int64_t units, bool caller);
    void report();

    Progress& progress_;
    double total_;
    std::atomic<std::int64_t> done_{0};
    std::atomic<bool> stop_{false};
    bool cancelled_ = false;
    double reported_ = -1.0;
};

}  // namespace qrn
