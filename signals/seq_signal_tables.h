#ifndef SIGNALS_SEQ_SIGNAL_TABLES_H
#define SIGNALS_SEQ_SIGNAL_TABLES_H

// The waveform and weight tables of the signal layer: sample arrays by index, the waveforms
// 0 to 1023 (the range of a play's waveform-index field) and the weights 0 to 63 (that of an
// acquisition's weight-index field). Samples are real numbers in [-1, 1], held as float; an
// entry is absent, empty (a waveform of length 0) or holds samples. Every entry is checked as
// it is set, and a bad one is refused whole with an error that names it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// Bad input of the signal layer: a table entry, a setting, an event sequence or a window. The
// text names what is wrong.
class seq_signal_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class seq_signal_tables {
public:
    static constexpr int64_t s_waveformCount = 1024;
    static constexpr int64_t s_weightCount = 64;

    // Sets entry `index`, replacing what it held. Throws seq_signal_error naming the entry
    // ("waveform 3", "weight 7") for an index outside its range, NaN, an infinity, or a sample
    // outside [-1, 1]; the table is then unchanged.
    void set_waveform(int64_t index, std::span<const float> samples);
    void set_waveform(int64_t index, std::span<const double> samples);
    void set_weight(int64_t index, std::span<const float> samples);
    void set_weight(int64_t index, std::span<const double> samples);
    void remove_waveform(int64_t index);
    void remove_weight(int64_t index);

    // The entry, or null when it is absent or the index is outside the table.
    const std::vector<float>* waveform(int64_t index) const {
        return find(m_waveforms, m_hasWaveform, index);
    }
    const std::vector<float>* weight(int64_t index) const {
        return find(m_weights, m_hasWeight, index);
    }
    // Whether any waveform is present: without one every path carries its offset alone.
    bool has_waveforms() const;
    // The longest weight, 0 without weights.
    size_t longest_weight() const;

    // Checks `samples` as entry `index` of the table named `what` ("waveform", "weight",
    // "input"), whose indices are below `count`; throws seq_signal_error otherwise.
    template <class T>
    static void check(const char* what, int64_t index, int64_t count, std::span<const T> samples);

private:
    static const std::vector<float>* find(const std::vector<std::vector<float>>& table,
                                          const std::vector<bool>& present, int64_t index) {
        if (index < 0 || static_cast<uint64_t>(index) >= table.size() ||
            !present[static_cast<size_t>(index)])
            return nullptr;
        return &table[static_cast<size_t>(index)];
    }
    template <class T>
    static void set(std::vector<std::vector<float>>& table, std::vector<bool>& present,
                    const char* what, int64_t count, int64_t index, std::span<const T> samples);

    std::vector<std::vector<float>> m_waveforms{static_cast<size_t>(s_waveformCount)};
    std::vector<bool> m_hasWaveform = std::vector<bool>(static_cast<size_t>(s_waveformCount));
    std::vector<std::vector<float>> m_weights{static_cast<size_t>(s_weightCount)};
    std::vector<bool> m_hasWeight = std::vector<bool>(static_cast<size_t>(s_weightCount));
};

#endif
