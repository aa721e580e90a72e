#pragma once
// State of the decoding session shared by the decoder's modules: the bit reader, the
// session flags, the picture geometry, the two frame stores and the macroblock
// bookkeeping. One decoder runs at a time, on the worker thread.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "vdec/dec_bitstream.h"
#include "vdec/dec_records.h"
#include "vdec/vdec.h"

// Thrown where the stream leaves no way to go on; runDecoderOnFile catches it, and the run
// fails with the message already printed.
struct DecodeAbort {};

// Prints nothing; fails the run and unwinds to runDecoderOnFile.
[[noreturn]] void abortDecoding();

// One motion vector, in half samples.
struct MotionVector {
    int32_t x = 0;
    int32_t y = 0;
};

// One frame store: three planes with a border of 16 (luma) or 8 (chroma) samples.
struct FrameStore {
    uint8_t* y = nullptr;  // first picture sample of each plane
    uint8_t* u = nullptr;
    uint8_t* v = nullptr;
};

struct DecoderSession {
    // Session flags.
    int bShortHeader = 0;
    int bStop = 0;
    int bFirstPicture = 1;
    int bFormatChanged = 0;
    int iSourceFormat = 0;
    int bError = 0;

    // Outcome of the run: bFailed is set when the stream is refused or decoding fails (the
    // decoder's message, if any, is printed where it happens); the others tell why.
    int bFailed = 0;
    int bReadFailed = 0;    // the elementary-stream file could not be opened
    int bWriteFailed = 0;   // the pictures file could not be created or came up short
    int bNoVideoLayer = 0;  // neither a VOL header nor a short header was found

    // Files of the run.
    FILE* pfInputBitStream = nullptr;
    PictureSink* pSink = nullptr;        // where the pictures go
    int bSinkBegun = 0;                  // begin() succeeded: finish() is still due
    const char* pszInputPath = nullptr;  // the elementary-stream file
    bool bRemoveRefusedInput = false;    // remove it when its size or partitioning is refused

    // Size of the frames written, published once the stream's size is accepted, and the
    // number of frames written.
    int iPublishedWidth = 0;
    int iPublishedHeight = 0;
    int iFramesWritten = 0;

    // Working storage of the job, sized from the picture when the buffers are created:
    // the pool the frame planes and prediction stores are carved from, the two rows of
    // macroblock records and the row of motion vectors.
    std::vector<uint8_t> pool;
    std::vector<MacroblockMode> mbRowStore;
    std::vector<MotionVector> mvRowStore;

    // Geometry, set when the buffers are created.
    int mbColumns = 0;
    int mbRows = 0;
    int codedWidth = 0;
    int codedHeight = 0;
    int lumaStride = 0;
    int chromaStride = 0;
    int paddedHeight = 0;

    FrameStore current;
    FrameStore reference;

    // Prediction stores of the row above and the current row: [column][block].
    PredictionStore (*g_rgpmbmAbove)[6] = nullptr;
    PredictionStore (*g_rgpmbmCurr)[6] = nullptr;

    // Macroblock records of the current row and the row above.
    MacroblockMode* mbCurr = nullptr;
    MacroblockMode* mbAbove = nullptr;

    // Video packets: number of the segment the picture loop is in.
    int iSegment = 0;
};

extern DecoderSession g_dec;
extern CInBitStream g_bits;

// The macroblock record rows and the motion vector row, one entry per macroblock column,
// in the session's storage once the buffers are created.
extern MacroblockMode* g_mbRows[2];
extern MotionVector (*g_mvRow)[5];  // [column][0 macroblock, 1..4 luma blocks]

// Closes the elementary-stream file if it is open; the bit reader keeps what it buffered.
void closeInputFile();

// Fails the run because of the stream's picture size or data partitioning: closes the
// elementary-stream file and removes it when the caller asked for that.
void refuseInputFile();

// Frees the storage createBuffers() made.
void releaseBuffers();

// Refuses a picture larger than the converter decodes (with the message, and the
// elementary-stream file removed when the caller asked for that); true when it fits.
bool checkPictureSize(int width, int height);
