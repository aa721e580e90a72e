#pragma once
// libavcodec decoding of the audio our own paths do not take: AMR wide-band and MP3. Each
// sample of the track is decoded to 16-bit PCM, frame by frame, for the same 16 kHz mono
// path as AAC.

#include <cstdint>

enum class LibraryAudioCodec { AmrWb, Mp3 };

struct LibraryAudioDecoder;

// One decoded frame: `n` samples of the first channel and of the second (the first again
// for a mono source) at `rate` Hz. Returns false to stop decoding.
using LibraryAudioFrameFn = bool (*)(const int16_t* first, const int16_t* second, int n,
                                     uint32_t rate, void* user);

// Opens a decoder; none when libavcodec cannot. `rate` and `channels` are the sample
// entry's (0 when it has none); the stream itself decides in the end.
LibraryAudioDecoder* libraryAudioOpen(LibraryAudioCodec codec, uint32_t rate, uint32_t channels);
void libraryAudioClose(LibraryAudioDecoder* decoder);
// Decodes one sample of the track (one frame or several) and hands every frame to `frame`.
// False when the sample cannot be decoded or `frame` asked to stop.
bool libraryAudioDecode(LibraryAudioDecoder* decoder, const uint8_t* data, int32_t size,
                        LibraryAudioFrameFn frame, void* user);
// The decoder's name for the trace.
const char* libraryAudioName(LibraryAudioCodec codec);
