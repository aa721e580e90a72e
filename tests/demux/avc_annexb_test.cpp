// H.264 samples and parameter sets as the library decoder reads them: start codes in place
// of the NAL unit lengths of every length size, and a damaged length that ends the sample.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "demux/avc_annexb.h"
#include "demux/box_records.h"
#include "demux/es_out.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct SampleCase {
    const char* name;
    uint8_t lengthSize;
    Bytes sample;
    Bytes annexB;
};

void PrintTo(const SampleCase& c, std::ostream* os) {
    *os << c.name;
}

class AvcSampleTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(AvcSampleTest, StartCodesReplaceLengths) {
    const SampleCase& c = GetParam();
    Block* block = nullptr;
    ASSERT_EQ(block_New(&block, static_cast<int32_t>(c.sample.size())), 0);
    if (!c.sample.empty()) std::memcpy(block->buffer, c.sample.data(), c.sample.size());
    block->size = static_cast<int32_t>(c.sample.size());
    ASSERT_TRUE(mp4_AvcSampleToAnnexB(block, c.lengthSize));
    EXPECT_EQ(Bytes(block->buffer, block->buffer + block->size), c.annexB);
    EXPECT_LE(block->size, block->capacity);
    block_Free(block);
}

const SampleCase kSampleCases[] = {
    {"four_byte_lengths",
     4,
     {0, 0, 0, 2, 0x65, 0xAA, 0, 0, 0, 1, 0x41},
     {0, 0, 0, 1, 0x65, 0xAA, 0, 0, 0, 1, 0x41}},
    // Shorter lengths make the sample grow.
    {"two_byte_lengths",
     2,
     {0, 2, 0x65, 0xAA, 0, 1, 0x41},
     {0, 0, 0, 1, 0x65, 0xAA, 0, 0, 0, 1, 0x41}},
    {"one_byte_lengths", 1, {1, 0x65, 1, 0x41}, {0, 0, 0, 1, 0x65, 0, 0, 0, 1, 0x41}},
    {"empty_unit_dropped", 4, {0, 0, 0, 0, 0, 0, 0, 1, 0x41}, {0, 0, 0, 1, 0x41}},
    // A length beyond the sample keeps the units before it.
    {"length_past_the_end", 4, {0, 0, 0, 1, 0x65, 0, 0, 0, 9, 0x41}, {0, 0, 0, 1, 0x65}},
    {"length_cut_short", 4, {0, 0, 0, 1, 0x65, 0, 0}, {0, 0, 0, 1, 0x65}},
    {"huge_length", 4, {0xFF, 0xFF, 0xFF, 0xFF, 0x65}, {}},
};

INSTANTIATE_TEST_SUITE_P(Samples, AvcSampleTest, ::testing::ValuesIn(kSampleCases),
                         [](const ::testing::TestParamInfo<SampleCase>& i) {
                             return std::string(i.param.name);
                         });

TEST(AvcParameterSetsTest, EverySetBehindAStartCode) {
    BoxAvcC avcC;
    avcC.sps = {{0x67, 0x42, 0xC0}, {0x67, 0x4D}};
    avcC.pps = {{0x68, 0xCE}};
    EXPECT_EQ(mp4_AvcParameterSets(avcC), (Bytes{0, 0, 0, 1, 0x67, 0x42, 0xC0, 0, 0, 0, 1, 0x67,
                                                 0x4D, 0, 0, 0, 1, 0x68, 0xCE}));
}

}  // namespace
