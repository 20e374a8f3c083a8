#include "lsp/lsp_timing.h"

#include "assembler/seq.h"
#include "assembler/seq_sim.h"

lsp_timing::lsp_timing(done_t done) : m_done(std::move(done)), m_thread([this] { work(); }) {}

lsp_timing::~lsp_timing() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void lsp_timing::submit(const std::string& uri, uint64_t generation, std::vector<uint64_t> words,
                        int budget) {
    {
        const std::lock_guard lock(m_mutex);
        m_jobs[uri] = {generation, std::move(words), budget};
        m_latest[uri] = generation;
        m_results.erase(uri);
    }
    m_changed.notify_all();
}

void lsp_timing::drop(const std::string& uri) {
    const std::lock_guard lock(m_mutex);
    m_jobs.erase(uri);
    m_latest.erase(uri);
    m_results.erase(uri);
}

std::optional<lsp_timing::result> lsp_timing::wait(const std::string& uri, uint64_t generation,
                                                   std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    const auto ready = [&] {
        const auto latest = m_latest.find(uri);
        if (latest == m_latest.end() || latest->second != generation)
            return true; // dropped or replaced: nothing will come
        const auto found = m_results.find(uri);
        return found != m_results.end() && found->second.generation == generation;
    };
    if (!m_changed.wait_for(lock, timeout, ready))
        return std::nullopt;
    const auto found = m_results.find(uri);
    if (found == m_results.end() || found->second.generation != generation)
        return std::nullopt;
    return found->second;
}

void lsp_timing::work() {
    seq driver;
    seq_sim& sim = *driver.rt_simulator();
    sim.setProfiling(true);
    for (;;) {
        std::string uri;
        job next;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            const auto first = m_jobs.begin();
            uri = first->first;
            next = std::move(first->second);
            m_jobs.erase(first);
        }
        result outcome;
        outcome.generation = next.generation;
        UIStr message;
        if (driver.loadImage(next.words, message)) {
            outcome.ended = !sim.simulate(next.budget, message);
            outcome.budgetHit =
                !outcome.ended && sim.numInstructions() > static_cast<uint32_t>(next.budget);
            outcome.pc = sim.pc();
            outcome.profile = sim.profile();
        }
        outcome.message = message;
        {
            const std::lock_guard lock(m_mutex);
            const auto latest = m_latest.find(uri);
            if (latest == m_latest.end() || latest->second != next.generation)
                continue; // a newer change made it stale
            m_results[uri] = std::move(outcome);
        }
        m_changed.notify_all();
        if (m_done)
            m_done(uri, next.generation);
    }
}
