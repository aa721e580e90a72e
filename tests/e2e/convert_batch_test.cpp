// Batches of kinolite-cli convert: temporary files that never meet a user's file or
// another job's, interruption, and -j N against -j 1.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "core/job_files.h"
#include "e2e_util.h"
#include "platform/platform.h"

extern char** environ;

namespace {

// The handset file's header, written before any section.
constexpr off_t kHandsetHeaderBytes = 24;

using testing_util::fileExists;
using testing_util::readFile;
using testing_util::shellQuote;
using testing_util::TempDir;

// A job's output in `dir`.
std::string outputIn(const TempDir& dir, const std::string& source) {
    return dir.path() + e2e::baseNameOf(source) + "_new.mp4";
}

std::string convertArgs(const TempDir& out, const std::vector<std::string>& sources) {
    std::string args = "convert -y -o " + shellQuote(out.path());
    for (const std::string& s : sources) args += " " + shellQuote(s);
    return args;
}

// Files named exactly as the job's temporary files were named before they were made
// unique, and a PCM file beside the source, all the user's: they keep their bytes.
TEST(ConvertBatchTest, UserFilesOfTheTemporaryNamesSurvive) {
    TempDir dir;
    const std::string source = e2e::copySource(dir, "demux/mp4v_aac_s44k.mp4");
    const std::string base = e2e::baseNameOf(source);
    const std::vector<std::string> users = {
        dir.path() + base + ".pcm",
        platform::directoryPart(testing_util::cliPath()) + base + "videoxy_122344565fhr1.cmp",
        base + "videoxy_122344565fhr1.yuv",  // in the current directory
    };
    for (const std::string& u : users) testing_util::writeFile(u, {'m', 'i', 'n', 'e'});
    auto r = e2e::cli(convertArgs(dir, {source}));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    for (const std::string& u : users) {
        EXPECT_EQ(readFile(u), (std::vector<uint8_t>{'m', 'i', 'n', 'e'})) << u;
        platform::removeFile(u);
    }
    EXPECT_EQ(e2e::leftovers(source), std::vector<std::string>());
}

// Two sources of one base name in two folders, converted by two processes at once, give
// what each gives alone.
TEST(ConvertBatchTest, SameNamesInTwoProcessesAtOnce) {
    TempDir a, b, aloneA, aloneB;
    const std::string name = e2e::uniqueName() + ".3gp";
    const std::string sourceA = a.file(name), sourceB = b.file(name);
    testing_util::writeFile(sourceA, readFile(testing_util::fixturePath("demux/mp4v_amr.3gp")));
    testing_util::writeFile(sourceB, readFile(testing_util::fixturePath("demux/h263_amr102.3gp")));
    const std::string cli = shellQuote(testing_util::cliPath()) + " ";
    auto together = testing_util::runCommand(cli + convertArgs(a, {sourceA}) + " & " + cli +
                                             convertArgs(b, {sourceB}) + "; wait");
    ASSERT_EQ(e2e::cli(convertArgs(aloneA, {sourceA})).exitCode, 0);
    ASSERT_EQ(e2e::cli(convertArgs(aloneB, {sourceB})).exitCode, 0);
    EXPECT_EQ(readFile(outputIn(a, sourceA)), readFile(outputIn(aloneA, sourceA)))
        << together.output;
    EXPECT_EQ(readFile(outputIn(b, sourceB)), readFile(outputIn(aloneB, sourceB)));
    EXPECT_NE(readFile(outputIn(a, sourceA)), readFile(outputIn(b, sourceB)));
}

// -j 2 over a batch with a failing source and one whose frame rate is irregular gives the
// same files and the same result lines (in another order, perhaps) as -j 1.
TEST(ConvertBatchTest, TwoWorkersEqualOne) {
    TempDir in;
    std::vector<std::string> sources;
    for (const char* f : {"demux/mp4v_amr.3gp", "demux/no_audio.3gp", "demux/mp4v_aac_drift.mp4",
                          "demux/h263_amr102.3gp", "demux/mp4v_aac_m16k.mp4"})
        sources.push_back(e2e::copySource(in, f, "_" + e2e::baseNameOf(f)));
    auto sortedLines = [](std::string text, const std::string& dir) {
        std::vector<std::string> lines;
        for (size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1)) {
            std::string line = text.substr(0, end);
            const size_t at = line.find(dir);
            if (at != std::string::npos) line.erase(at, dir.size());
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    for (const char* drift : {"-y", "-n"}) {
        TempDir one, two;
        auto args = [&](const TempDir& out, const char* jobs) {
            return std::string("convert ") + jobs + " " + drift + " -o " + shellQuote(out.path()) +
                   " " + shellQuote(sources[0]) + " " + shellQuote(sources[1]) + " " +
                   shellQuote(sources[2]) + " " + shellQuote(sources[3]) + " " +
                   shellQuote(sources[4]);
        };
        auto r1 = e2e::cli(args(one, "-j 1"));
        auto r2 = e2e::cli(args(two, "-j 2"));
        EXPECT_EQ(r1.exitCode, 1) << drift;
        EXPECT_EQ(r2.exitCode, 1) << drift;
        EXPECT_EQ(sortedLines(r1.output, one.path()), sortedLines(r2.output, two.path()))
            << r1.output << r2.output;
        for (const std::string& s : sources) {
            EXPECT_EQ(fileExists(outputIn(one, s)), fileExists(outputIn(two, s))) << s << drift;
            EXPECT_EQ(readFile(outputIn(one, s)), readFile(outputIn(two, s))) << s << drift;
        }
        EXPECT_EQ(fileExists(outputIn(one, sources[2])), std::string(drift) == "-y");
    }
}

// Two jobs of one batch that would write one file (letter case aside) stop the batch
// before anything is converted, naming both sources.
TEST(ConvertBatchTest, CollidingDestinationsStopTheBatch) {
    TempDir a, b, out;
    const std::string name = e2e::uniqueName();
    const std::string lower = a.file(name + ".3gp"), upper = b.file(name + "X.mp4");
    testing_util::writeFile(lower, readFile(testing_util::fixturePath("demux/mp4v_amr.3gp")));
    // The same name but for its case: name + "X" against name + "x".
    const std::string other = b.file(name + "x.mp4");
    testing_util::writeFile(other, readFile(testing_util::fixturePath("demux/mp4v_amr.3gp")));
    testing_util::writeFile(upper, readFile(testing_util::fixturePath("demux/mp4v_amr.3gp")));
    const std::string dest = out.path() + "sub/";
    auto r = e2e::cli("convert -o " + shellQuote(dest) + " " + shellQuote(lower) + " " +
                          shellQuote(other) + " " + shellQuote(upper),
                      true);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find(other + " and " + upper + " both write"), std::string::npos)
        << r.output;
    EXPECT_FALSE(fileExists(dest));
}

// An earlier output survives byte for byte a re-conversion that fails (a truncated source,
// a folder that takes no file) and is replaced by one that is done.
TEST(ConvertBatchTest, AnEarlierOutputIsReplacedOnlyWhenTheJobIsDone) {
    TempDir dir;
    const std::vector<uint8_t> movie = readFile(testing_util::fixturePath("demux/mp4v_amr.3gp"));
    const std::string source = e2e::writeSource(dir, movie, ".3gp");
    const std::string output = outputIn(dir, source);
    const std::vector<uint8_t> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    testing_util::writeFile(output, earlier);

    testing_util::writeFile(source, std::vector<uint8_t>(movie.begin(), movie.begin() + 2000));
    auto failed = e2e::cli(convertArgs(dir, {source}));
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.output.rfind("failed: " + output + ": ", 0), 0u) << failed.output;
    EXPECT_EQ(readFile(output), earlier);

