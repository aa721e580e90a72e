// Plain SAD kernels, the spiral order and the SAD table.

#include "dsp/sad.h"

#include <cstdlib>

#include "dsp/cpu.h"
#include "dsp/variants.h"

namespace dsp {

int sad16Plain(const uint8_t* cur, const uint8_t* ref, int refStride, int limit) {
    int sum = 0;
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) sum += std::abs(cur[c] - ref[c]);
        if (sum >= limit) return sum;
        cur += 16;
        ref += refStride;
    }
    return sum;
}

int zoomSad16Plain(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit) {
    int sum = 0;
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) sum += std::abs(cur[c] - zoom[2 * c]);
        if (sum > limit) return sum;
        cur += 16;
        zoom += 2 * zoomStride;
    }
    return sum;
}

std::vector<SpiralStep> spiralOrder(int range) {
    static const int kStepX[4] = {-1, 0, 1, 0};
    static const int kStepY[4] = {0, -1, 0, 1};
    std::vector<SpiralStep> order;
    for (int i = 1; i <= range; ++i) {
        int x = i, y = i;
        for (int edge = 0; edge < 4; ++edge) {
            for (int s = 0; s < 2 * i; ++s, x += kStepX[edge], y += kStepY[edge])
                order.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y)});
        }
    }
    return order;
}

void spiralSearchPlain(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                       const SearchArea& area, int* best, int* bestX, int* bestY) {
    for (int k = 0; k < area.count; ++k) {
        const int x = area.x0 + area.order[k].dx, y = area.y0 + area.order[k].dy;
        if (x < -16 || x >= area.width || y < -16 || y >= area.height) continue;
        const int sad = sad16Plain(cur, refOrigin + y * refStride + x, refStride, *best);
        if (sad < *best) {
            *best = sad;
            *bestX = x;
            *bestY = y;
        }
    }
}

int activity16Plain(const uint8_t* cur) {
    int sum = 0;
    for (int i = 0; i < 256; ++i) sum += cur[i];
    const int mean = sum / 256;
    int activity = 0;
    for (int i = 0; i < 256; ++i) activity += std::abs(cur[i] - mean);
    return activity;
}

void initSadKernels(unsigned cpuFlags, SadKernels* k) {
    k->sad16 = sad16Plain;
    k->zoomSad16 = zoomSad16Plain;
    k->spiralSearch = spiralSearchPlain;
    k->activity16 = activity16Plain;
#if defined(__SSE2__)
    if (cpuFlags & kCpuSse2) {
        k->sad16 = sad16Sse2;
        k->zoomSad16 = zoomSad16Sse2;
        k->spiralSearch = spiralSearchSse2;
        k->activity16 = activity16Sse2;
    }
#endif
#if defined(__x86_64__) || defined(__i386__)
    if (cpuFlags & kCpuAvx2) k->spiralSearch = spiralSearchAvx2;
#else
    (void)cpuFlags;
#endif
}

}  // namespace dsp
