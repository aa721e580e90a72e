#pragma once
// A batch of conversion jobs, each run in a worker process of its own (the pipeline keeps
// process-wide state, so one process holds one job). Up to `workers` jobs run at once;
// the result lines are printed whole, in the order the jobs finish.

#include <string>
#include <vector>

#include "pipeline/job_runner.h"

enum class DriftAnswer { Ask, Yes, No };

struct BatchOptions {
    int workers = 1;
    DriftAnswer drift = DriftAnswer::Ask;
    bool bar = false;      // draw the batch's progress bar on standard error
    bool verbose = false;  // the pipeline's trace on standard output, as it comes
    std::string logPath;   // when set, the whole trace of every job goes to this file
};

// What became of each job.
enum class BatchOutcome { Done, Failed, Interrupted };

// Runs the jobs and prints one line per job on standard output: "done: FILE" (with the
// job's remark in brackets when it has one: "done: FILE (video ends at 34:43 of 41:10:
// handset limit)"), "failed: FILE: REASON" or "interrupted: FILE". SIGINT, SIGTERM and
// SIGHUP stop the running jobs (their temporary files and unfinished outputs are removed)
// and start no new one. Returns the process exit status: 0 every job done, 1 any failed,
// 130 interrupted.
int runBatch(const std::vector<JobRequest>& jobs, const BatchOptions& options);

// The exit status of an interrupted batch (128 + SIGINT, as shells report it).
constexpr int kExitInterrupted = 130;
