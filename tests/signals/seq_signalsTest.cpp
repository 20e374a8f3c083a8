// The signal layer on programs run by the simulator: rendered samples, markers, modulation,
// acquisitions with loopback, findings, and bad tables and settings. Expected values are worked
// out by hand in the comments.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "assembler/seq.h"
#include "signals/seq_signal_sink.h"
#include "tests/sequencer/SimulatorTestSupport.h"

namespace {

constexpr float kMax = 32767.0f / 32768.0f; // the start-up gain and offset, and the top sample

struct Window : seq_signal_chunk_consumer {
    std::vector<float> path0, path1;
    std::vector<uint8_t> markers;
    uint64_t next = 0;
    void chunk(const seq_signal_chunk& c) override {
        EXPECT_EQ(c.start_ns, next) << "chunks are consecutive";
        next = c.start_ns + c.size;
        path0.insert(path0.end(), c.path0, c.path0 + c.size);
        path1.insert(path1.end(), c.path1, c.path1 + c.size);
        markers.insert(markers.end(), c.markers, c.markers + c.size);
    }
};

class SignalsTest : public ::testing::Test {
protected:
    // Runs `source` with the signal sink, rendering [start, stop) in chunks of 7 samples.
    void run(const std::string& source, uint64_t start = 0, uint64_t stop = 0) {
        UIStr report;
        ASSERT_EQ(driver.assemble(source, report), 0) << report;
        seq_signal_sink sink(tables, settings, &findings);
        window.next = start;
        sink.render_window(start, stop, window, 7);
        seq_sim& sim = *driver.rt_simulator();
        sim.set_event_sink(&sink);
        UIStr message;
        EXPECT_FALSE(sim.simulate(1000000, message)) << message;
        sim.set_event_sink(nullptr);
        acquisitions = sink.acquisitions();
    }
    void waveform(int index, std::vector<float> samples) {
        tables->set_waveform(index, std::span<const float>(samples));
    }
    void weight(int index, std::vector<float> samples) {
        tables->set_weight(index, std::span<const float>(samples));
    }
    std::vector<std::string> findingLines() const {
        std::vector<std::string> lines;
        for (const seq_finding& f : findings.sorted())
            lines.push_back(std::to_string(f.time_ns) + "," + std::to_string(f.address) + "," +
                            seq_finding_kind_name(f.kind) + "," + f.message);
        return lines;
    }

