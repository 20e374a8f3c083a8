#ifndef SIGNALS_SEQ_ACQUISITIONS_H
#define SIGNALS_SEQ_ACQUISITIONS_H

// The acquisitions of a run. An entry with acquire_valid integrates the input of both paths
// over a window that starts at its time: `acquire` averages integration_ns samples of each
// path; `acquire_weighed` multiplies the input of path p sample by sample by weight
// weight_idx[p] and divides the sum by that weight's length (an absent or empty weight gives
// 0). The two values add into bin bin_idx of acquisition acq_idx, whose count goes up by one.
//
// With loopback the input is the output delayed, and a window can reach past the entries
// that come after the acquisition; an acquisition is therefore completed once the run has
// passed the end of its window. The output is rendered only inside windows, by a generator
// that trails the run by the loopback delay and keeps only the entries of that delay, so
// memory stays flat however long the run.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "assembler/seq_sim.h"
#include "signals/seq_signal_generator.h"
#include "signals/seq_signal_settings.h"

// One bin of an acquisition: how many values went into it and their averages.
struct seq_acquisition_bin {
    uint32_t bin_idx = 0;
    uint64_t count = 0;
    double path0 = 0.0;
    double path1 = 0.0;
};

struct seq_acquisition {
    uint32_t acq_idx = 0;
    std::vector<seq_acquisition_bin> bins; // by bin index
};

class seq_acquirer {
public:
    using rt_info = seq_sim::rt_info;

    seq_acquirer(std::shared_ptr<const seq_signal_tables> tables, seq_signal_settings settings);
    ~seq_acquirer();

    // The next entry of the run, in time order.
    void event(const rt_info& entry);
    // The run has ended: the open windows are completed from the last state.
    void finish();

    // The acquisitions completed so far (after finish, all), by acquisition index.
    std::vector<seq_acquisition> results() const;
    // Acquisitions waiting for the run to pass the end of their windows.
    size_t pending() const { return m_pending.size(); }

    // The length of path p's window of an acquisition entry: integration_ns for `acquire`,
    // the weight's length for `acquire_weighed` (0 when the weight is absent).
    uint64_t window_length(const rt_info& entry, int path) const;
    // Whether an acquisition entry is `acquire_weighed` (for an entry without a mnemonic:
    // whether it names a weight).
    static bool is_weighed(const rt_info& entry);

private:
    // An acquisition whose window is open: per path, [start, start + length) in input time,
    // weighed or not.
    struct Pending {
        uint64_t start = 0;
        uint64_t length[2] = {0, 0};
        const float* weight[2] = {nullptr, nullptr};
        double sum[2] = {0.0, 0.0};
        uint32_t acq = 0, bin = 0;
        uint64_t end() const { return start + (length[0] > length[1] ? length[0] : length[1]); }
    };
    struct Sum {
        uint64_t count = 0;
        double path[2] = {0.0, 0.0};
    };
    class EntryQueue;

    // Adds input [from, from + n) of both paths, whose samples `input` holds, into the open
    // windows that cover it.
    void integrate(uint64_t from, size_t n, const float* const input[2]);
    void complete(const Pending& acquisition);
    // Renders and integrates the looped-back input up to `limit` (exclusive).
    void advance(uint64_t limit);
    void retire();

    std::shared_ptr<const seq_signal_tables> m_tables;
    seq_signal_settings m_settings;
    std::unordered_map<uint64_t, Sum> m_sums; // by acq_idx << 32 | bin_idx
    std::vector<Pending> m_pending;           // by window start
    // Loopback: the trailing generator, the entries it has yet to apply and the input time
    // up to which the open windows have their samples.
    std::unique_ptr<seq_signal_generator> m_generator;
    std::unique_ptr<EntryQueue> m_entries;
    uint64_t m_cursor = 0;
    std::vector<float> m_buffer[2];
};

#endif
