// Runs in the background that hand their events over in chunks.

#include "bindings.h"
#include "program.h"
#include "records_array.h"
#include "run_counts.h"

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

namespace vexa_py {

namespace {

// A run on a thread of its own, on a driver of its own that holds a copy of the program, handing
// its events over in chunks. Closing it (or dropping it) stops the run and frees everything.
class EventStream {
public:
    EventStream(const ProgramPtr& program, int maxInstructions, size_t chunkSize)
        : m_program(program) {
        const py::gil_scoped_release release;
        std::vector<uint64_t> words;
        {
            const std::lock_guard lock(program->mutex());
            words = program->words();
        }
        m_driver = std::make_unique<seq>();
        UIStr message;
        if (!m_driver->loadImage(words, message))
            throw std::runtime_error(message);
        // Two chunks wait at most, while the reader holds a third.
        m_sink = std::make_unique<ChunkSink>(program->layout(), chunkSize, 2);
        m_worker = std::thread([this, maxInstructions] { run(maxInstructions); });
    }
    ~EventStream() {
        m_sink->cancel();
        const std::lock_guard busy(m_busy);
        endRun();
    }
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // The next chunk, or None when the run has ended and every chunk was handed out.
    py::object next() {
        RecordBuffer chunk(m_program->layout().itemsize());
        bool got = false;
        {
            const py::gil_scoped_release release;
            const std::lock_guard busy(m_busy);
            got = m_sink->next(chunk);
            if (!got)
                endRun();
        }
        if (!got) {
            if (m_error)
                std::rethrow_exception(std::exchange(m_error, nullptr));
            return py::none();
        }
        return adoptRecords(m_program->layout(), chunk);
    }

    // Ends the run early; what it had not handed over is dropped. A next() waiting in another
    // thread returns None.
    void close() {
        const py::gil_scoped_release release;
        m_sink->cancel();
        const std::lock_guard busy(m_busy);
        endRun();
    }

    // How the run ended; a RuntimeError while it goes on.
    RunCounts counts() const {
        if (!m_done.load(std::memory_order_acquire))
            throw std::runtime_error("the run has not ended yet");
        return m_counts;
    }

private:
    void run(int maxInstructions) {
        try {
            seq_sim& simulator = *m_driver->rt_simulator();
            simulator.set_event_sink(m_sink.get());
            UIStr message;
            const bool failed = simulator.simulate(maxInstructions, message);
            simulator.set_event_sink(nullptr);
            m_counts.take(simulator, failed, std::move(message));
        } catch (...) {
            m_error = std::current_exception();
        }
        m_sink->finish();
    }
    // With m_busy held: waits for the run's thread and frees its driver.
    void endRun() {
        if (m_worker.joinable()) {
            m_worker.join();
            m_driver.reset();
            m_done.store(true, std::memory_order_release);
        }
    }

    // Held by whoever waits for the run or ends it; the sink lives as long as the stream.
    std::mutex m_busy;
    ProgramPtr m_program;
    std::unique_ptr<seq> m_driver;
    std::unique_ptr<ChunkSink> m_sink;
    std::thread m_worker;
    RunCounts m_counts;
    std::exception_ptr m_error;
    std::atomic<bool> m_done{false};
};

} // namespace

void init_streams(py::module_& m) {
    py::class_<EventStream>(m, "EventStream")
        .def("next", &EventStream::next)
        .def("close", &EventStream::close)
        .def_property_readonly("counts", &EventStream::counts);

    m.def("stream", [](const ProgramPtr& p, int maxInstructions, size_t chunkSize) {
        return std::make_unique<EventStream>(p, maxInstructions, chunkSize);
    });
}

} // namespace vexa_py
