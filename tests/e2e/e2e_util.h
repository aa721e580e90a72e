#pragma once
// Helpers of the end-to-end tests: running kinolite-cli convert on a copy of a source with
// a name unique to the test, probing the results with ffprobe, and finding leftovers.

#include <string>
#include <vector>

#include "testing/test_util.h"

namespace e2e {

// A name unique to the running test case (and `tag`), usable as a file base name.
std::string uniqueName(const std::string& tag = "");

// Copies a fixture (or bytes) into `dir` as <uniqueName(tag)><extension>.
std::string copySource(const testing_util::TempDir& dir, const std::string& fixture,
                       const std::string& tag = "");
std::string writeSource(const testing_util::TempDir& dir, const std::vector<uint8_t>& bytes,
                        const std::string& extension, const std::string& tag = "");

// Runs kinolite-cli with the arguments (already quoted), standard input from /dev/null.
testing_util::CommandResult cli(const std::string& args, bool mergeStderr = false);

// The files a job on `source` may leave behind while it runs: the video elementary-stream
// file beside kinolite-cli, the decoded-pictures file in the current directory and the
// PCM file beside the source. Returns those that exist.
std::vector<std::string> leftovers(const std::string& source);

// ffprobe: number of video frames decoded from a file; -1 when it cannot be read.
int probeFrames(const std::string& path);
// ffprobe: duration in seconds of the first stream of `kind` ("a" or "v"), or of the
// container when kind is empty; -1 when unknown.
double probeDuration(const std::string& path, const std::string& kind = "");

std::string baseNameOf(const std::string& path);

}  // namespace e2e
