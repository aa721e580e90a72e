// kinolite-cli convert of phone-sized sources (720p and 1080p H.264, 800x480 MPEG-4 simple
// profile, a 544x960 portrait clip), made by ffmpeg when the suite first needs them: every
// handset size converts and looks like ffmpeg's own area-averaged reduction of the source;
// a 1080p job keeps its temporary files and its memory small while it runs; the pad and crop
// fits place the picture as they say; probe tells the aspect ratio and the fits; larger
// margins are taken for larger pictures only.

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "e2e_util.h"
#include "platform/platform.h"
#include "testing/library_sources.h"

namespace {

using testing_util::shellQuote;
using testing_util::TempDir;

// The clips: 12 frames at 8 fps (every frame is kept at every handset size) with a tone.
constexpr int kClipFrames = 12;
constexpr char kClipPicture[] = "testsrc2=rate=8:duration=1.5:size=";
constexpr char kClipTone[] = "sine=frequency=660:duration=1.5:sample_rate=16000";

struct HdSource {
    const char* name;
    int width, height;
    const char* video;  // ffmpeg's options for the video
};

const HdSource kH264_720p = {"h264_720p.mp4", 1280, 720,
                             "-c:v libx264 -profile:v high -preset ultrafast"};
const HdSource kH264_1080p = {"h264_1080p.mp4", 1920, 1080,
                              "-c:v libx264 -profile:v high -preset ultrafast"};
const HdSource kMpeg4_800x480 = {"mpeg4_sp_800x480.mp4", 800, 480, "-c:v mpeg4 -bf 0 -q:v 3"};
const HdSource kPortrait = {"mpeg4_sp_portrait_544x960.mp4", 544, 960, "-c:v mpeg4 -bf 0 -q:v 3"};
const HdSource kSources[] = {kH264_720p, kH264_1080p, kMpeg4_800x480, kPortrait};

std::unique_ptr<TempDir> g_clips;
std::map<std::string, std::string> g_made;

// The clip's path, made on first use; empty (and the test failed) when ffmpeg cannot make it.
std::string clip(const HdSource& s) {
    auto made = g_made.find(s.name);
    if (made != g_made.end()) return made->second;
    if (!g_clips) g_clips = std::make_unique<TempDir>();
    const std::string path = g_clips->file(s.name);
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    if (testing_util::ffmpeg("-f lavfi -i " + std::string(kClipPicture) + size + " -f lavfi -i " +
                             kClipTone + " " + s.video +
                             " -pix_fmt yuv420p -c:a aac -b:a 32k -ac 1 -shortest " +
                             shellQuote(path)) != 0) {
        ADD_FAILURE() << "ffmpeg could not make " << s.name;
        return "";
    }
    g_made[s.name] = path;
    return path;
}

// A copy of the clip under a name of the running test, in `dir`.
std::string sourceIn(const TempDir& dir, const HdSource& s, const std::string& tag = "") {
    const std::string made = clip(s);
    if (made.empty()) return "";
    const std::string path = dir.file(e2e::uniqueName(tag) + ".mp4");
    testing_util::writeFile(path, testing_util::readFile(made));
    return path;
}

size_t frameBytes(int width, int height) {
    return static_cast<size_t>(width) * height * 3 / 2;
}

// The handset file's video, as ffmpeg plays it: raw 4:2:0 frames.
std::vector<uint8_t> handsetPictures(const TempDir& dir, const std::string& handset) {
    EXPECT_EQ(e2e::cli("extract " + shellQuote(handset) + " -o " + shellQuote(dir.path())).exitCode,
              0);
    const std::string m4v = dir.path() + e2e::baseNameOf(handset) + ".m4v";
    const std::string yuv = m4v + ".yuv";
    EXPECT_EQ(testing_util::ffmpeg("-i " + shellQuote(m4v) + " -f rawvideo -pix_fmt yuv420p " +
                                   shellQuote(yuv)),
              0);
    return testing_util::readFile(yuv);
}

// Converts `source` with `options`; returns the handset file (empty when the job failed).
std::string convert(const TempDir& dir, const std::string& source, const std::string& options) {
    const auto r = e2e::cli("convert -q -y " + options + " -o " + shellQuote(dir.path()) + " " +
                            shellQuote(source));
    const std::string handset = dir.path() + e2e::baseNameOf(source) + "_new.mp4";
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "done: " + handset + "\n");
    EXPECT_EQ(e2e::leftovers(source), std::vector<std::string>());
    return r.exitCode == 0 ? handset : "";
}

