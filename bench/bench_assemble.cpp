// In-process assembly of one source text, the C++ counterpart of vexa.assemble in Python:
//     VEXA_BENCH_SOURCE=prog.s bench_assemble
// BM_AssembleNewDriver builds a driver per text, as the Python package does for every
// program; BM_AssembleSameDriver reuses one, as vexasm -s does.
#include "assembler/seq.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

std::shared_ptr<const std::string> source() {
    static const auto text = [] {
        const char* path = std::getenv("VEXA_BENCH_SOURCE");
        std::ifstream in(path != nullptr ? path : "");
        std::ostringstream all;
        all << in.rdbuf();
        return std::make_shared<const std::string>(all.str());
    }();
    return text;
}

void assembleOnce(seq& driver, benchmark::State& state) {
    UIStr report;
    if (driver.assemble(source(), report) != 0)
        state.SkipWithError("the source does not assemble (set VEXA_BENCH_SOURCE)");
}

void BM_AssembleNewDriver(benchmark::State& state) {
    for (auto _ : state) {
        seq driver;
        assembleOnce(driver, state);
    }
}

void BM_AssembleSameDriver(benchmark::State& state) {
    seq driver;
    for (auto _ : state)
        assembleOnce(driver, state);
}

void BM_NewDriver(benchmark::State& state) {
    for (auto _ : state) {
        seq driver;
        benchmark::DoNotOptimize(driver.processor());
    }
}

} // namespace

BENCHMARK(BM_AssembleNewDriver)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AssembleSameDriver)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NewDriver)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
