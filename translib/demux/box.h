#pragma once
// The box tree of an ISO base media / QuickTime file: every box with its header, its
// parsed contents (made by the box readers) and its children. Built once when the
// demultiplexer opens, then only queried.

#include <cstdint>
#include <memory>

#include "demux/es_out.h"

struct ByteStream;
struct DemuxHooks;

// Kinds of parsed box contents; each record type below names its own.
enum class BoxKind {
    Ftyp,
    Mvhd,
    Tkhd,
    Mdhd,
    Hdlr,
    Vmhd,
    Smhd,
    Hmhd,
    Dref,
    Url,
    Urn,
    Stsd,
    SoundEntry,
    VideoEntry,
    D263,
    Damr,
    Esds,
    AvcC,
    PairTable,
    Stsc,
    Stsz,
    Stco,
    Stss,
    Stdp,
    Padb,
    Elst,
    Cprt,
    Cmov,
    Dcom,
    Cmvd,
    Rdrf,
    Rmdr,
    Rmqu,
    Rmvc,
    Text,
};

// Base of every parsed box record. What a record owns is released with it.
struct BoxData {
    explicit BoxData(BoxKind k) : kind(k) {}
    virtual ~BoxData() = default;
    const BoxKind kind;
};

struct Mp4Box {
    uint32_t position = 0;          // file offset of the first byte
    uint32_t type = 0;              // four type bytes in file order
    uint32_t shortSize = 0;         // 32-bit size field as stored (1: a 64-bit size follows)
    uint8_t uuid[16] = {};          // extended type of a "uuid" box
    uint64_t size = 0;              // whole box, header included
    std::unique_ptr<BoxData> data;  // parsed contents, or none
    Mp4Box* parent = nullptr;
    Mp4Box* firstChild = nullptr;
    Mp4Box* lastChild = nullptr;
    Mp4Box* next = nullptr;
    int depth = 0;  // 0 for the root
};

// The parsed contents of a box when they are of record type T, else none.
template <class T>
T* boxData(const Mp4Box* box) {
    if (!box || !box->data || box->data->kind != T::kKind) return nullptr;
    return static_cast<T*>(box->data.get());
}

constexpr uint32_t ATOM_root = fourcc('r', 'o', 'o', 't');
constexpr uint32_t ATOM_uuid = fourcc('u', 'u', 'i', 'd');
constexpr uint32_t ATOM_moov = fourcc('m', 'o', 'o', 'v');
constexpr uint32_t ATOM_foov = fourcc('f', 'o', 'o', 'v');
constexpr uint32_t ATOM_free = fourcc('f', 'r', 'e', 'e');
constexpr uint32_t ATOM_skip = fourcc('s', 'k', 'i', 'p');
constexpr uint32_t ATOM_cmov = fourcc('c', 'm', 'o', 'v');
constexpr uint32_t ATOM_mvhd = fourcc('m', 'v', 'h', 'd');
constexpr uint32_t ATOM_mp4a = fourcc('m', 'p', '4', 'a');
constexpr uint32_t ATOM_samr = fourcc('s', 'a', 'm', 'r');
constexpr uint32_t ATOM_sawb = fourcc('s', 'a', 'w', 'b');
constexpr uint32_t ATOM_dotmp3 = fourcc('.', 'm', 'p', '3');
constexpr uint32_t ATOM_ms55 = fourcc('m', 's', '\0', '\x55');
constexpr uint32_t ATOM_drms = fourcc('d', 'r', 'm', 's');

// Bytes of a box's header: 8, plus 8 with a 64-bit size, plus 16 for "uuid".
int mp4_BoxHeaderSize(const Mp4Box* box);

// Reads the whole tree; returns the root (type "root", size = file size). The header of
// every audio sample entry read is reported to hooks->audioSampleEntry (hooks may be none).
Mp4Box* MP4_ReadRoot(ByteStream* s, const DemuxHooks* hooks = nullptr);
// Reads the box at the current position with its contents and children, or none.
Mp4Box* MP4_ReadBox(ByteStream* s, Mp4Box* parent);
// The container reader: reads the children of a box. 1, or 0 on failure.
int MP4_ReadContainer(ByteStream* s, Mp4Box* box);
// The inner loop of the container reader, from the current stream position.
int MP4_ReadBoxContainerChildren(ByteStream* s, Mp4Box* box);
// 1: the stream stands at the next box; 0: no next box in the parent or the seek failed;
// 2: the box has size 0.
int MP4_GotoNextBox(ByteStream* s, const Mp4Box* box);
// The box at a printf-style path ("/moov/trak[%d]", "mdia/minf/stbl", "[0]"), or none.
Mp4Box* MP4_FindBox(Mp4Box* box, const char* format, ...) __attribute__((format(printf, 2, 3)));
// How many boxes of the found box's type follow from it; 0 when the path finds nothing.
int MP4_CountBoxes(Mp4Box* box, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Frees a box, its contents and its whole subtree; a missing box is ignored.
void MP4_FreeBox(Mp4Box* box);
void MP4_DumpBoxTree(const Mp4Box* root);

// A box reader: called with the stream at the box's first byte; 1 accepted, 0 dropped.
using BoxReader = int (*)(ByteStream* s, Mp4Box* box);
// The reader of a type from box_table, or none for types read without contents.
BoxReader mp4_FindReader(uint32_t type);

// Deepest nesting of boxes that is read; deeper boxes end their parent's reading. Real
// movies nest about ten levels deep.
constexpr int kMaxBoxDepth = 32;
