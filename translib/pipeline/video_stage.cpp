// The video stage of a job: decodes the video elementary-stream file and re-encodes the
// pictures into the handset movie file, and removes the temporary video files whatever the
// outcome. The decoder (on the job's thread) and the encoder (on a thread of its own) run
// side by side through a bounded queue of pictures; no decoded-pictures file is written.
// The encoder's trace is held back until the decoder has ended, so that the lines come
// out as they would with the decoding done first, and a failed decoding drops it, as the
// encoder would not have run.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "core/context.h"
#include "core/job_files.h"
#include "core/job_rules.h"
#include "pipeline/job_driver.h"
#include "pipeline/picture_queue.h"
#include "platform/platform.h"
#include "platform/trace.h"
#include "vdec/vdec.h"
#include "venc/venc.h"

namespace {

// A job whose video stream gives fewer than 1 / kLeastShareOfPictures of the pictures the
// header counts has lost pictures.
constexpr int64_t kLeastShareOfPictures = 2;

// Pictures decoded ahead of the encoder.
constexpr size_t kQueuedPictures = 4;

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
    job.fit = c.fit;
    job.wideCrop = c.wideCrop;
    job.progress = &c.videoProgress;
    return job;
}

// The encoder's half of the stage, on its own thread.
class EncoderThread {
  public:
    EncoderThread(PictureQueue& queue, const EncoderJob& job, FILE* output)
        : queue_(queue), job_(job), output_(output), thread_([this] { run(); }) {}
    ~EncoderThread() {
        if (thread_.joinable()) {
            queue_.cancel();
            thread_.join();
        }
    }
    EncoderThread(const EncoderThread&) = delete;
    EncoderThread& operator=(const EncoderThread&) = delete;

    void join() { thread_.join(); }
    // After join(): whether the encoder ran, and its result.
    bool ran() const { return ran_; }
    const EncoderResult& result() const { return result_; }
    platform::HeldTrace& trace() { return trace_; }

  private:
    void run() {
        const platform::TraceHoldScope hold(trace_);
        const PictureQueue::Start start = queue_.waitForStart();
        if (start.run) {
            ran_ = true;
            job_.sourceWidth = start.width;
            job_.sourceHeight = start.height;
            try {
                result_ = runEncoder(queue_, output_, job_);
            } catch (const std::exception&) {
                result_ = EncoderResult();
            }
        }
        queue_.leave();
    }

    PictureQueue& queue_;
    EncoderJob job_;
    FILE* output_;
    bool ran_ = false;
    EncoderResult result_;
    platform::HeldTrace trace_;
    std::thread thread_;
};

// The encoder stopped at the handset stream's last picture and the source went on: one line
// of the trace says where the picture ends, and the job's result carries it as a remark.
void noteHandsetCut(ConversionContext& c, const EncoderResult& encoded) {
    const jobrules::HandsetCut cut = jobrules::handsetCutOf(
        std::max<int64_t>(c.headerFrames, int64_t{encoded.vops} + 1), c.frameRate);
    if (!cut.cut) return;
    const bool one = encoded.framesPastLimit == 1;
    std::printf(
        "handset limit: the video ends at %s of %s, %d source frame%s after it %s not "
        "coded\n",
        cut.videoEndsText().c_str(), cut.sourceEndsText().c_str(), encoded.framesPastLimit,
        one ? "" : "s", one ? "is" : "are");
    c.remark = jobrules::handsetCutNote(cut);
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

std::string decoderFailureReason(const DecoderResult& decoded) {
    // The decoder's own message names the temporary files, which mean nothing to a user.
    if (decoded.message.rfind("cannot write", 0) == 0)
        return "cannot write the decoded pictures (is the disk full?)";
    if (decoded.message.rfind("cannot read", 0) == 0) return "cannot read the video stream file";
    return "the video decoder refused the video stream or failed on it";
}

int runVideoStage(const std::atomic<int32_t>** progressOut) {
    ConversionContext& c = g_context;
    if (progressOut) *progressOut = &c.videoProgress;
    c.success = 1;

    const VideoDecoderChoice choice = chooseDecoder(c);
    if (choice.kind != VideoDecoderKind::Own)
        std::printf("video decoder: %s (%s)\n", videoDecoderName(choice.kind), choice.reason);
    DecoderOptions decoding;
    decoding.removeRefusedStream = true;  // the stream file is the job's own
    platform::updateTraceTarget();
    PictureQueue queue(kQueuedPictures);
    DecoderResult decoded;
    std::unique_ptr<EncoderThread> encoder;
    try {
        encoder = std::make_unique<EncoderThread>(queue, encoderJobOf(c), c.output);
    } catch (const std::exception&) {
        logError("the encoder's thread cannot be started");
    }
    if (encoder) {
        try {
            decoded = choice.kind == VideoDecoderKind::Own
                          ? runDecoder(videoEsFilePath(), queue, decoding)
                          : runLibraryDecoder(videoEsFilePath(), queue, choice.kind);
        } catch (const std::exception&) {
            decoded = DecoderResult();
        }
        queue.finishDecoding(decoded.ok, decoded.width, decoded.height);
        encoder->join();
        // The size of the decoded frames.
        c.sourceWidth = decoded.width;
        c.sourceHeight = decoded.height;
        std::printf("decoded pictures: %d frames of %dx%d\n", decoded.frames, decoded.width,
                    decoded.height);
        if (!decoded.ok) {
            noteJobFailure(decoderFailureReason(decoded));
            c.success = 0;
            encoder->trace().discard();
        } else {
            encoder->trace().print();
            if (encoder->ran()) {
                const EncoderResult& encoded = encoder->result();
                c.videoBytes = static_cast<int32_t>(static_cast<uint32_t>(c.videoBytes) +
                                                    static_cast<uint32_t>(encoded.bytes));
                if (!encoded.ok) {
                    noteJobFailure(encoded.message);
                    c.success = 0;
                }
                if (c.success && encoded.framesPastLimit > 0) noteHandsetCut(c, encoded);
                // A stream that ends long before the movie's pictures do (lost in decoding)
                // makes a file whose header promises pictures it does not hold: the job fails.
                // Pictures past the handset limit are not lost.
                const int64_t expected =
                    std::min<int64_t>(c.headerFrames, jobrules::kMaxHandsetPictures);
                if (c.success &&
                    static_cast<int64_t>(encoded.vops) * kLeastShareOfPictures < expected)
                    logError(
                        "the video holds %d of the %d pictures the movie has at this frame rate",
                        encoded.vops, static_cast<int>(c.headerFrames));
            }
        }
        encoder.reset();
    }

    removeJobFile(&c.videoEsPath);
    if (!c.success) {
        if (c.output) {
            std::fclose(c.output);
            c.output = nullptr;
        }
        if (c.isAac) {
            finishAacDecoding(true);
            removeJobFile(&c.pcmPath);
        }
        platform::removeFile(c.outputPath);
    }
    return c.success;
}
