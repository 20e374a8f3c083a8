#ifndef SIGNALS_SEQ_SIGNAL_GENERATOR_H
#define SIGNALS_SEQ_SIGNAL_GENERATOR_H

// The output of the instrument as the real-time log drives it: the parameters in force, the
// waveform playing on each path, and the samples of both paths and the four marker lines
// between two log entries. One sample per ns.
//
// A generator is fed the log's entries in time order (apply) and asked for the samples of a
// stretch that no entry falls into (render). Between entries nothing changes but the position
// in the waveforms and, with modulation, the phase, so a stretch is rendered by loops without
// a branch per sample: scale, offset and saturate a waveform; fill a constant; or rotate by a
// phasor taken from a table and one sine and cosine per block.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "assembler/seq_sim.h"
#include "signals/seq_signal_tables.h"

class seq_signal_generator {
public:
    using rt_info = seq_sim::rt_info;
    // The largest output sample; the smallest is -1.
    static constexpr float s_maxSample = 32767.0f / 32768.0f;
    // Samples that one sine and cosine serve with modulation.
    static constexpr size_t s_block = 256;

    // The waveform a path plays: `length` samples from `start` on (none when length is 0).
    struct play_t {
        const float* samples = nullptr;
        uint64_t start = 0;
        uint64_t length = 0;
        int64_t index = -1; // -1 before the first play
        uint64_t end() const { return start + length; }
    };

    // `tables` must outlive the generator; `ncoHz` 0 turns modulation off.
    seq_signal_generator(const seq_signal_tables& tables, double ncoHz);

    // Applies an entry at its time_ns: its parameters when param_valid, its waveforms when
    // play_valid. Throws seq_signal_error when its time is before the previous entry's.
    void apply(const rt_info& entry);
    // The time of the latest entry applied.
    uint64_t time() const { return m_time; }

    // The samples of [from, from + n), with from >= time() and no entry inside: each array
    // receives n values (markers: bit k is line k). `clipped`, when given, counts the samples
    // of each path that saturated.
    void render(uint64_t from, size_t n, float* path0, float* path1, uint8_t* markers,
                uint64_t* clipped = nullptr) const;

    const play_t& play(int path) const { return m_play[path]; }
    // After this time both paths carry their offsets alone, which never saturate.
    uint64_t playing_until() const {
        return m_play[0].end() > m_play[1].end() ? m_play[0].end() : m_play[1].end();
    }
    bool modulated() const { return m_modulated; }
    // Gain and offset of a path as factors, the marker bits and the phase in turns.
    float gain(int path) const { return m_gain[path]; }
    float offset(int path) const { return m_offset[path]; }
    uint8_t markers() const { return m_markers; }
    double phase_turns() const;

    // Gain and offset of the log's 16-bit field values: the low 16 bits read as a signed
    // number, over 32768.
    static float fraction(int32_t field);
    // The 31-bit phase word of the three parts of a phase or phase step.
    static uint32_t phase_word(int32_t coarse, int32_t fine, int32_t ufine);

private:
    void renderPath(int path, uint64_t from, size_t n, float* out, uint64_t* clipped) const;
    void renderModulated(uint64_t from, size_t n, float* path0, float* path1,
                         uint64_t* clipped) const;

    const seq_signal_tables& m_tables;
    bool m_modulated;
    long double m_turnsPerNs = 0;                  // the modulation frequency
    std::vector<float> m_rotationRe, m_rotationIm; // exp(j 2 pi f k) for k < s_block

    uint64_t m_time = 0;
    float m_gain[2];
    float m_offset[2];
    uint8_t m_markers = 0;
    uint32_t m_phase = 0;      // the phase word of the update in force
    uint32_t m_phaseSteps = 0; // the sum of every update's phase step
    play_t m_play[2];
};

#endif
