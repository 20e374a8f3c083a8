#include "signals/seq_signal_generator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "base/utils/stringUtils.h"

namespace {

constexpr uint32_t kPhaseMask = 0x7FFFFFFF; // 31 bits of a turn
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Samples each call of a counting loop handles, so that its 32-bit count cannot overflow.
constexpr size_t kCountRun = size_t{1} << 20;

// The output range: a sample below -1 becomes -1, one above s_maxSample s_maxSample.
inline float saturate(float y) {
    const float low = y < -1.0f ? -1.0f : y;
    return low > seq_signal_generator::s_maxSample ? seq_signal_generator::s_maxSample : low;
}

// out = saturate(gain * wave + offset); returns the samples that saturated.
uint32_t scaleOffset(float* __restrict__ out, const float* __restrict__ wave, size_t n, float gain,
                     float offset) {
    uint32_t clipped = 0;
    for (size_t i = 0; i < n; ++i) {
        const float y = gain * wave[i] + offset;
        const float z = saturate(y);
        out[i] = z;
        clipped += static_cast<uint32_t>(z != y);
    }
    return clipped;
}

// One block of a modulated output: the gained waveforms as I + jQ, rotated by the phasor
// (cRe + j cIm)(rotRe + j rotIm), plus the offsets.
void rotateBlock(float* __restrict__ out0, float* __restrict__ out1,
                 const float* __restrict__ wave0, const float* __restrict__ wave1,
                 const float* __restrict__ rotRe, const float* __restrict__ rotIm, size_t n,
                 const float gain[2], const float offset[2], float cRe, float cIm,
                 uint64_t clipped[2]) {
    const float g0 = gain[0], g1 = gain[1], o0 = offset[0], o1 = offset[1];
    uint32_t c0 = 0, c1 = 0;
    for (size_t i = 0; i < n; ++i) {
        const float re = cRe * rotRe[i] - cIm * rotIm[i];
        const float im = cRe * rotIm[i] + cIm * rotRe[i];
        const float in = g0 * wave0[i];
        const float qu = g1 * wave1[i];
        const float y0 = in * re - qu * im + o0;
        const float y1 = in * im + qu * re + o1;
        const float z0 = saturate(y0);
        const float z1 = saturate(y1);
        out0[i] = z0;
        out1[i] = z1;
        c0 += static_cast<uint32_t>(z0 != y0);
        c1 += static_cast<uint32_t>(z1 != y1);
    }
    clipped[0] += c0;
    clipped[1] += c1;
}

const float kZeros[seq_signal_generator::s_block] = {};

} // namespace

seq_signal_generator::seq_signal_generator(const seq_signal_tables& tables, double ncoHz)
    : m_tables(tables),
      m_modulated(ncoHz != 0.0), m_gain{fraction(32767), fraction(32767)}, m_offset{
                                                                               fraction(32767),
                                                                               fraction(32767)} {
    if (!m_modulated)
        return;
    m_turnsPerNs = static_cast<long double>(ncoHz) / 1e9L;
    m_rotationRe.resize(s_block);
    m_rotationIm.resize(s_block);
    for (size_t k = 0; k < s_block; ++k) {
        long double turns = m_turnsPerNs * static_cast<long double>(k);
        turns -= std::floor(turns);
        m_rotationRe[k] = static_cast<float>(std::cos(kTwoPi * static_cast<double>(turns)));
        m_rotationIm[k] = static_cast<float>(std::sin(kTwoPi * static_cast<double>(turns)));
    }
}

float seq_signal_generator::fraction(int32_t field) {
    return static_cast<float>(static_cast<int16_t>(static_cast<uint16_t>(field))) / 32768.0f;
}

uint32_t seq_signal_generator::phase_word(int32_t coarse, int32_t fine, int32_t ufine) {
    return ((static_cast<uint32_t>(coarse) << 22) + (static_cast<uint32_t>(fine) << 13) +
            static_cast<uint32_t>(ufine)) &
           kPhaseMask;
}

double seq_signal_generator::phase_turns() const {
    return static_cast<double>((m_phase + m_phaseSteps) & kPhaseMask) / 2147483648.0;
}

