// fuzz_demux: the bytes as a source movie, through preparation only (the demultiplexer, the
// stream dump, the AAC decoding into the PCM file, the first header). A prepared job is
// discarded the way a declined one is; afterwards nothing of the job may be left.

#include "core/context.h"
#include "fuzz_support.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"
#include "targets.h"

namespace fuzz {

int demuxOne(const uint8_t* data, size_t size) {
    setUpProcess();
    resetJobState();
    LeakWatch watch;
    const std::string source = writeInput(data, size, ".3gp");
    applyJobSettings(JobSettings());
    if (prepareJob(source, workDir(), nullptr, nullptr, nullptr) != 0) discardPreparedJob();
    platform::removeFile(source);
    watch.check();
    return 0;
}

}  // namespace fuzz
