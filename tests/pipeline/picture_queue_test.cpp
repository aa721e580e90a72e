// The queue between the decoder and the encoder: frames read by number come out whole and
// in order while the skipped ones free their slots, the end and a failed decoding end the
// reading, and neither side waits for a side that has gone or was cancelled.

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "pipeline/picture_queue.h"

namespace {

constexpr int kWidth = 4, kHeight = 2;
constexpr size_t kFrameBytes = kWidth * kHeight + 2 * (kWidth / 2) * (kHeight / 2);

// Puts `count` pictures whose samples all hold their number (1, 2, ...); the planes have
// a stride wider than the picture. Returns how many puts were taken.
int putPictures(PictureQueue& queue, int count) {
    int taken = 0;
    for (int n = 1; n <= count; ++n) {
        std::vector<uint8_t> luma(8 * kHeight, static_cast<uint8_t>(n));
        std::vector<uint8_t> chroma(8 * kHeight / 2, static_cast<uint8_t>(n));
        const DecodedPicture p{luma.data(), chroma.data(), chroma.data(), 8, 8, kWidth, kHeight};
        if (queue.put(p)) ++taken;
    }
    return taken;
}

TEST(PictureQueueTest, FramesReadByNumberWhileSkippedOnesAreLetGo) {
    const struct {
        size_t slots;
        std::vector<uint32_t> numbers;  // read in this order
    } cases[] = {
        {1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {1, {2, 5, 9}},  // every slot holds a frame nobody reads before the one asked for
        {4, {1, 3, 10}},
        {3, {10}},
    };
    for (const auto& c : cases) {
        PictureQueue queue(c.slots);
        std::thread decoder([&] {
            putPictures(queue, 10);
            queue.finishDecoding(true, kWidth, kHeight);
        });
        const PictureQueue::Start start = queue.waitForStart();
        EXPECT_TRUE(start.run);
        EXPECT_EQ(start.width, kWidth);
        EXPECT_EQ(start.height, kHeight);
        for (uint32_t n : c.numbers) {
            std::vector<uint8_t> frame(kFrameBytes, 0);
            ASSERT_TRUE(queue.read(n, frame.data(), frame.size())) << "frame " << n;
            EXPECT_EQ(frame, std::vector<uint8_t>(kFrameBytes, static_cast<uint8_t>(n)));
        }
        std::vector<uint8_t> frame(kFrameBytes);
        EXPECT_FALSE(queue.read(11, frame.data(), frame.size()));  // after the last frame
        queue.leave();
        decoder.join();
    }
}

TEST(PictureQueueTest, AReaderRightBehindTheDecoderNeverMeetsAnEarlyEnd) {
    // The reader asks for each frame as the decoder is copying it in.
    constexpr int kFrames = 3000;
    PictureQueue queue(2);
    std::thread decoder([&] {
        putPictures(queue, kFrames);
        queue.finishDecoding(true, kWidth, kHeight);
    });
    std::vector<uint8_t> frame(kFrameBytes);
    int read = 0;
    while (queue.read(static_cast<uint32_t>(read + 1), frame.data(), frame.size())) ++read;
    queue.leave();
    decoder.join();
    EXPECT_EQ(read, kFrames);
}

TEST(PictureQueueTest, AFailedDecodingEndsTheReadingAtOnce) {
    PictureQueue queue(4);
    EXPECT_EQ(putPictures(queue, 2), 2);
    queue.finishDecoding(false, kWidth, kHeight);
    EXPECT_TRUE(queue.waitForStart().run);  // the encoder had already started
    std::vector<uint8_t> frame(kFrameBytes);
    EXPECT_FALSE(queue.read(1, frame.data(), frame.size()));
}

TEST(PictureQueueTest, StartWithoutAnyPicture) {
    for (bool ok : {true, false}) {
        PictureQueue queue(2);
        queue.finishDecoding(ok, 176, 144);
        const PictureQueue::Start start = queue.waitForStart();
        // A good decoding without pictures still runs the encoder, at the published size.
        EXPECT_EQ(start.run, ok);
        EXPECT_EQ(start.width, 176);
        EXPECT_EQ(start.height, 144);
    }
}

TEST(PictureQueueTest, NeitherSideWaitsForOneThatHasGone) {
    {
        // The encoder has left: the decoder goes on to its end without a free slot.
        PictureQueue queue(1);
        queue.leave();
        EXPECT_EQ(putPictures(queue, 5), 5);
    }
    {
        // Cancelled while the decoder waits for a slot nobody frees.
        PictureQueue queue(1);
        std::thread decoder([&] { EXPECT_EQ(putPictures(queue, 5), 1); });
        EXPECT_TRUE(queue.waitForStart().run);  // the first picture is in
        queue.cancel();
        decoder.join();
        std::vector<uint8_t> frame(kFrameBytes);
        EXPECT_FALSE(queue.read(1, frame.data(), frame.size()));
        EXPECT_FALSE(queue.waitForStart().run);
    }
    {
        // Cancelled while the encoder waits for the first picture or for a frame.
        PictureQueue queue(1);
        std::vector<uint8_t> frame(kFrameBytes);
        std::thread starter([&] { EXPECT_FALSE(queue.waitForStart().run); });
        std::thread reader([&] { EXPECT_FALSE(queue.read(1, frame.data(), frame.size())); });
        queue.cancel();
        starter.join();
        reader.join();
    }
}

}  // namespace
