// Simulated instructions per second of the Vexa simulator (seq_sim) on two kernels: an ALU
// kernel (loops, arithmetic with register and immediate operands, prefetch hazards, jumps)
// and a real-time kernel (settings, plays, acquisitions and waits in a loop); events per second of
// the real-time kernel with its events counted, or streamed as CSV or JSON Lines; and the time of
// one simulation of a short program after many others on the same driver.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "assembler/seq.h"
#include "assembler/seq_sim.h"
#include "base/Logging.h"
#include "base/utils/FileOutput.h"
#include "formats/seq_csv_sink.h"
#include "formats/seq_jsonl_sink.h"
#include "sequencer/SeqSim.h"

namespace {

// The kernels, assembled from bench/: the ALU kernel runs 10^8 instructions, the real-time
// kernel 10^7 (and logs 5 * 10^6 events).
const std::string aluKernel = std::string(VEXA_BENCH_DIR) + "/alu_kernel.s";
const std::string realtimeKernel = std::string(VEXA_BENCH_DIR) + "/realtime_kernel.s";
const int budget = 200000000;

// Assembles `kernel` into `driver`; false (and the report on standard error) when it fails.
bool assemble(seq& driver, const std::string& kernel, benchmark::State& state) {
    UIStr text;
    if (driver.assembleFile(kernel, text) == 0)
        return true;
    state.SkipWithError("kernel does not assemble");
    std::fprintf(stderr, "%s\n", text.c_str());
    return false;
}

// `warm` runs the kernel once untimed first: the real-time kernel writes about 520 MB of
// log per run, and a first run mostly waits for the system to supply those pages; later
// runs reuse the log's storage. Both figures are reported.
void runKernel(benchmark::State& state, const std::string& kernel, bool warm) {
    Logging::setLogLevel(Logging::quietLevel);
    seq driver;
    if (!assemble(driver, kernel, state))
        return;
    SeqSim* sim = driver.simulator();
    if (warm) {
        UIStr message;
        sim->simulate(budget, message);
    }
    uint64_t executed = 0;
    for (auto _ : state) {
        UIStr message;
        if (sim->simulate(budget, message)) {
            state.SkipWithError(message.c_str());
            return;
        }
        executed += sim->numInstructions();
    }
    state.counters["instr"] = static_cast<double>(sim->numInstructions());
    // Per CPU second: the machine is shared, so wall time would count other processes.
    state.counters["instr/s"] =
        benchmark::Counter(static_cast<double>(executed), benchmark::Counter::kIsRate);
}

void BM_SimAluKernel(benchmark::State& state) {
    runKernel(state, aluKernel, true);
}
void BM_SimRealtimeKernel(benchmark::State& state) {
    runKernel(state, realtimeKernel, true);
}
void BM_SimRealtimeKernelColdLog(benchmark::State& state) {
    runKernel(state, realtimeKernel, false);
}

// Counts the events of a run and keeps nothing.
struct EventCounter : seq_event_sink {
    uint64_t events = 0;
    void event(const rt_info&, address_t) override { ++events; }
};

enum class Sink { Counted, Csv, JsonLines };

// The real-time kernel with its events counted, or written as CSV or JSON Lines to
// /dev/null (formatting and system calls, no disk); events/s is the rate of the whole run.
void runRealtimeEvents(benchmark::State& state, Sink kind) {
    Logging::setLogLevel(Logging::quietLevel);
    seq driver;
    if (!assemble(driver, realtimeKernel, state))
        return;
    seq_sim& sim = *driver.rt_simulator();
    EventCounter counter;
    FileOutput out;
    if (!out.open("/dev/null")) {
        state.SkipWithError("cannot write /dev/null");
        return;
    }
    seq_csv_sink csv(out);
    seq_jsonl_sink json(out);
    seq_event_sink* sinks[] = {&counter, &csv, &json};
    UIStr message;
    sim.set_event_sink(&counter);
    sim.simulate(budget, message);
    const uint64_t eventsPerRun = counter.events;
    sim.set_event_sink(sinks[static_cast<int>(kind)]);
    uint64_t events = 0;
    for (auto _ : state) {
        if (sim.simulate(budget, message)) {
            state.SkipWithError(message.c_str());
            return;
        }
        events += eventsPerRun;
    }
    state.counters["events"] = static_cast<double>(eventsPerRun);
    state.counters["events/s"] =
        benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
    state.counters["instr/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * sim.numInstructions(),
                           benchmark::Counter::kIsRate);
}

void BM_SimRealtimeEventsCounted(benchmark::State& state) {
    runRealtimeEvents(state, Sink::Counted);
}
void BM_SimRealtimeEventsCsv(benchmark::State& state) {
    runRealtimeEvents(state, Sink::Csv);
}
void BM_SimRealtimeEventsJsonLines(benchmark::State& state) {
    runRealtimeEvents(state, Sink::JsonLines);
}

// One short program simulated again and again on one driver: the time of a call must not
// grow with the number of calls before it (a run once added a stopwatch that later runs
// walked), so the time per iteration is the same at 1,000 and at 100,000 calls.
void BM_SimShortProgramRepeated(benchmark::State& state) {
    Logging::setLogLevel(Logging::quietLevel);
    seq driver;
    UIStr text;
    if (driver.assemble(std::string("set_awg_gain 1, 2\nplay 1, 2, 100\nwait 20\nstop\n"), text) !=
        0) {
        state.SkipWithError("program does not assemble");
        return;
    }
    UIStr message;
    for (int64_t call = 0; call < state.range(0); ++call)
        driver.rt_simulator()->simulate(100, message);
    for (auto _ : state) {
        if (driver.rt_simulator()->simulate(100, message)) {
            state.SkipWithError(message.c_str());
            return;
        }
    }
}

} // namespace

BENCHMARK(BM_SimShortProgramRepeated)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimRealtimeEventsCounted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimRealtimeEventsCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimRealtimeEventsJsonLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimAluKernel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimRealtimeKernel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimRealtimeKernelColdLog)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
