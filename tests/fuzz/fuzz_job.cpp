// fuzz_job: the bytes as a source movie, through the whole job as the job list runs it
// (the drift question answered "go on"). A job reported done must have written a
// consistent handset movie file; whatever the outcome, nothing but that output may be
// left, and no descriptor may stay open.

#include "core/context.h"
#include "core/job_rules.h"
#include "fuzz_support.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_runner.h"
#include "platform/platform.h"
#include "targets.h"

namespace fuzz {

int jobOne(const uint8_t* data, size_t size) {
    setUpProcess();
    resetJobState();
    LeakWatch watch;
    JobRequest job;
    job.sourcePath = writeInput(data, size, ".3gp");
    job.destDir = workDir();
    // The target size follows the input's length, so that every frame rate and picture
    // size of the encoder is met without bytes of the input being spent on settings.
    const jobrules::TargetSize& target = jobrules::kTargetSizes[size % jobrules::kTargetSizeCount];
    job.settings.width = target.width;
    job.settings.height = target.height;
    const std::string output = jobOutputPath(job);

    const JobStatus status = runConversionJob(
        job, [] { return true; }, nullptr, pipelineStages());
    if (g_context.output) fail("the output is still open after the job");
    if (status == JobStatus::Done) {
        const HandsetFileReport report = checkHandsetFile(readFile(output));
        if (!report.ok)
            fail("job done, but the handset file is invalid: %s", report.problem.c_str());
    }
    watch.check({job.sourcePath, output});
    platform::removeFile(output);
    platform::removeFile(job.sourcePath);
    return 0;
}

}  // namespace fuzz
