// Real-time extension of the simulator for the Vexa processor: executes the waveform,
// acquisition, wait and setting instructions, advances the real-time counter by their
// durations and records every real-time instruction's state in an event log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sequencer/SeqSim.h"

class seq_event_sink;

class seq_sim : public SeqSim {
public:
    // The real-time state, and one entry of the log: the state when a real-time
    // instruction started.
    struct rt_info {
        const char* str = nullptr; // mnemonic; points into the instruction set
        int32_t wave_idx[2] = {0, 0};
        bool play_valid = false;
        int32_t weight_idx[2] = {0, 0};
        int32_t bin_idx = 0;
        int32_t acq_idx = 0;
        bool acquire_valid = false;
        int32_t awg_gain[2] = {0, 0};
        int32_t awg_offs[2] = {0, 0};
        int32_t ph_ufine = 0, ph_fine = 0, ph_coarse = 0;
        int32_t ph_delta_ufine = 0, ph_delta_fine = 0, ph_delta_coarse = 0;
        int32_t mrk = 0;
        bool param_valid = false;
        // 64-bit, so that real time neither wraps nor runs backwards; a duration is an
        // unsigned 32-bit count of real-time cycles.
        uint64_t duration_ns = 0;
        uint64_t time_ns = 0;
    };
    using t_rt_info = rt_info;

    // What a log entry is, by the operation of the instruction that produced it; none for a
    // mnemonic that produces no entry (the settings, sw_req, the generic instructions) and for
    // one that this simulator does not know.
    enum class event_kind : uint8_t { none, play, acquisition, wait, update };
    static constexpr int num_event_kinds = 5;
    // Their names, in the order of the enumeration.
    static constexpr const char* event_kind_names[num_event_kinds] = {"none", "play", "acquisition",
                                                                      "wait", "update"};
    // The kind of an entry with the mnemonic `mnemonic` (null gives none).
    static event_kind kind_of(const char* mnemonic);
    static event_kind kind_of(const rt_info& entry) { return kind_of(entry.str); }

    explicit seq_sim(SeqProcessor* processor);
    ~seq_sim() override;

    bool simulate(int maxInstructions, UIStr& message) override;
    using SeqSim::simulate;
    bool processInstruction() override;

    // Logs the current state with the duration of the "COUNT" field, clears the
    // per-entry flags and the phase step, and advances real time.
    void update_rt_info(const SeqInstructionDef& def, instruction_t word);

    // The in-memory log of the latest run; it stays empty while another sink is set.
    const std::vector<rt_info>& get_rt_log() const { return rt_log; }
    std::vector<rt_info>& get_rt_log() { return rt_log; }
    // The log as text, written at info level; the argument is not printed.
    void print_rt_log(const std::string& title) const;
    // The text that print_rt_log writes.
    std::string rt_log_text() const;

    // Where the following runs hand their log entries (see seq_event_sink.h); null gives
    // them back to the in-memory log. The sink must outlive those runs.
    void set_event_sink(seq_event_sink* sink);
    seq_event_sink* event_sink() const { return m_sink; }
    // The in-memory log as a sink, to combine it with others.
    seq_event_sink& rt_log_sink();

protected:
    t_rt_info curr_rt_info;
    std::vector<rt_info> rt_log;

private:
    // The generic and the real-time operations, for the run loop (see seq_sim_operations.h).
    struct Operations;
    static bool runOperations(SeqSim& sim, int maxInstructions, UIStr& message);
    class LogSink;

    // Hands curr_rt_info, produced at `address` by an instruction that started at classical
    // tick `tick`, to the sink. (Out of line: the run loop keeps its registers.)
    void appendLogEntry(address_t address, uint64_t tick);
    void appendToLog() {
        if (rt_log.size() == rt_log.capacity())
            growLog();
        rt_log.push_back(curr_rt_info);
    }
    void growLog();
    // update_rt_info with the duration read; returns the new real-time counter.
    uint64_t logEntry(uint64_t duration, uint64_t realtimeTick, address_t address, uint64_t tick);

    std::unique_ptr<seq_event_sink> m_logSink; // appends to rt_log
    seq_event_sink* m_sink;
    // How appendLogEntry hands entries to m_sink, decided when the sink is set and when a
    // run begins.
    enum class SinkCall : uint8_t { log, event, timed_event };
    SinkCall m_sinkCall = SinkCall::log;
    void chooseSinkCall();
};
