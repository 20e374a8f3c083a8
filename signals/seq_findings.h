#ifndef SIGNALS_SEQ_FINDINGS_H
#define SIGNALS_SEQ_FINDINGS_H

// The timing findings of a run, each at the instruction where it happens: a play of a
// waveform the table lacks, an acquisition with a weight the table lacks, a waveform cut short
// by the next play, an acquisition whose window starts before the previous one's ends, a
// play whose samples saturate, and an instruction that the classical core issues too late
// for the real-time executor (underrun). The checker is fed the run's entries in order, with
// the classical tick at which each instruction started, and hands each finding to a sink as
// soon as it is known; a finding about a play's saturation is known when the next play
// starts or the run ends.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "assembler/seq_sim.h"
#include "signals/seq_signal_generator.h"
#include "signals/seq_signal_settings.h"

enum class seq_finding_kind : uint8_t {
    missing_waveform,
    missing_weight,
    cut_short,
    acquisition_overlap,
    clipped,
    underrun,
};

struct seq_finding {
    uint64_t time_ns = 0;
    uint32_t address = 0;
    seq_finding_kind kind = seq_finding_kind::missing_waveform;
    std::string message;
};

// "missing_waveform", "cut_short", ...
const char* seq_finding_kind_name(seq_finding_kind kind);

class seq_finding_sink {
public:
    virtual ~seq_finding_sink() = default;
    virtual void finding(const seq_finding& finding) = 0;
};

// Keeps every finding, in the order found.
class seq_finding_list : public seq_finding_sink {
public:
    void finding(const seq_finding& finding) override { m_findings.push_back(finding); }
    const std::vector<seq_finding>& findings() const { return m_findings; }
    // By time, then address, then in the order found.
    std::vector<seq_finding> sorted() const;
    void clear() { m_findings.clear(); }

private:
    std::vector<seq_finding> m_findings;
};

class seq_signal_checker {
public:
    using rt_info = seq_sim::rt_info;
    // The tick of an entry whose tick is not known: no underrun is looked for at it.
    static constexpr uint64_t s_unknownTick = UINT64_MAX;

    // Findings go to `sink`, which must outlive the checker.
    seq_signal_checker(std::shared_ptr<const seq_signal_tables> tables,
                       const seq_signal_settings& settings, seq_finding_sink& sink);

    // The next entry of the run, produced at `address` by an instruction that started at
    // classical tick `classicalTick`.
    void event(const rt_info& entry, uint32_t address, uint64_t classicalTick = s_unknownTick);
    // The run has ended.
    void finish();

private:
    void report(const rt_info& entry, uint32_t address, seq_finding_kind kind, std::string message);
    void checkIssue(const rt_info& entry, uint32_t address, uint64_t classicalTick);
    void checkPlay(const rt_info& entry, uint32_t address);
    void checkAcquisition(const rt_info& entry, uint32_t address);
    // Counts the saturated samples from the last entry up to `time`.
    void countClipped(uint64_t time);
    void reportClipped();

    std::shared_ptr<const seq_signal_tables> m_tables;
    seq_signal_settings m_settings;
    seq_finding_sink& m_sink;
    seq_signal_generator m_generator;

    // The issue queue: the start times of the latest queue_depth instructions, a ring.
    std::vector<uint64_t> m_starts;
    uint64_t m_issued = 0;
    uint64_t m_stall = 0; // how long the classical core has waited for the queue
    uint64_t m_executorStart = 0;

    // The latest play and its saturated samples so far.
    bool m_playing = false;
    uint64_t m_playTime = 0;
    uint32_t m_playAddress = 0;
    uint64_t m_clipped[2] = {0, 0};
    uint64_t m_clipPosition = 0;
    std::vector<float> m_scratch[2];

    // The end of the latest acquisition's window, and where it started.
    bool m_acquired = false;
    uint64_t m_acquisitionStart = 0;
    uint64_t m_acquisitionEnd = 0;
};

#endif
