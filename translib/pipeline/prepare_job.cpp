// Preparation of a job: from the source movie to the temporary stream files and the
// first header of the handset movie file.

#include <cmath>
#include <cstdio>

#include "core/cancel.h"
#include "core/context.h"
#include "core/job_files.h"
#include "demux/demux.h"
#include "pipeline/es_dump.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"

namespace {

// From this call of DEMUX_Demux on, each result is printed.
constexpr int kQuietDemuxCalls = 2500;
// A source average frame rate further than this from a whole number may drift. The
// deviation is kept in single precision and compared with 0.15 itself, so a deviation of
// 0.15 (stored as the float just above it) drifts.
constexpr double kDriftThreshold = 0.15;

void closeFile(FILE** file) {
    if (*file) {
        std::fclose(*file);
        *file = nullptr;
    }
}

// Closes the PCM file and removes it when the audio is not AAC after all. While the AAC
// thread still decodes into it, it stays open: the thread's end closes it.
void closePcmFile() {
    ConversionContext& c = g_context;
    if (!c.isAac) esdump_FinishAacDecoding(true);
    if (esdump_AacThreadRunning()) {
        esdump_AacThreadBehindVideo();
        return;
    }
    closeFile(&c.pcmFile);
    if (!c.isAac) removeJobFile(&c.pcmPath);
}

// Removes everything of a job that failed in preparation: the output, the PCM file and
// the video elementary-stream file.
void removeJobFiles() {
    ConversionContext& c = g_context;
    esdump_FinishAacDecoding(true);
    closeFile(&c.output);
    platform::removeFile(c.outputPath);
    closeFile(&c.pcmFile);
    removeJobFile(&c.pcmPath);
    removeJobFile(&c.videoEsPath);
}

// The stream sink of declaredPictureSize: it notes the first video stream's size and lets
// everything else go.
struct SizeSink {
    bool found = false;
    int width = 0, height = 0;
};
SizeSink g_sizeSink;
char g_sizeStreamToken;

EsOutStream* sizeSinkAdd(EsOut*, const EsDescriptor* descriptor) {
    if (descriptor && descriptor->category == VIDEO_ES && !g_sizeSink.found &&
        descriptor->video.width > 0 && descriptor->video.height > 0) {
        g_sizeSink.found = true;
        g_sizeSink.width = descriptor->video.width;
        g_sizeSink.height = descriptor->video.height;
    }
    // A handle the demultiplexer only hands back to this sink, which never looks into it.
    return reinterpret_cast<EsOutStream*>(&g_sizeStreamToken);
}

int sizeSinkSend(EsOut*, EsOutStream*, Block* block) {
    block_Free(block);
    return 0;
}

int sizeSinkDel(EsOut*, EsOutStream*) {
    return 0;
}

int sizeSinkControl(EsOut*, int, ...) {
    return 0;
}

void sizeSinkClose(EsOut*) {}

}  // namespace

bool declaredPictureSize(const std::string& sourcePath, int* width, int* height) {
    static EsOut sink;
    sink.Add = sizeSinkAdd;
    sink.Send = sizeSinkSend;
    sink.Del = sizeSinkDel;
    sink.Control = sizeSinkControl;
    g_sizeSink = SizeSink();
    DemuxOpenArgs args;
    args.sourcePath = sourcePath.c_str();
    args.sink = &sink;
    args.closeSink = sizeSinkClose;
    if (DEMUX_Open(args) != 0) return false;
    DEMUX_Close();
    if (!g_sizeSink.found) return false;
    *width = g_sizeSink.width;
    *height = g_sizeSink.height;
    return true;
}