    testing_util::writeFile(source, movie);
    auto done = e2e::cli(convertArgs(dir, {source}));
    EXPECT_EQ(done.exitCode, 0) << done.output;
    EXPECT_EQ(e2e::cli("inspect " + shellQuote(output)).exitCode, 0);
    EXPECT_EQ(testing_util::jobFilesNamed(dir.path() + e2e::baseNameOf(source) + "_new", ".mp4"),
              std::vector<std::string>());

    // /proc/self/ takes no new file, not even from root.
    auto refused = e2e::cli("convert -o /proc/self/ " + shellQuote(source));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.output.rfind("failed: /proc/self/" + e2e::baseNameOf(source) +
                                       "_new.mp4: cannot create a file in /proc/self/: ",
                                   0),
              0u)
        << refused.output;
    EXPECT_EQ(e2e::leftovers(source), std::vector<std::string>());
}

// Starts kinolite-cli with the arguments, standard output into `log`; returns its pid.
pid_t spawnCli(const std::vector<std::string>& args, const std::string& log) {
    std::vector<std::string> all = {testing_util::cliPath()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct SignalCase {
    const char* name;
    int signal;
    // The moment to send it, seen from the files of the running job (the second source).
    std::function<bool(const std::string& source)> moment;
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

// Whether the running job's output (written under its tagged name while the job runs) holds
// more than its header: the encoder has begun writing the video section.
bool videoBeingWritten(const std::string& source) {
    const std::string stem = platform::directoryPart(source) + e2e::baseNameOf(source) + "_new";
    for (const std::string& f : testing_util::jobFilesNamed(stem, ".mp4")) {
        struct stat st {};
        if (stat(f.c_str(), &st) == 0 && st.st_size > kHandsetHeaderBytes) return true;
    }
    return false;
}

bool demultiplexing(const std::string& source) {
    // The stream file exists while the video has not been coded yet.
    return !e2e::leftovers(source).empty() && !videoBeingWritten(source);
}

bool codingVideo(const std::string& source) {
    return videoBeingWritten(source);
}

class ConvertSignalTest : public ::testing::TestWithParam<SignalCase> {};

// A batch of a short source and the five-second sample, stopped while the sample's job
// runs: exit 130, the first output stays, no temporary file and no partial output.
TEST_P(ConvertSignalTest, StopsTheJobAndRemovesItsFiles) {
    const SignalCase& c = GetParam();
    TempDir dir;
    const std::string first = e2e::copySource(dir, "demux/mp4v_amr.3gp", "_first");
    const std::string second = e2e::writeSource(
        dir, readFile(std::string(KINOLITE_SOURCE_DIR) + "/samples/sample.3gp"), ".3gp", "_second");
    const std::string log = dir.file("out.txt");
    // An earlier output of the interrupted job's name stays as it was.
    const std::vector<uint8_t> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    testing_util::writeFile(outputIn(dir, second), earlier);
    const pid_t pid = spawnCli(
        {"convert", "-j", "1", "-y", "-s", "176x144", "-o", dir.path(), first, second}, log);
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!c.moment(second) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    ASSERT_EQ(kill(pid, c.signal), 0);
    const int exit = waitExit(pid);
    const std::vector<uint8_t> bytes = readFile(log);
    const std::string output(bytes.begin(), bytes.end());
    EXPECT_EQ(exit, 130) << output;
    EXPECT_EQ(output,
              "done: " + outputIn(dir, first) + "\ninterrupted: " + outputIn(dir, second) + "\n");
    EXPECT_TRUE(fileExists(outputIn(dir, first)));
    EXPECT_EQ(readFile(outputIn(dir, second)), earlier);
    EXPECT_EQ(testing_util::jobFilesNamed(dir.path() + e2e::baseNameOf(second) + "_new", ".mp4"),
              std::vector<std::string>());
    EXPECT_EQ(e2e::leftovers(second), std::vector<std::string>());
}

INSTANTIATE_TEST_SUITE_P(
    Moments, ConvertSignalTest,
    ::testing::Values(SignalCase{"int_demultiplexing", SIGINT, demultiplexing},
                      SignalCase{"term_demultiplexing", SIGTERM, demultiplexing},
                      SignalCase{"int_video", SIGINT, codingVideo},
                      SignalCase{"term_video", SIGTERM, codingVideo},
                      SignalCase{"hup_video", SIGHUP, codingVideo}),
    [](const ::testing::TestParamInfo<SignalCase>& i) { return std::string(i.param.name); });

}  // namespace
