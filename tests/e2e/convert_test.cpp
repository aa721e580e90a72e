// kinolite-cli convert of every demultiplexer fixture and of the library decoders' sources: each
// ends done or failed as it should; a done job gives a file that inspect accepts, whose video
// ffmpeg plays with the frame count the frame-rate conversion gives, and whose audio lasts as long
// as the source's.

#include <gtest/gtest.h>

#include <cmath>

#include "e2e_util.h"
#include "testing/library_sources.h"

namespace {

using testing_util::fileExists;
using testing_util::shellQuote;

struct ConvertCase {
    const char* fixture;
    bool done;
    const char* size = "176x144";
    int frameRate = 8;  // of the handset file
    int seconds = 2;    // of the source's 15 fps video
};

void PrintTo(const ConvertCase& c, std::ostream* os) {
    *os << c.fixture << " " << c.size;
}

// Converts `source` (a copy in `dir`) and checks the outcome: done or failed as expected,
// no temporary file left; a done job's file passes inspect, plays `expectedFrames` (+-2)
// and its audio lasts as long as the source's (5 %).
void checkConversion(const testing_util::TempDir& dir, const std::string& source, bool done,
                     const std::string& size, int expectedFrames) {
    std::string output = dir.path() + e2e::baseNameOf(source) + "_new.mp4";
    auto r = e2e::cli("convert -q -y -s " + size + " -o " + shellQuote(dir.path()) + " " +
                      shellQuote(source));
    if (done) {
        EXPECT_EQ(r.output, "done: " + output + "\n");
    } else {
        // One line with the reason the job failed.
        EXPECT_EQ(r.output.rfind("failed: " + output + ": ", 0), 0u) << r.output;
        EXPECT_EQ(r.output.find('\n'), r.output.size() - 1) << r.output;
    }
    EXPECT_EQ(r.exitCode, done ? 0 : 1);
    EXPECT_EQ(e2e::leftovers(source), std::vector<std::string>());
    if (!done) {
        EXPECT_FALSE(fileExists(output));
        return;
    }

    auto inspect = e2e::cli("inspect " + shellQuote(output));
    EXPECT_EQ(inspect.exitCode, 0) << inspect.output;
    EXPECT_NE(inspect.output.find("\nok\n"), std::string::npos) << inspect.output;

    ASSERT_EQ(e2e::cli("extract " + shellQuote(output) + " -o " + shellQuote(dir.path())).exitCode,
              0);
    std::string name = dir.path() + e2e::baseNameOf(output);
    EXPECT_NEAR(e2e::probeFrames(name + ".m4v"), expectedFrames, 2) << "frames played by ffmpeg";
    // The header counts the VOPs the video section holds.
    const size_t at = inspect.output.find("\nframes: ");
    ASSERT_NE(at, std::string::npos) << inspect.output;
    const int headerFrames = std::stoi(inspect.output.substr(at + 9));
    const std::vector<uint8_t> video = testing_util::readFile(name + ".m4v");
    int vops = 0;
    for (size_t i = 0; i + 3 < video.size(); ++i)
        if (video[i] == 0 && video[i + 1] == 0 && video[i + 2] == 1 && video[i + 3] == 0xB6) ++vops;
    EXPECT_EQ(vops, headerFrames) << "VOPs in the video section";
    double sourceAudio = e2e::probeDuration(source, "a");
    double wav = e2e::probeDuration(name + ".wav");
    ASSERT_GT(sourceAudio, 0);
    EXPECT_NEAR(wav, sourceAudio, sourceAudio * 0.05) << "audio duration";
}

class ConvertFixtureTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertFixtureTest, EndsAsExpected) {
    const ConvertCase& c = GetParam();
    testing_util::TempDir dir;
    // The fixtures hold 15 fps video: the handset file keeps frameRate of every 15.
    checkConversion(dir, e2e::copySource(dir, c.fixture), c.done, c.size, c.seconds * c.frameRate);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ConvertFixtureTest,
    ::testing::Values(
        ConvertCase{"demux/mp4v_amr.3gp", true},
        ConvertCase{"demux/mp4v_amr.3gp", true, "128x96", 15},
        ConvertCase{"demux/mp4v_amr475.3gp", true}, ConvertCase{"demux/mp4v_amr515.3gp", true},
        ConvertCase{"demux/mp4v_amr59.3gp", true}, ConvertCase{"demux/mp4v_amr67.3gp", true},
        ConvertCase{"demux/mp4v_amr_switch_dtx.3gp", true},
        ConvertCase{"demux/h263_amr102.3gp", true}, ConvertCase{"demux/h263_end_markers.3gp", true},
        ConvertCase{"demux/mp4v_amr74_moov_last.3gp", true}, ConvertCase{"demux/co64.3gp", true},
        ConvertCase{"demux/free_moov.3gp", true}, ConvertCase{"demux/edit_list.3gp", true},
        ConvertCase{"demux/hint_track.3gp", true}, ConvertCase{"demux/hint_track_name.3gp", true},
        ConvertCase{"demux/text_track.3gp", true},
        ConvertCase{"demux/mp4v_aac_m8k.mp4", true, "176x144", 8, 4},
        ConvertCase{"demux/mp4v_aac_m16k.mp4", true}, ConvertCase{"demux/mp4v_aac_s22k.mp4", true},
        ConvertCase{"demux/mp4v_aac_s44k.mp4", true}, ConvertCase{"demux/mp4v_aac_s48k.mp4", true},
        ConvertCase{"demux/no_audio.3gp", false},
        // Sources larger than the handset's screen, cropped and scaled to each handset size.
        ConvertCase{"demux/wide_320x240.3gp", true, "128x96", 15},
        ConvertCase{"demux/wide_320x240.3gp", true, "128x128", 10},
        ConvertCase{"demux/wide_320x240.3gp", true, "160x96", 10},
        ConvertCase{"demux/wide_320x240.3gp", true, "160x128", 8},
        ConvertCase{"demux/wide_320x240.3gp", true, "176x144", 8},
        ConvertCase{"demux/h263_cif_352x288.3gp", true, "128x96", 15},
        ConvertCase{"demux/h263_cif_352x288.3gp", true, "160x128", 8},
        ConvertCase{"demux/h263_cif_352x288.3gp", true, "176x144", 8},
        ConvertCase{"demux/mp4v_vga_640x480.3gp", true, "128x128", 10},
        ConvertCase{"demux/mp4v_vga_640x480.3gp", true, "160x96", 10},
        ConvertCase{"demux/mp4v_vga_640x480.3gp", true, "176x144", 8},
        ConvertCase{"demux/drms.3gp", false}),
    [](const ::testing::TestParamInfo<ConvertCase>& i) {
        std::string n = i.param.fixture;
        n = n.substr(n.find('/') + 1) + "_" + i.param.size;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

// A job's output depends only on its source and settings: each of a run of jobs in one
// process gives the bytes the same job gives alone (the resampler's running state, the
// codecs' records and the demultiplexer's start over with every job).
TEST(ConvertSequenceTest, EveryJobOfARunEqualsTheJobAlone) {
    const char* fixtures[] = {"demux/mp4v_aac_s44k.mp4", "demux/mp4v_aac_s22k.mp4",
                              "demux/h263_amr102.3gp", "demux/mp4v_aac_s48k.mp4",
                              "demux/mp4v_amr.3gp"};
    testing_util::TempDir together, alone;
    std::string sources;
    for (const char* f : fixtures) sources += " " + shellQuote(e2e::copySource(together, f, f));
    auto run = e2e::cli("convert -q -y -s 160x128 -o " + shellQuote(together.path()) + sources);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* f : fixtures) {
        const std::string source = e2e::copySource(alone, f, f);
        ASSERT_EQ(e2e::cli("convert -q -y -s 160x128 -o " + shellQuote(alone.path()) + " " +
                           shellQuote(source))
                      .exitCode,
                  0);
        const std::string name = e2e::baseNameOf(source) + "_new.mp4";
        EXPECT_TRUE(testing_util::readFile(together.path() + name) ==
                    testing_util::readFile(alone.path() + name))
            << f;
    }
}

// Sources only the library decoders take (H.264, MPEG-4 advanced simple profile, AMR-WB,
// MP3): two seconds at 15 fps, kept at 8 fps in a 176x144 handset file.
class ConvertLibrarySourceTest : public ::testing::TestWithParam<testing_util::LibrarySource> {};

TEST_P(ConvertLibrarySourceTest, EndsAsExpected) {
    const testing_util::LibrarySource& s = GetParam();
    const std::string made = testing_util::librarySource(s.name);
    ASSERT_FALSE(made.empty());
    testing_util::TempDir dir;
    const std::string source = dir.file(e2e::uniqueName() + made.substr(made.rfind('.')));
    testing_util::writeFile(source, testing_util::readFile(made));
    checkConversion(dir, source, s.convertible, "176x144", 2 * 8);
}

INSTANTIATE_TEST_SUITE_P(Library, ConvertLibrarySourceTest,
                         ::testing::ValuesIn(testing_util::kLibrarySources,
                                             testing_util::kLibrarySources +
                                                 testing_util::kLibrarySourceCount),
                         [](const ::testing::TestParamInfo<testing_util::LibrarySource>& i) {
                             std::string n = i.param.name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

}  // namespace
