#pragma once
// Helpers of the demultiplexer tests: capturing standard output and reading a box tree
// from bytes.

#include <functional>
#include <string>
#include <vector>

#include "demux/box.h"
#include "testing/test_util.h"

struct ByteStream;
struct DemuxHooks;

namespace mp4test {

// Runs fn with standard output sent to a file and returns what it printed.
std::string captureStdout(const std::function<void()>& fn);

// Sends standard output to /dev/null while it lives.
class QuietStdout {
  public:
    QuietStdout();
    ~QuietStdout();
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

  private:
    int saved_;
};

// A file holding `bytes`, opened as a byte stream, with its box tree read (reporting to
// `hooks` when given).
class TreeFile {
  public:
    explicit TreeFile(const std::vector<uint8_t>& bytes, const DemuxHooks* hooks = nullptr);
    ~TreeFile();
    TreeFile(const TreeFile&) = delete;
    TreeFile& operator=(const TreeFile&) = delete;
    Mp4Box* root() const { return root_; }
    ByteStream* stream() const { return stream_; }
    const std::string& path() const { return path_; }

  private:
    testing_util::TempDir dir_;
    std::string path_;
    ByteStream* stream_ = nullptr;
    Mp4Box* root_ = nullptr;
};

}  // namespace mp4test
