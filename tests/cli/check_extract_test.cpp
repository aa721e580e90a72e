#include <gtest/gtest.h>

#include <functional>

#include "core/context.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "testing/prepared_job.h"
#include "testing/test_util.h"

namespace {

using testing_util::cliPath;
using testing_util::runCommand;
using testing_util::shellQuote;
using testing_util::TempDir;

// A handset movie file made by the audio stage from the AMR fixture, behind a small
// video section that starts like a real one.
std::vector<uint8_t> makeHandsetFile(const TempDir& dir) {
    const std::vector<uint8_t> video = {0, 0, 1, 0, 0, 0, 1, 0x20, 0x11, 0x22, 0x33, 0x44};
    JobSettings settings;
    settings.width = 176;
    settings.height = 144;  // 8 frames per second
    if (!testing_util::prepareJobContext(dir.path(), "made", settings, 3, video)) return {};
    testing_util::collectAmrFrames(10);
    ::testing::internal::CaptureStdout();
    runAudioStage(nullptr);
    ::testing::internal::GetCapturedStdout();
    return testing_util::readFile(g_context.outputPath);
}

std::string inspect(const std::string& path, int* exitCode) {
    auto r = runCommand(shellQuote(cliPath()) + " inspect " + shellQuote(path));
    *exitCode = r.exitCode;
    return r.output;
}

std::string lastLine(const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    size_t nl = t.rfind('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
}

TEST(InspectTest, AcceptsOurFile) {
    TempDir dir;
    auto file = makeHandsetFile(dir);
    int code = -1;
    std::string out = inspect(dir.file("made_new.mp4"), &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(lastLine(out), "ok");
    for (const char* line : {"tag: KNLT\n", "video_bytes: 12\n", "frames: 3\n", "frame_rate: 8\n",
                             "width: 176\n", "height: 144\n", "format: 17\n", "channels: 1\n",
                             "sample_rate: 8000\n", "byte_rate: 4055\n", "block_align: 256\n",
                             "samples_per_block: 505\n", "blocks: 2\n", "data_size: 512\n"})
        EXPECT_NE(out.find(line), std::string::npos) << line << out;
}

TEST(InspectTest, RejectsDamagedCopies) {
    TempDir dir;
    const auto good = makeHandsetFile(dir);
    const size_t wav = 24 + 12;
    const struct {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
    } cases[] = {
        {"empty", [](std::vector<uint8_t>& f) { f.clear(); }},
        {"header only, cut", [](std::vector<uint8_t>& f) { f.resize(23); }},
        {"cut in the video", [](std::vector<uint8_t>& f) { f.resize(30); }},
        {"cut in the WAV header", [=](std::vector<uint8_t>& f) { f.resize(wav + 40); }},
        {"last byte missing", [](std::vector<uint8_t>& f) { f.pop_back(); }},
        {"byte appended", [](std::vector<uint8_t>& f) { f.push_back(0); }},
        {"wrong tag", [](std::vector<uint8_t>& f) { f[0] = 'X'; }},
        {"video_bytes off by one", [](std::vector<uint8_t>& f) { f[11] += 1; }},
        {"huge wav_bytes", [](std::vector<uint8_t>& f) { f[4] = 0xFF; }},
        {"RIFF damaged", [=](std::vector<uint8_t>& f) { f[wav] = 'X'; }},
        {"format not 17", [=](std::vector<uint8_t>& f) { f[wav + 20] = 1; }},
        {"stereo", [=](std::vector<uint8_t>& f) { f[wav + 22] = 2; }},
        {"block align", [=](std::vector<uint8_t>& f) { f[wav + 33] = 2; }},
        {"samples per block", [=](std::vector<uint8_t>& f) { f[wav + 38] = 0; }},
        {"data size", [=](std::vector<uint8_t>& f) { f[wav + 57] += 1; }},
        {"RIFF size", [=](std::vector<uint8_t>& f) { f[wav + 4] += 1; }},
        {"no VO start code", [](std::vector<uint8_t>& f) { f[26] = 2; }},
        {"no VOL start code", [](std::vector<uint8_t>& f) { f[31] = 0x30; }},
        {"not a handset file", [](std::vector<uint8_t>& f) { f.assign(5000, 0xAB); }},
    };
    for (const auto& c : cases) {
        auto copy = good;
        c.damage(copy);
        testing_util::writeFile(dir.file("bad.mp4"), copy);
        int code = -1;
        std::string out = inspect(dir.file("bad.mp4"), &code);
        EXPECT_EQ(code, 1) << c.name << "\n" << out;
        EXPECT_EQ(lastLine(out).rfind("invalid: ", 0), 0u) << c.name << "\n" << out;
    }
}

TEST(ExtractTest, WritesBothSectionsThatFfmpegReads) {
    TempDir dir;
    auto file = makeHandsetFile(dir);
    // A missing output directory is made, with its parents.
    auto r = runCommand(shellQuote(cliPath()) + " extract " + shellQuote(dir.file("made_new.mp4")) +
                        " -o " + shellQuote(dir.file("parts/sub")));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(testing_util::fileExists(dir.file("parts/sub/made_new.m4v")));
    EXPECT_TRUE(testing_util::fileExists(dir.file("parts/sub/made_new.wav")));
    r = runCommand(shellQuote(cliPath()) + " extract " + shellQuote(dir.file("made_new.mp4")));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    auto video = testing_util::readFile(dir.file("made_new.m4v"));
    auto wav = testing_util::readFile(dir.file("made_new.wav"));
    EXPECT_EQ(video, std::vector<uint8_t>(file.begin() + 24, file.begin() + 36));
    EXPECT_EQ(wav, std::vector<uint8_t>(file.begin() + 36, file.end()));
    EXPECT_EQ(
        testing_util::ffmpeg("-i " + dir.file("made_new.wav") + " -f s16le " + dir.file("pcm.raw")),
        0);
    EXPECT_EQ(testing_util::fileSize(dir.file("pcm.raw")), 2 * 505 * 2);
}

TEST(CliUsageTest, HelpAndUsageErrors) {
    const struct {
        const char* args;
        int exitCode;
    } cases[] = {
        {"--help", 0},
        {"inspect --help", 0},
        {"extract --help", 0},
        {"", 2},
        {"frobnicate", 2},
        {"inspect", 2},
        {"inspect a b", 2},
        {"extract", 2},
        {"extract -o", 2},
        {"extract --bogus x", 2},
        {"inspect /nonexistent/file", 1},
    };
    for (const auto& c : cases) {
        auto r = runCommand(shellQuote(cliPath()) + " " + c.args + " >/dev/null 2>&1");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
    }
}

}  // namespace
