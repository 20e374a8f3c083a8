#include "signals/seq_signal_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/utils/stringUtils.h"

namespace {

std::string entryName(const char* what, int64_t index) {
    return stringCat(what, " ", std::to_string(index));
}

std::string sampleText(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "inf" : "-inf";
    char text[32];
    snprintf(text, sizeof text, "%.9g", value);
    return text;
}

} // namespace

template <class T>
void seq_signal_tables::check(const char* what, int64_t index, int64_t count,
                              std::span<const T> samples) {
    if (index < 0 || index >= count)
        throw seq_signal_error(
            stringCat(entryName(what, index), ": index outside 0 to ", std::to_string(count - 1)));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double value = static_cast<double>(samples[i]);
        // The negated test also refuses NaN.
        if (!(value >= -1.0 && value <= 1.0))
            throw seq_signal_error(stringCat(entryName(what, index), ": sample ", std::to_string(i),
                                             " is ", sampleText(value),
                                             std::isfinite(value) ? ", outside [-1, 1]" : ""));
    }
}

template void seq_signal_tables::check(const char*, int64_t, int64_t, std::span<const float>);
template void seq_signal_tables::check(const char*, int64_t, int64_t, std::span<const double>);

template <class T>
void seq_signal_tables::set(std::vector<std::vector<float>>& table, std::vector<bool>& present,
                            const char* what, int64_t count, int64_t index,
                            std::span<const T> samples) {
    check(what, index, count, samples);
    const auto i = static_cast<size_t>(index);
    table[i].assign(samples.begin(), samples.end());
    table[i].shrink_to_fit();
    present[i] = true;
}

void seq_signal_tables::set_waveform(int64_t index, std::span<const float> samples) {
    set(m_waveforms, m_hasWaveform, "waveform", s_waveformCount, index, samples);
}
void seq_signal_tables::set_waveform(int64_t index, std::span<const double> samples) {
    set(m_waveforms, m_hasWaveform, "waveform", s_waveformCount, index, samples);
}
void seq_signal_tables::set_weight(int64_t index, std::span<const float> samples) {
    set(m_weights, m_hasWeight, "weight", s_weightCount, index, samples);
}
void seq_signal_tables::set_weight(int64_t index, std::span<const double> samples) {
    set(m_weights, m_hasWeight, "weight", s_weightCount, index, samples);
}

void seq_signal_tables::remove_waveform(int64_t index) {
    check<float>("waveform", index, s_waveformCount, {});
    m_waveforms[static_cast<size_t>(index)] = {};
    m_hasWaveform[static_cast<size_t>(index)] = false;
}
void seq_signal_tables::remove_weight(int64_t index) {
    check<float>("weight", index, s_weightCount, {});
    m_weights[static_cast<size_t>(index)] = {};
    m_hasWeight[static_cast<size_t>(index)] = false;
}

bool seq_signal_tables::has_waveforms() const {
    return std::find(m_hasWaveform.begin(), m_hasWaveform.end(), true) != m_hasWaveform.end();
}

size_t seq_signal_tables::longest_weight() const {
    size_t longest = 0;
    for (const std::vector<float>& weight : m_weights)
        longest = std::max(longest, weight.size());
    return longest;
}
