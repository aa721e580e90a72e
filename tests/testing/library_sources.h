#pragma once
// Movies whose video or audio only the library decoders take (H.264, MPEG-4 advanced
// simple profile, AMR-WB, MP3), made by ffmpeg when a test first asks for one: two seconds
// of 15 fps test pattern with a beeping tone, at QCIF or VGA. Each test program makes them
// into a directory of its own, removed when it ends.

#include <cstddef>
#include <ostream>
#include <string>

namespace testing_util {

struct LibrarySource {
    const char* name;  // file name, with the container's extension
    int width, height;
    bool convertible;   // a handset file can be made from it
    const char* video;  // ffmpeg's options for the video
    // The audio: "wb" the AMR-WB fixture, "nb" the AMR-NB track of a demux fixture (both
    // copied), otherwise the tone's sample rate, encoded with `audioCodec`.
    const char* audio;
    const char* audioCodec;
    const char* format;  // ffmpeg's name of the container
};

// Test names and failure messages show the source's name.
inline void PrintTo(const LibrarySource& s, std::ostream* os) {
    *os << s.name;
}

// The sources, by name.
extern const LibrarySource kLibrarySources[];
extern const size_t kLibrarySourceCount;

// The path of the source `name`, made on first use. Fails the calling test (and returns an
// empty path) when ffmpeg cannot make it.
std::string librarySource(const std::string& name);

}  // namespace testing_util
