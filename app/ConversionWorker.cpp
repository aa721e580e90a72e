#include "ConversionWorker.h"

#include <chrono>
#include <thread>

namespace {

// While the progress dialog has not appeared yet, the worker passes over the list again
// (every row is skipped then); this pause keeps those passes from spinning.
constexpr std::chrono::milliseconds kPassRetryPause{2};

// The job being run. The stages are plain function pointers, so the wrappers below find
// the row, its host and the real stages here; only one job runs at a time.
struct ActiveJob {
    ConversionJob* job;
    int row;
    WorkerShared* shared;
    WorkerHost* host;
    const JobStages* stages;
    int32_t audioFrames;
    uint32_t videoFrames;
};
ActiveJob* g_activeJob = nullptr;

int prepareStage(const std::string& sourcePath, const std::string& destDir, int32_t* audioFramesOut,
                 uint32_t* videoFramesOut, std::string* videoEsPathOut) {
    ActiveJob& a = *g_activeJob;
    int result =
        a.stages->prepare(sourcePath, destDir, audioFramesOut, videoFramesOut, videoEsPathOut);
    a.audioFrames = *audioFramesOut;
    a.videoFrames = *videoFramesOut;
    return result;
}

// Runs only once preparation has succeeded (or the drift question was answered Yes): the
// row is converting now.
int videoStage(const std::atomic<int32_t>** progressOut) {
    ActiveJob& a = *g_activeJob;
    a.job->status = static_cast<int32_t>(JobStatus::Converting);
    a.host->showStatus(a.row, JobStatus::Converting);
    a.host->setProgressRange(static_cast<int32_t>(a.videoFrames));
    a.shared->countersActive = 1;
    int result = a.stages->video(progressOut);
    a.shared->countersActive = 0;
    a.host->setProgressRange(a.audioFrames);
    a.shared->countersActive = 1;
    return result;
}

int audioStage(const std::atomic<int32_t>** progressOut) {
    return g_activeJob->stages->audio(progressOut);
}

constexpr JobStages kRowStages = {prepareStage, videoStage, audioStage};

JobStatus runRow(JobList& jobs, int row, WorkerShared& shared, WorkerHost& host,
                 const JobStages& stages) {
    ConversionJob& job = jobs.at(row);
    ActiveJob active{&job, row, &shared, &host, &stages, 0, 0};
    g_activeJob = &active;
    JobStatus status = runConversionJob(
        requestFor(job), [&host] { return host.askToGoOn(); }, &shared.progress, kRowStages);
    g_activeJob = nullptr;
    // The bar keeps the job's last position until the next job's stages run.
    shared.countersActive = 0;
    return status;
}

}  // namespace

void runConversionPasses(JobList& jobs, WorkerShared& shared, WorkerHost& host,
                         const JobStages& stages) {
    while (!shared.stopRequested) {
        const int count = jobs.count();
        for (int row = 0; !shared.stopRequested && row < count; ++row) {
            ConversionJob& job = jobs.at(row);
            if (isFinished(job.status)) continue;
            host.showFileName(job.sourcePath);
            JobStatus status = runRow(jobs, row, shared, host, stages);
            job.status = static_cast<int32_t>(status);
            host.showStatus(row, status);
        }
        if (shared.stopRequested) break;
        if (host.progressWindowExists()) {
            shared.stopRequested = 1;
            host.postConversionEnded();
        } else {
            std::this_thread::sleep_for(kPassRetryPause);
        }
    }
}
