#pragma once
// The handset movie file: a 24-byte header, the MPEG-4 video elementary stream, and a
// WAV section of IMA ADPCM audio.
//
//   offset 0              24-byte header (counts big-endian, tag in file order)
//   offset 24             video elementary stream, videoBytes long
//   offset 24+videoBytes  WAV section, wavBytes long (60-byte WAV header + ADPCM blocks)

#include <cstdint>
#include <string>
#include <vector>

constexpr int kHandsetHeaderSize = 24;

// The format tag, built from one constant per byte position; its bytes read "KNLT" in
// file order (the tag is stored least significant byte first).
uint32_t buildFileTag();

// The 24 header bytes from the context fields fileTag, wavBytes, videoBytes,
// headerFrames, frameRate, width and height.
void buildHandsetHeader(uint8_t out[kHandsetHeaderSize]);

// Seeks `output` to offset 0 and writes the header. Returns whether all 24 bytes were
// written; the caller fails the job when not.
bool writeHandsetHeader();

// What a reader finds in a handset movie file (see checkHandsetFile).
struct HandsetFileReport {
    // key/value lines in the order they were read
    std::vector<std::pair<std::string, std::string>> fields;
    bool ok = false;
    std::string problem;  // why the file is not consistent, when !ok
    // Sections, valid when ok (and as far as the header could be read otherwise).
    uint32_t videoOffset = 0, videoBytes = 0;
    uint32_t wavOffset = 0, wavBytes = 0;
};

// Reads and checks a whole handset movie file given as bytes. Never fails on any input:
// a file that is not a handset movie file gives a report with ok == false.
HandsetFileReport checkHandsetFile(const std::vector<uint8_t>& file);
