#pragma once
// The conversion pipeline's process-wide state. One job runs at a time, on the worker
// thread; the pipeline, the demultiplexer and both video codecs read and write the fields
// they own. Only the two progress counters are read by another thread.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/picture_fit.h"

// The settings of one job, built by the job list's worker from a list row.
struct JobSettings {
    uint16_t cropLeft = 0;        // pixels removed at the left edge of the decoded picture
    uint16_t cropTop = 0;         // pixels removed at the top edge
    uint16_t cropHorizontal = 0;  // left plus right crop
    uint16_t cropVertical = 0;    // top plus bottom crop
    int8_t cropEnabled = 1;       // non-zero: crop before scaling
    uint16_t width = 128;         // target picture size
    uint16_t height = 96;
    uint32_t bitRate = 100000;             // target video bits per second
    uint8_t rotate = 0;                    // always 0: no picture is ever rotated
    PictureFit fit = PictureFit::Stretch;  // how the cropped picture fills the target size
    // The command line's margins: up to a quarter of the picture for sources wider than
    // jobrules::kWideCropSourceWidth (checked once the picture size is known).
    int8_t wideCrop = 0;
};

// Everything of the context that belongs to one job; resetJob() puts it back to these
// values.
struct ConversionJobState {
    // 0 = the job failed, 1 = good so far, 2 = good but the source frame rate is irregular.
    int32_t success = 0;
    // Why the job failed, in a few words: the first error logged, or the reason the stage
    // that failed gives (noteJobFailure). "" while nothing failed.
    std::string failure;
    // A remark on a job that is done, for the reports of its result: what the handset limit
    // cut ("video ends at 34:43 of 41:10: handset limit"). "" when there is none.
    std::string remark;

    // Settings of the current job.
    uint16_t cropLeft = 0;
    uint16_t cropTop = 0;
    uint16_t cropHorizontal = 0;
    uint16_t cropVertical = 0;
    int8_t cropEnabled = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t bitRate = 0;
    uint8_t rotate = 0;
    PictureFit fit = PictureFit::Stretch;
    int8_t wideCrop = 0;
    uint32_t frameRate = 0;  // target frames per second, from the frame-rate table

    // Names of the job. Directories end in '/'.
    std::string moduleDir;  // where the video elementary-stream file lies
    std::string sourceDir;  // the source path up to and including its last '/'
    std::string baseName;   // source file name without directory and last extension
    std::string destDir;    // destination directory as handed in
    // The handset movie file is written under a name of its own beside its destination
    // (outputPath, destDir + baseName + "_new" + tag + ".mp4") and takes the destination's
    // name (destinationPath, destDir + baseName + "_new.mp4") only when the job is done, so
    // that a failed job leaves an earlier file of that name as it was.
    std::string outputPath;
    std::string destinationPath;
    std::string wavName;  // destDir + baseName + ".mp4.wav" (printed only)
    // The job's temporary files, each named when the job creates it ("" before), and
    // removed only by that name (core/job_files.h).
    std::string pcmPath;       // beside the source: baseName + tag + ".pcm"
    std::string videoEsPath;   // moduleDir + baseName + "videoxy_122344565fhr1" + tag + ".cmp"
    std::string picturesPath;  // baseName + "videoxy_122344565fhr1" + tag + ".yuv"
    uint32_t videoCodec = 0;   // codec of the video stream, set with videoEsPath

    // Open files.
    FILE* output = nullptr;   // the handset movie file
    FILE* pcmFile = nullptr;  // PCM temporary file, AAC sources only

    // Audio kind: 1 = decoded to PCM while demultiplexing (AAC, and AMR-WB and MP3 through
    // the library decoder), 0 = AMR narrow-band frames collected in memory.
    uint8_t isAac = 0;

    // AMR frames collected while demultiplexing: whole storage-format frames back to back,
    // each as long as its header byte's frame type says.
    std::vector<uint8_t> amrBuffer;
    uint32_t amrBytes = 0;
    uint32_t amrFrames = 0;

    // Decoded AMR audio.
    std::vector<int16_t> pcmSamples;
    int32_t pcmSampleCount = 0;

    // Counts; the last three go into the file header.
    uint32_t videoFrames = 0;
    int32_t audioFrames = 0;
    int32_t wavBytes = 0;
    int32_t videoBytes = 0;
    int32_t headerFrames = 0;
    uint8_t headerSize = 24;
    uint32_t fileTag = 0;
    uint32_t sourceFrameRate = 0;
    uint32_t sourceFrames = 0;  // video samples of the source, before the frame-rate rule

    // Size of the frames in the decoded-pictures file, published by the video decoder.
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;

    // Statistics of the source video track, filled by the demultiplexer.
    uint32_t videoTotalBytes = 0;
    uint32_t videoBitRate = 0;
    uint32_t videoFrameRate = 0;
    uint32_t videoAverageFrameRate = 0;
    float frameRateDeviation = 0.0f;
};

struct ConversionContext : ConversionJobState {
    // Progress counters, polled by the user interface thread while a stage runs; their
    // addresses stay valid for the whole process.
    std::atomic<int32_t> videoProgress{0};  // frames taken by the encoder
    std::atomic<int32_t> audioProgress{0};  // AMR frames decoded

    // NeAACDecHandle of the AAC track. It outlives the job: the next AAC track closes it
    // when it opens its own.
    void* aacDecoder = nullptr;
};

extern ConversionContext g_context;

// Puts the context back to where a job starts: the settings, names, counts, statistics and
// collected audio of the job before are forgotten, the files it holds (output, PCM file)
// are closed, the progress counters are 0 and `success` is 1. The job driver starts every
// job with it.
void resetJob();

// The stream parameters of the AAC track, kept beside the decoder instance
// (g_context.aacDecoder). The demultiplexer sets them from the track's AudioSpecificConfig
// when it sets the track up and writes the track's values back before each step's samples;
// opening the decoder records whether it accepted the configuration; the stream sink
// records the channel count the decoder reports for each frame. A track whose count rises
// above 2 is given up.
struct AacTrackParams {
    uint32_t rate = 0;
    uint8_t sfIndex = 0;
    uint32_t channels = 0;
    bool initialized = false;  // the decoder accepted the AudioSpecificConfig
};
extern AacTrackParams g_aacParams;

// The pipeline's error log: prints the formatted line and a newline on standard output,
// sets `success` to 0 and returns 1. Every error of the pipeline and the demultiplexer
// goes through it, so any error fails the job.
int logError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Records why the job failed, unless an earlier reason is known; prints nothing.
void noteJobFailure(const std::string& reason);