    LogCapture quiet{Logging::quietLevel};
    seq driver;
    std::shared_ptr<seq_signal_tables> tables = std::make_shared<seq_signal_tables>();
    seq_signal_settings settings;
    seq_finding_list findings;
    Window window;
    std::vector<seq_acquisition> acquisitions;
};

TEST_F(SignalsTest, RampWithGainAndOffsetPlaysFromItsTime) {
    waveform(1, {0.0f, 0.25f, 0.5f, 0.75f});
    waveform(0, {}); // empty: path 1 carries its offset, and nothing is missing
    run("set_awg_gain 16384, 16384\nset_awg_offs 1000, -1000\nwait 10\nplay 1, 0, 20\nstop\n", 8,
        16);
    // 0.5 * sample + 1000 / 32768 (= 0.030517578125); the start-up state before t = 10.
    const float o = 0.030517578125f;
    EXPECT_EQ(window.path0,
              (std::vector<float>{kMax, kMax, o, 0.125f + o, 0.25f + o, 0.375f + o, o, o}));
    EXPECT_EQ(window.path1, (std::vector<float>{kMax, kMax, -o, -o, -o, -o, -o, -o}));
    EXPECT_EQ(window.markers, std::vector<uint8_t>(8, 0));
    EXPECT_TRUE(findings.findings().empty());
}

TEST_F(SignalsTest, APlayCutsTheEarlierWaveformShort) {
    waveform(1, {0.0f, 0.25f, 0.5f, 0.75f});
    waveform(2, std::vector<float>(8, 0.5f));
    run("set_awg_gain 16384, 16384\nset_awg_offs 0, 0\nplay 2, 2, 4\nplay 1, 1, 8\nstop\n", 0, 10);
    const std::vector<float> expected{0.25f,  0.25f, 0.25f,  0.25f, 0.0f,
                                      0.125f, 0.25f, 0.375f, 0.0f,  0.0f};
    EXPECT_EQ(window.path0, expected);
    EXPECT_EQ(window.path1, expected);
    EXPECT_EQ(findingLines(), (std::vector<std::string>{
                                  "4,3,cut_short,path 0: waveform 2 cut after 4 of 8 samples",
                                  "4,3,cut_short,path 1: waveform 2 cut after 4 of 8 samples"}));
}

TEST_F(SignalsTest, SamplesSaturateAtTheOutputRange) {
    waveform(1, {1.0f, -1.0f, 0.25f, 0.0f});
    // Path 0: 32767/32768 * sample - 0.5; path 1: the same + 0.5.
    run("set_awg_gain 32767, 32767\nset_awg_offs -16384, 16384\nplay 1, 1, 4\nstop\n", 0, 4);
    const float g = kMax;
    EXPECT_EQ(window.path0, (std::vector<float>{g - 0.5f, -1.0f, 0.25f * g - 0.5f, -0.5f}));
    EXPECT_EQ(window.path1, (std::vector<float>{kMax, 0.5f - g, 0.25f * g + 0.5f, 0.5f}));
    EXPECT_EQ(findingLines(),
              (std::vector<std::string>{"0,2,clipped,2 samples saturated (path 0: 1, path 1: 1)"}));
}

TEST_F(SignalsTest, MarkersReachTheLinesAtTheNextParameterUpdate) {
    run("set_mrk 5\nwait 10\nupd_param 4\nset_mrk 2\nwait 4\nstop\n", 8, 16);
    EXPECT_EQ(window.markers, (std::vector<uint8_t>{0, 0, 5, 5, 5, 5, 5, 5}));
}

TEST_F(SignalsTest, ModulationRotatesByFrequencyPhaseAndStepsCountedOnce) {
    settings.nco_hz = 125e6; // an eighth of a turn per ns
    waveform(1, std::vector<float>(8, 1.0f));
    // Phase: a quarter turn (128 << 22 = 2^29); later a half-turn step, counted once.
    run("set_awg_gain 16384, 0\nset_awg_offs 0, 0\nset_ph 128, 0, 0\nplay 1, 0, 16\n"
        "set_ph_delta 256, 0, 0\nplay 1, 0, 16\nplay 1, 0, 16\nstop\n",
        0, 48);
    for (int t = 0; t < 48; ++t) {
        const double theta = t < 16 ? 0.25 : 0.75;
        const double angle = 2 * std::numbers::pi * (0.125 * t + theta);
        const bool playing = t % 16 < 8;
        // I = 0.5 * 1, Q = 0: the output is 0.5 exp(j angle) while the waveform plays.
        EXPECT_NEAR(window.path0[t], playing ? 0.5 * std::cos(angle) : 0.0, 1e-6) << t;
        EXPECT_NEAR(window.path1[t], playing ? 0.5 * std::sin(angle) : 0.0, 1e-6) << t;
    }
    EXPECT_NEAR(window.path1[0], 0.5, 1e-7);
    EXPECT_NEAR(window.path0[1], -0.5 * std::numbers::sqrt2 / 2, 1e-7);
}

// Two iterations: play at t0, acquire at t0 + 20 and acquire_weighed at t0 + 60; the loopback
// delay of 10 shows the acquisitions the constant part of the waveform (-0.5 on path 0, -0.5 +
// 0.25 on path 1).
const char* const kReadoutLoop = R"(
        set_awg_gain -32768, -32768
        set_awg_offs 0, 8192
        move    2, R1
again:  play    1, 1, 20
        acquire 0, R1, 40
        acquire_weighed 1, 3, 2, 3, 200
        loop    R1, @again
        stop
)";

TEST_F(SignalsTest, LoopbackAcquisitionsAverageIntoBins) {
    waveform(1, std::vector<float>(100, 0.5f));
    weight(2, std::vector<float>(20, 1.0f));
    weight(3, std::vector<float>(10, 0.5f));
    settings.input = seq_signal_input::loopback;
    settings.integration_ns = 40;
    settings.loopback_delay_ns = 10;
    run(kReadoutLoop);
    ASSERT_EQ(acquisitions.size(), 2u);
    EXPECT_EQ(acquisitions[0].acq_idx, 0u);
    ASSERT_EQ(acquisitions[0].bins.size(), 2u); // bins from R1: 2, then 1
    for (const seq_acquisition_bin& bin : acquisitions[0].bins) {
        EXPECT_EQ(bin.count, 1u);
        EXPECT_EQ(bin.path0, -0.5);
        EXPECT_EQ(bin.path1, -0.25);
    }
    EXPECT_EQ(acquisitions[0].bins[0].bin_idx, 1u);
    EXPECT_EQ(acquisitions[0].bins[1].bin_idx, 2u);
    // Weighed: path 0 by 20 samples of 1, path 1 by 10 samples of 0.5, over their lengths.
    ASSERT_EQ(acquisitions[1].bins.size(), 1u);
    EXPECT_EQ(acquisitions[1].acq_idx, 1u);
    EXPECT_EQ(acquisitions[1].bins[0].bin_idx, 3u);
    EXPECT_EQ(acquisitions[1].bins[0].count, 2u);
    EXPECT_EQ(acquisitions[1].bins[0].path0, -0.5);
    EXPECT_EQ(acquisitions[1].bins[0].path1, -0.125);
}

