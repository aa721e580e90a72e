#pragma once
// One conversion job run the way the job list's worker runs it: settings, preparation,
// the question an irregular source frame rate raises, the video stage, the audio stage,
// and the job's final status. Shared by kinolite-cli and the desktop program; the caller
// decides how to ask the question and how to show progress.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/context.h"

// Status of a job, as the job list shows it.
enum class JobStatus : int32_t { Waiting = 0, Converting = 1, Done = 2, Failed = 3 };

struct JobRequest {
    std::string sourcePath;
    std::string destDir;  // ends in '/', or "" for the current directory
    JobSettings settings;
};

// What a progress display polls (every 20 ms): the counter of the running stage and the
// upper end of its range. `counter` is none between the stages.
struct JobProgress {
    enum Stage : int { Idle = 0, Preparing = 1, Asking = 2, Video = 3, Audio = 4 };
    std::atomic<int> stage{Idle};
    std::atomic<const std::atomic<int32_t>*> counter{nullptr};
    std::atomic<int32_t> rangeMax{0};
};

// The three stages of the job driver; tests replace them.
struct JobStages {
    int (*prepare)(const std::string& sourcePath, const std::string& destDir,
                   int32_t* audioFramesOut, uint32_t* videoFramesOut, std::string* videoEsPathOut);
    int (*video)(const std::atomic<int32_t>** progressOut);
    int (*audio)(const std::atomic<int32_t>** progressOut);
};

// The stages of the pipeline: prepareJob, runVideoStage, runAudioStage.
JobStages pipelineStages();

// Runs one job. `goOn` answers the question an irregular source frame rate raises
// (true: convert anyway); declining fails the job and removes all its files. `progress`
// may be null. Returns Done or Failed. One job runs at a time in the process: a call made
// while another runs (from another thread) prints "runConversionJob, another job is
// running: SOURCE is not converted" and returns Failed at once, touching nothing of the
// running job and leaving `progress` alone.
JobStatus runConversionJob(const JobRequest& job, const std::function<bool()>& goOn,
                           JobProgress* progress, const JobStages& stages);

// The destination of a job: destDir + the source's base name + "_new.mp4".
std::string jobOutputPath(const JobRequest& job);
