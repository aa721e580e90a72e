// The box tree framework: header parsing, container walking, skipping, path lookup,
// counting, freeing and dumping.

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/context.h"
#include "demux/box.h"
#include "demux/box_records.h"
#include "demux/byte_stream.h"
#include "demux/demux.h"
#include "demux/demux_log.h"

namespace {

// Enough for the largest header: 64-bit size and a uuid.
constexpr int kHeaderPeekBytes = 32;
// Enough to see the type of the first box inside a top-level free box.
constexpr int kFreePeekBytes = 44;

uint32_t readBe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

uint64_t readBe64(const uint8_t* p) {
    return static_cast<uint64_t>(readBe32(p)) << 32 | readBe32(p + 4);
}

// The hooks of the tree MP4_ReadRoot is reading; none outside it.
const DemuxHooks* g_readHooks = nullptr;

// The audio codec of the movie, decided by the sample entry whose header is read last;
// the owner hears of every such header. AMR narrow-band frames are collected; AAC, AMR
// wide-band and MP3 are decoded to PCM as they arrive.
void noteAudioSampleEntry(uint32_t type) {
    if (type != ATOM_mp4a && type != ATOM_samr && type != ATOM_sawb && type != ATOM_dotmp3 &&
        type != ATOM_ms55)
        return;
    g_context.isAac = type == ATOM_samr ? 0 : 1;
    if (g_readHooks && g_readHooks->audioSampleEntry) g_readHooks->audioSampleEntry(type);
}

// Reads the header of the box at the current position without moving. False when it
// cannot be read: fewer bytes left than the header needs, or a size that cannot even hold
// the header.
bool readBoxHeader(ByteStream* s, Mp4Box* box) {
    int64_t position = bs_Tell(s);
    int64_t left = bs_Size(s) - position;
    int want = left < kHeaderPeekBytes ? static_cast<int>(left > 0 ? left : 0) : kHeaderPeekBytes;
    const uint8_t* p = nullptr;
    int got = bs_Peek(s, &p, want);
    if (got < 8) return false;
    box->position = static_cast<uint32_t>(position);
    box->shortSize = readBe32(p);
    std::memcpy(&box->type, p + 4, 4);
    int offset = 8;
    if (box->shortSize == 1) {
        if (got < 16) return false;
        box->size = readBe64(p + 8);
        offset = 16;
    } else {
        box->size = box->shortSize;
    }
    if (box->type == ATOM_uuid) {
        if (got < offset + 16) return false;
        std::memcpy(box->uuid, p + offset, 16);
    }
    if (box->size != 0 && box->size < static_cast<uint64_t>(mp4_BoxHeaderSize(box))) return false;
    if (box->size != 0)
        log_Debug("found Box: %4.4s size %" PRId64, reinterpret_cast<const char*>(&box->type),
                  static_cast<int64_t>(box->size));
    noteAudioSampleEntry(box->type);
    return true;
}

void appendChild(Mp4Box* parent, Mp4Box* child) {
    if (!parent->firstChild)
        parent->firstChild = child;
    else
        parent->lastChild->next = child;
    parent->lastChild = child;
}

// One step of a path: up to the next '/', '[' or the end.
Mp4Box* applyStep(Mp4Box* box, const char* step, size_t length, unsigned index) {
    if (length == 1 && step[0] == '/') {
        while (box && box->type != ATOM_root) box = box->parent;
        return box;
    }
    if (length == 1 && step[0] == '.') return box;
    if (length == 2 && step[0] == '.' && step[1] == '.') return box->parent;
    if (length != 4 && length != 0) return nullptr;
    uint32_t type = 0;
    if (length == 4) std::memcpy(&type, step, 4);
    for (Mp4Box* child = box->firstChild; child; child = child->next) {
        if (length == 4 && child->type != type) continue;
        if (index == 0) return child;
        --index;
    }
    return nullptr;
}

Mp4Box* findBoxV(Mp4Box* box, const char* format, va_list args) {
    // Paths are at most 255 characters.
    char path[256];
    std::vsnprintf(path, sizeof path, format, args);
    if (!box || path[0] == '\0') return nullptr;
    const char* p = path;
    while (box && *p) {
        const char* step = p;
        size_t length;
        if (*p == '/') {
            length = 1;
            ++p;
        } else {
            while (*p && *p != '/' && *p != '[') ++p;
            length = static_cast<size_t>(p - step);
        }
        unsigned index = 0;
        if (*p == '[') {
            ++p;
            while (*p >= '0' && *p <= '9') {
                unsigned digit = static_cast<unsigned>(*p - '0');
                index = index > (UINT32_MAX - digit) / 10 ? UINT32_MAX : index * 10 + digit;
                ++p;
            }
            while (*p && *p != ']') ++p;
            if (*p == ']') ++p;
        }
        while (*p == '/') ++p;
        box = applyStep(box, step, length, index);
    }
    return box;
}

void freeBoxData(Mp4Box* box) {
    if (!box->data) return;
    if (!mp4_FindReader(box->type))
        log_Warning("cannot free box %4.4s, type unknown",
                    reinterpret_cast<const char*>(&box->type));
    box->data.reset();
}

}  // namespace

int mp4_BoxHeaderSize(const Mp4Box* box) {
    return 8 + (box->shortSize == 1 ? 8 : 0) + (box->type == ATOM_uuid ? 16 : 0);
}