void demuxToFiles(const std::string& sourcePath) {
    ConversionContext& c = g_context;
    c.amrBytes = 0;
    c.amrFrames = 0;
    c.videoFrames = 0;
    std::vector<uint8_t>().swap(c.amrBuffer);
    // The statistics and the stream path belong to this job's source alone.
    c.videoTotalBytes = 0;
    c.videoBitRate = 0;
    c.videoFrameRate = 0;
    c.videoAverageFrameRate = 0;
    c.frameRateDeviation = 0.0f;
    c.videoEsPath.clear();
    c.videoCodec = 0;
    closeFile(&c.pcmFile);

    setJobNames(sourcePath, c.destDir);

    c.success = 1;
    if (!createOutputFile()) {
        c.success = 0;
        return;
    }

    std::printf("%s", c.sourceDir.c_str());
    int opened = -1;
    DemuxOpenArgs args;
    args.sourcePath = sourcePath.c_str();
    args.closeSink = esdump_Close;
    args.hooks = esdump_DemuxHooks();
    if (esdump_Open(c.sourceDir.c_str(), &args.sink) == 0) opened = DEMUX_Open(args);
    std::printf("DEMUX_Open return value: %d\n", opened);
    if (opened != 0) {
        noteJobFailure("not a movie the demultiplexer can open");
        c.success = 0;
        return;
    }
    if (c.success == 0) {
        DEMUX_Close();
        removeJobFile(&c.videoEsPath);
        return;
    }

    int calls = 0;
    for (;;) {
        if (jobCancelled()) {
            logError("%s: conversion interrupted", sourcePath.c_str());
            break;
        }
        int r = DEMUX_Demux();
        if (++calls > kQuietDemuxCalls) std::printf("DEMUX_Demux return value: %d\n", r);
        if (r != 0) break;
    }
    DEMUX_Close();
    // The PCM file is complete. A file made for an mp4a entry of a movie whose audio
    // turned out to be AMR is of no use.
    closePcmFile();
    if (esdump_WriteFailed())
        logError("cannot write the temporary stream files of %s", sourcePath.c_str());

    std::printf(
        "total video len=%d (bytes), average bit rate=%d (kbps),frame_rate=%d (fps),"
        "average_frame_rate=%d (fps)\n",
        static_cast<int>(c.videoTotalBytes), static_cast<int>(c.videoBitRate / 1024),
        static_cast<int>(c.videoFrameRate), static_cast<int>(c.videoAverageFrameRate));

    c.sourceFrameRate = c.videoAverageFrameRate;
    c.sourceFrames = c.videoFrames;
    if (c.frameRate > c.sourceFrameRate) c.frameRate = c.sourceFrameRate;
    c.videoFrames = c.sourceFrameRate ? c.videoFrames * c.frameRate / c.sourceFrameRate : 0;

    c.frameRateDeviation = std::fabs(c.frameRateDeviation);
    if (c.success && static_cast<double>(c.frameRateDeviation) > kDriftThreshold) c.success = 2;

    if (!c.isAac) {
        if (c.amrFrames) {
            // The audio stage decodes every stored frame but the last.
            c.audioFrames = static_cast<int32_t>(c.amrFrames - 1);
        } else {
            // No AMR frame was stored (no audio track, or no whole frame in its samples).
            removeJobFile(&c.videoEsPath);
            noteJobFailure("no audio");
            c.audioFrames = 1;
            c.success = 0;
        }
    }
    if (c.videoFrames == 0) {
        noteJobFailure("no video frames");
        c.success = 0;
        if (c.isAac) removeJobFile(&c.pcmPath);
    }
}

int prepareJob(const std::string& sourcePath, const std::string& destDir, int32_t* audioFramesOut,
               uint32_t* videoFramesOut, std::string* videoEsPathOut) {
    ConversionContext& c = g_context;
    c.wavBytes = 0;
    c.videoBytes = 0;
    c.headerFrames = 0;
    c.audioFrames = 0;
    c.isAac = 0;
    c.fileTag = buildFileTag();
    if (c.success == 0) return 0;

    c.baseName.clear();
    c.destDir.clear();
    setJobNames(sourcePath, destDir);

    demuxToFiles(sourcePath);

    if (videoEsPathOut) *videoEsPathOut = c.videoEsPath;
    if (videoFramesOut) *videoFramesOut = c.videoFrames;
    if (audioFramesOut) *audioFramesOut = c.audioFrames;
    c.headerFrames = static_cast<int32_t>(c.videoFrames);
    c.headerSize = kHandsetHeaderSize;

    if (c.success && !writeHandsetHeader()) {
        noteJobFailure("cannot write " + c.outputPath);
        c.success = 0;
    }
    if (c.success == 0) {
        removeJobFiles();
        return 0;
    }
    return c.success;
}
