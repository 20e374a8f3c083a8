#ifndef LSP_LSP_TIMING_H
#define LSP_LSP_TIMING_H

// Simulation of documents off the request path: a worker thread with a driver of its own runs
// the program words of a document with profiling, bounded by an instruction budget. A newer
// job for the same document replaces one still waiting, and a result that a newer job made
// stale is dropped, so the next change cancels what was asked for before it.

#include "sequencer/SeqSim.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class lsp_timing {
public:
    struct result {
        uint64_t generation = 0;
        std::vector<SeqSim::AddressProfile> profile;
        bool ended = false;     // the run ended with a stop
        bool budgetHit = false; // the instruction budget ended it
        uint32_t pc = 0;        // where it ended
        std::string message;    // why it did not end with a stop
    };
    // Called on the worker thread when a result is stored.
    using done_t = std::function<void(const std::string& uri, uint64_t generation)>;

    explicit lsp_timing(done_t done = {});
    ~lsp_timing();
    lsp_timing(const lsp_timing&) = delete;
    lsp_timing& operator=(const lsp_timing&) = delete;

    void submit(const std::string& uri, uint64_t generation, std::vector<uint64_t> words,
                int budget);
    // Forgets the document: its waiting job and its result.
    void drop(const std::string& uri);
    // The result of that generation, waiting up to `timeout` for it; empty when it is not
    // there by then or was dropped.
    std::optional<result> wait(const std::string& uri, uint64_t generation,
                               std::chrono::milliseconds timeout);

private:
    struct job {
        uint64_t generation = 0;
        std::vector<uint64_t> words;
        int budget = 0;
    };
    void work();

    done_t m_done;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, job> m_jobs;
    std::map<std::string, uint64_t> m_latest; // newest generation asked for per document
    std::map<std::string, result> m_results;
    bool m_stopping = false;
    std::thread m_thread; // last: started when the rest is ready
};

#endif
