#include "pipeline/job_driver.h"

#include <cstdio>

#include "audio/amr_decoder.h"
#include "audio/wav_section.h"
#include "core/job_files.h"
#include "core/job_rules.h"
#include "pipeline/es_dump.h"
#include "pipeline/handset_file.h"
#include "platform/platform.h"

void applyJobSettings(const JobSettings& s) {
    ConversionContext& c = g_context;
    c.cropLeft = s.cropLeft;
    c.cropTop = s.cropTop;
    c.cropHorizontal = s.cropHorizontal;
    c.cropVertical = s.cropVertical;
    c.cropEnabled = s.cropEnabled;
    c.rotate = s.rotate;
    c.fit = s.fit;
    c.wideCrop = s.wideCrop;
    c.width = s.width;
    c.height = s.height;
    c.bitRate = s.bitRate;
    c.videoProgress = 0;
    c.audioProgress = 0;
    c.success = 1;
    if (!jobrules::frameRateForSize(s.width, s.height, &c.frameRate)) c.success = 0;
}

void finishAacDecoding(bool abandon) {
    ConversionContext& c = g_context;
    const bool decoded = esdump_FinishAacDecoding(abandon);
    if (c.pcmFile) {
        if (std::fclose(c.pcmFile) != 0 && !abandon) {
            noteJobFailure("cannot write " + c.pcmPath);
            c.success = 0;
        }
        c.pcmFile = nullptr;
    }
    if (abandon) return;
    if (esdump_WriteFailed()) {
        noteJobFailure("cannot write " + c.pcmPath);
        c.success = 0;
    } else if (!decoded) {
        noteJobFailure("the audio could not be decoded");
        c.success = 0;
    }
}

void encodeAudio() {
    ConversionContext& c = g_context;
    if (c.isAac) {
        // The PCM file is complete once the AAC thread (if the job has one) has ended.
        finishAacDecoding(false);
        if (c.success) encodeAdpcmSection(nullptr, 0, true, c.pcmPath);
        removeJobFile(&c.pcmPath);
        return;
    }
    std::printf("AMR_DECODER START, please wait...\n");
    // One zero byte after the stored frames, not counted in amrBytes.
    c.amrBuffer.resize(c.amrBytes);
    c.amrBuffer.push_back(0);
    decodeAmr();
    std::vector<uint8_t>().swap(c.amrBuffer);
    std::printf("AMR_DECODER END, OK!\n");
    std::printf("ADPCM encoder START, please wait...\n");
    std::printf("%s\n", c.wavName.c_str());
    encodeAdpcmSection(c.pcmSamples.data(), static_cast<uint32_t>(c.pcmSampleCount), false,
                       std::string());
    std::vector<int16_t>().swap(c.pcmSamples);
    std::printf("ADPCM encoder END, OK!\n");
}

int runAudioStage(const std::atomic<int32_t>** progressOut) {
    ConversionContext& c = g_context;
    if (progressOut) *progressOut = &c.audioProgress;
    encodeAudio();
    if (!c.success) noteJobFailure("the audio could not be encoded");
    if (!writeHandsetHeader()) {
        noteJobFailure("cannot write the final header of " + c.outputPath);
        c.success = 0;
    }
    // The file is closed even when the final header came up short, so that no handle
    // outlives the job.
    if (c.output) {
        if (std::fclose(c.output) != 0) {
            noteJobFailure("cannot write " + c.outputPath);
            c.success = 0;
        }
        c.output = nullptr;
    }
    // Only a finished file takes the destination's name; an unfinished one goes, and an
    // earlier file of the destination's name stays as it was.
    if (c.success) {
        if (!moveOutputToDestination()) c.success = 0;
    } else if (c.outputPath != c.destinationPath) {
        removeJobFile(&c.outputPath);
    }
    return c.success;
}
