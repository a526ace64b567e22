#include "analysis/chunks.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

namespace qrn {

namespace {
constexpr int kMaxThreads = 16;
constexpr double kReportStep = 0.005;  // a progress bar needs no finer steps
}  // namespace

std::vector<StepRange> splitSteps(const StepRange& steps, int chunks) {
    const std::int64_t n = steps.count();
    const std::int64_t k = std::clamp<std::int64_t>(chunks, 1, std::max<std::int64_t>(n, 1));
    std::vector<StepRange> out;
    for (std::int64_t i = 0; i < k; ++i) {
        const std::int64_t from = steps.first + n * i / k;
        const std::int64_t to = steps.first + n * (i + 1) / k - 1;
        out.push_back({from, to});
    }
    return out;
}

int threadCount(int requested) {
    if (requested > 0) return std::min(requested, kMaxThreads);
    const unsigned hw = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(hw), 1, kMaxThreads);
}

ChunkRunner::ChunkRunner(Progress& progress, std::int64_t totalUnits)
    : progress_(progress), total_(static_cast<double>(std::max<std::int64_t>(totalUnits, 1))) {}

bool ChunkRunner::tick(std::int64_t units, bool caller) {
    done_.fetch_add(units, std::memory_order_relaxed);
    if (caller) report();
    return !stop_.load(std::memory_order_relaxed);
}

void ChunkRunner::report() {
    const double f = std::min(static_cast<double>(done_.load()) / total_, 1.0);
    if (f - reported_ >= kReportStep || (f == 1.0 && reported_ < 1.0)) {
        reported_ = f;
        progress_.progress(f);
    }
    if (!cancelled_ && progress_.cancelRequested()) {
        cancelled_ = true;
        stop_ = true;
    }
}

void ChunkRunner::run(int chunks, const std::function<void(int, const Ticker&)>& work) {
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(std::max(chunks, 1)));
    std::atomic<int> running{0};
    std::vector<std::thread> threads;
    const Ticker onWorker(this, false), onCaller(this, true);
    int started = 1;
    for (; started < chunks; ++started) {
        running.fetch_add(1);
        try {
            threads.emplace_back([&, started] {
                try {
                    work(started, onWorker);
                } catch (...) {
                    errors[static_cast<std::size_t>(started)] = std::current_exception();
                    stop_ = true;
                }
                running.fetch_sub(1);
            });
        } catch (const std::system_error&) {
            running.fetch_sub(1);
            break;  // no more threads: the rest runs here
        }
    }
    try {
        work(0, onCaller);
        for (int k = started; k < chunks && !stop_; ++k) work(k, onCaller);
    } catch (...) {
        errors[0] = std::current_exception();
        stop_ = true;
    }
    while (running.load() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        report();
    }
    for (auto& t : threads) t.join();
    for (const auto& e : errors)
        if (e) std::rethrow_exception(e);
    if (cancelled_) throw Cancelled();
    report();
}

}  // namespace qrn
