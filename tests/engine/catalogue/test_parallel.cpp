#include "zip/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using cl::zip::ForEachInParallel;
using cl::zip::ForEachInParallelWith;

TEST(Parallel, EveryItemRunsExactlyOnce)
{
    for (const std::size_t count : {0u, 1u, 2u, 7u, 1000u}) {
        std::vector<std::atomic<int>> runs(count);
        ForEachInParallel(count, [&](std::size_t i) { runs[i].fetch_add(1); });
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(runs[i].load(), 1) << "item " << i << " of " << count;
    }
}

TEST(Parallel, EachThreadKeepsOneStateForAllItsItems)
{
    struct Counter {
        int made = 0;
        std::thread::id owner = std::this_thread::get_id();
    };
    std::vector<const Counter*> stateOf(500, nullptr);
    std::vector<std::thread::id> threadOf(500);
    std::vector<std::thread::id> ownerOf(500);
    ForEachInParallelWith<Counter>(500, [&](Counter& state, std::size_t i) {
        stateOf[i] = &state;
        threadOf[i] = std::this_thread::get_id();
        ownerOf[i] = state.owner;
    });
    std::set<const Counter*> states(stateOf.begin(), stateOf.end());
    std::set<std::thread::id> threads(threadOf.begin(), threadOf.end());
    EXPECT_EQ(states.size(), threads.size()) << "one state per thread";
    for (std::size_t i = 0; i < 500; ++i)
        EXPECT_EQ(ownerOf[i], threadOf[i]) << "a state serves only the thread that made it";
}

// Running out of memory in any thread, the caller's or a helper's, reaches the caller as the
// exception it was, after every thread has stopped: never std::terminate.
TEST(Parallel, RunningOutOfMemoryInAnyThreadReachesTheCaller)
{
    const std::thread::id caller = std::this_thread::get_id();
    for (const bool inHelper : {true, false}) {
        for (const bool lengthError : {true, false}) {
            std::atomic<bool> thrown{false};
            std::atomic<int> running{0};
            const bool helpers = std::thread::hardware_concurrency() > 1;
            auto work = [&](std::size_t) {
                running.fetch_add(1);
                const bool helper = std::this_thread::get_id() != caller;
                if (inHelper && helpers && !helper) {
                    // The caller waits for a helper to fail, so that one surely gets an item.
                    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                    while (!thrown.load() && std::chrono::steady_clock::now() < until)
                        std::this_thread::yield();
                }
                const bool here = helper == inHelper;
                if (here && !thrown.exchange(true)) {
                    if (lengthError)
                        throw std::length_error("basic_string::_M_create");
                    throw std::bad_alloc();
                }
                running.fetch_sub(1);
            };
            bool caught = false;
            try {
                ForEachInParallel(2000, work, 4);
            } catch (const std::bad_alloc&) {
                caught = !lengthError;
            } catch (const std::length_error&) {
                caught = lengthError;
            }
            // With one core there is no helper: nothing is thrown then.
            if (helpers || !inHelper) {
                EXPECT_TRUE(caught) << (inHelper ? "helper" : "caller") << (lengthError ? " length_error" : " bad_alloc");
            }
            EXPECT_EQ(running.load(), thrown.load() ? 1 : 0) << "every thread stopped before the caller went on";
        }
    }
}

TEST(Parallel, AnItemsExceptionReachesTheCaller)
{
    std::atomic<int> ran{0};
    EXPECT_THROW(ForEachInParallel(200,
                                   [&](std::size_t i) {
                                       ran.fetch_add(1);
                                       if (i == 50)
                                           throw std::runtime_error("item 50");
                                   }),
                 std::runtime_error);
    EXPECT_GE(ran.load(), 51);
}

}  // namespace
