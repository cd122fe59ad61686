// The startup-file transformation in memory, on the generated 100 MiB file:
// bytes of input cleaned per second. scripts/bench sets this beside grep and
// the offline tool on the same file.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>

#include "cleanup/startup_clean.h"
#include "startup_file.h"

namespace {

constexpr std::size_t kFileSize = std::size_t{100} << 20;

const std::string& StartupFile() {
    static const std::string file = bench::MakeStartupFile(kFileSize);
    return file;
}

void BM_StartupClean_Vezivod(benchmark::State& state) {
    const std::string& file = StartupFile();
    StartupBuffer out{};
    for (auto _ : state) {
        out.size = 0;  // the buffer is reused, as the offline tool reuses its own
        const bool done = CleanStartupText(reinterpret_cast<const unsigned char*>(file.data()), file.size(), &out,
                                           nullptr, nullptr);
        benchmark::DoNotOptimize(done);
        benchmark::DoNotOptimize(out.bytes);
    }
    ReleaseStartupBuffer(&out);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(file.size()));
}
BENCHMARK(BM_StartupClean_Vezivod)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
