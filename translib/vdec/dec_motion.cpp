#include "vdec/dec_motion.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dsp/dsp.h"
#include "dsp/motion_vector.h"
#include "vdec/dec_vlc.h"

namespace {

// Decodes one component; false (and nothing written) when a vector error stops decoding.
bool decodeComponent(int32_t predictor, int fcode, int32_t* out) {
    int code = readMotionCode();
    if (g_dec.bError) return false;
    int r = fcode - 1;
    int32_t difference = code;
    if (r > 0 && code != 0) {
        int32_t residual = int32_t(g_bits.getBits(r));
        int32_t magnitude = ((std::abs(code) - 1) << r) + residual + 1;
        difference = code < 0 ? -magnitude : magnitude;
    }
    *out = wrapVectorComponent(predictor, difference, fcode);
    return true;
}

// Decodes one vector from its candidates into *v; false when decoding stopped.
bool decodeVector(const MotionVector* candidates[3], const bool usable[3], MotionVector* v) {
    MotionVector p = predictVector(candidates, usable);
    int fcode = g_vopmd->iFCode;
    if (!decodeComponent(p.x, fcode, &v->x)) return false;
    return decodeComponent(p.y, fcode, &v->y);
}

// Predicts an s x s block at half-sample position (hx, hy) relative to the plane origin.
void predictBlock(uint8_t* dst, int dstStride, const uint8_t* refOrigin, int refStride, int hx,
                  int hy, int minPos, int maxX, int maxY, dsp::BlockSize size) {
    dsp::predictHalfSample(dsp::kernels().mc, size, dst, dstStride, refOrigin, refStride,
                           std::clamp(hx, minPos, maxX), std::clamp(hy, minPos, maxY),
                           g_vopmd->iRoundingType);
}

}  // namespace

MotionVector predictVector(const MotionVector* candidates[3], const bool usable[3]) {
    int count = usable[0] + usable[1] + usable[2];
    if (count == 1) {
        for (int i = 0; i < 3; ++i)
            if (usable[i]) return *candidates[i];
    }
    MotionVector c[3];
    for (int i = 0; i < 3; ++i) c[i] = usable[i] ? *candidates[i] : MotionVector{};
    return MotionVector{dsp::median3(c[0].x, c[1].x, c[2].x), dsp::median3(c[0].y, c[1].y, c[2].y)};
}

int32_t wrapVectorComponent(int32_t predictor, int32_t difference, int fcode) {
    int32_t f = 1 << (fcode - 1);
    int32_t v = predictor + difference;
    if (v < -32 * f)
        v += 64 * f;
    else if (v > 32 * f - 1)
        v -= 64 * f;
    return v;
}

int readMotionCode() {
    if (g_bits.getBit()) return 0;
    // The table is indexed by the code with its leading 0, which was just read.
    const vlc::MvdEntry& e = vlc::kMvdTable.e[g_bits.showBits(vlc::kMvdBits - 1)];
    if (e.length == 0) {
        std::printf("Invalid motion_vector code\n");
        g_dec.bError = 1;
        return -1;
    }
    g_bits.flushBits(e.length - 1);
    int magnitude = e.magnitude;
    return g_bits.getBit() ? -magnitude : magnitude;
}

void decodeMotionVectors(const MacroblockMode* mb, int col, int row) {
    MotionVector* mv = g_mvRow[col];
    if (isIntraMode(mb->dctMd) || mb->bNotCoded) {
        for (int i = 0; i < 5; ++i) mv[i] = MotionVector{};
        return;
    }
    const int segment = mb->iSegment;
    const bool leftOk = col > 0 && g_dec.mbCurr[col - 1].iSegment == segment;
    const bool aboveOk = row > 0 && g_dec.mbAbove[col].iSegment == segment;
    const bool aboveRightOk =
        row > 0 && col < g_dec.mbColumns - 1 && g_dec.mbAbove[col + 1].iSegment == segment;
    static const MotionVector kZero{};
    const MotionVector* left = col > 0 ? g_mvRow[col - 1] : nullptr;
    const MotionVector* aboveRight = col < g_dec.mbColumns - 1 ? g_mvRow[col + 1] : nullptr;
    auto at = [](const MotionVector* v, int i) { return v ? &v[i] : &kZero; };

    if (mb->dctMd != vdec::INTER4V) {
        const MotionVector* c[3] = {at(left, 2), &mv[3], at(aboveRight, 3)};
        const bool u[3] = {leftOk, aboveOk, aboveRightOk};
        decodeVector(c, u, &mv[0]);
        for (int i = 1; i < 5; ++i) mv[i] = mv[0];
        return;
    }
    {
        const MotionVector* c[3] = {at(left, 2), &mv[3], at(aboveRight, 3)};
        const bool u[3] = {leftOk, aboveOk, aboveRightOk};
        if (!decodeVector(c, u, &mv[1])) return;
    }
    {
        const MotionVector* c[3] = {&mv[1], &mv[4], at(aboveRight, 3)};
        const bool u[3] = {true, aboveOk, aboveRightOk};
        if (!decodeVector(c, u, &mv[2])) return;
    }
    {
        const MotionVector* c[3] = {at(left, 4), &mv[1], &mv[2]};
        const bool u[3] = {leftOk, true, true};
        if (!decodeVector(c, u, &mv[3])) return;
    }
    {
        const MotionVector* c[3] = {&mv[3], &mv[1], &mv[2]};
        const bool u[3] = {true, true, true};
        decodeVector(c, u, &mv[4]);
    }
}

