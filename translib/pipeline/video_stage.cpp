// The video stage of a job: decodes the video elementary-stream file into the
// decoded-pictures file, re-encodes it into the handset movie file, and removes the
// temporary video files whatever the outcome.

#include <cstdio>

#include "core/context.h"
#include "core/job_files.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"
#include "vdec/vdec.h"
#include "venc/venc.h"

int runVideoStage(const std::atomic<int32_t>** progressOut) {
    ConversionContext& c = g_context;
    if (progressOut) *progressOut = &c.videoProgress;
    encResetSourceFrameNumber();
    c.success = 1;

    runDecoder();
    if (c.success) runEncoder();

    platform::removeFile(decodedPicturesPath());
    platform::removeFile(videoEsFilePath());
    if (!c.success) {
        if (c.output) {
            std::fclose(c.output);
            c.output = nullptr;
        }
        if (c.isAac) {
            if (c.pcmFile) {
                std::fclose(c.pcmFile);
                c.pcmFile = nullptr;
            }
            platform::removeFile(c.pcmPath);
        }
        platform::removeFile(c.outputPath);
    }
    return c.success;
}