struct SizeCase {
    HdSource source;
    const char* size;
    int width, height;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.source.name << " " << c.size;
}

std::vector<SizeCase> sizeCases() {
    const struct {
        const char* text;
        int width, height;
    } sizes[] = {{"128x96", 128, 96},
                 {"128x128", 128, 128},
                 {"160x96", 160, 96},
                 {"160x128", 160, 128},
                 {"176x144", 176, 144}};
    std::vector<SizeCase> cases;
    for (const HdSource& s : kSources)
        for (const auto& size : sizes) cases.push_back({s, size.text, size.width, size.height});
    return cases;
}

class ConvertHdSizeTest : public ::testing::TestWithParam<SizeCase> {};

// Each handset picture is compared with the frame of ffmpeg's area reduction it matches
// best (the frame-rate conversion decides which source frames are kept): 30 dB on average
// over the pictures. A linear filter alone, aliasing on the test pattern's fine lines and
// letters, stays below that at the largest reductions.
TEST_P(ConvertHdSizeTest, LooksLikeFfmpegsAreaReduction) {
    const SizeCase& c = GetParam();
    TempDir dir;
    const std::string source = sourceIn(dir, c.source);
    ASSERT_FALSE(source.empty());
    const std::string handset = convert(dir, source, std::string("-s ") + c.size);
    ASSERT_FALSE(handset.empty());
    const std::vector<uint8_t> ours = handsetPictures(dir, handset);
    const std::string reference = dir.file("reference.yuv");
    ASSERT_EQ(
        testing_util::ffmpeg("-i " + shellQuote(source) + " -map 0:v -vf scale=" +
                             std::to_string(c.width) + ":" + std::to_string(c.height) +
                             ":flags=area -f rawvideo -pix_fmt yuv420p " + shellQuote(reference)),
        0);
    const std::vector<uint8_t> theirs = testing_util::readFile(reference);
    const size_t bytes = frameBytes(c.width, c.height);
    ASSERT_GT(ours.size(), 0u);
    ASSERT_EQ(ours.size() % bytes, 0u);
    ASSERT_EQ(theirs.size(), kClipFrames * bytes);
    const size_t pictures = ours.size() / bytes;
    EXPECT_GE(pictures, static_cast<size_t>(kClipFrames) / 2);
    double sum = 0;
    for (size_t i = 0; i < pictures; ++i) {
        double best = 0;
        for (size_t j = 0; j < kClipFrames; ++j)
            best = std::max(best, testing_util::psnr(&ours[i * bytes], &theirs[j * bytes], bytes));
        sum += best;
    }
    EXPECT_GE(sum / static_cast<double>(pictures), 30.0) << "average PSNR in dB";
}

INSTANTIATE_TEST_SUITE_P(Clips, ConvertHdSizeTest, ::testing::ValuesIn(sizeCases()),
                         [](const ::testing::TestParamInfo<SizeCase>& i) {
                             std::string n = std::string(i.param.source.name) + "_" + i.param.size;
                             n = n.substr(0, n.find('.')) + n.substr(n.rfind('_'));
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

// The files in `dirs` whose names start with `base`, and their sizes.
std::map<std::string, int64_t> filesOf(const std::vector<std::string>& dirs,
                                       const std::string& base) {
    std::map<std::string, int64_t> found;
    for (const std::string& dir : dirs) {
        DIR* d = opendir(dir.c_str());
        if (!d) continue;
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.rfind(base, 0) != 0) continue;
            struct stat st;
            if (stat((dir + name).c_str(), &st) == 0) found[dir + name] = st.st_size;
        }
        closedir(d);
    }
    return found;
}

