// Preparation of a job (demultiplexing, the stream dump, AAC decoding and resampling) on
// the committed two-second fixtures; the diagnostic lines go to /dev/null.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/context.h"
#include "core/job_files.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"

namespace {

void prepareFixture(benchmark::State& state, const char* fixture) {
    const std::string source = std::string(KINOLITE_DEMUX_FIXTURES) + "/" + fixture;
    char dirTemplate[] = "/tmp/kinolite-bench-XXXXXX";
    const std::string dir = std::string(mkdtemp(dirTemplate)) + "/";
    std::fflush(stdout);
    int saved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
    for (auto _ : state) {
        JobSettings settings;
        applyJobSettings(settings);
        benchmark::DoNotOptimize(prepareJob(source, dir, nullptr, nullptr, nullptr));
        ConversionContext& c = g_context;
        if (c.output) std::fclose(c.output);
        c.output = nullptr;
        platform::removeFile(c.outputPath);
        platform::removeFile(c.pcmPath);
        platform::removeFile(videoEsFilePath());
    }
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    rmdir(dir.c_str());
}

void BM_PrepareMpeg4Amr(benchmark::State& state) {
    prepareFixture(state, "mp4v_amr.3gp");
}
BENCHMARK(BM_PrepareMpeg4Amr)->Unit(benchmark::kMillisecond);

void BM_PrepareMpeg4Aac44100Stereo(benchmark::State& state) {
    prepareFixture(state, "mp4v_aac_s44k.mp4");
}
BENCHMARK(BM_PrepareMpeg4Aac44100Stereo)->Unit(benchmark::kMillisecond);

}  // namespace