TEST_F(SignalsTest, AcquisitionWindowsSeeWhatLaterInstructionsPlay) {
    waveform(1, std::vector<float>(100, 0.5f));
    settings.integration_ns = 40;
    // Window [4, 44): offset 0 until the play at 20, then -0.5: 24 * -0.5 / 40.
    const char* source = "set_awg_gain -32768, -32768\nset_awg_offs 0, 0\nupd_param 4\n"
                         "acquire 0, 0, 16\nplay 1, 1, 20\nstop\n";
    settings.input = seq_signal_input::loopback;
    run(source);
    ASSERT_EQ(acquisitions.size(), 1u);
    EXPECT_EQ(acquisitions[0].bins[0].path0, -0.3);
    // User samples instead: 0.5 up to t = 10, 0 beyond: 6 of the 40 samples from t = 4.
    settings.set_input_samples(std::span<const float>(std::vector<float>(10, 0.5f)));
    run(source);
    EXPECT_EQ(acquisitions[0].bins[0].path0, 0.075);
    EXPECT_EQ(acquisitions[0].bins[0].path1, 0.075);
}

// A wait, 40 instructions of 2 classical ticks each, and a wait at tick 81, issued at 324 ns.
std::string aluBetweenWaits(int wait) {
    std::string source = "wait " + std::to_string(wait) + "\n";
    for (int i = 0; i < 40; ++i)
        source += "not R1, R1\n";
    return source + "wait 4\nstop\n";
}

TEST_F(SignalsTest, UnderrunWhenTheClassicalCoreFallsBehind) {
    // The executor starts 200 ns after the first issue; the second wait is due at 200 + 4.
    run(aluBetweenWaits(4));
    EXPECT_EQ(findingLines(),
              (std::vector<std::string>{
                  "4,41,underrun,issued at 324 ns, 120 ns after it should start at 204 ns"}));
    findings.clear();
    run(aluBetweenWaits(200)); // due at 400
    EXPECT_TRUE(findings.findings().empty());
    // Three waits, then 40 instructions (ticks 3 to 82) and a wait due at 200 + 308: in time
    // with a deep queue; with a queue of one entry the core waits for the first wait to start
    // (200 ns) and then for the second (500 ns), so it issues the last wait 492 ns late, at
    // 332 + 492 ns.
    std::string source = "wait 300\nwait 4\n" + aluBetweenWaits(4);
    run(source);
    EXPECT_TRUE(findings.findings().empty());
    settings.queue_depth = 1;
    run(source);
    EXPECT_EQ(findingLines(),
              (std::vector<std::string>{
                  "308,43,underrun,issued at 824 ns, 316 ns after it should start at 508 ns"}));
}

TEST_F(SignalsTest, EveryFindingKindAtItsInstruction) {
    waveform(1, std::vector<float>(8, 1.0f));
    waveform(2, {});
    weight(0, {1.0f});
    std::string source = "play 1, 9, 4\nplay 2, 2, 8\nacquire 0, 0, 4\n"
                         "acquire_weighed 0, 0, 5, 0, 4\n";
    for (int i = 0; i < 60; ++i)
        source += "not R1, R1\n";
    // Ticks: 2 + 2 + 2 + 3 + 60 * 2: the wait is issued at 129 * 4 ns, due at 200 + 20.
    run(source + "wait 4\nstop\n");
    EXPECT_EQ(findingLines(),
              (std::vector<std::string>{
                  "0,0,missing_waveform,path 1: waveform 9 is not in the table",
                  "0,0,clipped,4 samples saturated (path 0: 4, path 1: 0)",
                  "4,1,cut_short,path 0: waveform 1 cut after 4 of 8 samples",
                  "16,3,missing_weight,path 0: weight 5 is not in the table",
                  "16,3,acquisition_overlap,window starts at 16 ns, before the window of the "
                  "acquisition at 12 ns ends at 1012 ns",
                  "20,64,underrun,issued at 516 ns, 296 ns after it should start at 220 ns"}));
}

