#pragma once
// The conversion worker: passes over the job list that convert every row neither done nor
// failed, one job at a time, through the job runner. It runs on its own thread and never
// touches a window: everything it shows goes through its host, which forwards it to the
// user-interface thread.

#include <atomic>
#include <cstdint>
#include <string>

#include "ConversionJob.h"
#include "pipeline/job_runner.h"

// What the worker asks of the main window. Every call comes from the worker thread.
class WorkerHost {
  public:
    virtual ~WorkerHost() = default;
    // The source path of the job starting now, for the progress dialog.
    virtual void showFileName(const std::string& sourcePath) = 0;
    // The status text of a row.
    virtual void showStatus(int row, JobStatus status) = 0;
    // The progress bar's range becomes 1 .. rangeMax.
    virtual void setProgressRange(int32_t rangeMax) = 0;
    // The question an irregular source frame rate raises; true to convert anyway. Blocks
    // until the user has answered.
    virtual bool askToGoOn() = 0;
    // Whether the progress dialog's window exists.
    virtual bool progressWindowExists() = 0;
    // Ends the conversion on the user-interface thread (message 1235).
    virtual void postConversionEnded() = 0;
};

// The state the main window and the worker share.
struct WorkerShared {
    // Set when the progress dialog is cancelled, and by the worker when it has finished;
    // the worker stops at the next job boundary.
    std::atomic<int32_t> stopRequested{0};
    // The 20 ms timer copies the counters to the progress bar only while this is set.
    std::atomic<int32_t> countersActive{0};
    // The running stage and its counter, published by the job runner.
    JobProgress progress;
};

// Runs passes over `jobs` until a pass ends with the progress dialog's window in existence
// (then sets stopRequested and posts the end) or stopRequested is set by the user. Each
// row neither done nor failed is run through runConversionJob with `stages`.
void runConversionPasses(JobList& jobs, WorkerShared& shared, WorkerHost& host,
                         const JobStages& stages);