void fillReferenceBorder() {
    const FrameStore& ref = g_dec.reference;
    dsp::fillPlaneBorder(ref.y, g_dec.lumaStride, g_dec.codedWidth, g_dec.codedHeight, 16);
    dsp::fillPlaneBorder(ref.u, g_dec.chromaStride, g_dec.codedWidth / 2, g_dec.codedHeight / 2, 8);
    dsp::fillPlaneBorder(ref.v, g_dec.chromaStride, g_dec.codedWidth / 2, g_dec.codedHeight / 2, 8);
}

void predictInterMacroblock(const MacroblockMode* mb, int col, int row) {
    const MotionVector* mv = g_mvRow[col];
    const FrameStore& ref = g_dec.reference;
    const FrameStore& cur = g_dec.current;
    const int ls = g_dec.lumaStride, cs = g_dec.chromaStride;
    const int cw = g_dec.codedWidth, ch = g_dec.codedHeight;
    uint8_t* dstY = cur.y + 16 * row * ls + 16 * col;

    int32_t cx, cy;
    if (mb->dctMd != vdec::INTER4V) {
        predictBlock(dstY, ls, ref.y, ls, 32 * col + mv[0].x, 32 * row + mv[0].y, -32, 2 * cw,
                     2 * ch, dsp::kSize16);
        cx = dsp::chromaFromOneVector(mv[0].x);
        cy = dsp::chromaFromOneVector(mv[0].y);
    } else {
        int32_t sx = 0, sy = 0;
        for (int k = 0; k < 4; ++k) {
            const MotionVector& v = mv[k + 1];
            uint8_t* dst = dstY + 8 * (k / 2) * ls + 8 * (k % 2);
            predictBlock(dst, ls, ref.y, ls, 32 * col + v.x + 16 * (k % 2),
                         32 * row + v.y + 16 * (k / 2), -32, 2 * (cw + 8), 2 * (ch + 8),
                         dsp::kSize8);
            sx += v.x;
            sy += v.y;
        }
        cx = dsp::chromaFromFourVectors(sx);
        cy = dsp::chromaFromFourVectors(sy);
    }
    const int offset = 8 * row * cs + 8 * col;
    predictBlock(cur.u + offset, cs, ref.u, cs, 16 * col + cx, 16 * row + cy, -16, cw, ch,
                 dsp::kSize8);
    predictBlock(cur.v + offset, cs, ref.v, cs, 16 * col + cx, 16 * row + cy, -16, cw, ch,
                 dsp::kSize8);
}

void copyReferenceMacroblock(int col, int row) {
    const FrameStore& ref = g_dec.reference;
    const FrameStore& cur = g_dec.current;
    const int ls = g_dec.lumaStride, cs = g_dec.chromaStride;
    const int lumaOffset = 16 * row * ls + 16 * col;
    for (int y = 0; y < 16; ++y)
        std::memcpy(cur.y + lumaOffset + y * ls, ref.y + lumaOffset + y * ls, 16);
    const int chromaOffset = 8 * row * cs + 8 * col;
    for (int y = 0; y < 8; ++y) {
        std::memcpy(cur.u + chromaOffset + y * cs, ref.u + chromaOffset + y * cs, 8);
        std::memcpy(cur.v + chromaOffset + y * cs, ref.v + chromaOffset + y * cs, 8);
    }
}
