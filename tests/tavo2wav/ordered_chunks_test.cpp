// The ordering of chunks rendered side by side, with the scheduler as an
// adversary: thousands of tiny chunks, random sleeps in the renderers and in
// the consumer, more workers than cores. Every chunk must reach the consumer
// once, whole, and in index order, however the threads are delayed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/ordered_chunks.h"

namespace {

using tavo::engine::run_in_order;

// Slots alive at once, to check that memory stays bounded by the workers.
std::atomic<int> live_slots{0};
std::atomic<int> most_live_slots{0};

// A chunk as a renderer leaves it: its index and values_of(index), a run of
// a length that varies from chunk to chunk, so that a chunk half overwritten
// by another or handed over before it is complete shows.
struct Slot {
    Slot()
    {
        const int now = ++live_slots;
        int most = most_live_slots.load();
        while (now > most && !most_live_slots.compare_exchange_weak(most, now)) {
        }
    }
    ~Slot() { --live_slots; }
    std::size_t index = 0;
    std::vector<long> values;
};

std::vector<long> values_of(std::size_t index)
{
    std::vector<long> v;
    for (std::size_t k = 0; k < 1 + index % 13; k++)
        v.push_back(static_cast<long>(index * 7919 + k));
    return v;
}

// Sleeps a random 0 to max_us microseconds; one generator per thread,
// seeded from the thread's identity so each run schedules differently.
void random_sleep(int max_us)
{
    thread_local std::mt19937 gen(
        static_cast<unsigned>(std::hash<std::thread::id>()(std::this_thread::get_id())));
    const int us = std::uniform_int_distribution<int>(0, max_us)(gen);
    if (us > max_us / 2)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    else
        std::this_thread::yield();
}

// Fills the slot value by value, delayed after the first.
void render(std::size_t i, Slot& slot)
{
    slot.index = i;
    slot.values.clear();
    for (long v : values_of(i)) {
        slot.values.push_back(v);
        if (slot.values.size() == 1)
            random_sleep(200);
    }
}

// Whether the slot holds exactly chunk i as render() made it.
bool whole(std::size_t i, const Slot& slot)
{
    return slot.index == i && slot.values == values_of(i);
}

class OrderedChunks : public testing::TestWithParam<unsigned> {};

TEST_P(OrderedChunks, ConsumesEveryChunkWholeAndInOrderUnderRandomDelays)
{
    const unsigned workers = GetParam();
    const std::size_t count = 3000;
    most_live_slots = 0;
    std::vector<std::size_t> seen;
    std::size_t broken = 0;
    const bool ok = run_in_order<Slot>(count, workers, render, [&](std::size_t i, Slot& slot) {
        random_sleep(100);
        seen.push_back(i);
        broken += !whole(i, slot);
        return true;
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(broken, 0u);
    ASSERT_EQ(seen.size(), count);
    for (std::size_t i = 0; i < count; i++)
        ASSERT_EQ(seen[i], i);
    EXPECT_LE(most_live_slots.load(), static_cast<int>(2 * std::max(workers, 1u)));
    EXPECT_EQ(live_slots.load(), 0);
}

TEST_P(OrderedChunks, StopsAtTheFirstFailedConsume)
{
    const unsigned workers = GetParam();
    std::vector<std::size_t> seen;
    const bool ok = run_in_order<Slot>(2000, workers, render, [&](std::size_t i, Slot&) {
        random_sleep(50);
        seen.push_back(i);
        return i != 700;
    });
    EXPECT_FALSE(ok);
    ASSERT_EQ(seen.size(), 701u);
    EXPECT_EQ(seen.back(), 700u);
}

TEST_P(OrderedChunks, PassesARenderFailureToTheCaller)
{
    const unsigned workers = GetParam();
    std::size_t consumed = 0;
    auto failing = [](std::size_t i, Slot& slot) {
        if (i == 321)
            throw std::runtime_error("render failed");
        render(i, slot);
    };
    EXPECT_THROW(run_in_order<Slot>(1000, workers, failing,
                                    [&](std::size_t i, Slot& slot) {
                                        consumed += whole(i, slot);
                                        return true;
                                    }),
                 std::runtime_error);
    EXPECT_LE(consumed, 321u);
    EXPECT_EQ(live_slots.load(), 0);
}

TEST_P(OrderedChunks, DoesNothingForNoChunks)
{
    int calls = 0;
    EXPECT_TRUE(run_in_order<Slot>(
        0, GetParam(), [&](std::size_t, Slot&) { calls++; },
        [&](std::size_t, Slot&) { return ++calls > 0; }));
    EXPECT_EQ(calls, 0);
}

INSTANTIATE_TEST_SUITE_P(Workers, OrderedChunks, testing::Values(1u, 2u, 3u, 8u),
                         [](const testing::TestParamInfo<unsigned>& info) {
                             return std::to_string(info.param) + "Workers";
                         });

}  // namespace
