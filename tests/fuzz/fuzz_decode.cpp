// fuzz_decode: the bytes as the video elementary-stream file of a job, through the video
// decoder. A stream it accepts yields whole pictures of the size it publishes; refused or
// not, the decoder closes what it opened.

#include "core/context.h"
#include "core/job_files.h"
#include "fuzz_support.h"
#include "platform/platform.h"
#include "targets.h"
#include "vdec/vdec.h"

namespace fuzz {

int decodeOne(const uint8_t* data, size_t size) {
    setUpProcess();
    resetJobState();
    LeakWatch watch;
    ConversionContext& c = g_context;
    c.moduleDir = workDir();
    c.baseName = jobBaseName();
    const std::string esPath = videoEsFilePath();
    const std::string picturesPath = workDir() + decodedPicturesPath();
    writeInput(data, size, kVideoEsSuffix);
    const DecoderResult result = runDecoderOnFile(esPath, picturesPath);
    if (result.ok) {
        const uint64_t frameBytes = uint64_t(result.width) * result.height +
                                    2 * uint64_t(result.width / 2) * (result.height / 2);
        const uint64_t bytes = static_cast<uint64_t>(fileSize(picturesPath));
        if (frameBytes == 0 || bytes != frameBytes * uint64_t(result.frames))
            fail("decoded %llu bytes, not %d whole %dx%d pictures",
                 static_cast<unsigned long long>(bytes), result.frames, result.width,
                 result.height);
    }
    watch.check({esPath, picturesPath});
    platform::removeFile(esPath);
    platform::removeFile(picturesPath);
    return 0;
}

}  // namespace fuzz
