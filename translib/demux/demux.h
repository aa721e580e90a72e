#pragma once
// The MP4/3GP demultiplexer as the pipeline sees it: open a source movie, step through
// it a tenth of a second at a time (every sample due is sent to the stream sink as one
// block), query it, close it. One demultiplexer is open at a time in the process.

#include <cstdint>

#include "demux/es_out.h"

// The two texts DEMUX_Open takes: the source movie, and the directory (with its trailing
// '/') into which the stream sink writes its stream files.
struct DemuxOpenArgs {
    const char* sourcePath;
    const char* sinkDir;
};

// Opens the demultiplexer; argc must be 2. Returns 0 when open, -1 otherwise. Errors
// logged while opening (protected content, a stream that cannot be created, a negative
// sample delta) clear `success`: the caller gives the job up when it finds it 0.
int DEMUX_Open(int argc, const DemuxOpenArgs* args);
// One step: advances the movie by a tenth of a second and sends every sample due.
// 0 while more may follow, -1 when nothing is left (or nothing is open).
int DEMUX_Demux();
// Queries of the open movie (DemuxQuery); -1 when nothing is open or the query is not
// supported.
int DEMUX_Control(int query, ...);
// Frees everything; "DEMUX_Close, invalid state" when nothing is open.
void DEMUX_Close();

enum DemuxQuery : int {
    DEMUX_GET_POS = 0,         // (int64_t*) millionths of the movie
    DEMUX_SET_POS = 1,         // (int64_t)  millionths of the movie
    DEMUX_GET_MOVIE_TIME = 2,  // (int64_t*) microseconds
    DEMUX_SET_MOVIE_TIME = 3,  // (int64_t)  microseconds
    DEMUX_GET_DURATION = 4,    // (int64_t*) microseconds
    DEMUX_GET_FPS = 5,
    DEMUX_GET_META = 6,
};

// The stream parameters of the AAC track, kept beside the decoder instance
// (g_context.aacDecoder). The demultiplexer sets them when it opens the decoder and writes
// the track's values back before each step's samples; the stream sink records the channel
// count the decoder reports for each frame. A track whose count rises above 2 is given up.
struct AacTrackParams {
    uint32_t rate = 0;
    uint8_t sfIndex = 0;
    uint32_t channels = 0;
    bool initialized = false;  // the decoder accepted the AudioSpecificConfig
};
extern AacTrackParams g_aacParams;
