#pragma once
// Helpers shared by the test suites.

#include <cstdint>
#include <string>
#include <vector>

namespace testing_util {

// A fresh directory under the build tree's temporary area, removed with its contents when
// the object dies. path() ends in '/'.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + name; }

  private:
    std::string path_;
};

// Result of running a shell command.
struct CommandResult {
    int exitCode = -1;   // exit status, or -1 when it did not exit normally
    std::string output;  // standard output (and standard error when merged)
};

// Runs `command` with /bin/sh; captures standard output, and standard error too when
// mergeStderr is set.
CommandResult runCommand(const std::string& command, bool mergeStderr = false);

// Quotes a string for the shell.
std::string shellQuote(const std::string& s);

// The kinolite-cli executable of this build.
std::string cliPath();

// A committed fixture file.
std::string fixturePath(const std::string& name);

bool fileExists(const std::string& path);
std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
int64_t fileSize(const std::string& path);

// Runs ffmpeg quietly with the given arguments (after "-hide_banner -loglevel error -y");
// returns its exit code. Tests that need ffmpeg fail, never skip, when it is missing.
int ffmpeg(const std::string& args);

// The seed of a randomised case: the value of the environment variable KINOLITE_TEST_SEED
// when it is set (to repeat a failing run, or to try other inputs), otherwise `fixed`.
unsigned testSeed(unsigned fixed);

// "seed N (KINOLITE_TEST_SEED=N repeats it)", for the trace of a randomised case.
std::string seedTrace(unsigned seed);

// Peak signal-to-noise ratio of two 8-bit sample arrays of the same length; 99 dB when equal.
double psnr(const uint8_t* a, const uint8_t* b, size_t n);

}  // namespace testing_util
