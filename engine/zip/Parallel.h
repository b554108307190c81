#pragma once
// Independent work items spread over the machine's cores. Each item writes only its own
// result slot and the caller merges the slots in item order afterwards, so what comes out
// never depends on how the threads happened to run.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace cl::zip {

// Calls work(state, i) for every i in [0, count), on up to `maxThreads` threads (the caller's
// included). Each thread makes one `State` of its own and hands it to every item it runs, so
// that buffers set up once (a zlib stream) serve many items. An exception from an item
// (memory running out: std::bad_alloc, std::length_error) is rethrown here, in the caller's
// thread, once all threads have stopped; items not yet started are then skipped. No exception
// ever leaves a helper thread, which would end the process (std::terminate).
template <typename State, typename Work>
void ForEachInParallelWith(std::size_t count, Work&& work, unsigned maxThreads = 8)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto threads = static_cast<unsigned>(std::min<std::size_t>({cores, maxThreads, count}));
    if (threads <= 1) {
        State state;
        for (std::size_t i = 0; i < count; ++i)
            work(state, i);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto run = [&]() noexcept {
        try {
            State state;
            for (std::size_t i = next.fetch_add(1, std::memory_order_relaxed); i < count;
                 i = next.fetch_add(1, std::memory_order_relaxed))
                work(state, i);
        } catch (...) {
            const std::lock_guard<std::mutex> hold(failureLock);
            if (!failure)
                failure = std::current_exception();
            next.store(count, std::memory_order_relaxed);
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(threads - 1);
    for (unsigned t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(run);
        } catch (...) {
            // No more threads to be had (std::system_error), or no memory for one
            // (std::bad_alloc): the ones running share the work. Nothing may leave here
            // before they are joined: a joinable thread destroyed ends the process.
            break;
        }
    }
    run();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

// The same without a per-thread state: work(i).
template <typename Work>
void ForEachInParallel(std::size_t count, Work&& work, unsigned maxThreads = 8)
{
    struct NoState {};
    ForEachInParallelWith<NoState>(
        count, [&](NoState&, std::size_t i) { work(i); }, maxThreads);
}

}  // namespace cl::zip
