// Plain motion-compensation kernels and their table.

#include "dsp/mc.h"

#include <cstring>

#include "dsp/cpu.h"
#include "dsp/variants.h"

namespace dsp {

namespace {

template <int S, int Mode>
void interpolatePlain(uint8_t* dst, int dstStride, const uint8_t* src, int srcStride,
                      int rounding) {
    for (int y = 0; y < S; ++y, dst += dstStride, src += srcStride) {
        const uint8_t* below = src + srcStride;
        for (int x = 0; x < S; ++x) {
            int a = src[x];
            switch (Mode) {
                case kFull:
                    dst[x] = uint8_t(a);
                    break;
                case kHalfX:
                    dst[x] = uint8_t((a + src[x + 1] + 1 - rounding) >> 1);
                    break;
                case kHalfY:
                    dst[x] = uint8_t((a + below[x] + 1 - rounding) >> 1);
                    break;
                default:
                    dst[x] =
                        uint8_t((a + src[x + 1] + below[x] + below[x + 1] + 2 - rounding) >> 2);
                    break;
            }
        }
    }
}

template <int S>
void installInterpolation(InterpolateFn* modes) {
    modes[kFull] = interpolatePlain<S, kFull>;
    modes[kHalfX] = interpolatePlain<S, kHalfX>;
    modes[kHalfY] = interpolatePlain<S, kHalfY>;
    modes[kHalfXY] = interpolatePlain<S, kHalfXY>;
}

}  // namespace

void buildZoomPlain(const uint8_t* s, int w, int h, uint8_t* zoom, int r) {
    const int zs = 2 * w;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = s + y * w;
        const uint8_t* below = y + 1 < h ? row + w : nullptr;
        uint8_t* even = zoom + 2 * y * zs;
        uint8_t* odd = even + zs;
        for (int x = 0; x < w; ++x) {
            const int a = row[x];
            const bool lastColumn = x + 1 == w;
            const int b = lastColumn ? a : row[x + 1];
            even[2 * x] = static_cast<uint8_t>(a);
            even[2 * x + 1] = static_cast<uint8_t>(lastColumn ? a : (a + b + 1 - r) / 2);
            if (!below) continue;
            const int c = below[x];
            const int vertical = (a + c + 1 - r) / 2;
            odd[2 * x] = static_cast<uint8_t>(vertical);
            odd[2 * x + 1] = static_cast<uint8_t>(
                lastColumn ? vertical : (a + b + c + below[x + 1] + 2 - r) / 4);
        }
        if (!below)
            for (int x = 0; x < zs; ++x) odd[x] = even[x];
    }
}

void fillPlaneBorder(uint8_t* origin, int stride, int width, int height, int border) {
    for (int y = 0; y < height; ++y) {
        uint8_t* row = origin + y * stride;
        std::memset(row - border, row[0], static_cast<size_t>(border));
        std::memset(row + width, row[width - 1], static_cast<size_t>(border));
    }
    const size_t rowBytes = static_cast<size_t>(width + 2 * border);
    const uint8_t* first = origin - border;
    const uint8_t* last = first + (height - 1) * stride;
    for (int i = 1; i <= border; ++i) {
        std::memcpy(origin - border - i * stride, first, rowBytes);
        std::memcpy(origin - border + (height - 1 + i) * stride, last, rowBytes);
    }
}

void initMcKernels(unsigned cpuFlags, McKernels* k) {
    installInterpolation<16>(k->interpolate[kSize16]);
    installInterpolation<8>(k->interpolate[kSize8]);
    k->buildZoom = buildZoomPlain;
#if defined(__SSE2__)
    if (cpuFlags & kCpuSse2) {
        installInterpolationSse2(k->interpolate);
        k->buildZoom = buildZoomSse2;
    }
#else
    (void)cpuFlags;
#endif
}

}  // namespace dsp
