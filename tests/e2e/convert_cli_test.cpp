// The options, messages, questions and exit codes of kinolite-cli convert.

#include <gtest/gtest.h>

#include "e2e_util.h"

namespace {

using testing_util::fileExists;
using testing_util::shellQuote;

const std::string kGood = testing_util::fixturePath("demux/mp4v_amr.3gp");

struct UsageCase {
    const char* name;
    std::string args;
    const char* message;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertUsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(ConvertUsageTest, RefusesWithTheMessage) {
    auto r = e2e::cli("convert " + GetParam().args, true);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find(GetParam().message), std::string::npos) << r.output;
}

INSTANTIATE_TEST_SUITE_P(
    Options, ConvertUsageTest,
    ::testing::Values(
        UsageCase{"no_source", "", "no source movie given"},
        UsageCase{"size", "-s 100x100 " + shellQuote(kGood), "size '100x100' is not one of"},
        UsageCase{"bitrate", "--bitrate 12345 " + shellQuote(kGood),
                  "bit rate '12345' is not one of"},
        UsageCase{"crop_left", "-c 61,0,0,0 " + shellQuote(kGood), "Не больше 60!"},
        UsageCase{"crop_right", "--crop=0,61,0,0 " + shellQuote(kGood), "Не больше 60!"},
        UsageCase{"crop_bottom", "-c 0,0,0,41 " + shellQuote(kGood), "Не больше 40!"},
        UsageCase{"crop_form", "-c 1,2,3 " + shellQuote(kGood), "is not four numbers"},
        UsageCase{"missing_source", "/nonexistent/a.3gp", "您选择的电影文件并不存在，请重新选择!"},
        UsageCase{"empty_source", "''", "7109!"},
        UsageCase{"unknown_option", "--frobnicate " + shellQuote(kGood),
                  "unknown option '--frobnicate'"},
        UsageCase{"same_destination",
                  "-o /tmp " + shellQuote(kGood) + " " +
                      shellQuote(testing_util::fixturePath("demux/mp4v_amr.3gp")),
                  "Файл уже \nв очереди!"}),
    [](const ::testing::TestParamInfo<UsageCase>& i) { return std::string(i.param.name); });

TEST(ConvertCliTest, HelpExitsZero) {
    auto r = e2e::cli("convert --help");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("--output-dir DIR"), std::string::npos);
}

// By default a batch prints exactly its result lines, a failure with its reason, on
// standard output and nothing on standard error; -v adds the trace, --log writes it.
TEST(ConvertCliTest, ResultLinesTraceAndLog) {
    testing_util::TempDir dir;
    std::string bad = e2e::copySource(dir, "demux/no_audio.3gp", "_bad");
    std::string good = e2e::copySource(dir, "demux/mp4v_amr.3gp", "_good");
    const std::string sources = shellQuote(bad) + " " + shellQuote(good);
    const std::string results = "failed: " + dir.path() + e2e::baseNameOf(bad) +
                                "_new.mp4: no audio\n" + "done: " + dir.path() +
                                e2e::baseNameOf(good) + "_new.mp4\n";
    const std::string out = " -o " + shellQuote(dir.path()) + " ";

    auto quiet = testing_util::runCommand(shellQuote(testing_util::cliPath()) + " convert -j 1" +
                                          out + sources + " 2>&1");
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_EQ(quiet.output, results);
    EXPECT_TRUE(fileExists(dir.path() + e2e::baseNameOf(good) + "_new.mp4"));

    auto verbose = e2e::cli("convert -j 1 -v -c 60,60,40,40" + out + sources);
    EXPECT_EQ(verbose.exitCode, 1);
    for (const char* line : {"DEMUX_Open return value: 0\n", "encoding finished!\n"})
        EXPECT_NE(verbose.output.find(line), std::string::npos) << line;
    EXPECT_NE(verbose.output.find(results.substr(results.find("done: "))), std::string::npos);

    const std::string log = dir.file("trace.log");
    auto logged = e2e::cli("convert -j 2 --log " + shellQuote(log) + out + sources);
    EXPECT_EQ(logged.exitCode, 1);
    EXPECT_EQ(logged.output.find("DEMUX_Open"), std::string::npos) << logged.output;
    const std::vector<uint8_t> bytes = testing_util::readFile(log);
    const std::string trace(bytes.begin(), bytes.end());
    for (const std::string& text :
         {"==> " + bad, "==> " + good, std::string("encoding finished!\n"),
          std::string("DEMUX_Open return value: 0\n")})
        EXPECT_NE(trace.find(text), std::string::npos) << text;
    EXPECT_EQ(e2e::leftovers(good), std::vector<std::string>());
}

