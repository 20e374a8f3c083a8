#ifndef SIGNALS_SEQ_SIGNAL_RENDERER_H
#define SIGNALS_SEQ_SIGNAL_RENDERER_H

// The samples of one window [start, stop) of a run: both output paths as float and the four
// marker lines as the bits of a byte, one sample per ns. The renderer is fed the run's log
// entries in order, as a simulation produces them (it is then part of a sink) or from a
// stored log after the run; entries before the window only change the state. It delivers the
// window either in chunks to a consumer, holding one chunk, or into arrays the caller
// provides. Memory and time go with the window, not with the run.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "assembler/seq_sim.h"
#include "signals/seq_signal_generator.h"
#include "signals/seq_signal_settings.h"

// Consecutive samples of a window.
struct seq_signal_chunk {
    uint64_t start_ns = 0; // time of the first sample
    size_t size = 0;
    const float* path0 = nullptr;
    const float* path1 = nullptr;
    const uint8_t* markers = nullptr;
};

class seq_signal_chunk_consumer {
public:
    virtual ~seq_signal_chunk_consumer() = default;
    // The next chunk; its arrays are valid during the call.
    virtual void chunk(const seq_signal_chunk& chunk) = 0;
};

class seq_signal_renderer {
public:
    using rt_info = seq_sim::rt_info;
    static constexpr size_t s_defaultChunk = size_t{1} << 16;
    // The largest window render_window accepts by default, 2^28 samples (2.25 GiB of arrays).
    static constexpr uint64_t s_maxWindow = uint64_t{1} << 28;

    // Delivers [start, stop) to `consumer` in chunks of `chunkSamples` (the last one shorter).
    seq_signal_renderer(std::shared_ptr<const seq_signal_tables> tables,
                        const seq_signal_settings& settings, uint64_t start, uint64_t stop,
                        seq_signal_chunk_consumer& consumer, size_t chunkSamples = s_defaultChunk);
    // Writes [start, stop) into the caller's arrays of stop - start samples each; any of them
    // may be null.
    seq_signal_renderer(std::shared_ptr<const seq_signal_tables> tables,
                        const seq_signal_settings& settings, uint64_t start, uint64_t stop,
                        float* path0, float* path1, uint8_t* markers);

    // The next entry of the run.
    void event(const rt_info& entry);
    // The run has ended: the rest of the window follows from the last state (the last
    // waveforms play out, then the paths hold their offsets).
    void finish();
    // Whether the window is complete, so that later entries change nothing in it.
    bool done() const { return m_position == m_stop; }

    // Throws seq_signal_error for a window whose stop is before its start or that has more
    // than `maxSamples` samples (the message says how to stream it instead).
    static void check_window(uint64_t start, uint64_t stop, uint64_t maxSamples = s_maxWindow);
    // A whole window of a stored log into arrays of stop - start samples.
    static void render_window(std::shared_ptr<const seq_signal_tables> tables,
                              const seq_signal_settings& settings, std::span<const rt_info> entries,
                              uint64_t start, uint64_t stop, float* path0, float* path1,
                              uint8_t* markers);

private:
    void produceUntil(uint64_t time);
    void flush();

    std::shared_ptr<const seq_signal_tables> m_tables;
    seq_signal_generator m_generator;
    uint64_t m_start, m_stop;
    uint64_t m_position; // the next sample to produce
    seq_signal_chunk_consumer* m_consumer = nullptr;
    size_t m_chunkSamples = 0;
    size_t m_filled = 0; // samples of the chunk produced
    // The chunk, or the caller's arrays.
    std::vector<float> m_buffer0, m_buffer1;
    std::vector<uint8_t> m_bufferMarkers;
    float* m_path0 = nullptr;
    float* m_path1 = nullptr;
    uint8_t* m_markers = nullptr;
};

#endif
