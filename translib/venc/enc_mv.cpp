#include "venc/enc_mv.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "venc/enc_vlc.h"

namespace {

constexpr int kZeroVectorBias = 129;   // favours the zero vector in both searches
constexpr int kRefineStart = 1048576;  // initial best cost of the half-pel refinement
constexpr int kIntraBias = 512;        // inter must beat the intra activity by this much

// Half-pel interpolation of a w x h block at (x2, y2) half-pels from `origin`.
void interpolate(const uint8_t* origin, int stride, int x2, int y2, int w, int h, int rounding,
                 uint8_t* out, int outStride) {
    const uint8_t* p = origin + (y2 >> 1) * stride + (x2 >> 1);
    const bool hx = x2 & 1, hy = y2 & 1;
    for (int r = 0; r < h; ++r) {
        const uint8_t* a = p + r * stride;
        uint8_t* o = out + r * outStride;
        if (!hx && !hy) {
            std::memcpy(o, a, static_cast<size_t>(w));
        } else if (hx && !hy) {
            for (int c = 0; c < w; ++c)
                o[c] = static_cast<uint8_t>((a[c] + a[c + 1] + 1 - rounding) >> 1);
        } else if (!hx && hy) {
            const uint8_t* b = a + stride;
            for (int c = 0; c < w; ++c)
                o[c] = static_cast<uint8_t>((a[c] + b[c] + 1 - rounding) >> 1);
        } else {
            const uint8_t* b = a + stride;
            for (int c = 0; c < w; ++c)
                o[c] =
                    static_cast<uint8_t>((a[c] + a[c + 1] + b[c] + b[c + 1] + 2 - rounding) >> 2);
        }
    }
}

// Chroma vector component of a luma component (ISO/IEC 14496-2 rounding for one vector).
int chromaComponent(int v) {
    static const int kRound[4] = {0, 1, 1, 1};
    const int a = std::abs(v);
    const int c = (a / 4) * 2 + kRound[a % 4];
    return v < 0 ? -c : c;
}

int median3(int a, int b, int c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

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
    struct Plane {
        uint8_t* origin;
        int width, height, stride, border;
    };
    const Plane planes[3] = {
        {frame.y, geo.alignedWidth, geo.alignedHeight, geo.strideY, enc_LUMA_BORDER},
        {frame.u, geo.alignedWidth / 2, geo.alignedHeight / 2, geo.strideC, enc_CHROMA_BORDER},
        {frame.v, geo.alignedWidth / 2, geo.alignedHeight / 2, geo.strideC, enc_CHROMA_BORDER},
    };
    for (const Plane& p : planes) {
        for (int y = 0; y < p.height; ++y) {
            uint8_t* row = p.origin + y * p.stride;
            std::memset(row - p.border, row[0], static_cast<size_t>(p.border));
            std::memset(row + p.width, row[p.width - 1], static_cast<size_t>(p.border));
        }
        const size_t rowBytes = static_cast<size_t>(p.width + 2 * p.border);
        const uint8_t* first = p.origin - p.border;
        const uint8_t* last = first + (p.height - 1) * p.stride;
        for (int i = 1; i <= p.border; ++i) {
            std::memcpy(p.origin - p.border - i * p.stride, first, rowBytes);
            std::memcpy(p.origin - p.border + (p.height - 1 + i) * p.stride, last, rowBytes);
        }
    }
}

void encEstimate(EncMbContext* ctx, EncMbMode* mode, EncMotionVector* mvs, const uint8_t* refY,
                 int column, int row) {
    const EncKernels& k = enc_g_kernels;
    const EncGeometry& geo = ctx->geo;
    const uint8_t* src = ctx->work.srcY;
    const int stride = geo.strideY;
    const int x0 = 16 * column, y0 = 16 * row;

    // Integer spiral search around the zero vector.
    int best = k.sad16(src, refY + y0 * stride + x0, stride, INT32_MAX) - kZeroVectorBias;
    int bestX = x0, bestY = y0;
    const EncSearchArea area = {ctx->searchOrder.data(),
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
        mode->dctMd = INTRA;
        mode->bSkip = 0;
        for (int i = 0; i < enc_MVS_PER_MB; ++i) encSetVector(&mvs[i], 0, 0);
        ctx->complexitySum = encWrap32(int64_t{ctx->complexitySum} + std::max(activity, 0));
        return;
    }
    mode->dctMd = INTER;
    encSetVector(&mvs[0], 2 * dx + bestHx, 2 * dy + bestHy);
    for (int i = 1; i < enc_MVS_PER_MB; ++i) mvs[i] = mvs[0];
    ctx->complexitySum = encWrap32(int64_t{ctx->complexitySum} + std::max(bestCost, 0));
}

void encCompensate(EncMbContext* ctx, const EncMotionVector* mvs, const EncPlanes& ref, int column,
                   int row) {
    const EncGeometry& geo = ctx->geo;
    EncMbWork& w = ctx->work;
    const int rounding = enc_g_vopmd->iRoundingType;

    const int x = std::clamp(32 * column + mvs[0].iMVX, -32, 2 * geo.alignedWidth);
    const int y = std::clamp(32 * row + mvs[0].iMVY, -32, 2 * geo.alignedHeight);
    interpolate(ref.y, geo.strideY, x, y, 16, 16, rounding, w.predY, 16);

    const int cx = std::clamp(16 * column + chromaComponent(mvs[0].iMVX), -16, geo.alignedWidth);
    const int cy = std::clamp(16 * row + chromaComponent(mvs[0].iMVY), -16, geo.alignedHeight);
    interpolate(ref.u, geo.strideC, cx, cy, 8, 8, rounding, w.predU, 8);
    interpolate(ref.v, geo.strideC, cx, cy, 8, 8, rounding, w.predV, 8);

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
        px = median3(left.iMVX, above.iMVX, aboveRight.iMVX);
        py = median3(left.iMVY, above.iMVY, aboveRight.iMVY);
    }
    const EncMotionVector& mv = mvs[n * enc_MVS_PER_MB];
    const EncVopMode* vop = enc_g_vopmd;
    return putComponent(bs, mv.iMVX - px, vop) + putComponent(bs, mv.iMVY - py, vop);
}
