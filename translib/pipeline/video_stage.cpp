// The video stage of a job: decodes the video elementary-stream file into the
// decoded-pictures file, re-encodes it into the handset movie file, and removes the
// temporary video files whatever the outcome.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/context.h"
#include "core/job_files.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"
#include "vdec/vdec.h"
#include "venc/venc.h"

namespace {

// A job whose video stream gives fewer than 1 / kLeastShareOfPictures of the pictures the
// header counts has lost pictures.
constexpr int64_t kLeastShareOfPictures = 2;

// How much of the stream file is looked at to choose its decoder: the VOL header lies in
// the first few dozen bytes, behind the sequence and object headers and any user data.
constexpr size_t kStreamHeadBytes = 4096;

// What the encoder makes of the decoded pictures: the job's settings and frame rates.
EncoderJob encoderJobOf(ConversionContext& c) {
    EncoderJob job;
    job.sourceWidth = c.sourceWidth;
    job.sourceHeight = c.sourceHeight;
    job.sourceFrameRate = c.sourceFrameRate;
    job.width = c.width;
    job.height = c.height;
    job.bitRate = c.bitRate;
    job.frameRate = c.frameRate;
    job.cropLeft = c.cropLeft;
    job.cropTop = c.cropTop;
    job.cropHorizontal = c.cropHorizontal;
    job.cropVertical = c.cropVertical;
    job.cropEnabled = c.cropEnabled;
    job.progress = &c.videoProgress;
    return job;
}

// The decoder of the job's stream, from its codec and the head of its stream file (the
// decoder configuration and the first samples).
VideoDecoderChoice chooseDecoder(const ConversionContext& c) {
    std::vector<uint8_t> head(kStreamHeadBytes);
    size_t n = 0;
    if (FILE* f = std::fopen(videoEsFilePath().c_str(), "rb")) {
        n = std::fread(head.data(), 1, head.size(), f);
        std::fclose(f);
    }
    return chooseVideoDecoder(c.videoCodec, head.data(), n);
}

}  // namespace

int runVideoStage(const std::atomic<int32_t>** progressOut) {
    ConversionContext& c = g_context;
    if (progressOut) *progressOut = &c.videoProgress;
    c.success = 1;

    const VideoDecoderChoice choice = chooseDecoder(c);
    DecoderResult decoded;
    if (choice.kind == VideoDecoderKind::Own) {
        DecoderOptions decoding;
        decoding.removeRefusedStream = true;  // the stream file is the job's own
        decoded = runDecoderOnFile(videoEsFilePath(), decodedPicturesPath(), decoding);
    } else {
        std::printf("video decoder: %s (%s)\n", videoDecoderName(choice.kind), choice.reason);
        decoded = runLibraryDecoderOnFile(videoEsFilePath(), decodedPicturesPath(), choice.kind);
    }
    // The size of the frames in the decoded-pictures file.
    c.sourceWidth = decoded.width;
    c.sourceHeight = decoded.height;
    // The decoded pictures take the frame size for every picture of the source, which for
    // a large source can be a big temporary file.
    const long long frameBytes = static_cast<long long>(decoded.width) * decoded.height +
                                 2LL * (decoded.width / 2) * (decoded.height / 2);
    std::printf("decoded pictures: %d frames of %dx%d, %lld bytes in %s\n", decoded.frames,
                decoded.width, decoded.height, frameBytes * decoded.frames,
                decodedPicturesPath().c_str());
    if (decoded.writeFailed)
        logError("cannot write the decoded pictures to %s (is the disk full?)",
                 decodedPicturesPath().c_str());
    if (!decoded.ok) c.success = 0;
    if (c.success) {
        const EncoderResult encoded =
            runEncoderOnFile(decodedPicturesPath(), c.output, encoderJobOf(c));
        c.videoBytes = static_cast<int32_t>(static_cast<uint32_t>(c.videoBytes) +
                                            static_cast<uint32_t>(encoded.bytes));
        if (!encoded.ok) c.success = 0;
        // A stream that ends long before the movie's pictures do (lost in decoding) makes a
        // file whose header promises pictures it does not hold: the job fails.
        if (c.success && static_cast<int64_t>(encoded.vops) * kLeastShareOfPictures <
                             static_cast<int64_t>(c.headerFrames))
            logError("the video holds %d of the %d pictures the movie has at this frame rate",
                     encoded.vops, static_cast<int>(c.headerFrames));
    }

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
