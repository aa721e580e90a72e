#include "demux_test_util.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "core/context.h"
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

void resetContext() {
    ConversionContext& c = g_context;
    if (c.output) std::fclose(c.output);
    if (c.pcmFile) std::fclose(c.pcmFile);
    c.output = nullptr;
    c.pcmFile = nullptr;
    c.success = 1;
    c.isAac = 0;
    c.amrBuffer.clear();
    c.amrBytes = 0;
    c.amrFrameSize = 0;
    c.videoFrames = 0;
    c.audioFrames = 0;
    c.videoTotalBytes = 0;
    c.videoBitRate = 0;
    c.videoFrameRate = 0;
    c.videoAverageFrameRate = 0;
    c.frameRateDeviation = 0;
    c.pcmPath = "/nonexistent-dir/none.pcm";
    c.moduleDir.clear();
    c.baseName.clear();
}

}  // namespace mp4test
