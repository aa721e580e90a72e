// The kernels of the shared table, each in its plain and faster variants (the first
// argument: 0 plain, 1 SSE2, 2 SSE2 + AVX2; a variant the machine lacks runs its best).

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "dsp/dsp.h"
#include "tables/std_tables.h"

namespace {

dsp::Kernels kernelsFor(benchmark::State& state) {
    static const char* const kNames[] = {"plain", "sse2", "avx2"};
    const unsigned flags[] = {0u, dsp::kCpuSse2, dsp::kCpuSse2 | dsp::kCpuAvx2};
    const int variant = static_cast<int>(state.range(0));
    state.SetLabel(kNames[variant]);
    dsp::Kernels k;
    dsp::dspInit(flags[variant] & dsp::cpuFlags(), &k);
    return k;
}

// Coefficient blocks as the decoder meets them: a DC and a few low-frequency levels
// (sparse), or every coefficient set (dense).
std::vector<int32_t> coefficientBlocks(bool dense, int count) {
    std::mt19937 rng(1);
    std::vector<int32_t> blocks(size_t(count) * 64, 0);
    for (int b = 0; b < count; ++b) {
        int32_t* c = &blocks[size_t(b) * 64];
        c[0] = int32_t(rng() % 2040);
        const int n = dense ? 64 : 4;
        for (int i = 1; i < n; ++i)
            c[dense ? i : tables::kScanZigzag[i]] = int32_t(rng() % 200) - 100;
    }
    return blocks;
}

void BM_IdctRows16(benchmark::State& state) {
    const dsp::Kernels k = kernelsFor(state);
    const int count = 256;
    const std::vector<int32_t> source = coefficientBlocks(state.range(1) != 0, count);
    std::vector<int32_t> work(source.size());
    for (auto _ : state) {
        std::memcpy(work.data(), source.data(), source.size() * sizeof(int32_t));
        for (int b = 0; b < count; ++b) k.tx.idctRows16(&work[size_t(b) * 64]);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_IdctRows16)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"variant", "dense"});

// A residual block with its coefficients, levels and dequantised coefficients.
struct BlockData {
    alignas(16) int16_t residual[64];
    alignas(16) int16_t coef[64];
    alignas(16) int16_t level[64];
    alignas(16) int32_t out[64];
    alignas(16) uint8_t samples[16 * 8];
    dsp::QuantMatrix inter;
    BlockData() {
        std::mt19937 rng(11);
        for (auto& r : residual) r = static_cast<int16_t>(static_cast<int>(rng() % 61) - 30);
        for (auto& s : samples) s = static_cast<uint8_t>(rng());
        int weights[64];
        for (int i = 0; i < 64; ++i) weights[i] = tables::kDefaultInterMatrix[i];
        dsp::buildQuantMatrix(weights, &inter);
        dsp::Kernels plain;
        dsp::dspInit(0, &plain);
        plain.tx.fdct(residual, coef);
        plain.quant[dsp::kQuantMpeg].quantInter(coef, level, 4, &inter);
        plain.quant[dsp::kQuantMpeg].dequantInter(level, coef, 4, &inter);
        plain.tx.idctRows32(coef, out);
    }
};

// Runs call(kernels, data) on one block in every iteration.
template <class Call>
void runOnBlock(benchmark::State& state, Call call) {
    const dsp::Kernels k = kernelsFor(state);
    BlockData b;
    for (auto _ : state) {
        call(k, b);
        benchmark::ClobberMemory();
    }
}

void BM_IdctRows32(benchmark::State& state) {
    runOnBlock(state, [](const dsp::Kernels& k, BlockData& b) { k.tx.idctRows32(b.coef, b.out); });
}
BENCHMARK(BM_IdctRows32)->Arg(0)->Arg(1);

void BM_Fdct(benchmark::State& state) {
    runOnBlock(state, [](const dsp::Kernels& k, BlockData& b) { k.tx.fdct(b.residual, b.coef); });
}
BENCHMARK(BM_Fdct)->Arg(0)->Arg(1);

