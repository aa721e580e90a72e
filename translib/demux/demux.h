#pragma once
// The MP4/3GP demultiplexer as the pipeline sees it: open a source movie, step through
// it a tenth of a second at a time (every sample due is sent to the stream sink as one
// block), query it, close it. One demultiplexer is open at a time in the process.

#include <cstdint>

#include "demux/es_out.h"

// What the demultiplexer tells its owner while it opens the movie. Reading boxes and
// setting up tracks have no effect outside the demultiplexer but these calls, the stream
// sink's and the context fields the demultiplexer fills (isAac, the source video
// statistics, g_aacParams). Every hook may be none.
struct DemuxHooks {
    // The header of an audio sample entry was read: `type` is mp4a, samr, sawb, .mp3 or
    // ms\0U. isAac already tells whether the audio is decoded to PCM (every type but samr;
    // the last one read decides).
    void (*audioSampleEntry)(uint32_t type) = nullptr;
    // An AAC track is being set up; `config` (`length` bytes, none when the track has no
    // decoder-specific bytes) is its AudioSpecificConfig. g_aacParams already holds the
    // stream's rate, sampling-frequency index and channel count; the owner opens the AAC
    // decoder on the configuration and records whether it accepted it.
    void (*aacTrackOpened)(const uint8_t* config, int32_t length) = nullptr;
};

// What DEMUX_Open takes: the source movie, the stream sink its owner has opened (which
// receives every stream and sample), how to close that sink, and the hooks.
struct DemuxOpenArgs {
    const char* sourcePath = nullptr;
    EsOut* sink = nullptr;
    void (*closeSink)(EsOut* sink) = nullptr;  // runs when the demultiplexer closes
    DemuxHooks hooks;
};

// Opens the demultiplexer on the source. Returns 0 when open, -1 otherwise; when opening
// fails the sink is closed at once. Errors logged while opening (protected content, a
// stream that cannot be created, a negative sample delta) clear `success`: the caller gives
// the job up when it finds it 0.
int DEMUX_Open(const DemuxOpenArgs& args);
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
