// The bit writer, the stream and VOP headers, and the variable-length codes.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "venc/enc_bitstrm.h"
#include "venc/enc_codehead.h"
#include "venc/enc_global.h"
#include "venc/enc_vlc.h"
#include "venc_test_util.h"

namespace {

using venc_test::bitString;
using venc_test::ModeRecords;

std::string written(const COutBitStream& bs) {
    return bitString(bs.buffer(), static_cast<size_t>(bs.byteCount()));
}

// Every bit put into a writer so far (the byte under construction is completed with
// zeros to read it, which ends the writer's use).
std::string bitsWritten(COutBitStream* bs) {
    const int total = static_cast<int>(bs->totalBits());
    if (bs->freeBits() != 8) bs->put(0, bs->freeBits(), "pad");
    return written(*bs).substr(0, static_cast<size_t>(total));
}

std::string withoutSpaces(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

TEST(BitWriterTest, PutsFieldsMostSignificantBitFirst) {
    COutBitStream bs;
    bs.put(0x5, 3, "a");          // 101
    bs.put(0xFFFFFFF2u, 4, "b");  // only the low four bits: 0010
    bs.put(0x1, 1, "c");          // completes the byte
    bs.put(0xDEADBEEF, 32, "d");  // all 32 bits
    EXPECT_EQ(bs.byteCount(), 5);
    EXPECT_EQ(written(bs), "10100101" + bitString((const uint8_t*)"\xDE\xAD\xBE\xEF", 4));
    EXPECT_EQ(bs.totalBits(), 40u);
}

TEST(BitWriterTest, AlignWritesMpeg4Stuffing) {
    struct Case {
        int usedBits;
        int stuffing;
        std::string lastByte;
    };
    const Case cases[] = {{0, 8, "01111111"}, {7, 1, "00000000"}, {3, 5, "00001111"}};
    for (const Case& c : cases) {
        COutBitStream bs;
        if (c.usedBits) bs.put(0, c.usedBits, "x");
        EXPECT_EQ(bs.align(), c.stuffing) << c.usedBits;
        EXPECT_EQ(bs.freeBits(), 8);
        EXPECT_EQ(written(bs), c.lastByte) << c.usedBits;
    }
}

TEST(BitWriterTest, GrowsPastItsInitialBuffer) {
    COutBitStream bs;
    const int bytes = static_cast<int>(COutBitStream::kInitialBufferSize) * 3 + 7;
    for (int i = 0; i < bytes; ++i) bs.put(static_cast<uint32_t>(i & 0xFF), 8, "x");
    ASSERT_EQ(bs.byteCount(), bytes);
    for (int i = 0; i < bytes; i += 997) EXPECT_EQ(bs.buffer()[i], i & 0xFF);
    bs.reset();
    EXPECT_EQ(bs.byteCount(), 0);
}

TEST(StreamHeaderTest, VoAndVolHeadersAreTheGoldenBytes) {
    struct Case {
        int width, height;
        std::vector<uint8_t> bytes;
    };
    // The three bytes after the first thirteen carry the picture size.
    const std::vector<uint8_t> prefix = {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                                         0x20, 0x00, 0x84, 0x40, 0x07, 0xa8};
    const std::vector<uint8_t> suffix = {0xa4, 0xc7};
    const Case cases[] = {{176, 144, {0x2c, 0x20, 0x90}},
                          {128, 96, {0x20, 0x20, 0x60}},
                          {160, 128, {0x28, 0x20, 0x80}}};
    for (const Case& c : cases) {
        ModeRecords records(c.width, c.height);
        encStatsClear(&enc_g_statsVOL);
        COutBitStream bs;
        encWriteVOHeader(&bs);
        encWriteVOLHeader(&bs);
        std::vector<uint8_t> expected = prefix;
        expected.insert(expected.end(), c.bytes.begin(), c.bytes.end());
        expected.insert(expected.end(), suffix.begin(), suffix.end());
        ASSERT_EQ(bs.byteCount(), 18);
        EXPECT_EQ(std::vector<uint8_t>(bs.buffer(), bs.buffer() + 18), expected) << c.width;
        EXPECT_EQ(enc_g_statsVOL.nBitsHead, 135);
        EXPECT_EQ(enc_g_statsVOL.nBitsStuffing, 5 + 4);
    }
}

TEST(StreamHeaderTest, VopHeadersMatchTheExamples) {
    struct Case {
        int codingType, time, qp;
        const char* bits;  // after the 32-bit start code, spaces between the fields
    };
    // The P-VOP at time 33 codes exactly the bits of the one at time 3.
    const Case cases[] = {
        {0, 0, 3, "00 111111111111111111110 1 00000 1 1 000 00011"},
        {1, 3, 4, "01 111111111111111111110 1 00011 1 1 0 000 00100 001"},
        {1, 33, 4, "01 111111111111111111110 1 00011 1 1 0 000 00100 001"},
    };
    for (const Case& c : cases) {
        ModeRecords records;
        records.vop.iCodingType = c.codingType;
        encStatsClear(&enc_g_statsVOP);
        COutBitStream bs;
        encWriteVOPHeader(&bs, c.qp, c.time, encTimeIncrementBits(30));
        const std::string expected = "00000000000000000000000110110110" + withoutSpaces(c.bits);
        EXPECT_EQ(bitsWritten(&bs), expected) << c.time;
        EXPECT_EQ(enc_g_statsVOP.nBitsHead, static_cast<int>(expected.size()) - 2);
        EXPECT_EQ(enc_g_statsVOP.nBitsStuffing, 2);  // the two marker bits
    }
}

TEST(StreamHeaderTest, TimeIncrementFields) {
    EXPECT_EQ(encTimeIncrementBits(30), 5);
    EXPECT_EQ(encTimeIncrementBits(2), 1);
    EXPECT_EQ(encTimeIncrementBits(3), 2);
    EXPECT_EQ(encTimeIncrementBits(65535), 16);
    EXPECT_EQ(encTimeIncrement(0, 30, 30.0), 0);
    EXPECT_EQ(encTimeIncrement(3, 30, 30.0), 3);
    EXPECT_EQ(encTimeIncrement(33, 30, 30.0), 3);
    EXPECT_EQ(encTimeIncrement(49998, 30, 30.0), 18);
}

// Each case: an event and the bits it must produce (escape code 0000011).
TEST(VlcTest, CoefficientEventsUseTheFirstFormThatExists) {
    struct Case {
        bool intra;
        int last, run, level;
        const char* bits;
    };
    const Case cases[] = {
        {false, 0, 0, 1, "10 0"},   // table code, positive
        {false, 0, 0, -1, "10 1"},  // table code, negative
        {false, 1, 0, 1, "0111 0"},
        {false, 0, 0, 13, "0000011 0 10 0"},   // escape 1: 13 - LMAX 12 = 1
        {false, 0, 27, 1, "0000011 10 10 0"},  // escape 2: run 27 - RMAX 26 - 1 = 0
        {true, 0, 0, 28, "0000011 0 10 0"},    // intra escape 1: 28 - 27 = 1
        {true, 0, 0, 2047, "0000011 11 0 000000 1 011111111111 1"},  // escape 3
        {true, 1, 5, -100, "0000011 11 1 000101 1 111110011100 1"},
    };
    for (const Case& c : cases) {
        COutBitStream bs;
        const int n = encPutTcoef(&bs, c.intra, c.last, c.run, c.level);
        const std::string bits = bitsWritten(&bs);
        EXPECT_EQ(bits, withoutSpaces(c.bits)) << c.intra << c.last << c.run << c.level;
        EXPECT_EQ(n, static_cast<int>(bits.size()));
    }
}

TEST(VlcTest, IntraDcAndMotionCodes) {
    struct Case {
        std::function<int(COutBitStream*)> write;
        const char* bits;
    };
    const Case cases[] = {
        {[](COutBitStream* b) { return encPutIntraDC(b, 0, true); }, "011"},
        {[](COutBitStream* b) { return encPutIntraDC(b, 0, false); }, "11"},
        {[](COutBitStream* b) { return encPutIntraDC(b, -5, true); }, "010 010"},
        {[](COutBitStream* b) { return encPutIntraDC(b, 6, true); }, "010 110"},
        {[](COutBitStream* b) { return encPutIntraDC(b, 1, false); }, "10 1"},
        {[](COutBitStream* b) { return encPutIntraDC(b, -255, true); }, "0000001 00000000"},
        {[](COutBitStream* b) { return encPutMotionCode(b, 0); }, "1"},
        {[](COutBitStream* b) { return encPutMotionCode(b, 1); }, "01 0"},
        {[](COutBitStream* b) { return encPutMotionCode(b, -1); }, "01 1"},
        {[](COutBitStream* b) { return encPutMotionCode(b, -32); }, "000000000010 1"},
    };
    for (const Case& c : cases) {
        COutBitStream bs;
        const int n = c.write(&bs);
        const std::string bits = bitsWritten(&bs);
        EXPECT_EQ(bits, withoutSpaces(c.bits));
        EXPECT_EQ(n, static_cast<int>(bits.size())) << c.bits;
    }
}

}  // namespace
