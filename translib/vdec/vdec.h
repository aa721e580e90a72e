#pragma once
// The video decoder: turns an elementary-stream file (MPEG-4 part 2 simple profile, or
// H.263 baseline as short video header) into a sequence of planar YUV 4:2:0 pictures,
// handed to a sink one by one: the decoded-pictures file (a headerless sequence of frames)
// or whatever the caller makes of them. One decoder runs at a time in the process.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/source_limits.h"

struct DecoderOptions {
    // Remove the elementary-stream file as soon as its picture size or its data
    // partitioning is refused (the pipeline's temporary stream; a file of the user's stays).
    bool removeRefusedStream = false;
};

struct DecoderResult {
    bool ok = false;            // the stream was decoded to its end
    int width = 0, height = 0;  // size of the frames written; 0 while it was not known
    int frames = 0;             // frames written to the pictures file
    std::string message;        // why the run failed (the decoder's own lines are printed)
};

// One decoded picture: its three planes (width x height luma samples, half that in each
// direction for chroma) with the distance between their rows.
struct DecodedPicture {
    const uint8_t* y;
    const uint8_t* u;
    const uint8_t* v;
    int lumaStride, chromaStride;
    int width, height;
};

// Where the pictures go, in stream order. begin() is called once the stream file is open,
// before anything is decoded; put() once per picture; finish() at the end of every run that
// began. A false return fails the run as a short write of the pictures file would.
class PictureSink {
  public:
    virtual ~PictureSink() = default;
    virtual bool begin() { return true; }
    virtual bool put(const DecodedPicture& picture) = 0;
    virtual bool finish() { return true; }
};

// Decodes the stream at `esPath` into `sink`. As runDecoderOnFile, without a file of
// pictures (the message of a failed put names no file).
DecoderResult runDecoder(const std::string& esPath, PictureSink& sink,
                         const DecoderOptions& options = DecoderOptions());

// Decodes the stream at `esPath` into a pictures file created at `picturesPath`. The
// decoder prints its diagnostic lines on standard output as it goes. On failure the
// pictures file may hold the frames written before; removing it is the caller's.
DecoderResult runDecoderOnFile(const std::string& esPath, const std::string& picturesPath,
                               const DecoderOptions& options = DecoderOptions());

// ---- Which decoder takes a stream ----------------------------------------------------------

enum class VideoDecoderKind {
    Own,           // ours: MPEG-4 simple profile, H.263 baseline
    LibraryH264,   // libavcodec: H.264 as an Annex B byte stream
    LibraryMpeg4,  // libavcodec: MPEG-4 visual with tools ours refuses
};

struct VideoDecoderChoice {
    VideoDecoderKind kind = VideoDecoderKind::Own;
    const char* reason = "";  // what sends the stream to the library ("H.264", "B-VOPs", ...)
};

// Decides from the stream's codec (its sample entry, or the esds object type) and the first
// bytes of its elementary stream (the decoder configuration, then the first samples).
VideoDecoderChoice chooseVideoDecoder(uint32_t codec, const uint8_t* head, size_t size);
// The name the trace and probe give the decoder.
const char* videoDecoderName(VideoDecoderKind kind);

// The largest decoded picture the library path takes; larger streams are refused before
// the first picture is written.
constexpr int kMaxLibraryPictureWidth = sourcelimits::kMaxSourceWidth;
constexpr int kMaxLibraryPictureHeight = sourcelimits::kMaxSourceHeight;

// Decodes the stream at `esPath` (an H.264 Annex B byte stream, or MPEG-4 visual headers
// and VOPs) with libavcodec into a pictures file at `picturesPath`, in display order, in the
// same form as runDecoderOnFile. Pictures that cannot be decoded are skipped, as a player
// does; the run fails when none can be, when the picture size is refused or changes, or
// when a file cannot be read or written.
DecoderResult runLibraryDecoderOnFile(const std::string& esPath, const std::string& picturesPath,
                                      VideoDecoderKind kind);
// The same into `sink`, as runDecoder is to runDecoderOnFile.
DecoderResult runLibraryDecoder(const std::string& esPath, PictureSink& sink,
                                VideoDecoderKind kind);
