// The trace: it goes nowhere while standard output is /dev/null, and lines a thread holds
// back come out in one piece, in order, even past what is kept in memory.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

#include "platform/trace.h"

namespace {

// Standard output sent to /dev/null while it lives.
class StdoutToNull {
  public:
    StdoutToNull() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~StdoutToNull() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }

  private:
    int saved_;
};

TEST(TraceTest, GoesNowhereWhileStandardOutputIsDevNull) {
    {
        const StdoutToNull quiet;
        EXPECT_FALSE(platform::updateTraceTarget());
        EXPECT_FALSE(platform::traceShown());
    }
    EXPECT_TRUE(platform::updateTraceTarget());
    ::testing::internal::CaptureStdout();
    platform::trace("shown %d\n", 7);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "shown 7\n");
}

TEST(TraceTest, HeldLinesComeOutInOnePieceAfterTheOthers) {
    ASSERT_TRUE(platform::updateTraceTarget());
    // Enough to spill to the temporary file, with a line longer than the format buffer.
    constexpr int kLines = 40000;
    const std::string longLine(3000, 'y');
    std::string expectedHeld;
    for (int i = 0; i < kLines; ++i) expectedHeld += "held " + std::to_string(i) + "\n";
    expectedHeld += longLine + "\n";
    ASSERT_GT(expectedHeld.size(), platform::HeldTrace::kHeldInMemory);
    platform::HeldTrace held;
    ::testing::internal::CaptureStdout();
    std::thread holder([&] {
        const platform::TraceHoldScope hold(held);
        for (int i = 0; i < kLines; ++i) platform::trace("held %d\n", i);
        platform::trace("%s\n", longLine.c_str());
    });
    holder.join();
    platform::trace("first\n");
    std::fflush(stdout);
    held.print();
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "first\n" + expectedHeld);

    // Discarded lines never come out.
    ::testing::internal::CaptureStdout();
    {
        const platform::TraceHoldScope hold(held);
        platform::trace("dropped\n");
    }
    held.discard();
    held.print();
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