// Runs a shell command on a pseudo terminal (util-linux script); returns what it showed.
testing_util::CommandResult onTerminal(const std::string& command, const std::string& input = "") {
    std::string feed = input.empty() ? "" : "printf " + shellQuote(input) + " | ";
    return testing_util::runCommand(feed + "script -qec " + shellQuote(command) + " /dev/null",
                                    true);
}

TEST(ConvertCliTest, ProgressBarOnATerminal) {
    testing_util::TempDir dir;
    // 90 s at 15 frames per second, coded as 1350 VOPs of 128x96: the video stage takes
    // about half a second, long enough for the 20 ms polls to see it on any machine (the
    // five-second sample converts within a few polls).
    const std::string source = dir.file(e2e::uniqueName() + ".3gp");
    ASSERT_EQ(testing_util::ffmpeg("-f lavfi -i testsrc2=size=176x144:rate=15:duration=90 -f lavfi "
                                   "-i sine=sample_rate=8000:duration=90 -c:v libxvid -bf 0 "
                                   "-qscale:v 6 -c:a aac -ac 1 -b:a 16k " +
                                   shellQuote(source)),
              0);
    auto r = onTerminal(shellQuote(testing_util::cliPath()) + " convert -q -y -o " +
                        shellQuote(dir.path()) + " " + shellQuote(source));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("] video "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("done: "), std::string::npos);
}

// A source whose average frame rate is 12.8: five seconds at 12.8 frames per second.
class DriftTest : public ::testing::Test {
  protected:
    void SetUp() override {
        source_ = dir_.file(e2e::uniqueName() + ".mp4");
        ASSERT_EQ(testing_util::ffmpeg(
                      "-f lavfi -i testsrc2=size=176x144:rate=12.8:duration=5 -f lavfi -i "
                      "sine=sample_rate=16000:duration=5 -c:v libxvid -bf 0 -qscale:v 10 -c:a aac "
                      "-ac 1 -movflags +faststart " +
                      shellQuote(source_)),
                  0);
        output_ = dir_.path() + e2e::baseNameOf(source_) + "_new.mp4";
    }
    testing_util::CommandResult convert(const std::string& answer) {
        return e2e::cli("convert -q " + answer + " -o " + shellQuote(dir_.path()) + " " +
                        shellQuote(source_));
    }
    testing_util::TempDir dir_;
    std::string source_, output_;
};

TEST_F(DriftTest, NoFailsTheJobAndRemovesItsFiles) {
    auto r = convert("-n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "failed: " + output_ + ": declined: the source frame rate is irregular\n");
    EXPECT_FALSE(fileExists(output_));
    EXPECT_EQ(e2e::leftovers(source_), std::vector<std::string>());
}

TEST_F(DriftTest, YesConverts) {
    auto r = convert("--yes");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(fileExists(output_));
}

TEST_F(DriftTest, WithoutATerminalItGoesOnWithAWarning) {
    auto r = testing_util::runCommand(shellQuote(testing_util::cliPath()) + " convert -q -o " +
                                      shellQuote(dir_.path()) + " " + shellQuote(source_) +
                                      " </dev/null 2>&1 >/dev/null");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("warning: " + source_), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("是否继续转换"), std::string::npos);
    EXPECT_TRUE(fileExists(output_));
}

TEST_F(DriftTest, QuestionOnATerminal) {
    auto r = onTerminal(shellQuote(testing_util::cliPath()) + " convert -q -o " +
                            shellQuote(dir_.path()) + " " + shellQuote(source_),
                        "n\n");
    EXPECT_NE(r.output.find("是否继续转换？ [y/n]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("failed: " + output_), std::string::npos) << r.output;
    EXPECT_FALSE(fileExists(output_));
}

}  // namespace