// Iterations of 48 ns: a play, a phase step of an eighth of a turn, markers and a wait.
std::string periodic(int iterations) {
    return "set_awg_gain 20000, -12000\nset_awg_offs 100, -100\nmove " +
           std::to_string(iterations) +
           ", R1\nagain: set_mrk 10\nplay 1, 2, 12\nset_ph_delta 64, 0, 0\nset_mrk 5\n"
           "upd_param 8\nwait 28\nloop R1, @again\nstop\n";
}

TEST_F(SignalsTest, AWindowOfALongRunEqualsTheSameStretchOfAShortOne) {
    settings.nco_hz = 62.5e6; // three turns in 48 ns
    waveform(1, {0.5f, -0.25f, 1.0f, 0.75f, 0.1f});
    waveform(2, std::vector<float>(30, -0.6f));
    // The short run, rendered while it runs; then a long run, its log stored and a window
    // from its middle rendered afterwards.
    run(periodic(3), 0, 3 * 48);
    Window shortRun = window;
    UIStr report;
    ASSERT_EQ(driver.assemble(periodic(3000), report), 0) << report;
    seq_sim& sim = *driver.rt_simulator();
    UIStr message;
    ASSERT_FALSE(sim.simulate(1000000, message)) << message;
    // Iteration 2992 starts with the phase steps of a whole number of turns.
    std::vector<float> path0(3 * 48), path1(3 * 48);
    std::vector<uint8_t> markers(3 * 48);
    const uint64_t start = 2992 * 48;
    seq_signal_renderer::render_window(tables, settings, sim.get_rt_log(), start, start + 3 * 48,
                                       path0.data(), path1.data(), markers.data());
    EXPECT_EQ(path0, shortRun.path0);
    EXPECT_EQ(path1, shortRun.path1);
    EXPECT_EQ(markers, shortRun.markers);
    EXPECT_NE(path0[3], path0[3 + 48]) << "the phase steps show";
}

TEST(SignalTablesTest, BadEntriesAndSettingsAreRefusedByName) {
    seq_signal_tables tables;
    const float nan = std::nanf("");
    const struct {
        int64_t index;
        std::vector<float> samples;
        const char* message;
    } entries[] = {
        {1024, {}, "waveform 1024: index outside 0 to 1023"},
        {-1, {}, "waveform -1: index outside 0 to 1023"},
        {3, {0.0f, 1.5f}, "waveform 3: sample 1 is 1.5, outside [-1, 1]"},
        {3, {nan}, "waveform 3: sample 0 is NaN"},
        {3, {-INFINITY}, "waveform 3: sample 0 is -inf"},
    };
    for (const auto& row : entries) {
        try {
            tables.set_waveform(row.index, std::span<const float>(row.samples));
            ADD_FAILURE() << row.message;
        } catch (const seq_signal_error& error) {
            EXPECT_STREQ(error.what(), row.message);
        }
    }
    EXPECT_EQ(tables.waveform(3), nullptr) << "a refused entry leaves the table unchanged";
    EXPECT_THROW(tables.set_weight(64, std::span<const double>()), seq_signal_error);

    const struct {
        void (*change)(seq_signal_settings&);
        const char* message;
    } settingRows[] = {
        {[](seq_signal_settings& s) { s.integration_ns = 0; },
         "integration_ns: 0 must be at least 1"},
        {[](seq_signal_settings& s) { s.loopback_delay_ns = -3; },
         "loopback_delay_ns: -3 is negative"},
        {[](seq_signal_settings& s) { s.queue_depth = 100000; },
         "queue_depth: 100000 is beyond 65536 entries"},
        {[](seq_signal_settings& s) { s.classical_ns = 0; }, "classical_ns: 0 must be at least 1"},
        {[](seq_signal_settings& s) { s.nco_hz = 1e9; },
         "nco_hz: 1e+09 is beyond +-5e+08 Hz, half the sample rate"},
        {[](seq_signal_settings& s) { s.input = seq_signal_input::samples; },
         "input: samples selected but none given"},
    };
    for (const auto& row : settingRows) {
        seq_signal_settings settings;
        row.change(settings);
        try {
            settings.validate();
            ADD_FAILURE() << row.message;
        } catch (const seq_signal_error& error) {
            EXPECT_STREQ(error.what(), row.message);
        }
    }
    try {
        seq_signal_renderer::check_window(20, 10);
        ADD_FAILURE();
    } catch (const seq_signal_error& error) {
        EXPECT_STREQ(error.what(), "window: stop 10 is before start 20");
    }
    EXPECT_THROW(seq_signal_renderer::check_window(0, uint64_t{1} << 40), seq_signal_error);
}

} // namespace
