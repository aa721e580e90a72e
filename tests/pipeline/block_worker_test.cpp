#include "pipeline/block_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "demux/es_out.h"

namespace {

Block* blockOf(int32_t size, uint8_t tag) {
    Block* b = nullptr;
    if (block_New(&b, size) != 0) return nullptr;
    b->size = size;
    for (int32_t i = 0; i < size; ++i) b->buffer[i] = tag;
    return b;
}

std::vector<int> g_taken;  // the worker's thread writes, the test reads after drain/finish
std::atomic<bool> g_slow{false};

void take(Block* block) {
    if (g_slow) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_taken.push_back(block->size > 0 ? block->buffer[0] : -1);
    block_Free(block);
}

// Blocks larger than the bound, blocks smaller, the worker slower or faster than the giver:
// every block is taken once, in the order given.
struct OrderCase {
    const char* name;
    int32_t blockSize;
    size_t bound;
    bool slowWorker;
};

class BlockWorkerOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(BlockWorkerOrderTest, TakesEveryBlockInOrder) {
    const OrderCase& c = GetParam();
    g_taken.clear();
    g_slow = c.slowWorker;
    BlockWorker worker(take, c.bound);
    ASSERT_TRUE(worker.start());
    for (int i = 0; i < 200; ++i) worker.give(blockOf(c.blockSize, static_cast<uint8_t>(i)));
    worker.drain();
    ASSERT_EQ(g_taken.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(g_taken[i], i % 256) << i;
    worker.give(blockOf(c.blockSize, 7));
    worker.finish(false);  // what was given before the end is still taken
    EXPECT_EQ(g_taken.size(), 201u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockWorkerOrderTest,
    ::testing::Values(OrderCase{"blocks_over_the_bound", 100, 10, false},
                      OrderCase{"bound_holds_several", 10, 1000, false},
                      OrderCase{"slow_worker_makes_the_giver_wait", 100, 250, true}),
    [](const ::testing::TestParamInfo<OrderCase>& i) { return std::string(i.param.name); });

TEST(BlockWorkerTest, AbandoningFreesWhatWaitsAndEndsAtOnce) {
    g_taken.clear();
    g_slow = true;
    {
        BlockWorker worker(take, 1u << 20);
        ASSERT_TRUE(worker.start());
        for (int i = 0; i < 1000; ++i) worker.give(blockOf(64, 1));
        worker.finish(true);
        // Not all of the blocks, a millisecond each, were taken (the sanitizer build finds
        // a block that was neither taken nor freed).
        EXPECT_LT(g_taken.size(), 1000u);
    }
    g_slow = false;
}

TEST(BlockWorkerTest, EndingAThreadThatNeverStartedDoesNothing) {
    BlockWorker worker(take, 10);
    worker.finish(false);
    worker.finish(true);
}

}  // namespace
