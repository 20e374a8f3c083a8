#ifndef SIGNALS_SEQ_SIGNAL_SINK_H
#define SIGNALS_SEQ_SIGNAL_SINK_H

// The signal layer during a simulation: an event sink that checks the run for findings,
// integrates its acquisitions and, when asked, renders one window of its output, all while the
// simulator runs, so that nothing of the run needs to be kept. Combine it with other sinks in
// a seq_event_tee. Every run (begin) starts afresh; results are complete after the run (end).
//
//     seq_signal_sink signals(tables, settings, &findings);
//     signals.render_window(0, 10000, consumer);
//     simulator.set_event_sink(&signals);
//     simulator.simulate(budget, message);
//     for (const seq_acquisition& acquisition : signals.acquisitions()) ...

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "assembler/seq_event_sink.h"
#include "signals/seq_acquisitions.h"
#include "signals/seq_findings.h"
#include "signals/seq_signal_renderer.h"

class seq_signal_sink : public seq_event_sink {
public:
    // Checks `settings` (throws seq_signal_error); findings go to `findings` when given.
    seq_signal_sink(std::shared_ptr<const seq_signal_tables> tables, seq_signal_settings settings,
                    seq_finding_sink* findings = nullptr);
    ~seq_signal_sink() override;

    // The following runs render [start, stop) to `consumer` (which must outlive them).
    void render_window(uint64_t start, uint64_t stop, seq_signal_chunk_consumer& consumer,
                       size_t chunkSamples = seq_signal_renderer::s_defaultChunk);

    void begin() override;
    // Without the tick no underrun can be found at the entry.
    void event(const rt_info& entry, address_t address) override;
    void timed_event(const rt_info& entry, address_t address, uint64_t classicalTick) override;
    void end() override;

    // The acquisitions of the latest run.
    std::vector<seq_acquisition> acquisitions() const;

private:
    std::shared_ptr<const seq_signal_tables> m_tables;
    seq_signal_settings m_settings;
    seq_finding_sink* m_findings;
    struct Window {
        uint64_t start, stop;
        seq_signal_chunk_consumer* consumer;
        size_t chunkSamples;
    };
    std::optional<Window> m_window;

    std::unique_ptr<seq_signal_checker> m_checker;
    std::unique_ptr<seq_acquirer> m_acquirer;
    std::unique_ptr<seq_signal_renderer> m_renderer;
};

#endif