void seq_signal_generator::apply(const rt_info& entry) {
    if (entry.time_ns < m_time)
        throw seq_signal_error(stringCat("entry at ", std::to_string(entry.time_ns),
                                         " ns comes after one at ", std::to_string(m_time),
                                         " ns: entries must be in time order"));
    m_time = entry.time_ns;
    if (entry.param_valid) {
        for (int p = 0; p < 2; ++p) {
            m_gain[p] = fraction(entry.awg_gain[p]);
            m_offset[p] = fraction(entry.awg_offs[p]);
        }
        m_markers = static_cast<uint8_t>(entry.mrk & 0xF);
        m_phase = phase_word(entry.ph_coarse, entry.ph_fine, entry.ph_ufine);
        m_phaseSteps = (m_phaseSteps + phase_word(entry.ph_delta_coarse, entry.ph_delta_fine,
                                                  entry.ph_delta_ufine)) &
                       kPhaseMask;
    }
    if (entry.play_valid) {
        for (int p = 0; p < 2; ++p) {
            const std::vector<float>* wave = m_tables.waveform(entry.wave_idx[p]);
            m_play[p].samples = wave != nullptr ? wave->data() : nullptr;
            m_play[p].length = wave != nullptr ? wave->size() : 0;
            m_play[p].start = m_time;
            m_play[p].index = entry.wave_idx[p];
        }
    }
}

void seq_signal_generator::render(uint64_t from, size_t n, float* path0, float* path1,
                                  uint8_t* markers, uint64_t* clipped) const {
    if (markers != nullptr)
        std::memset(markers, m_markers, n);
    if (m_modulated && from < playing_until()) {
        renderModulated(from, n, path0, path1, clipped);
        return;
    }
    // Without a waveform the rotation of 0 leaves the offsets.
    renderPath(0, from, n, path0, clipped);
    renderPath(1, from, n, path1, clipped == nullptr ? nullptr : clipped + 1);
}

void seq_signal_generator::renderPath(int path, uint64_t from, size_t n, float* out,
                                      uint64_t* clipped) const {
    if (out == nullptr)
        return;
    const play_t& play = m_play[path];
    size_t played = 0;
    if (from < play.end()) {
        played = static_cast<size_t>(std::min<uint64_t>(n, play.end() - from));
        const float* wave = play.samples + (from - play.start);
        uint64_t count = 0;
        for (size_t done = 0; done < played; done += kCountRun) {
            const size_t run = std::min(kCountRun, played - done);
            count += scaleOffset(out + done, wave + done, run, m_gain[path], m_offset[path]);
        }
        if (clipped != nullptr)
            *clipped += count;
    }
    std::fill(out + played, out + n, m_offset[path]);
}

void seq_signal_generator::renderModulated(uint64_t from, size_t n, float* path0, float* path1,
                                           uint64_t* clipped) const {
    const long double theta = phase_turns();
    uint64_t count[2] = {0, 0};
    float scratch0[s_block], scratch1[s_block];
    for (size_t done = 0; done < n;) {
        // Blocks are aligned to multiples of s_block in time, so that a sample comes out the
        // same however a window is cut into chunks.
        const uint64_t t = from + done;
        const size_t inBlock = static_cast<size_t>(t % s_block);
        size_t m = std::min(s_block - inBlock, n - done);
        const float* wave[2];
        for (int p = 0; p < 2; ++p) {
            const play_t& play = m_play[p];
            if (t < play.end()) {
                wave[p] = play.samples + (t - play.start);
                m = static_cast<size_t>(std::min<uint64_t>(m, play.end() - t));
            } else {
                wave[p] = kZeros;
            }
        }
        // A waveform that has ended does not start again before the next entry: from here on
        // both paths carry their offsets.
        if (wave[0] == kZeros && wave[1] == kZeros) {
            float* out[2] = {path0, path1};
            for (int p = 0; p < 2; ++p)
                if (out[p] != nullptr)
                    std::fill(out[p] + done, out[p] + n, m_offset[p]);
            break;
        }
        long double turns = m_turnsPerNs * static_cast<long double>(t - inBlock) + theta;
        turns -= std::floor(turns);
        const double angle = kTwoPi * static_cast<double>(turns);
        rotateBlock(path0 != nullptr ? path0 + done : scratch0,
                    path1 != nullptr ? path1 + done : scratch1, wave[0], wave[1],
                    m_rotationRe.data() + inBlock, m_rotationIm.data() + inBlock, m, m_gain,
                    m_offset, static_cast<float>(std::cos(angle)),
                    static_cast<float>(std::sin(angle)), count);
        done += m;
    }
    if (clipped != nullptr) {
        clipped[0] += count[0];
        clipped[1] += count[1];
    }
}
