#pragma once
// Builds small ISO base media files in memory for the demultiplexer tests: boxes from
// their parts, and whole movies from a description of their tracks.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace mp4test {

// Big-endian byte writer.
struct Bytes {
    std::vector<uint8_t> v;
    Bytes& u8(uint32_t x);
    Bytes& u16(uint32_t x);
    Bytes& u24(uint32_t x);
    Bytes& u32(uint32_t x);
    Bytes& u64(uint64_t x);
    Bytes& fourcc(const std::string& s);  // four characters (or bytes) as they are
    Bytes& raw(const std::vector<uint8_t>& bytes);
    Bytes& zeros(size_t n);
};

struct Box {
    std::string type;              // four characters
    std::vector<uint8_t> payload;  // everything after the header, before the children
    std::vector<Box> children;
    bool largeSize = false;  // write a 64-bit size
};

Box box(const std::string& type, const std::vector<uint8_t>& payload = {},
        const std::vector<Box>& children = {});
// A full box: version and flags in front of the payload.
Box fullBox(const std::string& type, uint8_t version, uint32_t flags,
            const std::vector<uint8_t>& payload = {}, const std::vector<Box>& children = {});
std::vector<uint8_t> serialize(const Box& b);
std::vector<uint8_t> serialize(const std::vector<Box>& boxes);

struct EditEntry {
    uint64_t duration;  // movie units
    int64_t mediaTime;  // -1: empty edit
    int16_t rate = 1;
};

struct TrackLayout {
    bool video = true;
    uint32_t trackId = 1;
    uint32_t timeScale = 15000;
    std::string entryType = "mp4v";  // sample entry type
    // Extra sample entries (types) after the first; chunks pick one with `chunkEntry`.
    std::vector<std::string> moreEntryTypes;
    uint16_t width = 176, height = 144;        // video
    uint16_t channels = 1, sampleRate = 8000;  // audio (entry's integer rate)
    uint16_t entryVersion = 0;                 // sound entry version
    // esds with this object type and decoder-specific info, when set.
    int objectType = -1;
    std::vector<uint8_t> decoderSpecific;
    std::vector<uint32_t> sampleSizes;  // per-sample sizes (constantSize 0)
    uint32_t constantSize = 0;          // stsz sample size; sampleCount samples then
    uint32_t sampleCount = 0;
    std::vector<uint32_t> chunkSamples;               // samples of each chunk; default one chunk
    std::vector<uint32_t> chunkEntry;                 // description index of each chunk (default 1)
    std::vector<std::pair<uint32_t, uint32_t>> stts;  // (count, delta); default all delta 1000
    std::vector<uint32_t> stss;                       // sync samples, counted from 1
    std::vector<EditEntry> edits;
    bool use64BitOffsets = false;
    // Replaces the payload (version and flags included) of a box of the sample table or
    // of tkhd / mdhd / hdlr; "drop:<type>" in `drop` removes that box.
    std::map<std::string, std::vector<uint8_t>> replace;
    std::vector<std::string> drop;
    std::string handler;  // default "vide" or "soun"
};

struct MovieLayout {
    uint32_t timeScale = 1000;
    uint64_t duration = 0;
    std::vector<TrackLayout> tracks;
    std::string firstBox = "ftyp";  // the first top-level box type
    bool moovLast = false;          // put moov after mdat
};

// A video track (mp4v) of `samples` samples of `size` bytes, one every `delta` units of
// `timeScale`, in one chunk.
TrackLayout videoTrack(uint32_t samples, uint32_t timeScale = 15000, uint32_t delta = 1000,
                       uint32_t size = 10);
// An AMR track (samr, 8000 Hz) of `samples` 32-byte samples of 20 ms.
TrackLayout amrTrack(uint32_t samples, uint32_t trackId = 2);
// An AAC track (mp4a, object type 0x40) with the given AudioSpecificConfig and `samples`
// samples of `size` bytes, 1024 ticks each.
TrackLayout aacTrack(uint16_t rate, uint16_t channels, const std::vector<uint8_t>& config,
                     uint32_t samples, uint32_t size = 20, uint32_t trackId = 2);
MovieLayout movieOf(const std::vector<TrackLayout>& tracks, uint32_t timeScale = 1000);

// Sample bytes the builder writes: track index, sample number and position.
uint8_t sampleByte(size_t track, uint32_t sample, uint32_t i);

std::vector<uint8_t> buildMovie(const MovieLayout& layout);

}  // namespace mp4test
