// Speed of the signal layer: samples per second of a rendered window without and with
// modulation (float32 out, gain, offset and markers included), input samples per second that
// loopback acquisitions integrate, and a readout loop of 10^6 iterations of 2 us simulated with
// findings and loopback acquisitions, with the process's peak resident memory.
//
//     build/bench/bench_signals --benchmark_filter=Render|Integrate
//     build/bench/bench_signals --benchmark_filter=ReadoutLoop   # alone, for its peak RSS
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <memory>
#include <string>
#include <vector>

#include "assembler/seq.h"
#include "base/Logging.h"
#include "signals/seq_signal_sink.h"

namespace {

using rt_info = seq_sim::rt_info;

std::shared_ptr<seq_signal_tables> pulseTables(size_t length) {
    auto tables = std::make_shared<seq_signal_tables>();
    std::vector<float> pulse(length), other(length);
    for (size_t i = 0; i < length; ++i) {
        pulse[i] = static_cast<float>(i % 200) / 200.0f - 0.5f;
        other[i] = 0.25f;
    }
    tables->set_waveform(1, std::span<const float>(pulse));
    tables->set_waveform(2, std::span<const float>(other));
    return tables;
}

// A play of two 4096-sample waveforms every 4096 ns with new gains, offsets and markers.
std::vector<rt_info> playLog(size_t plays) {
    std::vector<rt_info> log(plays);
    for (size_t i = 0; i < plays; ++i) {
        rt_info& e = log[i];
        e.time_ns = i * 4096;
        e.duration_ns = 4096;
        e.play_valid = e.param_valid = true;
        e.wave_idx[0] = 1;
        e.wave_idx[1] = 2;
        e.awg_gain[0] = 30000 - static_cast<int32_t>(i % 7);
        e.awg_gain[1] = 20000;
        e.awg_offs[0] = 100;
        e.awg_offs[1] = static_cast<int32_t>(i % 3);
        e.mrk = static_cast<int32_t>(i % 16);
        e.ph_delta_fine = 3;
    }
    return log;
}

struct Discard : seq_signal_chunk_consumer {
    float sum = 0;
    void chunk(const seq_signal_chunk& c) override { sum += c.path0[0] + c.path1[c.size - 1]; }
};

// A window of 2^24 samples from a stored log, delivered in chunks of 2^14.
void renderWindow(benchmark::State& state, double ncoHz) {
    auto tables = pulseTables(4096);
    seq_signal_settings settings;
    settings.nco_hz = ncoHz;
    const std::vector<rt_info> log = playLog(8192);
    const uint64_t start = 1000 * 4096 + 17, stop = start + (uint64_t{1} << 24);
    Discard consumer;
    for (auto _ : state) {
        seq_signal_renderer renderer(tables, settings, start, stop, consumer, 1 << 14);
        for (const rt_info& e : log) {
            if (renderer.done())
                break;
            renderer.event(e);
        }
        renderer.finish();
    }
    benchmark::DoNotOptimize(consumer.sum);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(stop - start));
}

void BM_RenderWindow(benchmark::State& state) {
    renderWindow(state, 0.0);
}
BENCHMARK(BM_RenderWindow)->Unit(benchmark::kMillisecond);

void BM_RenderWindowModulated(benchmark::State& state) {
    renderWindow(state, 100e6);
}
BENCHMARK(BM_RenderWindowModulated)->Unit(benchmark::kMillisecond);

// Loopback acquisitions of 4096 samples, back to back after each play: input samples of each
// path integrated per second.
void BM_IntegrateLoopback(benchmark::State& state) {
    auto tables = pulseTables(4096);
    seq_signal_settings settings;
    settings.input = seq_signal_input::loopback;
    settings.integration_ns = 4096;
    settings.loopback_delay_ns = 100;
    std::vector<rt_info> log = playLog(4096);
    for (rt_info& e : log) {
        e.acquire_valid = true;
        e.weight_idx[0] = e.weight_idx[1] = -1; // acquire
    }
    for (auto _ : state) {
        seq_acquirer acquirer(tables, settings);
        for (const rt_info& e : log)
            acquirer.event(e);
        acquirer.finish();
        benchmark::DoNotOptimize(acquirer.results());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(log.size() * 4096));
}
BENCHMARK(BM_IntegrateLoopback)->Unit(benchmark::kMillisecond);

// A 1000-sample readout pulse, its loopback acquired over 1 us, every 2 us.
const char* const kReadoutLoop = R"(
        set_awg_gain 16384, 16384
        set_awg_offs 0, 0
        move    1000000, R1
again:  play    1, 2, 200
        acquire 0, 0, 1800
        loop    R1, @again
        stop
)";

void BM_ReadoutLoop(benchmark::State& state) {
    Logging::setLogLevel(Logging::quietLevel);
    seq driver;
    UIStr report;
    if (driver.assemble(kReadoutLoop, report) != 0) {
        state.SkipWithError(report.c_str());
        return;
    }
    auto tables = pulseTables(1000);
    seq_signal_settings settings;
    settings.input = seq_signal_input::loopback;
    settings.loopback_delay_ns = 200;
    seq_finding_list findings;
    seq_signal_sink sink(tables, settings, &findings);
    seq_sim& sim = *driver.rt_simulator();
    sim.set_event_sink(&sink);
    for (auto _ : state) {
        UIStr message;
        if (sim.simulate(10000000, message)) {
            state.SkipWithError(message.c_str());
            break;
        }
    }
    sim.set_event_sink(nullptr);
    const auto results = sink.acquisitions();
    if (results.empty() || results[0].bins[0].count != 1000000)
        state.SkipWithError("the loop did not acquire 10^6 times");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["findings"] = static_cast<double>(findings.findings().size());
    state.counters["realtime_s"] = static_cast<double>(sim.realtimeTick()) * 1e-9;
}
BENCHMARK(BM_ReadoutLoop)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
