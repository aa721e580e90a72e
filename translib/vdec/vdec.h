#pragma once
// The video decoder: turns an elementary-stream file (MPEG-4 part 2 simple profile, or
// H.263 baseline as short video header) into a decoded-pictures file, a headerless
// sequence of planar YUV 4:2:0 frames. One decoder runs at a time in the process.

#include <string>

struct DecoderOptions {
    // Remove the elementary-stream file as soon as its picture size or its data
    // partitioning is refused (the pipeline's temporary stream; a file of the user's stays).
    bool removeRefusedStream = false;
};

struct DecoderResult {
    bool ok = false;            // the stream was decoded to its end
    int width = 0, height = 0;  // size of the frames written; 0 while it was not known
    int frames = 0;             // frames written to the pictures file
    bool writeFailed = false;   // the pictures file could not be created or written (full disk)
    std::string message;        // why the run failed (the decoder's own lines are printed)
};

// Decodes the stream at `esPath` into a pictures file created at `picturesPath`. The
// decoder prints its diagnostic lines on standard output as it goes. On failure the
// pictures file may hold the frames written before; removing it is the caller's.
DecoderResult runDecoderOnFile(const std::string& esPath, const std::string& picturesPath,
                               const DecoderOptions& options = DecoderOptions());