void BM_PutBlock(benchmark::State& state) {
    runOnBlock(state,
               [](const dsp::Kernels& k, BlockData& b) { k.tx.putBlock(b.out, b.samples, 16); });
}
BENCHMARK(BM_PutBlock)->Arg(0)->Arg(1);

void BM_AddBlock(benchmark::State& state) {
    runOnBlock(state,
               [](const dsp::Kernels& k, BlockData& b) { k.tx.addBlock(b.out, b.samples, 16); });
}
BENCHMARK(BM_AddBlock)->Arg(0)->Arg(1);

void BM_QuantInter(benchmark::State& state) {
    runOnBlock(state, [](const dsp::Kernels& k, BlockData& b) {
        benchmark::DoNotOptimize(k.quant[dsp::kQuantMpeg].quantInter(b.coef, b.level, 4, &b.inter));
    });
}
BENCHMARK(BM_QuantInter)->Arg(0)->Arg(1);

void BM_DequantInter(benchmark::State& state) {
    runOnBlock(state, [](const dsp::Kernels& k, BlockData& b) {
        k.quant[dsp::kQuantMpeg].dequantInter(b.level, b.coef, 4, &b.inter);
    });
}
BENCHMARK(BM_DequantInter)->Arg(0)->Arg(1);

void BM_Interpolate(benchmark::State& state) {
    const dsp::Kernels k = kernelsFor(state);
    const int size = int(state.range(1)), mode = int(state.range(2));
    std::vector<uint8_t> src(64 * 64), dst(64 * 64);
    std::mt19937 rng(2);
    for (uint8_t& v : src) v = uint8_t(rng());
    for (auto _ : state) {
        k.mc.interpolate[size][mode](dst.data(), 64, src.data() + 65, 64, 0);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Interpolate)
    ->ArgsProduct({{0, 1}, {dsp::kSize16, dsp::kSize8}, {0, 1, 2, 3}})
    ->ArgNames({"variant", "size8", "mode"});

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

void BM_BuildZoom(benchmark::State& state) {
    const dsp::Kernels k = kernelsFor(state);
    SearchData d;
    std::vector<uint8_t> zoom(4 * d.plane.size());
    for (auto _ : state) {
        k.mc.buildZoom(d.plane.data(), SearchData::kStride, SearchData::kHeight + 32, zoom.data(),
                       0);
        benchmark::DoNotOptimize(zoom.data());
    }
}
BENCHMARK(BM_BuildZoom)->Arg(0)->Arg(1);

void BM_SpiralSearch(benchmark::State& state) {
    const dsp::Kernels k = kernelsFor(state);
    SearchData d;
    const std::vector<dsp::SpiralStep> order = dsp::spiralOrder(8);
    const dsp::SearchArea area = {
        order.data(),       static_cast<int>(order.size()), 64, 48, SearchData::kWidth,
        SearchData::kHeight};
    for (auto _ : state) {
        int best = k.sad.sad16(d.cur, d.origin() + 48 * SearchData::kStride + 64,
                               SearchData::kStride, 1 << 30) -
                   129;
        int x = 64, y = 48;
        k.sad.spiralSearch(d.cur, d.origin(), SearchData::kStride, area, &best, &x, &y);
        benchmark::DoNotOptimize(best);
    }
}
BENCHMARK(BM_SpiralSearch)->Arg(0)->Arg(1)->Arg(2);

void BM_ZoomSad16(benchmark::State& state) {
    const dsp::Kernels k = kernelsFor(state);
    SearchData d;
    for (auto _ : state)
        benchmark::DoNotOptimize(k.sad.zoomSad16(d.cur, d.plane.data() + 100, 104, 1 << 30));
}
BENCHMARK(BM_ZoomSad16)->Arg(0)->Arg(1);

void BM_Activity16(benchmark::State& state) {
    const dsp::Kernels k = kernelsFor(state);
    SearchData d;
    for (auto _ : state) benchmark::DoNotOptimize(k.sad.activity16(d.cur));
}
BENCHMARK(BM_Activity16)->Arg(0)->Arg(1);

}  // namespace
