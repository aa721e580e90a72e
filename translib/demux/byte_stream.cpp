#include "demux/byte_stream.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/context.h"
#include "demux/demux_log.h"
#include "demux/es_out.h"

namespace {

struct FileStreamState {
    FILE* file = nullptr;
    int64_t size = 0;
    int64_t position = 0;
    int32_t peekCapacity = 0;
    uint8_t* peekBuffer = nullptr;
};

// Peek buffers grow in steps of this many bytes.
constexpr int32_t kPeekGranule = 128;

FileStreamState* fileState(ByteStream* s) {
    if (!s || !s->state) return nullptr;
    FileStreamState* st = static_cast<FileStreamState*>(s->state);
    return st->file ? st : nullptr;
}

}  // namespace

int fs_Open(const char* path, ByteStream** out) {
    *out = nullptr;
    ByteStream* s = new (std::nothrow) ByteStream;
    FileStreamState* st = new (std::nothrow) FileStreamState;
    if (!s || !st) {
        logError("fs_Open, memory alloc failed");
        delete s;
        delete st;
        return -1;
    }
    st->file = std::fopen(path, "rb");
    if (!st->file) {
        delete s;
        delete st;
        return -1;
    }
    fseeko(st->file, 0, SEEK_END);
    st->size = ftello(st->file);
    if (st->size < 0) st->size = 0;
    if (st->size > 0) std::printf("OK");
    st->position = 0;
    fseeko(st->file, 0, SEEK_SET);
    s->read = fs_Read;
    s->peek = fs_Peek;
    s->control = fs_Control;
    s->block = nullptr;
    s->state = st;
    *out = s;
    return 0;
}

int fs_Read(ByteStream* s, void* dst, int n) {
    FileStreamState* st = fileState(s);
    if (!st) {
        logError("fs_Read, invalid pstream");
        return 0;
    }
    if (n <= 0) return 0;
    if (dst) {
        size_t got = std::fread(dst, 1, static_cast<size_t>(n), st->file);
        if (got < static_cast<size_t>(n))
            log_Warning("fs_Read, the bytes read isn't the same as the expected!");
        st->position += static_cast<int64_t>(got);
        return static_cast<int>(got);
    }
    if (st->position + n < st->size) {
        fseeko(st->file, n, SEEK_CUR);
        st->position += n;
        return n;
    }
    fseeko(st->file, 0, SEEK_END);
    int64_t skipped = st->size - st->position;
    st->position = st->size;
    return skipped > 0 ? static_cast<int>(skipped) : 0;
}

int fs_Peek(ByteStream* s, const uint8_t** out, int n) {
    FileStreamState* st = fileState(s);
    if (!st) {
        logError("fs_Peek, invalid pstream");
        return -1;
    }
    if (n < 0) n = 0;
    if (n > st->peekCapacity) {
        std::free(st->peekBuffer);
        int32_t capacity = (n + kPeekGranule) & ~(kPeekGranule - 1);
        st->peekBuffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(capacity)));
        if (!st->peekBuffer) {
            st->peekCapacity = 0;
            logError("fs_Peek, memory alloc failed");
            return -1;
        }
        st->peekCapacity = capacity;
    }
    size_t got = std::fread(st->peekBuffer, 1, static_cast<size_t>(n), st->file);
    if (got < static_cast<size_t>(n))
        log_Warning("fs_Peek, the bytes read isn't the same as the expected!");
    fseeko(st->file, st->position, SEEK_SET);
    *out = st->peekBuffer;
    return static_cast<int>(got);
}

int fs_Control(ByteStream* s, int query, va_list args) {
    FileStreamState* st = fileState(s);
    if (!st) {
        logError("fs_Control, invalid pstream");
        return -1;
    }
    switch (query) {
        case FS_QUERY_CAN_SEEK:
        case FS_QUERY_CAN_FASTSEEK:
            *va_arg(args, bool*) = true;
            return 0;
        case FS_QUERY_SET_POS: {
            int64_t target = va_arg(args, int64_t);
            if (target < 0 || fseeko(st->file, target, SEEK_SET) != 0) {
                logError("fs_Control, set position failed");
                fseeko(st->file, st->position, SEEK_SET);
                return -1;
            }
            st->position = target;
            return 0;
        }
        case FS_QUERY_GET_POS:
            *va_arg(args, int64_t*) = st->position;
            return 0;
        case FS_QUERY_GET_SIZE:
            *va_arg(args, int64_t*) = st->size;
            return 0;
        case FS_QUERY_GET_MTU:
            *va_arg(args, int32_t*) = -1;
            return 0;
        default:
            logError("fs_Control, undefine command, %d", query);
            return -1;
    }
}

int fs_Close(ByteStream* s) {
    FileStreamState* st = fileState(s);
    if (!st) {
        logError("fs_Close, invalid pstream");
        return 0;
    }
    std::fclose(st->file);
    std::free(st->peekBuffer);
    delete st;
    delete s;
    return 0;
}

int bs_Read(ByteStream* s, void* dst, int n) {
    return s->read(s, dst, n);
}

int bs_Peek(ByteStream* s, const uint8_t** out, int n) {
    return s->peek(s, out, n);
}

int bs_Control(ByteStream* s, int query, ...) {
    va_list args;
    va_start(args, query);
    int r = s->control(s, query, args);
    va_end(args);
    return r;
}

int bs_Seek(ByteStream* s, int64_t position) {
    return bs_Control(s, FS_QUERY_SET_POS, position);
}

int64_t bs_Tell(ByteStream* s) {
    int64_t position = 0;
    bs_Control(s, FS_QUERY_GET_POS, &position);
    return position;
}

int64_t bs_Size(ByteStream* s) {
    int64_t size = 0;
    bs_Control(s, FS_QUERY_GET_SIZE, &size);
    return size;
}

Block* bs_ReadBlock(ByteStream* s, int64_t n) {
    if (n <= 0) return nullptr;
    int64_t left = bs_Size(s) - bs_Tell(s);
    if (n > left) n = left;
    if (n > INT32_MAX) n = INT32_MAX;
    if (n <= 0) return nullptr;
    if (s->block) return s->block(s, static_cast<int>(n));
    Block* block = nullptr;
    if (block_New(&block, static_cast<int32_t>(n)) != 0) return nullptr;
    block->size = bs_Read(s, block->buffer, static_cast<int>(n));
    if (block->size <= 0) {
        block_Free(block);
        return nullptr;
    }
    return block;
}
