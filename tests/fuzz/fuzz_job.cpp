// fuzz_job: the bytes as a source movie, through the whole job as the job list runs it.
// A job reported done must have written a consistent handset movie file whose video our
// decoder takes; a job that failed before its audio stage must have removed its output;
// whatever the outcome, nothing else may be left and no descriptor may stay open.

#include <atomic>
#include <vector>

#include "core/context.h"
#include "core/job_files.h"
#include "core/job_rules.h"
#include "fuzz_support.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "pipeline/job_runner.h"
#include "platform/platform.h"
#include "targets.h"
#include "vdec/vdec.h"

namespace fuzz {

namespace {

// Crop margins a user may set (left, left + right, top, top + bottom): none, the largest,
// odd ones, all on one side.
struct CropPreset {
    uint16_t left, horizontal, top, vertical;
};
constexpr CropPreset kCropPresets[] = {
    {0, 0, 0, 0}, {30, 60, 20, 40}, {7, 13, 3, 9}, {60, 60, 0, 40}};
constexpr size_t kCropPresetCount = sizeof(kCropPresets) / sizeof(kCropPresets[0]);

// The settings and the answer to the drift question follow the input's length, so that
// every target size, bit rate, crop and answer is met without bytes of the input being
// spent on them.
JobSettings settingsFor(size_t size) {
    JobSettings s;
    const jobrules::TargetSize& target = jobrules::kTargetSizes[size % jobrules::kTargetSizeCount];
    size /= jobrules::kTargetSizeCount;
    s.width = target.width;
    s.height = target.height;
    s.bitRate = jobrules::kBitRates[size % jobrules::kBitRateCount];
    size /= jobrules::kBitRateCount;
    const CropPreset& crop = kCropPresets[size % kCropPresetCount];
    s.cropLeft = crop.left;
    s.cropHorizontal = crop.horizontal;
    s.cropTop = crop.top;
    s.cropVertical = crop.vertical;
    return s;
}

bool goOnFor(size_t size) {
    return (size / (jobrules::kTargetSizeCount * jobrules::kBitRateCount * kCropPresetCount)) % 2;
}

// The video section of a finished handset file, decoded by our own decoder: the stream
// must be taken whole, one picture of the target size for each VOP.
void checkVideoSection(const std::vector<uint8_t>& file, const HandsetFileReport& report) {
    ConversionContext& c = g_context;
    const int width = c.width, height = c.height;
    const uint8_t* video = file.data() + report.videoOffset;
    uint64_t vops = 0;
    for (uint32_t i = 0; i + 3 < report.videoBytes; ++i)
        if (video[i] == 0 && video[i + 1] == 0 && video[i + 2] == 1 && video[i + 3] == 0xB6) ++vops;

    const std::string esPath = workDir() + "check.m4v";
    const std::string picturesPath = workDir() + "check.yuv";
    writeFile(esPath, video, report.videoBytes);
    const DecoderResult result = runDecoderOnFile(esPath, picturesPath);
    const int64_t bytes = fileSize(picturesPath);
    platform::removeFile(esPath);
    platform::removeFile(picturesPath);
    if (!result.ok) fail("our decoder refuses the video of a finished job");
    if (result.width != width || result.height != height)
        fail("the video of a %dx%d job decodes at %dx%d", width, height, result.width,
             result.height);
    const int64_t frameBytes = int64_t(width) * height * 3 / 2;
    if (bytes != int64_t(vops) * frameBytes)
        fail("%llu VOPs decode to %lld bytes, not %lld", static_cast<unsigned long long>(vops),
             static_cast<long long>(bytes), static_cast<long long>(vops * frameBytes));
}

// Whether the video stage of the running job succeeded: only then may a failed job leave
// its output (with the final header, when the audio stage fails).
bool g_videoDone = false;

int recordVideoStage(const std::atomic<int32_t>** progressOut) {
    const int result = runVideoStage(progressOut);
    g_videoDone = result != 0;
    return result;
}

}  // namespace

int jobOne(const uint8_t* data, size_t size) {
    setUpProcess();
    resetJobState();
    LeakWatch watch;
    JobRequest job;
    job.sourcePath = writeInput(data, size, ".3gp");
    job.destDir = workDir();
    job.settings = settingsFor(size);
    const std::string output = jobOutputPath(job);

    JobStages stages = pipelineStages();
    stages.video = recordVideoStage;
    g_videoDone = false;
    const bool goOn = goOnFor(size);
    const JobStatus status = runConversionJob(
        job, [goOn] { return goOn; }, nullptr, stages);
    if (g_context.output) fail("the output is still open after the job");
    if (status == JobStatus::Failed && !g_videoDone && fileSize(output) >= 0)
        fail("a job that failed before its audio stage left its output");
    if (status == JobStatus::Done) {
        const std::vector<uint8_t> file = readFile(output);
        const HandsetFileReport report = checkHandsetFile(file);
        if (!report.ok)
            fail("job done, but the handset file is invalid: %s", report.problem.c_str());
        checkVideoSection(file, report);
    }
    watch.check({job.sourcePath, output});
    platform::removeFile(output);
    platform::removeFile(job.sourcePath);
    return 0;
}

}  // namespace fuzz
