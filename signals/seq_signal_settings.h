#ifndef SIGNALS_SEQ_SIGNAL_SETTINGS_H
#define SIGNALS_SEQ_SIGNAL_SETTINGS_H

// The settings of the signal model, each an assumption about the instrument that the program
// does not say, with its default. The names are those the user sets them by.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Where the acquisitions' input comes from.
enum class seq_signal_input {
    zero,     // nothing is connected: every input sample is 0
    loopback, // each output path into the same input path, delayed by loopback_delay_ns
    samples,  // samples the user supplies, indexed by time in ns; beyond them the input is 0
};

struct seq_signal_settings {
    // Samples that `acquire` integrates; 1 µs, a common readout length.
    int64_t integration_ns = 1000;
    seq_signal_input input = seq_signal_input::zero;
    // The input samples of paths 0 and 1 for seq_signal_input::samples (both may be the same
    // array); set them with set_input_samples.
    std::shared_ptr<const std::vector<float>> input_samples[2];
    // The delay from an output to its input with loopback; 0, an ideal connection.
    int64_t loopback_delay_ns = 0;
    // The modulation frequency; 0 turns modulation off.
    double nco_hz = 0.0;
    // Real-time instructions the classical core can issue ahead of the executor.
    int64_t queue_depth = 32;
    // From the first real-time instruction's issue to the executor's start: 200 ns, 50
    // classical cycles.
    int64_t start_delay_ns = 200;
    // One classical cycle: the processor's classical clock is 250 MHz.
    int64_t classical_ns = 4;

    // Bounds beyond which a setting is refused as absurd.
    static constexpr int64_t s_maxIntegrationNs = int64_t{1} << 24;
    static constexpr int64_t s_maxDelayNs = 1'000'000;
    static constexpr double s_maxNcoHz = 500e6; // half the sample rate of 1 per ns
    static constexpr int64_t s_maxQueueDepth = 65536;
    static constexpr int64_t s_maxStartDelayNs = 1'000'000'000;
    static constexpr int64_t s_maxClassicalNs = 1'000'000;

    // Throws seq_signal_error naming the first setting that is negative, zero where it must
    // not be, or absurdly large.
    void validate() const;

    // Input samples for both paths (one array) or for each path; each checked like a table
    // entry ("input path 0: sample 3 is NaN"). Sets `input` to samples.
    void set_input_samples(std::span<const double> both);
    void set_input_samples(std::span<const double> path0, std::span<const double> path1);
    void set_input_samples(std::span<const float> both);
    void set_input_samples(std::span<const float> path0, std::span<const float> path1);

    // "zero" or "loopback"; throws seq_signal_error for other text (a file of samples is the
    // caller's to read).
    static seq_signal_input parse_input(std::string_view text);
    static const char* input_name(seq_signal_input input);
};

#endif
