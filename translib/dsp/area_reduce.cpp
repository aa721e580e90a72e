#include "dsp/area_reduce.h"

#include <cstring>

namespace dsp {

int areaReduceFactor(int inputSize, int targetSize) {
    if (targetSize <= 0 || inputSize <= 2 * targetSize) return 1;
    return inputSize / targetSize;
}

int areaReducedSize(int inputSize, int factor) {
    if (factor <= 1) return inputSize;
    return 2 * (inputSize / (2 * factor));
}

void areaReducePlane(const uint8_t* in, int inStride, uint8_t* out, int outStride, int outWidth,
                     int outHeight, int factorX, int factorY) {
    const uint32_t area = static_cast<uint32_t>(factorX) * static_cast<uint32_t>(factorY);
    const uint32_t half = area / 2;
    for (int y = 0; y < outHeight; ++y) {
        const uint8_t* top = in + static_cast<std::ptrdiff_t>(y) * factorY * inStride;
        uint8_t* dst = out + static_cast<std::ptrdiff_t>(y) * outStride;
        if (area == 1) {
            std::memcpy(dst, top, static_cast<size_t>(outWidth));
            continue;
        }
        for (int x = 0; x < outWidth; ++x) {
            const uint8_t* box = top + static_cast<std::ptrdiff_t>(x) * factorX;
            uint32_t sum = 0;
            for (int j = 0; j < factorY; ++j, box += inStride)
                for (int i = 0; i < factorX; ++i) sum += box[i];
            dst[x] = static_cast<uint8_t>((sum + half) / area);
        }
    }
}

}  // namespace dsp
