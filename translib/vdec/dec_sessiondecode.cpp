#include "vdec/dec_sessiondecode.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "core/cancel.h"
#include "core/source_limits.h"
#include "platform/trace.h"
#include "vdec/dec_decheader.h"
#include "vdec/dec_mbdec.h"
#include "vdec/dec_session.h"

namespace {

// Every carve of the pool starts on this boundary, for the kernels' aligned loads.
constexpr size_t kPoolAlignment = 16;
// Value of the samples of a frame before anything is decoded into it.
constexpr uint8_t kMidGrey = 128;

size_t alignUp(size_t n) {
    return (n + kPoolAlignment - 1) & ~(kPoolAlignment - 1);
}

struct Layout {
    int columns, rows, codedWidth, codedHeight, lumaStride, paddedHeight;
    size_t storeBytes, lumaBytes, chromaBytes, total;
};

Layout layoutFor(int width, int height) {
    Layout l{};
    l.columns = (width + 15) / 16;
    l.rows = (height + 15) / 16;
    l.codedWidth = 16 * l.columns;
    l.codedHeight = 16 * l.rows;
    l.lumaStride = l.codedWidth + 32;
    l.paddedHeight = l.codedHeight + 32;
    l.storeBytes = alignUp(size_t(l.columns) * 6 * sizeof(PredictionStore));
    l.lumaBytes = alignUp(size_t(l.lumaStride) * size_t(l.paddedHeight));
    l.chromaBytes = alignUp(size_t(l.lumaStride / 2) * size_t(l.paddedHeight / 2));
    l.total = 2 * l.storeBytes + 2 * l.lumaBytes + 4 * l.chromaBytes;
    return l;
}

// MPEG-4: moves to the next start code at a byte boundary. False when the stream is used
// up without one.
bool findStartCode() {
    g_bits.byteAlign();
    while (g_bits.showBits(24) != kStartCodePrefix) {
        if (g_bits.pastEnd()) return false;
        g_bits.flushBits(8);
    }
    return true;
}

// A start code between VOPs other than a VOP or GOV: the stream headers some encoders repeat
// in front of intra VOPs are read and skipped. Returns false when decoding ends here: any
// other start code (bStop set, success unchanged) or a VOL header of a different layer.
bool skipRepeatedHeader(uint32_t code) {
    if (code == kVisualObjectSequenceStartCode) {
        skipVisualObjectSequenceHeader();
    } else if (code == kVisualObjectStartCode) {
        skipVisualObjectHeader();
    } else if (code == kUserDataStartCode) {
        skipUserData();
    } else if (code >= kVideoObjectStartCodeFirst && code <= kVideoObjectStartCodeLast) {
        g_bits.flushBits(32);
    } else if (code >= kVideoObjectLayerStartCodeFirst && code <= kVideoObjectLayerStartCodeLast) {
        return decodeRepeatedVolHeader();
    } else {
        g_dec.bStop = 1;
        return false;
    }
    return true;
}

}  // namespace

bool checkPictureSize(int width, int height) {
    if (sourcelimits::fits(width, height)) return true;
    std::printf("picture size %dx%d is larger than %dx%d, not supported!\n", width, height,
                sourcelimits::kMaxSourceWidth, sourcelimits::kMaxSourceHeight);
    refuseInputFile();
    return false;
}

void releaseBuffers() {
    std::vector<uint8_t>().swap(g_dec.pool);
    std::vector<MacroblockMode>().swap(g_dec.mbRowStore);
    std::vector<MotionVector>().swap(g_dec.mvRowStore);
    g_mbRows[0] = g_mbRows[1] = nullptr;
    g_mvRow = nullptr;
    g_dec.current = FrameStore{};
    g_dec.reference = FrameStore{};
    g_dec.g_rgpmbmAbove = nullptr;
    g_dec.g_rgpmbmCurr = nullptr;
}

