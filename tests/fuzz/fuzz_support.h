#pragma once
// What every fuzz target shares: a private working directory per process, the source
// bytes written there under a name of this process, and the checks after each input that
// the job left no file and no open descriptor behind. A failed check prints what it found
// and aborts, so that libFuzzer keeps the input.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace fuzz {

// Creates the private working directory ($KINOLITE_FUZZ_WORKDIR, else $TMPDIR or /tmp, plus
// "kinolite-fuzz-XXXXXX/"), enters it and makes it TMPDIR, so that the current directory,
// the source's directory, the destination and the private temporary directory of the
// library are all this process's own. With `quietTrace`, standard output (the pipeline's
// trace) goes to /dev/null unless KINOLITE_FUZZ_VERBOSE is set. The first call counts;
// the directory is removed at exit.
void setUpProcess(bool quietTrace = true);

// The working directory, ending in '/'.
const std::string& workDir();

// A base name no other process uses: the names of files the job puts in shared
// directories (the program's directory) hold it.
const std::string& jobBaseName();

// Writes the bytes to workDir() + jobBaseName() + extension and returns that path.
std::string writeInput(const uint8_t* data, size_t size, const std::string& extension);
void writeFile(const std::string& path, const uint8_t* data, size_t size);

// Prints the message on standard error and aborts.
[[noreturn]] void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Taken before an input runs; check() afterwards aborts when a file descriptor stayed open
// or a file appeared in the working directory (at any depth) or, named after the job, in
// the program's directory.
class LeakWatch {
  public:
    LeakWatch();
    // `keep` lists files the caller removes itself afterwards (the input).
    void check(const std::vector<std::string>& keep = {}) const;

  private:
    std::set<int> fds_;
    std::set<std::string> files_;
};

// The same state a new process would start the next job from: the context's open files
// are closed and its per-job fields cleared.
void resetJobState();

// Closes and removes what a successful preparation leaves for the video stage (the
// output, the video elementary-stream file, the PCM file).
void discardPreparedJob();

// Reads a whole file; empty when it cannot be read.
std::vector<uint8_t> readFile(const std::string& path);
// The size of a file in bytes, -1 when it does not exist.
int64_t fileSize(const std::string& path);

}  // namespace fuzz
