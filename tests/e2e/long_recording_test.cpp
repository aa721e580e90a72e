// Long recordings: the handset file holds at most 16,667 pictures. A source past the limit is
// converted to exactly that many VOPs, and the trace, the result line and probe say where
// the picture ends; a source at the limit gets no such remark. The sources are made on the
// fly: one grey picture of 64x48 repeated, with silent AAC audio.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e_util.h"

namespace {

using testing_util::shellQuote;

struct LongCase {
    const char* name;
    int frameRate;     // of the source, and of the handset size below
    const char* size;  // a handset size of that frame rate
    int frames;        // source frames
    const char* remark;
};

void PrintTo(const LongCase& c, std::ostream* os) {
    *os << c.name;
}

// MPEG-4 VOP start codes (00 00 01 B6) in an elementary stream.
int countVops(const std::vector<uint8_t>& es) {
    int vops = 0;
    for (size_t i = 0; i + 3 < es.size(); ++i)
        if (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 1 && es[i + 3] == 0xB6) ++vops;
    return vops;
}

class LongRecordingTest : public ::testing::TestWithParam<LongCase> {};

TEST_P(LongRecordingTest, VideoEndsAtTheLimitAndEveryReportSaysSo) {
    const LongCase& lc = GetParam();
    testing_util::TempDir dir;
    const std::string source = dir.file(e2e::uniqueName() + ".3gp");
    const double seconds = static_cast<double>(lc.frames) / lc.frameRate;
    char args[512];
    std::snprintf(args, sizeof args,
                  "-f lavfi -i color=c=gray:size=64x48:rate=%d -f lavfi -i "
                  "anullsrc=r=8000:cl=mono -frames:v %d -t %.3f -c:v mpeg4 -g 600 -c:a aac -b:a "
                  "12k -f 3gp ",
                  lc.frameRate, lc.frames, seconds + 0.05);
    ASSERT_EQ(testing_util::ffmpeg(args + shellQuote(source)), 0);

    const std::string remark = lc.remark;
    auto probed = e2e::cli("probe " + shellQuote(source));
    EXPECT_EQ(probed.exitCode, 0) << probed.output;
    if (remark.empty()) {
        EXPECT_NE(probed.output.find("  handset limit: none\n"), std::string::npos)
            << probed.output;
    } else {
        // "video ends at 34:43 of 34:44" and the sizes of that frame rate among the others.
        const std::string ends = remark.substr(0, remark.find(": handset limit"));
        const std::string videoEnds = ends.substr(14, ends.find(" of ") - 14);
        const std::string sourceEnds = ends.substr(ends.find(" of ") + 4);
        const size_t at = probed.output.find("  handset limit: video ends at ");
        ASSERT_NE(at, std::string::npos) << probed.output;
        const std::string line = probed.output.substr(at, probed.output.find('\n', at) - at);
        EXPECT_NE(line.find(videoEnds + " ("), std::string::npos) << line;
        EXPECT_NE(line.find(lc.size), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.size() - sourceEnds.size() - 4), " of " + sourceEnds) << line;
    }

    auto json = e2e::cli("probe --json " + shellQuote(source));
    const std::string entry = std::string("{\"size\":\"") + lc.size +
                              "\",\"frame_rate\":" + std::to_string(lc.frameRate) +
                              ",\"video_ends\":\"";
    if (remark.empty())
        EXPECT_NE(json.output.find("\"handset_limit\":[]"), std::string::npos) << json.output;
    else
        EXPECT_NE(json.output.find(entry), std::string::npos) << json.output;

    const std::string log = dir.file("trace.log");
    auto converted =
        e2e::cli("convert -y -s " + std::string(lc.size) + " --log " + shellQuote(log) + " -o " +
                 shellQuote(dir.path()) + " " + shellQuote(source));
    const std::string output = dir.path() + e2e::baseNameOf(source) + "_new.mp4";
    EXPECT_EQ(converted.exitCode, 0) << converted.output;
    EXPECT_EQ(converted.output,
              "done: " + output + (remark.empty() ? "" : " (" + remark + ")") + "\n");
    const std::vector<uint8_t> traceBytes = testing_util::readFile(log);
    const std::string trace(traceBytes.begin(), traceBytes.end());
    const size_t line = trace.find("handset limit: the video ends at ");
    if (remark.empty()) {
        EXPECT_EQ(line, std::string::npos);
    } else {
        ASSERT_NE(line, std::string::npos);
        const std::string ends = remark.substr(14, remark.find(": handset limit") - 14);
        EXPECT_EQ(trace.substr(line + 33, ends.size()), ends);
        // The source frames after the last VOP are counted; the trace tells how many.
        EXPECT_NE(trace.find(", " + std::to_string(lc.frames - 16667) + " source frame"),
                  std::string::npos);
    }

    ASSERT_EQ(e2e::cli("extract -o " + shellQuote(dir.path()) + " " + shellQuote(output)).exitCode,
              0);
    const std::string stream = dir.path() + e2e::baseNameOf(output) + ".m4v";
    EXPECT_EQ(countVops(testing_util::readFile(stream)), 16667);
    // The header counts the movie's pictures, as it always has.
    auto inspected = e2e::cli("inspect " + shellQuote(output));
    EXPECT_NE(inspected.output.find("\nframes: " + std::to_string(lc.frames) + "\n"),
              std::string::npos)
        << inspected.output;
    EXPECT_EQ(e2e::leftovers(source), std::vector<std::string>());
}

// One frame over the limit at each handset frame rate, exactly at it, and far past it.
INSTANTIATE_TEST_SUITE_P(
    HandsetLimit, LongRecordingTest,
    ::testing::Values(
        LongCase{"OverAt8", 8, "176x144", 16668, "video ends at 34:43 of 34:44: handset limit"},
        LongCase{"OverAt10", 10, "160x96", 16668, "video ends at 27:46 of 27:47: handset limit"},
        LongCase{"OverAt15", 15, "128x96", 16668, "video ends at 18:31 of 18:32: handset limit"},
        LongCase{"AtTheLimit", 15, "128x96", 16667, ""},
        // Twice as long: the pictures past the limit are not taken for pictures lost.
        LongCase{"TwiceOver", 15, "128x96", 33400, "video ends at 18:31 of 37:07: handset limit"}),
    [](const ::testing::TestParamInfo<LongCase>& info) { return std::string(info.param.name); });

}  // namespace