// A 1080p job, watched while it runs: every file it makes beside the source, in its output
// folder, beside kinolite-cli, in the current folder and in the private temporary folder
// stays below a few pictures of the source's size, and the job's processes together stay
// under 100 MB.
TEST(ConvertHdTest, A1080pJobKeepsDiskAndMemorySmall) {
    TempDir dir;
    const std::string source = sourceIn(dir, kH264_1080p);
    ASSERT_FALSE(source.empty());
    const std::string out = dir.path() + "out/";
    ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::vector<std::string> dirs = {dir.path(), out,
                                           platform::directoryPart(testing_util::cliPath()),
                                           std::string(cwd) + "/", platform::privateTempDir()};
    const std::string base = e2e::baseNameOf(source);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(testing_util::cliPath().c_str(), "kinolite-cli", "convert", "-q", "-y", "-s",
              "176x144", "-o", out.c_str(), source.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int64_t largest = 0;
    std::string largestName;
    int status = 0;
    struct rusage usage {};
    for (;;) {
        for (const auto& f : filesOf(dirs, base)) {
            if (f.first == source || f.second <= largest) continue;
            largest = f.second;
            largestName = f.first;
        }
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        ASSERT_GE(done, 0);
        if (done == pid) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(testing_util::fileExists(out + base + "_new.mp4"));
    EXPECT_GT(largest, 0);  // the watch saw the job's files
    constexpr int64_t kFewPictures = 4;
    EXPECT_LT(largest, kFewPictures * static_cast<int64_t>(frameBytes(1920, 1080))) << largestName;
    // ru_maxrss of the job's largest process, in kB. Under AddressSanitizer it measures the
    // sanitizer's shadow memory and quarantine more than the job.
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(usage.ru_maxrss, 100 * 1024) << "peak memory in kB";
#endif
}

// The average of a column range of one plane over every picture.
double columnMean(const std::vector<uint8_t>& pictures, int width, int height, int plane,
                  int firstColumn, int endColumn) {
    const size_t bytes = frameBytes(width, height);
    const int shift = plane == 0 ? 0 : 1;
    const int pw = width >> shift, ph = height >> shift;
    const size_t offset = plane == 0 ? 0
                          : plane == 1
                              ? static_cast<size_t>(width) * height
                              : static_cast<size_t>(width) * height + static_cast<size_t>(pw) * ph;
    double sum = 0;
    size_t n = 0;
    for (size_t at = 0; at + bytes <= pictures.size(); at += bytes)
        for (int y = 0; y < ph; ++y)
            for (int x = firstColumn >> shift; x < endColumn >> shift; ++x, ++n)
                sum += pictures[at + offset + static_cast<size_t>(y) * pw + x];
    return n ? sum / static_cast<double>(n) : -1;
}

// The portrait clip at 176x144: pad puts it between black bars (the outer two macroblock
// columns at each side are video black, what ffmpeg shows as black), with the picture in
// the middle; crop and stretch fill the whole width.
TEST(ConvertHdTest, PadGivesBarsCropDoesNot) {
    TempDir dir;
    const struct {
        const char* fit;
        bool bars;
    } cases[] = {{"pad", true}, {"crop", false}, {"stretch", false}};
    for (const auto& c : cases) {
        const std::string source = sourceIn(dir, kPortrait, c.fit);
        ASSERT_FALSE(source.empty());
        const std::string handset = convert(dir, source, std::string("-s 176x144 --fit ") + c.fit);
        ASSERT_FALSE(handset.empty()) << c.fit;
        const std::vector<uint8_t> pictures = handsetPictures(dir, handset);
        ASSERT_GE(pictures.size(), frameBytes(176, 144)) << c.fit;
        const double middle = columnMean(pictures, 176, 144, 0, 64, 112);
        EXPECT_GT(middle, 60) << c.fit << ": the picture is in the middle";
        for (const auto& edge : {std::make_pair(0, 32), std::make_pair(144, 176)}) {
            const double luma = columnMean(pictures, 176, 144, 0, edge.first, edge.second);
            if (c.bars) {
                EXPECT_NEAR(luma, 16, 2) << c.fit << " columns " << edge.first;
                EXPECT_NEAR(columnMean(pictures, 176, 144, 1, edge.first, edge.second), 128, 2);
                EXPECT_NEAR(columnMean(pictures, 176, 144, 2, edge.first, edge.second), 128, 2);
            } else {
                EXPECT_GT(luma, 40) << c.fit << " columns " << edge.first;
            }
        }
    }
}

// probe tells the aspect ratio and what each fit does at the size it is given.
TEST(ConvertHdTest, ProbeTellsAspectRatioAndFits) {
    const std::string source = clip(kPortrait);
    ASSERT_FALSE(source.empty());
    const auto r = e2e::cli("probe -s 176x144 " + shellQuote(source));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    for (const char* line :
         {"  width: 544\n", "  height: 960\n", "  aspect ratio: 17:30 (0.57)\n",
          "  fit stretch: whole picture to 176x144, 2.16 times as wide\n",
          "  fit pad: whole picture to 82x144 at 46,0 of 176x144, black bars left and right\n",
          "  fit crop: 544x446 of the picture to 176x144, 514 rows cut at the top and bottom\n",
          "  verdict: convertible\n"})
        EXPECT_NE(r.output.find(line), std::string::npos) << line << r.output;
    const auto json = e2e::cli("probe --json " + shellQuote(clip(kH264_720p)));
    EXPECT_NE(json.output.find("\"aspect_ratio\":\"16:9 (1.78)\""), std::string::npos)
        << json.output;
    EXPECT_NE(json.output.find("\"fit_pad\":\"whole picture to 128x72 at 0,12 of 128x96, black "
                               "bars above and below\""),
              std::string::npos)
        << json.output;
    // A picture larger than the converter takes: refused, with the size its track declares.
    const std::string large = testing_util::librarySource("h264_wide_1936x1088_aac.mp4");
    ASSERT_FALSE(large.empty());
    const auto refused = e2e::cli("probe " + shellQuote(large));
    EXPECT_EQ(refused.exitCode, 1);
    for (const char* line : {"  width: 1936\n", "  height: 1088\n",
                             "  verdict: not convertible: the picture is larger than 1920x1088 "
                             "(1936x1088), not supported\n"})
        EXPECT_NE(refused.output.find(line), std::string::npos) << line << refused.output;
    EXPECT_EQ(e2e::leftovers(large), std::vector<std::string>());
}

// Margins beyond the dialogs' 60 and 40: taken for a source wider than 352 pixels up to a
// quarter of its width and height; beyond that, and for smaller sources (with the
// dialog's message), refused before anything is converted.
TEST(ConvertHdTest, WideMarginsForWidePicturesOnly) {
    TempDir dir;
    const std::string wide = sourceIn(dir, kMpeg4_800x480, "wide");
    ASSERT_FALSE(wide.empty());
    // A quarter of 800x480: 200 and 120.
    EXPECT_FALSE(convert(dir, wide, "-s 176x144 -c 200,150,120,100").empty());

    const std::string other = sourceIn(dir, kMpeg4_800x480, "other");
    const std::string qcif = e2e::copySource(dir, "demux/mp4v_amr.3gp", "qcif");
    const struct {
        const char* name;
        std::string source;
        const char* crop;
        const char* message;
    } refused[] = {
        {"left_beyond_a_quarter", other, "201,0,0,0",
         "crop margins of a 800x480 picture may be up to a quarter of its width and height (200 "
         "at the left and right, 120 at the top and bottom)"},
        {"bottom_beyond_a_quarter", other, "0,0,0,121", "may be up to a quarter"},
        {"qcif_left", qcif, "61,0,0,0", "Не больше 60!"},
        {"qcif_top", qcif, "0,0,41,0", "Не больше 40!"},
    };
    for (const auto& c : refused) {
        const auto r = e2e::cli(std::string("convert -q -y -s 176x144 -c ") + c.crop + " -o " +
                                    shellQuote(dir.path()) + " " + shellQuote(c.source),
                                true);
        EXPECT_EQ(r.exitCode, 2) << c.name << ": " << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.name << ": " << r.output;
        EXPECT_EQ(e2e::leftovers(c.source), std::vector<std::string>()) << c.name;
        EXPECT_FALSE(testing_util::fileExists(dir.path() + e2e::baseNameOf(c.source) + "_new.mp4"));
    }
}

}  // namespace
