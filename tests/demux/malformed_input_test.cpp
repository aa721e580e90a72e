// Malformed sources: every fixture truncated at many points, with random bytes flipped,
// and with hostile sizes and counts written into its boxes. Preparation must end cleanly
// each time: no fault, no hang, nothing of a failed job left on disk.

#include <gtest/gtest.h>

#include <random>

#include "core/context.h"
#include "core/job_files.h"
#include "demux_test_util.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"

namespace {

using testing_util::fileExists;

const char* const kFixtures[] = {
    "demux/mp4v_amr.3gp",      "demux/h263_amr102.3gp",   "demux/mp4v_amr74_moov_last.3gp",
    "demux/co64.3gp",          "demux/free_moov.3gp",     "demux/edit_list.3gp",
    "demux/hint_track.3gp",    "demux/text_track.3gp",    "demux/no_audio.3gp",
    "demux/wide_320x240.3gp",  "demux/drms.3gp",          "demux/mp4v_aac_m8k.mp4",
    "demux/mp4v_aac_m16k.mp4", "demux/mp4v_aac_s22k.mp4", "demux/mp4v_aac_s44k.mp4",
    "demux/mp4v_aac_s48k.mp4",
};

// Boxes whose children are walked to find places for hostile values.
bool isContainer(const std::string& type) {
    static const char* const kTypes[] = {"moov", "trak", "mdia", "minf", "stbl",
                                         "edts", "dinf", "udta", "free"};
    for (const char* t : kTypes)
        if (type == t) return true;
    return false;
}

uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

void putBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

struct BoxAt {
    size_t offset, size;
    std::string type;
};

void listBoxes(const std::vector<uint8_t>& b, size_t start, size_t end, std::vector<BoxAt>* out) {
    size_t p = start;
    while (p + 8 <= end) {
        size_t size = be32(b, p);
        std::string type(b.begin() + static_cast<long>(p) + 4,
                         b.begin() + static_cast<long>(p) + 8);
        if (size < 8 || p + size > end) return;
        out->push_back({p, size, type});
        if (isContainer(type)) listBoxes(b, p + 8, p + size, out);
        if (type == "stsd") listBoxes(b, p + 16, p + size, out);
        p += size;
    }
}

class MalformedInputTest : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        original_ = testing_util::readFile(testing_util::fixturePath(GetParam()));
        ASSERT_FALSE(original_.empty());
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        name_ = std::string("bad_") + info->name();
        for (char& ch : name_)
            if (ch == '/') ch = '_';
        source_ = dir_.file(name_ + ".3gp");
        listBoxes(original_, 0, original_.size(), &boxes_);
    }

    // Runs preparation on `bytes`; checks that it ended cleanly and removes what a good
    // preparation leaves for the later stages.
    void prepareVariant(const std::vector<uint8_t>& bytes, const std::string& what) {
        testing_util::writeFile(source_, bytes);
        JobSettings settings;
        applyJobSettings(settings);
        int r;
        {
            mp4test::QuietStdout quiet;
            r = prepareJob(source_, dir_.path(), nullptr, nullptr, nullptr);
        }
        ConversionContext& c = g_context;
        if (r == 0) {
            EXPECT_FALSE(fileExists(c.outputPath)) << what;
            EXPECT_FALSE(fileExists(videoEsFilePath())) << what;
            EXPECT_FALSE(fileExists(c.pcmPath)) << what;
            EXPECT_EQ(c.output, nullptr) << what;
        } else {
            EXPECT_NE(c.output, nullptr) << what;
            if (c.output) std::fclose(c.output);
            c.output = nullptr;
            platform::removeFile(c.outputPath);
            platform::removeFile(c.pcmPath);
            platform::removeFile(videoEsFilePath());
        }
        EXPECT_EQ(c.pcmFile, nullptr) << what;
        ++runs_;
    }

    std::vector<uint8_t> original_;
    std::vector<BoxAt> boxes_;
    testing_util::TempDir dir_;
    std::string name_, source_;
    int runs_ = 0;
};

TEST_P(MalformedInputTest, Truncated) {
    // Every box boundary and a spread of points in between.
    std::vector<size_t> cuts;
    for (const BoxAt& b : boxes_) {
        cuts.push_back(b.offset);
        cuts.push_back(b.offset + 4);
        cuts.push_back(b.offset + b.size - 1);
    }
    for (size_t k = 1; k < 40; ++k) cuts.push_back(original_.size() * k / 40);
    for (size_t cut : cuts) {
        if (cut >= original_.size()) continue;
        prepareVariant(
            std::vector<uint8_t>(original_.begin(), original_.begin() + static_cast<long>(cut)),
            "cut at " + std::to_string(cut));
    }
    EXPECT_GT(runs_, 40);
}

TEST_P(MalformedInputTest, RandomBytesFlipped) {
    const unsigned seed = testing_util::testSeed(20241210);
    std::mt19937 rng(seed);
    SCOPED_TRACE(testing_util::seedTrace(seed));
    // Half the flips land in the movie box, where the tables are.
    size_t moovStart = 0, moovSize = original_.size();
    for (const BoxAt& b : boxes_)
        if (b.type == "moov") moovStart = b.offset, moovSize = b.size;
    for (int variant = 0; variant < 80; ++variant) {
        std::vector<uint8_t> bytes = original_;
        int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i) {
            size_t at = (rng() & 1) ? moovStart + rng() % moovSize : rng() % bytes.size();
            bytes[at] ^= static_cast<uint8_t>(1 + rng() % 255);
        }
        prepareVariant(bytes, "variant " + std::to_string(variant));
    }
}

TEST_P(MalformedInputTest, HostileSizesAndCounts) {
    const uint32_t kValues[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x10000000u, 9};
    for (const BoxAt& b : boxes_) {
        for (uint32_t v : kValues) {
            std::vector<uint8_t> size = original_;
            putBe32(size, b.offset, v);
            prepareVariant(size, b.type + " size " + std::to_string(v));
            if (b.size >= 16) {
                // The word after a full-box header: entry counts, sample sizes, times.
                std::vector<uint8_t> count = original_;
                putBe32(count, b.offset + 12, v);
                prepareVariant(count, b.type + " count " + std::to_string(v));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MalformedInputTest, ::testing::ValuesIn(kFixtures),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                             std::string n = i.param;
                             n = n.substr(n.find('/') + 1);
                             for (char& ch : n)
                                 if (ch == '.') ch = '_';
                             return n;
                         });

}  // namespace
