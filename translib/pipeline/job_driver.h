#pragma once
// The job driver: turns one conversion job into one handset movie file. For each job the
// worker calls applyJobSettings, then the stages in order; each stage returns `success`.

#include <atomic>
#include <cstdint>
#include <string>

#include "core/context.h"
#include "vdec/vdec.h"

// Copies the settings into the context, resets the progress counters and sets `success`
// to 1, or to 0 (with frameRate 10) when the size is not in the frame-rate table.
void applyJobSettings(const JobSettings& settings);

// Video stage: decodes the video elementary-stream file and re-encodes it into the output;
// removes the temporary video files, and on failure the output (and the PCM file of AAC
// sources). Stores the address of videoProgress through progressOut first.
int runVideoStage(const std::atomic<int32_t>** progressOut);

// Why a run of the video decoder failed, in words for the job's result.
std::string decoderFailureReason(const DecoderResult& decoded);

// Audio stage: ADPCM-encodes the job's audio into the WAV section and writes the final
// header. Stores the address of audioProgress through progressOut first.
int runAudioStage(const std::atomic<int32_t>** progressOut);

// Ends the job's AAC decoding thread, if it has one: waits for it, or stops it at once
// (`abandon`), and closes the PCM file. Unless abandoned, a frame that could not be
// decoded or written fails the job. Does nothing more when the job has no such thread.
void finishAacDecoding(bool abandon);

// The audio encoding of the audio stage: AAC sources encode the PCM file at pcmPath,
// AMR sources decode amrBuffer first. Failures clear `success`.
void encodeAudio();

// Preparation: demultiplexes the source into the job's temporary files and writes the
// first header of the handset movie file (opened at destDir + baseName + "_new.mp4",
// left open after the header for the video stage). Returns `success`: 0 failed (nothing
// of the job is left on disk), 1 good, 2 good but the source frame rate is irregular.
// The out-parameters (each may be null) receive audioFrames, the rescaled videoFrames
// and videoEsPath.
int prepareJob(const std::string& sourcePath, const std::string& destDir, int32_t* audioFramesOut,
               uint32_t* videoFramesOut, std::string* videoEsPathOut);

// The picture size the source's first video track declares (its sample entry, else its
// track header), read when the demultiplexer opens the movie: no sample is read and no
// file is written. False when the movie does not open or has no video track with a size.
// The demultiplexer's trace goes where the trace goes, and the context's source fields
// are those of this source afterwards: run it where neither matters (a worker process).
bool declaredPictureSize(const std::string& sourcePath, int* width, int* height);

// The demultiplexing part of preparation: opens the output, runs the demultiplexer over
// the whole source, prints the source statistics and decides the frame counts.
void demuxToFiles(const std::string& sourcePath);
