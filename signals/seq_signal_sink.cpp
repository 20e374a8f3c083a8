#include "signals/seq_signal_sink.h"

seq_signal_sink::seq_signal_sink(std::shared_ptr<const seq_signal_tables> tables,
                                 seq_signal_settings settings, seq_finding_sink* findings)
    : m_tables(std::move(tables)), m_settings(std::move(settings)), m_findings(findings) {
    if (!m_tables)
        throw seq_signal_error("no tables given");
    m_settings.validate();
    set_wants_tick(true);
    begin();
}

seq_signal_sink::~seq_signal_sink() = default;

void seq_signal_sink::render_window(uint64_t start, uint64_t stop,
                                    seq_signal_chunk_consumer& consumer, size_t chunkSamples) {
    seq_signal_renderer::check_window(start, stop, UINT64_MAX);
    m_window = Window{start, stop, &consumer, chunkSamples};
    m_renderer.reset();
}

void seq_signal_sink::begin() {
    if (m_findings != nullptr)
        m_checker = std::make_unique<seq_signal_checker>(m_tables, m_settings, *m_findings);
    m_acquirer = std::make_unique<seq_acquirer>(m_tables, m_settings);
    if (m_window)
        m_renderer = std::make_unique<seq_signal_renderer>(m_tables, m_settings, m_window->start,
                                                           m_window->stop, *m_window->consumer,
                                                           m_window->chunkSamples);
}

void seq_signal_sink::event(const rt_info& entry, address_t address) {
    timed_event(entry, address, seq_signal_checker::s_unknownTick);
}

void seq_signal_sink::timed_event(const rt_info& entry, address_t address, uint64_t classicalTick) {
    if (m_checker)
        m_checker->event(entry, address, classicalTick);
    m_acquirer->event(entry);
    if (m_renderer && !m_renderer->done())
        m_renderer->event(entry);
}

void seq_signal_sink::end() {
    if (m_checker)
        m_checker->finish();
    m_acquirer->finish();
    if (m_renderer)
        m_renderer->finish();
}

std::vector<seq_acquisition> seq_signal_sink::acquisitions() const {
    return m_acquirer->results();
}
