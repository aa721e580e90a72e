#include "pipeline/job_driver.h"
#include "pipeline/job_runner.h"

JobStages pipelineStages() {
    return JobStages{prepareJob, runVideoStage, runAudioStage};
}