bool createBuffers() {
    const int width = g_volmd->iWidth, height = g_volmd->iHeight;
    if (!checkPictureSize(width, height)) return false;
    const Layout l = layoutFor(width, height);
    releaseBuffers();
    try {
        // One extra alignment step lets the first carve start on the boundary.
        g_dec.pool.assign(l.total + kPoolAlignment, 0);
        g_dec.mbRowStore.assign(2 * size_t(l.columns), MacroblockMode{});
        g_dec.mvRowStore.assign(5 * size_t(l.columns), MotionVector{});
    } catch (const std::bad_alloc&) {
        releaseBuffers();
        std::printf("pBuffer != NULL\n");
        g_dec.bFailed = 1;
        return false;
    }
    g_mbRows[0] = g_dec.mbRowStore.data();
    g_mbRows[1] = g_dec.mbRowStore.data() + l.columns;
    g_mvRow = reinterpret_cast<MotionVector(*)[5]>(g_dec.mvRowStore.data());
    g_dec.mbColumns = l.columns;
    g_dec.mbRows = l.rows;
    g_dec.codedWidth = l.codedWidth;
    g_dec.codedHeight = l.codedHeight;
    g_dec.lumaStride = l.lumaStride;
    g_dec.chromaStride = l.lumaStride / 2;
    g_dec.paddedHeight = l.paddedHeight;

    uint8_t* p = g_dec.pool.data();
    p += alignUp(reinterpret_cast<uintptr_t>(p)) - reinterpret_cast<uintptr_t>(p);
    g_dec.g_rgpmbmAbove = reinterpret_cast<PredictionStore(*)[6]>(p);
    p += l.storeBytes;
    g_dec.g_rgpmbmCurr = reinterpret_cast<PredictionStore(*)[6]>(p);
    p += l.storeBytes;

    uint8_t* planes[6];
    for (int i = 0; i < 6; ++i) {
        const size_t bytes = i < 2 ? l.lumaBytes : l.chromaBytes;
        std::memset(p, kMidGrey, bytes);
        planes[i] = p;
        p += bytes;
    }
    const int ls = g_dec.lumaStride, cs = g_dec.chromaStride;
    g_dec.reference.y = planes[0] + 16 * ls + 16;
    g_dec.current.y = planes[1] + 16 * ls + 16;
    g_dec.reference.u = planes[2] + 8 * cs + 8;
    g_dec.current.u = planes[3] + 8 * cs + 8;
    g_dec.reference.v = planes[4] + 8 * cs + 8;
    g_dec.current.v = planes[5] + 8 * cs + 8;
    g_dec.bFirstPicture = 0;
    return true;
}

void writeFrame() {
    const FrameStore& f = g_dec.current;
    const DecodedPicture picture{
        f.y, f.u, f.v, g_dec.lumaStride, g_dec.chromaStride, g_volmd->iWidth, g_volmd->iHeight};
    if (!g_dec.pSink->put(picture)) {
        g_dec.bFailed = 1;
        g_dec.bWriteFailed = 1;
        return;
    }
    ++g_dec.iFramesWritten;
}

void runFrameLoop() {
    int pictures = 0;
    while (!g_dec.bStop) {
        if (jobCancelled()) {
            g_dec.bFailed = 1;
            break;
        }
        if (!g_dec.bShortHeader) {
            if (!findStartCode()) break;
            const uint32_t code = g_bits.showBits(32);
            if (code == kVisualObjectSequenceEndCode) {
                // Decoding ends only where no picture follows the end code: streams joined
                // from pieces carry one at the end of every piece.
                g_bits.flushBits(32);
                continue;
            }
            if (code == kGroupOfVopStartCode) {
                if (!decodeGovHeader()) break;
                continue;
            }
            if (code != kVopStartCode) {
                // Stream headers repeated between VOPs are read and skipped; a repeated VOL
                // header must describe the same layer. Any other start code ends decoding
                // with the frames written.
                if (!skipRepeatedHeader(code)) break;
                continue;
            }
        }
        platform::trace("decoding %d frame\n", pictures);

        if (g_dec.bShortHeader) {
            decodeShortHeaderPicture();
            if (g_dec.bStop || g_dec.bFailed) break;
            if (!checkPictureSize(g_volmd->iWidth, g_volmd->iHeight)) break;
        } else {
            if (!decodeVopHeader()) break;
            if (!g_vopmd->bVopCoded) {
                platform::trace("not coded\n");
                // Before any picture the frame repeated is the mid-grey one.
                if (g_dec.bFirstPicture && !createBuffers()) break;
                writeFrame();
                ++pictures;
                continue;
            }
        }
        if (g_dec.bFirstPicture && !createBuffers()) break;

        std::swap(g_dec.current, g_dec.reference);
        // A bit-stream error of an earlier picture does not reach into this one: the
        // picture's start code has resynchronised the reader.
        g_dec.bError = 0;
        decodePicture();
        if (g_dec.bShortHeader)
            g_bits.byteAlign();
        else if (g_bits.bitsToByteBoundary() != 0 || g_bits.showBits(24) != kStartCodePrefix)
            g_bits.nextStartCode();  // (a picture cut short may end right at a start code)
        writeFrame();
        ++pictures;
    }
    g_dec.bStop = 1;
}
