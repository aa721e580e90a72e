// fuzz_audio: the bytes as a source movie, through preparation and then straight into the
// audio stage (the video stage is left out, as if it had encoded nothing): AAC frames
// decoded and resampled into the PCM file, AMR frames collected and decoded, both
// ADPCM-encoded into the WAV section. Many times faster than a whole job, so the audio
// samples and their sample entries get most of the mutations. An audio stage that
// succeeds must leave a consistent handset file.

#include <atomic>

#include "core/context.h"
#include "core/job_files.h"
#include "fuzz_support.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"
#include "targets.h"

namespace fuzz {

int audioOne(const uint8_t* data, size_t size) {
    setUpProcess();
    resetJobState();
    LeakWatch watch;
    ConversionContext& c = g_context;
    const std::string source = writeInput(data, size, ".3gp");
    applyJobSettings(JobSettings());
    if (prepareJob(source, workDir(), nullptr, nullptr, nullptr) != 0) {
        // What the video stage would remove.
        platform::removeFile(videoEsFilePath());
        const std::string output = c.outputPath;
        const std::atomic<int32_t>* counter = nullptr;
        const int result = runAudioStage(&counter);
        if (c.output) fail("the output is still open after the audio stage");
        if (result) {
            const HandsetFileReport report = checkHandsetFile(readFile(output));
            if (!report.ok)
                fail("audio stage done, but the handset file is invalid: %s",
                     report.problem.c_str());
        }
        platform::removeFile(output);
    }
    platform::removeFile(source);
    watch.check();
    return 0;
}

}  // namespace fuzz
