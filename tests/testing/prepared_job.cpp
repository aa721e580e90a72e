#include "testing/prepared_job.h"

#include <cstdio>

#include "core/job_files.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "testing/test_util.h"

namespace testing_util {

namespace {

// The AMR fixture: the 6-byte "#!AMR\n" magic, then 12.2 kbit/s frames of 32 bytes.
constexpr size_t kAmrMagicBytes = 6;
constexpr uint8_t kAmrFrameBytes = 32;

}  // namespace

bool prepareJobContext(const std::string& dir, const std::string& baseName,
                       const JobSettings& settings, int32_t headerFrames,
                       const std::vector<uint8_t>& video) {
    resetJob();
    applyJobSettings(settings);
    ConversionContext& c = g_context;
    setJobNames(dir + baseName + ".3gp", dir);
    c.moduleDir = dir;
    // The output and the temporary files as if the job had made them, for the test to fill.
    c.outputPath = c.destinationPath;
    c.videoEsPath = dir + baseName + kVideoEsStem + kVideoEsExtension;
    c.pcmPath = dir + baseName + kPcmExtension;
    c.fileTag = buildFileTag();
    c.headerFrames = headerFrames;
    c.output = std::fopen(c.outputPath.c_str(), "wb");
    if (!c.output || !writeHandsetHeader()) return false;
    if (video.empty()) return true;
    if (std::fwrite(video.data(), 1, video.size(), c.output) != video.size()) return false;
    c.videoBytes = static_cast<int32_t>(video.size());
    return true;
}

void collectAmrFrames(int frames) {
    ConversionContext& c = g_context;
    const std::vector<uint8_t> amr = readFile(fixturePath("amr/tone10_122.amr"));
    c.isAac = 0;
    c.amrBuffer.assign(amr.begin() + kAmrMagicBytes, amr.end());
    c.amrBytes = static_cast<uint32_t>(frames) * kAmrFrameBytes;
    c.amrFrames = static_cast<uint32_t>(frames);
}

}  // namespace testing_util
