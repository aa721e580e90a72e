// Kernels of the video decoder: the inverse DCT, half-sample interpolation and the
// coefficient VLC reader.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "tables/std_tables.h"
#include "vdec/dec_blockdec.h"
#include "vdec/dec_kernels.h"
#include "vdec/dec_session.h"

namespace {

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

void runIdct(benchmark::State& state, bool dense) {
    const int count = 256;
    const std::vector<int32_t> source = coefficientBlocks(dense, count);
    std::vector<int32_t> work(source.size());
    const vdec::DecoderKernels& k = vdec::decoderKernels();
    for (auto _ : state) {
        std::memcpy(work.data(), source.data(), source.size() * sizeof(int32_t));
        for (int b = 0; b < count; ++b) k.idct(&work[size_t(b) * 64]);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_IdctSparse(benchmark::State& state) {
    runIdct(state, false);
}
void BM_IdctDense(benchmark::State& state) {
    runIdct(state, true);
}
BENCHMARK(BM_IdctSparse);
BENCHMARK(BM_IdctDense);

void BM_Interpolate(benchmark::State& state) {
    const int size = int(state.range(0)), mode = int(state.range(1));
    std::vector<uint8_t> src(64 * 64), dst(64 * 64);
    std::mt19937 rng(2);
    for (uint8_t& v : src) v = uint8_t(rng());
    const vdec::DecoderKernels& k = vdec::decoderKernels();
    for (auto _ : state) {
        k.interpolate[size][mode](dst.data(), 64, src.data() + 65, 64, 0);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Interpolate)->ArgsProduct({{vdec::kSize16, vdec::kSize8}, {0, 1, 2, 3}});

// Inter blocks of ordinary codes (the common case) read by the block decoder.
void BM_InterBlockVlc(benchmark::State& state) {
    std::mt19937 rng(3);
    std::vector<uint8_t> bytes;
    uint32_t acc = 0;
    int bits = 0;
    auto put = [&](uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc = (acc << 1) | ((v >> i) & 1);
            if (++bits == 8) {
                bytes.push_back(uint8_t(acc));
                acc = 0;
                bits = 0;
            }
        }
    };
    const int blocks = 2000;
    for (int b = 0; b < blocks; ++b) {
        for (int e = 0; e < 6; ++e) {
            // Codes of last 0 with small runs, then one with last 1.
            const auto& c = tables::kTcoefInter[e < 5 ? rng() % 20 : 58 + rng() % 4];
            put(c.code.bits, c.code.length);
            put(rng() & 1, 1);
        }
    }
    put(0, 32);
    g_volmd = new VolMode();
    VolMode* vol = g_volmd;
    int32_t residual[64];
    for (auto _ : state) {
        FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
        g_bits.attach(f);
        g_dec.bError = 0;
        for (int b = 0; b < blocks; ++b) decodeInterBlock(residual, 8);
        benchmark::DoNotOptimize(residual);
        g_bits.detach();
        std::fclose(f);
    }
    g_volmd = nullptr;
    delete vol;
    state.SetItemsProcessed(state.iterations() * blocks);
}
BENCHMARK(BM_InterBlockVlc);

}  // namespace
