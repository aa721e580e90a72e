// The video decoder's coefficient VLC reader (its signal kernels are in dsp_bench.cpp).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

#include "tables/std_tables.h"
#include "vdec/dec_blockdec.h"
#include "vdec/dec_session.h"

namespace {

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
