#include "demux_test_util.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "demux/byte_stream.h"

namespace mp4test {

std::string captureStdout(const std::function<void()>& fn) {
    testing_util::TempDir dir;
    std::string path = dir.file("stdout.txt");
    std::fflush(stdout);
    int saved = dup(1);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (saved < 0 || fd < 0) throw std::runtime_error("cannot redirect stdout");
    dup2(fd, 1);
    close(fd);
    fn();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::vector<uint8_t> bytes = testing_util::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

QuietStdout::QuietStdout() {
    std::fflush(stdout);
    saved_ = dup(1);
    int fd = open("/dev/null", O_WRONLY);
    dup2(fd, 1);
    close(fd);
}

QuietStdout::~QuietStdout() {
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
}

TreeFile::TreeFile(const std::vector<uint8_t>& bytes, const DemuxHooks* hooks) {
    path_ = dir_.file("movie.mp4");
    testing_util::writeFile(path_, bytes);
    if (fs_Open(path_.c_str(), &stream_) != 0) throw std::runtime_error("fs_Open failed");
    root_ = MP4_ReadRoot(stream_, hooks);
}

TreeFile::~TreeFile() {
    MP4_FreeBox(root_);
    if (stream_) fs_Close(stream_);
}

}  // namespace mp4test
