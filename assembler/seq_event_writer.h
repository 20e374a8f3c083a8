#ifndef ASSEMBLER_SEQ_EVENT_WRITER_H
#define ASSEMBLER_SEQ_EVENT_WRITER_H

// Event sinks that write each real-time event as text while the simulation runs, into a
// TextOutput (a file, the log, a string): the simulator's log text, CSV with a header line,
// or JSON Lines. They format into the output's buffer and allocate nothing per event.

#include "assembler/seq_event_sink.h"
#include "base/utils/TextOutput.h"

#include <string_view>

class seq_event_writer : public seq_event_sink {
public:
    explicit seq_event_writer(TextOutput& out) : m_out(out) {}
    // Flushes the output at the end of every run.
    void end() override;

protected:
    TextOutput& m_out;
};

// The real-time log text that seq_sim::print_rt_log writes, entry by entry: begin() writes
// "\nSimulation start:", end() "\nSimulation end".
class seq_text_sink : public seq_event_writer {
public:
    using seq_event_writer::seq_event_writer;
    void begin() override;
    void event(const rt_info& entry, address_t address) override;
    void end() override;

    // One entry's text, as the log shows it.
    static void write(TextOutput& out, const rt_info& entry);
};

// One line per event under the header line s_header; booleans as 0 and 1.
class seq_csv_sink : public seq_event_writer {
public:
    static constexpr std::string_view s_header =
        "time_ns,duration_ns,address,mnemonic,play_valid,wave_idx0,wave_idx1,acquire_valid,"
        "acq_idx,bin_idx,weight_idx0,weight_idx1,param_valid,awg_gain0,awg_gain1,awg_offs0,"
        "awg_offs1,ph_coarse,ph_fine,ph_ufine,ph_delta_coarse,ph_delta_fine,ph_delta_ufine,mrk";

    // Writes the header line once, before the first run's events.
    using seq_event_writer::seq_event_writer;
    void begin() override;
    void event(const rt_info& entry, address_t address) override;

private:
    bool m_headerWritten = false;
};

// One JSON object per line and event, with the CSV columns' names; booleans as true and
// false.
class seq_jsonl_sink : public seq_event_writer {
public:
    using seq_event_writer::seq_event_writer;
    void event(const rt_info& entry, address_t address) override;
};

#endif
