// QV_CompPass's work between reading the stored values and returning: the
// scramble of the typed password and its comparison with both stored texts.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "password/scramble.h"

namespace {

void BM_CompPass_ScrambleAndCompare(benchmark::State& state) {
    // Stored texts of other passwords: the usual case, both compared.
    std::uint8_t master[kScrambledPasswordSize];
    std::uint8_t access[kScrambledPasswordSize];
    ScramblePassword("master-password", master);
    ScramblePassword("access", access);
    const std::size_t masterLength = std::strlen(reinterpret_cast<const char*>(master));
    const std::size_t accessLength = std::strlen(reinterpret_cast<const char*>(access));
    for (auto _ : state) {
        const bool matches = TypedPasswordMatches("typed-guess", master, masterLength, access, accessLength);
        benchmark::DoNotOptimize(matches);
    }
}
BENCHMARK(BM_CompPass_ScrambleAndCompare);

}  // namespace
