// Damaged sources through the whole conversion: each converts or fails cleanly, and
// leaves no temporary file.

#include <gtest/gtest.h>

#include <random>

#include "e2e_util.h"
#include "testing/library_sources.h"

namespace {

using testing_util::fileExists;
using testing_util::shellQuote;

class ConvertMalformedTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ConvertMalformedTest, EndsCleanly) {
    // "library/NAME": a source of the library decoders, made by ffmpeg.
    const std::string name = GetParam();
    const std::string kLibrary = "library/";
    const std::string path = name.compare(0, kLibrary.size(), kLibrary) == 0
                                 ? testing_util::librarySource(name.substr(kLibrary.size()))
                                 : testing_util::fixturePath(name);
    const std::vector<uint8_t> original = testing_util::readFile(path);
    ASSERT_FALSE(original.empty());
    const unsigned seed = testing_util::testSeed(20241211);
    std::mt19937 rng(seed);
    SCOPED_TRACE(testing_util::seedTrace(seed));
    testing_util::TempDir dir;
    for (int variant = 0; variant < 12; ++variant) {
        std::vector<uint8_t> bytes = original;
        if (variant < 6) {
            bytes.resize(original.size() * static_cast<size_t>(variant + 1) / 7);  // truncated
        } else {
            for (int i = 0; i < 1 + variant; ++i)
                bytes[rng() % bytes.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        }
        std::string source = e2e::writeSource(dir, bytes, ".3gp");
        std::string output = dir.path() + e2e::baseNameOf(source) + "_new.mp4";
        auto r = e2e::cli("convert -q -y -o " + shellQuote(dir.path()) + " " + shellQuote(source));
        ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1)
            << "variant " << variant << " exit " << r.exitCode;
        EXPECT_EQ(e2e::leftovers(source), std::vector<std::string>()) << "variant " << variant;
        std::remove(output.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ConvertMalformedTest,
    ::testing::Values("demux/mp4v_amr.3gp", "demux/h263_amr102.3gp", "demux/mp4v_aac_s44k.mp4",
                      "demux/mp4v_amr74_moov_last.3gp", "library/h264_main_qcif_amrnb.3gp",
                      "library/h264_base_qcif_amrwb.3gp", "library/mpeg4_asp_qcif_mp3.mov"),
    [](const ::testing::TestParamInfo<const char*>& i) {
        std::string n = i.param;
        n = n.substr(n.find('/') + 1);
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

}  // namespace
