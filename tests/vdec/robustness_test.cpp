// Damaged streams: truncations, bit flips and random data after valid headers. Decoding
// must end (failed, or with garbage pictures) without crashing, hanging or touching memory
// outside its buffers; run under SANITIZE=1 to check the last part.

#include <gtest/gtest.h>

#include <ostream>
#include <random>

#include "testing/test_util.h"
#include "vdec_test_util.h"

namespace {

using vdec_test::BitWriter;
using vdec_test::DecodeResult;
using vdec_test::decodeStream;

struct Fixture {
    const char* file;
    int width, height;
};

// Test names show the case name instead of the bytes of the case.
void PrintTo(const Fixture& c, std::ostream* os) {
    *os << c.file;
}

const Fixture kFixtures[] = {
    {"xvid_qcif_4mv.m4v", 176, 144},   {"xvid_160x120_mpegquant.m4v", 160, 120},
    {"h263_sqcif_gobs.h263", 128, 96}, {"h263_qcif.h263", 176, 144},
    {"mpeg4_packets.m4v", 176, 144},
};

// Whatever the outcome, the decoded-pictures file holds whole frames of the stream's size.
void expectWholeFrames(const DecodeResult& r, const std::string& what) {
    if (r.pictures.empty() || r.width <= 0 || r.height <= 0) return;
    EXPECT_EQ(r.pictures.size() % vdec_test::frameBytes(r.width, r.height), 0u) << what;
}

class DamagedStreamTest : public ::testing::TestWithParam<Fixture> {};

TEST_P(DamagedStreamTest, TruncatedStreamsEndCleanly) {
    const std::vector<uint8_t> whole = vdec_test::fixture(GetParam().file);
    ASSERT_FALSE(whole.empty());
    const size_t steps = 40;
    for (size_t i = 0; i <= steps; ++i) {
        const size_t length = whole.size() * i / steps;
        std::vector<uint8_t> part(whole.begin(), whole.begin() + long(length));
        DecodeResult r = decodeStream(part);
        expectWholeFrames(r, "length " + std::to_string(length));
    }
    // Cuts inside the headers, byte by byte.
    for (size_t length = 1; length < 48 && length < whole.size(); ++length) {
        std::vector<uint8_t> part(whole.begin(), whole.begin() + long(length));
        DecodeResult r = decodeStream(part);
        expectWholeFrames(r, "length " + std::to_string(length));
    }
}

TEST_P(DamagedStreamTest, FlippedBitsEndCleanly) {
    const std::vector<uint8_t> whole = vdec_test::fixture(GetParam().file);
    const unsigned seed = 20240611;
    std::mt19937 rng(seed);
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> s = whole;
        const int flips = 1 + round % 8;
        // Every third round aims at the stream headers and the first picture.
        const size_t span = round % 3 == 0 ? std::min<size_t>(s.size(), 64) * 8 : s.size() * 8;
        std::string where;
        for (int f = 0; f < flips; ++f) {
            const size_t bit = std::uniform_int_distribution<size_t>(0, span - 1)(rng);
            vdec_test::flipBit(&s, bit);
            where += " " + std::to_string(bit);
        }
        DecodeResult r = decodeStream(s);
        expectWholeFrames(r, "seed " + std::to_string(seed) + " round " + std::to_string(round) +
                                 " bits" + where);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedStreamTest, ::testing::ValuesIn(kFixtures),
                         [](const auto& info) {
                             std::string n = info.param.file;
                             for (char& ch : n)
                                 if (ch == '.') ch = '_';
                             return n;
                         });

// Valid stream headers followed by random bytes: every syntax path meets garbage.
TEST(RandomDataTest, AfterValidHeaders) {
    const unsigned seed = 77;
    std::mt19937 rng(seed);
    for (int round = 0; round < 120; ++round) {
        BitWriter w;
        vdec_test::VolFields vol;
        const int kind = round % 4;
        if (kind < 3) {
            vol.quantType = kind == 1;
            vol.resyncMarkerDisable = round % 8 < 4;
            vol.width = kind == 2 ? 128 : 176;
            vol.height = kind == 2 ? 96 : 144;
            vdec_test::writeSequenceHeaders(&w, vol);
            vdec_test::writeVopHeader(&w, vol, round % 2, 1, 1 + round % 31, 1 + round % 7);
        } else {
            w.put(0x20, 22);
            w.put(0, 8);
            w.put(0b10, 2);
            w.put(0, 3);
            w.put(round % 2 ? 1 : 2, 3);
            w.put(round % 3 == 0, 1);
            w.put(0, 4);
            w.put(1 + round % 31, 5);
            w.put(0, 2);
        }
        std::vector<uint8_t> s = w.bytes();
        const size_t extra = 200 + size_t(round) * 97 % 6000;
        for (size_t i = 0; i < extra; ++i) s.push_back(uint8_t(rng()));
        DecodeResult r = decodeStream(s);
        expectWholeFrames(r, "seed " + std::to_string(seed) + " round " + std::to_string(round));
    }
}

}  // namespace
