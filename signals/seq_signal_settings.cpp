#include "signals/seq_signal_settings.h"

#include <cmath>
#include <cstdio>

#include "base/utils/stringUtils.h"
#include "signals/seq_signal_tables.h"

namespace {

void checkRange(const char* name, int64_t value, int64_t minimum, int64_t maximum,
                const char* unit) {
    if (value < 0)
        throw seq_signal_error(stringCat(name, ": ", std::to_string(value), " is negative"));
    if (value < minimum)
        throw seq_signal_error(stringCat(name, ": ", std::to_string(value), " must be at least ",
                                         std::to_string(minimum)));
    if (value > maximum)
        throw seq_signal_error(stringCat(name, ": ", std::to_string(value), " is beyond ",
                                         std::to_string(maximum), unit));
}

template <class T>
std::shared_ptr<const std::vector<float>> inputPath(int path, std::span<const T> samples) {
    seq_signal_tables::check("input path", path, 2, samples);
    return std::make_shared<const std::vector<float>>(samples.begin(), samples.end());
}

} // namespace

void seq_signal_settings::validate() const {
    checkRange("integration_ns", integration_ns, 1, s_maxIntegrationNs, " ns");
    checkRange("loopback_delay_ns", loopback_delay_ns, 0, s_maxDelayNs, " ns");
    if (!std::isfinite(nco_hz) || std::fabs(nco_hz) > s_maxNcoHz) {
        char text[96];
        snprintf(text, sizeof text, "nco_hz: %g is beyond +-%g Hz, half the sample rate", nco_hz,
                 s_maxNcoHz);
        throw seq_signal_error(text);
    }
    checkRange("queue_depth", queue_depth, 1, s_maxQueueDepth, " entries");
    checkRange("start_delay_ns", start_delay_ns, 0, s_maxStartDelayNs, " ns");
    checkRange("classical_ns", classical_ns, 1, s_maxClassicalNs, " ns");
    if (input == seq_signal_input::samples && (!input_samples[0] || !input_samples[1]))
        throw seq_signal_error("input: samples selected but none given");
}

namespace {

// Both paths' input, each checked; the settings are unchanged when one is refused.
template <class T>
void setInput(seq_signal_settings& settings, std::span<const T> path0, std::span<const T> path1,
              bool same) {
    auto first = inputPath(0, path0);
    settings.input_samples[1] = same ? first : inputPath(1, path1);
    settings.input_samples[0] = std::move(first);
    settings.input = seq_signal_input::samples;
}

} // namespace

void seq_signal_settings::set_input_samples(std::span<const double> both) {
    setInput(*this, both, both, true);
}
void seq_signal_settings::set_input_samples(std::span<const double> path0,
                                            std::span<const double> path1) {
    setInput(*this, path0, path1, false);
}
void seq_signal_settings::set_input_samples(std::span<const float> both) {
    setInput(*this, both, both, true);
}
void seq_signal_settings::set_input_samples(std::span<const float> path0,
                                            std::span<const float> path1) {
    setInput(*this, path0, path1, false);
}

seq_signal_input seq_signal_settings::parse_input(std::string_view text) {
    if (text == "zero")
        return seq_signal_input::zero;
    if (text == "loopback")
        return seq_signal_input::loopback;
    throw seq_signal_error(
        stringCat("input: '", std::string(text), "' is neither zero nor loopback nor samples"));
}

const char* seq_signal_settings::input_name(seq_signal_input input) {
    switch (input) {
    case seq_signal_input::zero:
        return "zero";
    case seq_signal_input::loopback:
        return "loopback";
    case seq_signal_input::samples:
        break;
    }
    return "samples";
}
