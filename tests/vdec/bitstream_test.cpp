// The bit reader: reads of every width across word, staging and buffer-half boundaries,
// files larger than its input buffer, the end code placed after the data, and stuffing.

#include <gtest/gtest.h>

#include <random>

#include "vdec/dec_session.h"
#include "vdec_test_util.h"

namespace {

using vdec_test::BitWriter;
using vdec_test::MemoryStream;

uint32_t bitsAt(const std::vector<uint8_t>& s, size_t bit, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) v = (v << 1) | ((s[bit / 8] >> (7 - bit % 8)) & 1);
    return v;
}

TEST(BitReaderTest, ReadsAFileLargerThanItsBufferInOrder) {
    // 100,000 random bytes read back in reads of 0 to 32 bits: the input buffer (32,768
    // bytes) is refilled from the file as the reads go, never from stale bytes.
    const unsigned seed = 4242;
    std::mt19937 rng(seed);
    std::vector<uint8_t> data(100000);
    for (uint8_t& b : data) b = uint8_t(rng());
    MemoryStream s(data);
    size_t bit = 0;
    while (bit + 64 < data.size() * 8) {
        const int n = int(rng() % 33);
        ASSERT_EQ(g_bits.showBits(n), n ? bitsAt(data, bit, n) : 0u)
            << "seed " << seed << " at " << bit;
        ASSERT_EQ(g_bits.getBits(n), n ? bitsAt(data, bit, n) : 0u)
            << "seed " << seed << " at " << bit;
        bit += size_t(n);
        ASSERT_EQ(g_bits.bitPosition(), bit);
    }
    EXPECT_FALSE(g_bits.pastEnd());
}

TEST(BitReaderTest, EndCodeAndZerosFollowTheData) {
    for (size_t size : {size_t(5), size_t(16383), size_t(16384), size_t(16386), size_t(40000)}) {
        std::vector<uint8_t> data(size, 0xA5);
        MemoryStream s(data);
        for (size_t i = 0; i < size; ++i) ASSERT_EQ(g_bits.getBits(8), 0xA5u) << size;
        EXPECT_FALSE(g_bits.pastEnd());
        EXPECT_EQ(g_bits.getBits(32), 0x000001B1u) << size;
        EXPECT_TRUE(g_bits.pastEnd());
        for (int i = 0; i < 5000; ++i) ASSERT_EQ(g_bits.getBits(32), 0u) << size;
    }
}

TEST(BitReaderTest, AlignmentAndStuffing) {
    BitWriter w;
    w.put(0b101, 3);
    w.put(0b01111, 5);  // stuffing to the boundary
    w.put(0x7F, 8);     // a whole stuffing byte when aligned
    w.put(0b11, 2);
    w.put(0b111111, 6);  // wrong stuffing: no leading 0
    w.put(0x000001B6, 32);
    w.put(0, 32);
    MemoryStream s(w.bytes());
    EXPECT_EQ(g_bits.getBits(3), 0b101u);
    EXPECT_EQ(g_bits.bitsToByteBoundary(), 5);
    EXPECT_EQ(g_bits.showBitsAligned(8), 0x7Fu);
    ::testing::internal::CaptureStderr();
    g_bits.nextStartCode();
    g_bits.nextStartCode();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(g_bits.getBits(2), 0b11u);
    EXPECT_EQ(g_bits.showBitsAligned(32), 0x000001B6u);
    ::testing::internal::CaptureStderr();
    g_bits.nextStartCode();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "stuffing bits not correct\n");
    EXPECT_EQ(g_bits.showBits(32), 0x000001B6u);
    g_bits.byteAlign();
    EXPECT_EQ(g_bits.showBits(32), 0x000001B6u);
}

TEST(BitReaderTest, PictureLargerThanTheInputBuffer) {
    // One I-VOP of more than 45,000 bytes: its first macroblock header carries 40,000
    // stuffing codes. The whole picture is read from the file in order.
    vdec_test::VolFields vol;
    BitWriter w;
    vdec_test::writeSequenceHeaders(&w, vol);
    vdec_test::writeVopHeader(&w, vol, 0, 1, 8);
    for (int i = 0; i < 40000; ++i) w.put(1, 9);  // MCBPC stuffing
    for (int mb = 0; mb < 99; ++mb) {
        w.put(1, 1);
        w.put(0, 1);
        w.put(3, 4);
        for (int b = 0; b < 6; ++b) w.put(3, b < 4 ? 3 : 2);
    }
    w.stuff();
    ASSERT_GT(w.bytes().size(), 45000u);
    vdec_test::DecodeResult r = vdec_test::decodeStream(w.bytes());
    EXPECT_EQ(r.success, 1) << r.output;
    ASSERT_EQ(r.pictures.size(), vdec_test::frameBytes(176, 144));
    EXPECT_EQ(std::count(r.pictures.begin(), r.pictures.end(), 128), long(r.pictures.size()));
    EXPECT_FALSE(vdec_test::contains(r.output, "Invalid"));
}

}  // namespace
