#include "catalogue/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using cl::catalogue::ForEachInParallel;
using cl::catalogue::ForEachInParallelWith;

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
