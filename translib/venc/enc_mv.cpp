#include "venc/enc_mv.h"

#include <algorithm>
#include <cstdlib>

#include "dsp/dsp.h"
#include "dsp/motion_vector.h"
#include "venc/enc_vlc.h"

namespace {

constexpr int kZeroVectorBias = 129;   // favours the zero vector in both searches
constexpr int kRefineStart = 1048576;  // initial best cost of the half-pel refinement
constexpr int kIntraBias = 512;        // inter must beat the intra activity by this much

// Writes one vector difference component; returns its bits.
int putComponent(COutBitStream* bs, int d, const EncVopMode* vop) {
    const int range = vop->iMVRange;
    if (d < -range)
        d += 2 * range;
    else if (d > range - 1)
        d -= 2 * range;
    const int f = vop->iMVScale;
    if (f == 1 || d == 0) return encPutMotionCode(bs, d);
    const int a = std::abs(d);
    const int residual = (a - 1) % f;
    const int code = (a + f - residual - 1) / f;
    int bits = encPutMotionCode(bs, d < 0 ? -code : code);
    bs->put(static_cast<uint32_t>(residual), vop->iFCode - 1, "MV_Residual");
    return bits + vop->iFCode - 1;
}

}  // namespace

bool encDeriveMotionParameters(EncVopMode* vop) {
    int& range = vop->iSearchRangeForward;
    if (range > 1024) return false;
    int fcode = 7;
    static const int kLimits[6] = {16, 32, 64, 128, 256, 512};
    for (int i = 0; i < 6; ++i) {
        if (range <= kLimits[i]) {
            fcode = i + 1;
            break;
        }
    }
    vop->iFCode = fcode;
    vop->iMVRange = 1 << (fcode + 4);
    vop->iMVScale = 1 << (fcode - 1);
    if (range == vop->iMVRange / 2) range -= 1;
    return true;
}

void encSetVector(EncMotionVector* mv, int x, int y) {
    mv->iMVX = x;
    mv->iMVY = y;
    mv->iIntX = x / 2;
    mv->iIntY = y / 2;
    mv->iHalfX = x - 2 * mv->iIntX;
    mv->iHalfY = y - 2 * mv->iIntY;
}

void encFillBorder(const EncPlanes& frame, const EncGeometry& geo) {
    const int w = geo.alignedWidth, h = geo.alignedHeight;
    dsp::fillPlaneBorder(frame.y, geo.strideY, w, h, enc_LUMA_BORDER);
    dsp::fillPlaneBorder(frame.u, geo.strideC, w / 2, h / 2, enc_CHROMA_BORDER);
    dsp::fillPlaneBorder(frame.v, geo.strideC, w / 2, h / 2, enc_CHROMA_BORDER);
}

void encEstimate(EncMbContext* ctx, EncMbMode* mode, EncMotionVector* mvs, const uint8_t* refY,
                 int column, int row) {
    const dsp::SadKernels& k = ctx->kernels->sad;
    const EncGeometry& geo = ctx->geo;
    const uint8_t* src = ctx->work.srcY;
    const int stride = geo.strideY;
    const int x0 = 16 * column, y0 = 16 * row;

    // Integer spiral search around the zero vector.
    int best = k.sad16(src, refY + y0 * stride + x0, stride, INT32_MAX) - kZeroVectorBias;
    int bestX = x0, bestY = y0;
    const dsp::SearchArea area = {ctx->searchOrder.data(),
                                  static_cast<int>(ctx->searchOrder.size()),
                                  x0,
                                  y0,
                                  geo.alignedWidth,
                                  geo.alignedHeight};
    k.spiralSearch(src, refY, stride, area, &best, &bestX, &bestY);
    const int dx = bestX - x0, dy = bestY - y0;

    // Half-pel refinement on the zoom frame around the best whole-pel position.
    int bestCost = kRefineStart;
    int bestHx = 0, bestHy = 0;
    const bool zeroVector = dx == 0 && dy == 0;
    const uint8_t* zoomBest = ctx->zoom + (2 * bestY + 32) * ctx->zoomStride + (2 * bestX + 32);
    for (int hy = -1; hy <= 1; ++hy) {
        if (hy < 0 && bestY == -16) continue;
        for (int hx = -1; hx <= 1; ++hx) {
            if (hx < 0 && bestX == -16) continue;
            const int bias = (hx == 0 && hy == 0 && zeroVector) ? kZeroVectorBias : 0;
            const int sad = k.zoomSad16(src, zoomBest + hy * ctx->zoomStride + hx, ctx->zoomStride,
                                        bestCost + bias);
            const int cost = sad - bias;
            const int length = std::abs(2 * dx + hx) + std::abs(2 * dy + hy);
            const int bestLength = std::abs(2 * dx + bestHx) + std::abs(2 * dy + bestHy);
            if (cost < bestCost || (cost == bestCost && length < bestLength)) {
                bestCost = cost;
                bestHx = hx;
                bestHy = hy;
            }
        }
    }

    // Intra when the block's own activity is clearly lower than the best inter cost.
    const int activity = k.activity16(src);

    mode->bFourMV = 0;
    if (activity < bestCost - kIntraBias) {
        mode->dctMd = venc::INTRA;
        mode->bSkip = 0;
        for (int i = 0; i < enc_MVS_PER_MB; ++i) encSetVector(&mvs[i], 0, 0);
        ctx->complexitySum = encWrap32(int64_t{ctx->complexitySum} + std::max(activity, 0));
        return;
    }
    mode->dctMd = venc::INTER;
    encSetVector(&mvs[0], 2 * dx + bestHx, 2 * dy + bestHy);
    for (int i = 1; i < enc_MVS_PER_MB; ++i) mvs[i] = mvs[0];
    ctx->complexitySum = encWrap32(int64_t{ctx->complexitySum} + std::max(bestCost, 0));
}

