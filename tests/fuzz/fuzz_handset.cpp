// fuzz_handset: the bytes as a handset movie file, through the checker behind
// `kinolite-cli inspect` and `extract`. A file it accepts has both sections inside the
// file: extract copies them out by the offsets of the report.

#include <vector>

#include "fuzz_support.h"
#include "pipeline/handset_file.h"
#include "targets.h"

namespace fuzz {

int handsetOne(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    const HandsetFileReport report = checkHandsetFile(file);
    if (!report.ok) {
        if (report.problem.empty()) fail("a file was refused without a reason");
        return 0;
    }
    const uint64_t videoEnd = uint64_t(report.videoOffset) + report.videoBytes;
    const uint64_t wavEnd = uint64_t(report.wavOffset) + report.wavBytes;
    if (videoEnd > size || wavEnd > size || report.wavOffset < videoEnd)
        fail("sections outside the file: video %u+%u, wav %u+%u of %zu", report.videoOffset,
             report.videoBytes, report.wavOffset, report.wavBytes, size);
    // Copied the way extract copies them, so that a reading past the file shows.
    std::vector<uint8_t> video(file.begin() + report.videoOffset, file.begin() + videoEnd);
    std::vector<uint8_t> wav(file.begin() + report.wavOffset, file.begin() + wavEnd);
    return video.size() + wav.size() > size ? 1 : 0;
}

}  // namespace fuzz
