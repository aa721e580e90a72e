#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "audio/adpcm_encoder.h"
#include "audio/resampler.h"

namespace {

void BM_AdpcmEncode160(benchmark::State& state) {
    std::vector<int16_t> samples(160);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(8000 * std::sin(i * 0.1));
    uint8_t out[160];
    int16_t len = 0;
    adpcmReset();
    for (auto _ : state) {
        adpcmEncode(samples.data(), 160, out, &len);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * 160);
}
BENCHMARK(BM_AdpcmEncode160);

void BM_Resample44100(benchmark::State& state) {
    std::vector<int16_t> in1(1025), in2(1025), out1(1024), out2(1024);
    for (size_t i = 0; i < in1.size(); ++i)
        in1[i] = in2[i] = static_cast<int16_t>(8000 * std::sin(i * 0.05));
    resampleInit(16000);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            resample(in1.data(), in2.data(), 1024, 44100, out1.data(), out2.data()));
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_Resample44100);

}  // namespace
