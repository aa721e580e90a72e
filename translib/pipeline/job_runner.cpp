#include "pipeline/job_runner.h"

#include <atomic>
#include <cstdio>

#include "core/cancel.h"
#include "core/job_files.h"
#include "core/job_rules.h"
#include "pipeline/es_dump.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"

namespace {

// Set while a job runs: the context, the demultiplexer and the codecs hold one job.
std::atomic<bool> g_jobRunning{false};

// Holds the process's one job slot for as long as it lives, if it got it.
class JobSlot {
  public:
    JobSlot() : held_(!g_jobRunning.exchange(true)) {}
    ~JobSlot() {
        if (held_) g_jobRunning = false;
    }
    JobSlot(const JobSlot&) = delete;
    JobSlot& operator=(const JobSlot&) = delete;
    bool held() const { return held_; }

  private:
    bool held_;
};

void publish(JobProgress* p, JobProgress::Stage stage, const std::atomic<int32_t>* counter,
             int32_t rangeMax) {
    if (!p) return;
    p->counter = nullptr;
    p->rangeMax = rangeMax;
    p->counter = counter;
    p->stage = stage;
}

}  // namespace

std::string jobOutputPath(const JobRequest& job) {
    return jobrules::outputPathFor(job.destDir, job.sourcePath);
}

JobStatus runConversionJob(const JobRequest& job, const std::function<bool()>& goOn,
                           JobProgress* progress, const JobStages& stages) {
    const JobSlot slot;
    if (!slot.held()) {
        // Nothing of the running job is touched: not its context, not the shared line.
        std::printf("runConversionJob, another job is running: %s is not converted\n",
                    job.sourcePath.c_str());
        return JobStatus::Failed;
    }
    ConversionContext& c = g_context;
    publish(progress, JobProgress::Preparing, nullptr, 0);
    resetJob();
    applyJobSettings(job.settings);
    // The AAC audio is decoded beside the video stage; whichever way the job ends, the
    // thread ends with it.
    esdump_DecodeAacInBackground(true);
    struct AacThreadEnd {
        ~AacThreadEnd() {
            finishAacDecoding(true);
            esdump_DecodeAacInBackground(false);
        }
    } aacThreadEnd;
    int32_t audioFrames = 0;
    uint32_t videoFrames = 0;
    std::string videoEsPath;
    int prepared =
        stages.prepare(job.sourcePath, job.destDir, &audioFrames, &videoFrames, &videoEsPath);
    JobStatus status = JobStatus::Failed;
    if (prepared == 2) {
        publish(progress, JobProgress::Asking, nullptr, 0);
        if (!goOn()) {
            noteJobFailure("declined: the source frame rate is irregular");
            finishAacDecoding(true);
            removeJobFilesAndOutput();  // declining ends the job
            prepared = 0;
        }
    }
    if (prepared != 0) {
        publish(progress, JobProgress::Video, &c.videoProgress, static_cast<int32_t>(videoFrames));
        const std::atomic<int32_t>* counter = nullptr;
        int video = stages.video(&counter);
        int audio = 0;
        if (video) {
            publish(progress, JobProgress::Audio, &c.audioProgress, audioFrames);
            audio = stages.audio(&counter);
        }
        status = video && audio ? JobStatus::Done : JobStatus::Failed;
    }
    // A failed audio stage leaves a complete-looking file, which an interrupted job must
    // not.
    if (status == JobStatus::Failed && jobCancelled()) {
        g_context.failure = "interrupted";
        finishAacDecoding(true);
        removeJobFilesAndOutput();
    }
    publish(progress, JobProgress::Idle, nullptr, 0);
    return status;
}
