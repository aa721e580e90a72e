#pragma once
// The byte stream through which the demultiplexer reads the source movie: a table of
// operations over an implementation's state, its file-backed implementation (fs_*), and
// the thin helpers (bs_*) that call through it.

#include <cstdarg>
#include <cstdint>

struct Block;

// Control queries of the byte stream.
enum ByteStreamQuery : int {
    FS_QUERY_CAN_SEEK = 0,      // (bool*)      stores true
    FS_QUERY_CAN_FASTSEEK = 1,  // (bool*)      stores true
    FS_QUERY_SET_POS = 2,       // (int64_t)    seeks from the start of the file
    FS_QUERY_GET_POS = 3,       // (int64_t*)   stores the position
    FS_QUERY_GET_SIZE = 4,      // (int64_t*)   stores the file size
    FS_QUERY_GET_MTU = 5,       // (int32_t*)   stores -1
};

struct ByteStream {
    // Reads (or, with no destination, skips) up to n bytes; returns the count.
    int (*read)(ByteStream* s, void* dst, int n) = nullptr;
    // Points *out at up to n bytes from the current position without moving; returns the
    // count available there, -1 on failure. Valid until the next peek.
    int (*peek)(ByteStream* s, const uint8_t** out, int n) = nullptr;
    int (*control)(ByteStream* s, int query, va_list args) = nullptr;
    // Optional: a new block of n bytes read at the current position.
    Block* (*block)(ByteStream* s, int n) = nullptr;
    void* state = nullptr;
};

// File-backed stream. fs_Open returns 0, or -1 with *out none.
int fs_Open(const char* path, ByteStream** out);
int fs_Read(ByteStream* s, void* dst, int n);
int fs_Peek(ByteStream* s, const uint8_t** out, int n);
int fs_Control(ByteStream* s, int query, va_list args);
int fs_Close(ByteStream* s);

int bs_Read(ByteStream* s, void* dst, int n);
int bs_Peek(ByteStream* s, const uint8_t** out, int n);
int bs_Control(ByteStream* s, int query, ...);
int bs_Seek(ByteStream* s, int64_t position);
int64_t bs_Tell(ByteStream* s);
int64_t bs_Size(ByteStream* s);
// A new block holding up to n bytes read at the current position, or none (n <= 0,
// nothing left, or no memory). n is first cut to the bytes left in the stream, so a
// hostile size never allocates more than the file holds.
Block* bs_ReadBlock(ByteStream* s, int64_t n);