void encCompensate(EncMbContext* ctx, const EncMotionVector* mvs, const EncPlanes& ref, int column,
                   int row) {
    const dsp::McKernels& mc = ctx->kernels->mc;
    const EncGeometry& geo = ctx->geo;
    EncMbWork& w = ctx->work;
    const int rounding = enc_g_vopmd->iRoundingType;

    const int x = std::clamp(32 * column + mvs[0].iMVX, -32, 2 * geo.alignedWidth);
    const int y = std::clamp(32 * row + mvs[0].iMVY, -32, 2 * geo.alignedHeight);
    dsp::predictHalfSample(mc, dsp::kSize16, w.predY, 16, ref.y, geo.strideY, x, y, rounding);

    const int cx =
        std::clamp(16 * column + dsp::chromaFromOneVector(mvs[0].iMVX), -16, geo.alignedWidth);
    const int cy =
        std::clamp(16 * row + dsp::chromaFromOneVector(mvs[0].iMVY), -16, geo.alignedHeight);
    dsp::predictHalfSample(mc, dsp::kSize8, w.predU, 8, ref.u, geo.strideC, cx, cy, rounding);
    dsp::predictHalfSample(mc, dsp::kSize8, w.predV, 8, ref.v, geo.strideC, cx, cy, rounding);

    for (int b = 0; b < 4; ++b) {
        const int offset = (b >> 1) * 8 * 16 + (b & 1) * 8;
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 8; ++c)
                w.block[b][r * 8 + c] = static_cast<int16_t>(w.srcY[offset + r * 16 + c] -
                                                             w.predY[offset + r * 16 + c]);
    }
    for (int i = 0; i < 64; ++i) {
        w.block[4][i] = static_cast<int16_t>(w.srcU[i] - w.predU[i]);
        w.block[5][i] = static_cast<int16_t>(w.srcV[i] - w.predV[i]);
    }
}

int encWriteVector(COutBitStream* bs, const EncMbContext* ctx, int column, int row) {
    const int cols = ctx->geo.mbCols;
    const int n = column + row * cols;
    if (n < enc_g_iVPMBnum) encFail("iMBnum >= enc_g_iVPMBnum\n");
    const EncMotionVector* mvs = ctx->mvs;
    const bool hasLeft = column > 0;
    const bool hasAbove = row > 0;
    const bool hasAboveRight = row > 0 && column + 1 < cols;
    const EncMotionVector zero{};
    const EncMotionVector& left = hasLeft ? mvs[(n - 1) * enc_MVS_PER_MB + 2] : zero;
    const EncMotionVector& above = hasAbove ? mvs[(n - cols) * enc_MVS_PER_MB + 3] : zero;
    const EncMotionVector& aboveRight =
        hasAboveRight ? mvs[(n - cols + 1) * enc_MVS_PER_MB + 3] : zero;
    int px, py;
    const int available = int(hasLeft) + int(hasAbove) + int(hasAboveRight);
    if (available == 1) {
        const EncMotionVector& only = hasLeft ? left : (hasAbove ? above : aboveRight);
        px = only.iMVX;
        py = only.iMVY;
    } else {
        px = dsp::median3(left.iMVX, above.iMVX, aboveRight.iMVX);
        py = dsp::median3(left.iMVY, above.iMVY, aboveRight.iMVY);
    }
    const EncMotionVector& mv = mvs[n * enc_MVS_PER_MB];
    const EncVopMode* vop = enc_g_vopmd;
    return putComponent(bs, mv.iMVX - px, vop) + putComponent(bs, mv.iMVY - py, vop);
}
