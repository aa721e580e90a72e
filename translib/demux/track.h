#pragma once
// Tracks of the open movie: one per trak box, with its stream descriptor, its chunk table
// (where each sample lies and when it is decoded) and its position while the movie is
// walked. Setup is in track.cpp, navigation in track_nav.cpp.

#include <cstdint>
#include <vector>

#include "core/context.h"
#include "demux/box.h"
#include "demux/demux.h"
#include "demux/es_out.h"

struct Mp4Chunk {
    uint64_t offset = 0;            // file offset of the first sample
    uint32_t descriptionIndex = 0;  // sample entry, counted from 1 (0 = none)
    uint32_t sampleCount = 0;
    uint32_t firstSample = 0;
    uint64_t firstDts = 0;  // media units
    // (count, delta) runs covering the chunk's samples: its piece of the stts table.
    std::vector<uint32_t> runCount, runDelta;
};

struct Mp4Track {
    Mp4Track() = default;
    Mp4Track(const Mp4Track&) = delete;
    Mp4Track& operator=(const Mp4Track&) = delete;

    uint32_t trackId = 0;
    bool usable = false;
    bool enabled = false;
    bool selected = false;
    EsDescriptor descriptor;
    EsOutStream* output = nullptr;
    int32_t width = 0, height = 0;  // tkhd, integer pixels
    uint64_t timeScale = 0;         // media units per second

    uint32_t editIndex = 0;
    int64_t editStart = 0;  // movie units
    Mp4Box* editList = nullptr;

    uint32_t sample = 0;
    uint32_t chunk = 0;
    uint32_t chunkCount = 0;
    uint32_t sampleCount = 0;
    std::vector<Mp4Chunk> chunks;
    uint32_t constantSize = 0;    // 0 when the sizes are per sample
    std::vector<uint32_t> sizes;  // per-sample sizes

    Mp4Box* sampleTable = nullptr;   // stbl
    Mp4Box* descriptions = nullptr;  // stsd
    Mp4Box* sampleEntry = nullptr;   // the entry in use
    // H.264 (avc1): bytes of the length in front of each NAL unit of a sample, whose samples
    // are handed on with start codes instead; 0 for every other codec.
    uint8_t nalLengthSize = 0;
    bool isProtected = false;
    void* protectionState = nullptr;  // always none

    // Where the last decoding time and offset lookups ended, so that walking a chunk
    // sample by sample costs O(1) per sample.
    struct {
        uint32_t chunk = UINT32_MAX;
        uint32_t sample = 0;
        size_t run = 0;
        uint32_t used = 0;
        uint64_t dts = 0;
    } dtsCursor;
    struct {
        uint32_t chunk = UINT32_MAX;
        uint32_t sample = 0;
        uint64_t offset = 0;
    } offsetCursor;
};

struct Mp4Demux {
    Mp4Box* root = nullptr;
    EsOut* out = nullptr;         // the stream sink
    DemuxHooks hooks;             // what the owner is told while tracks are set up
    int64_t clock = 0;            // movie time of the previous step, microseconds
    uint64_t movieTime = 0;       // how far the demux loop has come, movie units
    uint64_t movieTimeScale = 0;  // never 0 once open
    uint64_t movieDuration = 0;   // movie units
    uint32_t trackCount = 0;
    std::vector<Mp4Track> tracks;  // sized once, never moved
    int64_t fileSize = 0;
    int64_t bytesDelivered = 0;  // all blocks read so far; never more than the file holds
};

// value * mul / div, computed without overflow and saturated to the int64 range.
int64_t mp4_Rescale(int64_t value, uint64_t mul, uint64_t div);

// movie time in microseconds.
int64_t mp4_MovieTime(const Mp4Demux* demux);

// Setup (track.cpp).
void mp4_TrackBuild(Mp4Demux* demux, Mp4Track* track, Mp4Box* trak);
bool mp4_TrackBuildChunks(Mp4Demux* demux, Mp4Track* track);
bool mp4_TrackBuildSamples(Mp4Demux* demux, Mp4Track* track);
int mp4_TrackMakeEs(Mp4Demux* demux, Mp4Track* track, uint32_t chunk, EsOutStream** out);
void mp4_TrackFree(Mp4Track* track);
// The rate, sampling-frequency index and channel count an AudioSpecificConfig declares
// (its first 13 bits; zeros past its end). Not yet initialized: no decoder has seen it.
AacTrackParams mp4_AacParamsOf(const uint8_t* config, int32_t length);

// Navigation (track_nav.cpp).
int mp4_TrackSelectAt(Mp4Demux* demux, Mp4Track* track, int64_t time);
void mp4_TrackDeselect(Mp4Demux* demux, Mp4Track* track);
int mp4_TrackSeekTo(Mp4Demux* demux, Mp4Track* track, int64_t time);
int mp4_Seek(Mp4Demux* demux, int64_t time);
int mp4_TrackTimeToSample(Mp4Demux* demux, Mp4Track* track, int64_t time, uint32_t* chunk,
                          uint32_t* sample);
int mp4_TrackGotoChunk(Mp4Demux* demux, Mp4Track* track, uint32_t chunk, uint32_t sample);
// Bytes of the block the current sample makes; for packed sound (constant size 1) one
// block covers the rest of the chunk, *samples tells how many samples it covers.
int64_t mp4_TrackCurSampleSize(const Mp4Track* track, uint32_t* samples = nullptr);
uint64_t mp4_TrackCurSampleOffset(Mp4Track* track);
int64_t mp4_TrackDts(const Mp4Demux* demux, Mp4Track* track);
int mp4_TrackAdvance(Mp4Demux* demux, Mp4Track* track);
void mp4_TrackSetEdit(Mp4Demux* demux, Mp4Track* track, int64_t time);
