#ifndef ASSEMBLER_SEQ_EVENT_WRITER_H
#define ASSEMBLER_SEQ_EVENT_WRITER_H

// Event sinks that write each real-time event as text while the simulation runs, into a
// TextOutput (a file, the log, a string), and the simulator's log text among them. They format
// into the output's buffer and allocate nothing per event; the CSV and JSON Lines writers are
// in formats/.

#include "assembler/seq_event_sink.h"
#include "base/utils/TextOutput.h"

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

#endif
