#pragma once
// The fuzz targets: each runs one input the way the program would meet it and aborts (via
// fuzz::fail) when the run leaves a file, a descriptor or an inconsistent result behind.
// libFuzzer's entry (fuzz_main.cpp) and the replay suite (replay_test.cpp) call them.

#include <cstddef>
#include <cstdint>

namespace fuzz {

// The bytes as a source movie: preparation only (demultiplexing through the stream dump).
int demuxOne(const uint8_t* data, size_t size);
// The bytes as a source movie: the whole job, preparation, video stage, audio stage.
int jobOne(const uint8_t* data, size_t size);
// The bytes as a source movie: preparation, then the audio stage without the video stage.
int audioOne(const uint8_t* data, size_t size);
// The bytes as a video elementary stream, through the video decoder.
int decodeOne(const uint8_t* data, size_t size);
// The bytes as a handset movie file, through the checker of inspect and extract.
int handsetOne(const uint8_t* data, size_t size);

}  // namespace fuzz
