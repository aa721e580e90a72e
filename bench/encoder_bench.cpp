// Kernels of the video encoder, each in its plain and faster variants.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "venc/enc_kernels.h"

namespace {

// Kernel tables by variant: 0 plain, 1 SSE2, 2 SSE2 + AVX2.
EncKernels kernelsFor(int variant) {
    const unsigned flags[] = {0u, kEncCpuSse2, kEncCpuSse2 | kEncCpuAvx2};
    EncKernels k;
    encInitKernels(&k, flags[variant] & encCpuFlags(), 1);
    return k;
}

const char* variantName(int variant) {
    static const char* const kNames[] = {"plain", "sse2", "avx2"};
    return kNames[variant];
}

// A reference plane of 176 x 144 (with its border) and a source macroblock near it.
struct SearchData {
    static constexpr int kWidth = 176, kHeight = 144, kStride = kWidth + 32;
    std::vector<uint8_t> plane = std::vector<uint8_t>(kStride * (kHeight + 32));
    alignas(16) uint8_t cur[256];
    SearchData() {
        std::mt19937 rng(7);
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = static_cast<uint8_t>((i % kStride) + (i / kStride) + rng() % 12);
        for (int i = 0; i < 256; ++i)
            cur[i] = plane[(16 + 50 + i / 16) * kStride + 16 + 70 + i % 16];
    }
    const uint8_t* origin() const { return plane.data() + 16 * kStride + 16; }
};

void BM_SpiralSearch(benchmark::State& state) {
    const EncKernels k = kernelsFor(static_cast<int>(state.range(0)));
    state.SetLabel(variantName(static_cast<int>(state.range(0))));
    SearchData d;
    const std::vector<EncSpiralStep> order = encSpiralOrder(8);
    const EncSearchArea area = {
        order.data(),       static_cast<int>(order.size()), 64, 48, SearchData::kWidth,
        SearchData::kHeight};
    for (auto _ : state) {
        int best = k.sad16(d.cur, d.origin() + 48 * SearchData::kStride + 64, SearchData::kStride,
                           1 << 30) -
                   129;
        int x = 64, y = 48;
        k.spiralSearch(d.cur, d.origin(), SearchData::kStride, area, &best, &x, &y);
        benchmark::DoNotOptimize(best);
    }
}
BENCHMARK(BM_SpiralSearch)->Arg(0)->Arg(1)->Arg(2);

void BM_ZoomSad16(benchmark::State& state) {
    const EncKernels k = kernelsFor(static_cast<int>(state.range(0)));
    state.SetLabel(variantName(static_cast<int>(state.range(0))));
    SearchData d;
    for (auto _ : state)
        benchmark::DoNotOptimize(k.zoomSad16(d.cur, d.plane.data() + 100, 104, 1 << 30));
}
BENCHMARK(BM_ZoomSad16)->Arg(0)->Arg(1);

void BM_BuildZoom(benchmark::State& state) {
    const EncKernels k = kernelsFor(static_cast<int>(state.range(0)));
    state.SetLabel(variantName(static_cast<int>(state.range(0))));
    SearchData d;
    std::vector<uint8_t> zoom(4 * d.plane.size());
    for (auto _ : state) {
        k.buildZoom(d.plane.data(), SearchData::kStride, SearchData::kHeight + 32, zoom.data(), 0);
        benchmark::DoNotOptimize(zoom.data());
    }
}
BENCHMARK(BM_BuildZoom)->Arg(0)->Arg(1);

struct BlockData {
    alignas(16) int16_t residual[64];
    alignas(16) int16_t coef[64];
    alignas(16) int16_t level[64];
    alignas(16) int32_t out[64];
    EncQuantMatrix inter;
    BlockData() {
        std::mt19937 rng(11);
        for (auto& r : residual) r = static_cast<int16_t>(static_cast<int>(rng() % 61) - 30);
        int weights[64];
        for (int i = 0; i < 64; ++i) weights[i] = 16 + i / 4;
        encBuildQuantMatrix(weights, &inter);
        encFdctPlain(residual, coef);
        encQuantInterMpegPlain(coef, level, 4, &inter);
    }
};

void BM_Fdct(benchmark::State& state) {
    const EncKernels k = kernelsFor(static_cast<int>(state.range(0)));
    state.SetLabel(variantName(static_cast<int>(state.range(0))));
    BlockData b;
    for (auto _ : state) {
        k.fdct(b.residual, b.coef);
        benchmark::DoNotOptimize(b.coef);
    }
}
BENCHMARK(BM_Fdct)->Arg(0)->Arg(1);

void BM_Idct(benchmark::State& state) {
    const EncKernels k = kernelsFor(0);
    BlockData b;
    for (auto _ : state) {
        k.idct(b.coef, b.out);
        benchmark::DoNotOptimize(b.out);
    }
}
BENCHMARK(BM_Idct);

void BM_QuantInter(benchmark::State& state) {
    const EncKernels k = kernelsFor(static_cast<int>(state.range(0)));
    state.SetLabel(variantName(static_cast<int>(state.range(0))));
    BlockData b;
    for (auto _ : state) benchmark::DoNotOptimize(k.quantInter(b.coef, b.level, 4, &b.inter));
}
BENCHMARK(BM_QuantInter)->Arg(0)->Arg(1);

void BM_DequantInter(benchmark::State& state) {
    const EncKernels k = kernelsFor(static_cast<int>(state.range(0)));
    state.SetLabel(variantName(static_cast<int>(state.range(0))));
    BlockData b;
    for (auto _ : state) {
        k.dequantInter(b.level, b.coef, 4, &b.inter);
        benchmark::DoNotOptimize(b.coef);
    }
}
BENCHMARK(BM_DequantInter)->Arg(0)->Arg(1);

}  // namespace
