#pragma once
// The context as preparation leaves a job, for the tests of the stages after it.

#include <cstdint>
#include <string>
#include <vector>

#include "core/context.h"

namespace testing_util {

// Starts a job as the job driver does (resetJob, then the settings), names it `baseName`
// with every file in `dir` (the program's directory included), and leaves it as
// preparation does: the output open after its first header (`headerFrames` frames); the
// bytes of `video`, when there are any, appended as the video stage appends its stream.
// False when the output cannot be made.
bool prepareJobContext(const std::string& dir, const std::string& baseName,
                       const JobSettings& settings, int32_t headerFrames,
                       const std::vector<uint8_t>& video = {});

// Collects the first `frames` 12.2 kbit/s AMR frames of the AMR fixture, as the stream
// dump collects an AMR source's frames during preparation.
void collectAmrFrames(int frames);

}  // namespace testing_util
