// The decoder driver: opens the run's files, creates the records, recognises the stream
// kind, runs the frame loop and releases everything, whatever happens on the way.

#include <cstdio>
#include <new>

#include "platform/platform.h"
#include "platform/trace.h"
#include "vdec/dec_decheader.h"
#include "vdec/dec_session.h"
#include "vdec/dec_sessiondecode.h"
#include "vdec/pictures_file.h"
#include "vdec/vdec.h"

VolMode* g_volmd = nullptr;
VopMode* g_vopmd = nullptr;

DecoderSession g_dec;
CInBitStream g_bits;
MacroblockMode* g_mbRows[2] = {nullptr, nullptr};
MotionVector (*g_mvRow)[5] = nullptr;

namespace {

// Recognises the stream from its first headers: an MPEG-4 video object or video object
// layer (its VOL header is read here) or a short-header picture. Returns false, with the job
// failed, for any other stream and for refused VOL headers.
bool detectStreamKind() {
    skipVisualObjectSequenceHeader();
    skipVisualObjectHeader();
    // A video object start code, or the VOL header itself: some muxers store the decoder
    // configuration from the VOL header on.
    const bool videoObject = g_bits.showBits(27) == 8;
    if (videoObject || g_bits.showBits(28) == (kVideoObjectLayerStartCodeFirst >> 4)) {
        std::printf("\nBitstream without short headers detected!\n");
        g_dec.bShortHeader = 0;
        if (videoObject) g_bits.flushBits(32);
        if (!decodeVolHeader(g_volmd)) return false;
        g_dec.iPublishedWidth = g_volmd->iWidth;
        g_dec.iPublishedHeight = g_volmd->iHeight;
        return true;
    }
    if (g_bits.showBits(22) == kShortVideoStartMarker) {
        std::printf("\nshort video header is detected!\n");
        g_dec.bShortHeader = 1;
        VolMode* vol = g_volmd;
        vol->bShortHeader = 1;
        vol->bNot8Bit = 0;
        vol->nBits = 8;
        vol->iQuantType = 0;
        vol->iShape = kShapeRectangular;
        vol->bDataPartitioned = 0;
        vol->bReversibleVlc = 0;
        vol->bResyncMarkerDisable = 1;
        g_dec.iSourceFormat = 0;
        return true;
    }
    // Without a VOL header no picture can be decoded.
    std::printf("no video object layer or short video header found!\n");
    g_dec.bFailed = 1;
    g_dec.bNoVideoLayer = 1;
    return false;
}

void releaseJob() {
    releaseBuffers();
    delete g_volmd;
    g_volmd = nullptr;
    delete g_vopmd;
    g_vopmd = nullptr;
    if (g_dec.bSinkBegun && !g_dec.pSink->finish()) g_dec.bFailed = g_dec.bWriteFailed = 1;
    g_dec.bSinkBegun = 0;
    closeInputFile();
}

}  // namespace

void abortDecoding() {
    g_dec.bFailed = 1;
    throw DecodeAbort{};
}

void closeInputFile() {
    if (g_dec.pfInputBitStream) {
        std::fclose(g_dec.pfInputBitStream);
        g_dec.pfInputBitStream = nullptr;
    }
    g_bits.detach();
}

void refuseInputFile() {
    closeInputFile();
    if (g_dec.bRemoveRefusedInput && g_dec.pszInputPath) platform::removeFile(g_dec.pszInputPath);
    g_dec.bFailed = 1;
}

namespace {

// Opens the stream file, begins the sink, creates the records and decodes; every way out
// leaves the session's outcome in g_dec.
void decodeFile(const std::string& esPath) {
    try {
        g_dec.pfInputBitStream = std::fopen(esPath.c_str(), "rb");
        if (!g_dec.pfInputBitStream) {
            g_dec.bFailed = g_dec.bReadFailed = 1;
            releaseJob();
            return;
        }
        if (!g_dec.pSink->begin()) {
            g_dec.bFailed = g_dec.bWriteFailed = 1;
            releaseJob();
            return;
        }
        g_dec.bSinkBegun = 1;
        g_volmd = new (std::nothrow) VolMode();
        g_vopmd = new (std::nothrow) VopMode();
        if (!g_volmd || !g_vopmd) {
            std::printf(!g_volmd ? "g_volmd != NULL\n" : "g_vopmd != NULL\n");
            abortDecoding();
        }
        g_bits.attach(g_dec.pfInputBitStream);
        g_dec.bError = 0;
        g_dec.bStop = 0;
        g_dec.bFormatChanged = 0;
        g_dec.bFirstPicture = 1;
        if (detectStreamKind() && !g_dec.bFailed) runFrameLoop();
    } catch (const DecodeAbort&) {
        g_dec.bFailed = 1;
    }
    releaseJob();
}

}  // namespace

DecoderResult runDecoder(const std::string& esPath, PictureSink& sink,
                         const DecoderOptions& options) {
    platform::updateTraceTarget();
    g_dec.pSink = &sink;
    g_dec.bFailed = g_dec.bReadFailed = g_dec.bWriteFailed = g_dec.bNoVideoLayer = 0;
    g_dec.iPublishedWidth = g_dec.iPublishedHeight = g_dec.iFramesWritten = 0;
    g_dec.pszInputPath = esPath.c_str();
    g_dec.bRemoveRefusedInput = options.removeRefusedStream;
    decodeFile(esPath);
    g_dec.pszInputPath = nullptr;
    g_dec.pSink = nullptr;

    DecoderResult r;
    r.ok = !g_dec.bFailed;
    r.width = g_dec.iPublishedWidth;
    r.height = g_dec.iPublishedHeight;
    r.frames = g_dec.iFramesWritten;
    if (g_dec.bReadFailed)
        r.message = "cannot read " + esPath;
    else if (g_dec.bWriteFailed)
        r.message = "the decoded pictures could not be taken";
    else if (g_dec.bNoVideoLayer)
        r.message = "no video object layer or short video header in " + esPath;
    else if (g_dec.bFailed)
        r.message = "the decoder refused " + esPath + " or failed on it";
    return r;
}

DecoderResult runDecoderOnFile(const std::string& esPath, const std::string& picturesPath,
                               const DecoderOptions& options) {
    PicturesFile file(picturesPath);
    DecoderResult r = runDecoder(esPath, file, options);
    if (!g_dec.bReadFailed && g_dec.bWriteFailed) r.message = "cannot write " + picturesPath;
    return r;
}