Mp4Box* MP4_ReadBox(ByteStream* s, Mp4Box* parent) {
    int depth = parent ? parent->depth + 1 : 1;
    if (depth > kMaxBoxDepth) {
        log_Warning("box nesting deeper than %d levels, the rest is not read", kMaxBoxDepth);
        return nullptr;
    }
    Mp4Box* box = new Mp4Box;
    if (!readBoxHeader(s, box)) {
        log_Warning("cannot read one box");
        delete box;
        return nullptr;
    }
    if (box->size == 0) {
        log_Debug("found an empty box (null size)");
        delete box;
        return nullptr;
    }
    box->parent = parent;
    box->depth = depth;
    BoxReader reader = mp4_FindReader(box->type);
    if (!reader) {
        log_Warning("unknown box type %4.4s (uncompletetly loaded)",
                    reinterpret_cast<const char*>(&box->type));
        return box;
    }
    if (!reader(s, box)) {
        MP4_FreeBox(box);
        return nullptr;
    }
    return box;
}

int MP4_GotoNextBox(ByteStream* s, const Mp4Box* box) {
    if (box->size == 0) return 2;
    uint64_t end = static_cast<uint64_t>(box->position) + box->size;
    if (box->parent && end >= static_cast<uint64_t>(box->parent->position) + box->parent->size)
        return 0;
    if (end > static_cast<uint64_t>(INT64_MAX)) return 0;
    return bs_Seek(s, static_cast<int64_t>(end)) == 0 ? 1 : 0;
}

int MP4_ReadBoxContainerChildren(ByteStream* s, Mp4Box* box) {
    if (static_cast<uint64_t>(bs_Tell(s)) + 8 > static_cast<uint64_t>(box->position) + box->size)
        return 0;
    for (;;) {
        Mp4Box* child = MP4_ReadBox(s, box);
        if (!child) {
            std::printf("\nMP4_ReadBox( p_stream, p_container ) ) == NULL\n");
            return 1;
        }
        appendChild(box, child);
        if (MP4_GotoNextBox(s, child) != 1) return 1;
    }
}

int MP4_ReadContainer(ByteStream* s, Mp4Box* box) {
    int header = mp4_BoxHeaderSize(box);
    if (box->size <= static_cast<uint64_t>(header) + 8) return 1;
    if (bs_Seek(s, static_cast<int64_t>(box->position) + header) != 0) return 0;
    return MP4_ReadBoxContainerChildren(s, box);
}

// The reader of mdat, skip, free and wide: media data and padding are never loaded. A
// top-level free box that holds a movie header is read as the movie ("foov").
int MP4_ReadBoxSkip(ByteStream* s, Mp4Box* box) {
    if (box->type == ATOM_free && box->parent && box->parent->type == ATOM_root) {
        const uint8_t* p = nullptr;
        int header = mp4_BoxHeaderSize(box);
        int got = bs_Peek(s, &p, kFreePeekBytes);
        if (got >= header + 12) {
            uint32_t inner;
            std::memcpy(&inner, p + header + 4, 4);
            if (inner == ATOM_cmov || inner == ATOM_mvhd) {
                log_Warning("detected moov hidden in a free box ...");
                box->type = ATOM_foov;
                return MP4_ReadContainer(s, box);
            }
        }
    }
    log_Debug("skip box: \"%4.4s\"", reinterpret_cast<const char*>(&box->type));
    return 1;
}

Mp4Box* MP4_ReadRoot(ByteStream* s, const DemuxHooks* hooks) {
    Mp4Box* root = new Mp4Box;
    root->type = ATOM_root;
    root->position = 0;
    root->shortSize = 1;
    root->size = static_cast<uint64_t>(bs_Size(s));
    root->depth = 0;
    g_readHooks = hooks;
    const int read = MP4_ReadBoxContainerChildren(s, root);
    g_readHooks = nullptr;
    if (!read) return root;

    // A compressed movie header would be replaced by its decompressed box; decompression
    // is not supported, so no cmov ever holds one and the tree stays as read.
    Mp4Box* cmov = MP4_FindBox(root, "/moov/cmov");
    if (!cmov) cmov = MP4_FindBox(root, "/foov/cmov");
    BoxCmov* record = boxData<BoxCmov>(cmov);
    if (record && record->moov) {
        Mp4Box* movie = cmov->parent;
        movie->type = ATOM_skip;
        Mp4Box* decompressed = record->moov;
        record->moov = nullptr;
        decompressed->parent = root;
        decompressed->next = root->firstChild;
        root->firstChild = decompressed;
        if (!root->lastChild) root->lastChild = decompressed;
    }
    return root;
}

Mp4Box* MP4_FindBox(Mp4Box* box, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Mp4Box* found = findBoxV(box, format, args);
    va_end(args);
    return found;
}

int MP4_CountBoxes(Mp4Box* box, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Mp4Box* found = findBoxV(box, format, args);
    va_end(args);
    if (!found) return 0;
    int count = 1;
    for (Mp4Box* b = found->next; b; b = b->next)
        if (b->type == found->type) ++count;
    return count;
}

void MP4_FreeBox(Mp4Box* box) {
    if (!box) return;
    // Children are walked as a list; only nesting recurses, and nesting is bounded.
    Mp4Box* child = box->firstChild;
    while (child) {
        Mp4Box* next = child->next;
        MP4_FreeBox(child);
        child = next;
    }
    freeBoxData(box);
    delete box;
}

void MP4_DumpBoxTree(const Mp4Box* root) {
    log_Debug("dumping root Box \"%4.4s\"", reinterpret_cast<const char*>(&root->type));
}
