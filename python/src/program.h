// A program in a driver of its own. Each program owns its driver and a mutex that serialises
// the calls on it, so programs run in parallel in several threads while calls on one program
// from several threads take turns.
#pragma once

#include "event_records.h"
#include "pybind.h"

#include "assembler/seq.h"
#include "formats/seq_listing.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vexa_py {

class Program {
public:
    enum class Origin { Text, File, Image };

    Program(Origin origin, std::string name, std::shared_ptr<const std::string> source);

    seq& driver() { return *m_driver; }
    std::mutex& mutex() { return m_mutex; }
    const EventLayout& layout() const { return m_layout; }
    const std::string& name() const { return m_name; }
    Origin origin() const { return m_origin; }

    // With the mutex held.
    std::vector<uint64_t> words() const;
    // The program as the timed listing shows it, read once; with the mutex held.
    const seq_listing& listing();

private:
    std::unique_ptr<seq> m_driver;
    std::mutex m_mutex;
    EventLayout m_layout;
    Origin m_origin;
    std::string m_name;
    std::shared_ptr<const std::string> m_source;
    std::optional<seq_listing> m_listing;
};

using ProgramPtr = std::shared_ptr<Program>;

// Runs `work` on the program's driver with the interpreter lock released and the program's
// mutex held.
template <class F> auto withProgram(Program& program, F work) {
    const py::gil_scoped_release release;
    const std::lock_guard lock(program.mutex());
    return work(program.driver());
}

} // namespace vexa_py
