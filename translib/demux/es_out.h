#pragma once
// What the demultiplexer hands to the pipeline: blocks (one sample each), elementary
// stream descriptors, and the stream sink interface EsOut that receives them.

#include <cstdint>

#include "core/fourcc.h"

// ---- Blocks ------------------------------------------------------------------------------

struct Block {
    uint8_t* buffer = nullptr;  // owned sample bytes
    int32_t capacity = 0;       // bytes allocated for buffer
    int32_t size = 0;           // bytes of buffer that hold data (<= capacity)
    int64_t pts = 0;            // presentation time, microseconds
    int64_t dts = 0;            // decoding time, microseconds
};

// Creates a block with a buffer of n bytes (capacity n). Returns 0, or -1 with *out none.
int block_New(Block** out, int32_t n);
// Frees buffer and record; a missing block is ignored.
void block_Free(Block* block);

// ---- Elementary stream descriptors -------------------------------------------------------

enum EsCategory : int32_t { UNKNOWN_ES = 0, VIDEO_ES = 1, AUDIO_ES = 2, SPU_ES = 3 };

constexpr int kPaletteBytes = 1028;

struct EsDescriptor {
    int32_t category = UNKNOWN_ES;
    uint32_t codec = 0;
    int32_t id = -1;
    int32_t group = 0;
    int32_t priority = 0;
    char* language = nullptr;
    char* description = nullptr;
    struct {
        uint32_t rate = 0;
        uint8_t sfIndex = 0;  // AAC sampling-frequency index
        uint32_t channels = 0;
        uint32_t bitsPerSample = 0;
    } audio;
    struct {
        int32_t aspect = 0;  // width/height scaled by 432000, 0 = unknown
        int32_t width = 0;
        int32_t height = 0;
        uint8_t* palette = nullptr;  // kPaletteBytes, owned
    } video;
    struct {
        char* encoding = nullptr;
    } subtitle;
    uint32_t bitRate = 0;
    bool packetized = true;
    int32_t extraSize = 0;
    uint8_t* extra = nullptr;  // owned decoder-specific bytes
};

void es_descriptor_Init(EsDescriptor* es, int32_t category, uint32_t codec);
// Copies every field; the destination gets its own extra bytes and palette.
void es_descriptor_Copy(EsDescriptor* dst, const EsDescriptor* src);
// Releases the texts, extra bytes and palette and sets them to none.
void es_descriptor_Clean(EsDescriptor* es);

// ---- Stream sink -------------------------------------------------------------------------

// Control queries of EsOut; valid numbers are 0 to 9.
enum EsOutQuery : int {
    ESOUT_SELECT = 4,     // (handle)
    ESOUT_SET_STATE = 5,  // (handle, int selected)
    ESOUT_GET_STATE = 6,  // (handle, bool* selected)
    ESOUT_SET_CLOCK = 7,  // (int64_t microseconds)
};
constexpr int kEsOutLastQuery = 9;

struct EsOutStream;  // the sink's opaque stream handle
struct EsOutState;   // the sink's private state

struct EsOut {
    EsOutStream* (*Add)(EsOut* out, const EsDescriptor* descriptor) = nullptr;
    int (*Send)(EsOut* out, EsOutStream* handle, Block* block) = nullptr;
    int (*Del)(EsOut* out, EsOutStream* handle) = nullptr;
    int (*Control)(EsOut* out, int query, ...) = nullptr;
    EsOutState* state = nullptr;
};
