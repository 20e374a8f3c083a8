// The native part of the vexa Python package: programs held in their own driver, assembled,
// disassembled and simulated by the library, with the results handed to Python as numpy
// arrays and plain values. The package's Python layer (vexa/__init__.py) gives them their
// public classes and exceptions.
//
// Long calls release the interpreter lock. Each program owns its driver and a mutex that
// serialises the calls on it, so programs run in parallel in several threads while calls on
// one program from several threads take turns.

#include "event_records.h"

#include "assembler/seq.h"
#include "assembler/seq_event_writer.h"
#include "assembler/seq_sim.h"
#include "base/Logging.h"
#include "base/utils/FileOutput.h"
#include "base/utils/SourceReader.h"
#include "base/utils/TextOutput.h"
#include "formats/seq_hex_file.h"
#include "formats/seq_listing.h"
#include "formats/seq_timeline.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace py = pybind11;
using namespace vexa_py;

namespace {

// Library text as a Python string: bytes that are no UTF-8 (a source may hold any) become
// U+FFFD instead of failing the call.
py::str text(std::string_view bytes) {
    PyObject* object =
        PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "replace");
    if (object == nullptr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(object);
}

py::object optionalText(const std::optional<std::string>& bytes) {
    return bytes ? py::object(text(*bytes)) : py::none();
}

// One block of an error report: where, what, and the line it quotes.
struct DiagnosticData {
    std::optional<std::string> filename;
    std::optional<int64_t> line;
    std::optional<size_t> column;
    size_t length = 0;
    std::string message;
    std::optional<std::string> source;
};

// A block per quoted source line, in report order; an error without a usable source line is
// one block without a position.
std::vector<DiagnosticData> diagnosticsOf(const AsmErrorList& errors, const std::string& name) {
    std::vector<DiagnosticData> result;
    for (const auto& error : errors) {
        const auto* sourceError = dynamic_cast<const AsmSourceError*>(error.get());
        if (sourceError == nullptr) {
            result.push_back({name, {}, {}, 0, error->what(), {}});
            continue;
        }
        const size_t before = result.size();
        for (const SourceErrorRef& ref : sourceError->errorInfos()) {
            if (!ref.hasSource())
                continue;
            const SourceLine& line = *ref.sourceLine();
            DiagnosticData d;
            if (line.sourceName())
                d.filename = *line.sourceName();
            d.line = line.lineNr();
            if (ref.errorStart() != SourceErrorRef::npos) {
                d.column = ref.errorStart();
                d.length = ref.errorLength();
            }
            d.message = sourceError->streamedMessage();
            d.source = line.toString();
            result.push_back(std::move(d));
        }
        if (result.size() == before)
            result.push_back({name, {}, {}, 0, sourceError->streamedMessage(), {}});
    }
    return result;
}

py::list toPython(const std::vector<DiagnosticData>& diagnostics) {
    py::list list;
    for (const DiagnosticData& d : diagnostics) {
        list.append(py::make_tuple(optionalText(d.filename),
                                   d.line ? py::object(py::int_(*d.line)) : py::none(),
                                   d.column ? py::object(py::int_(*d.column)) : py::none(),
                                   d.length, text(d.message), optionalText(d.source)));
    }
    return list;
}

// ---- Programs

class Program {
public:
    enum class Origin { Text, File, Image };

    Program(Origin origin, std::string name, std::shared_ptr<const std::string> source)
        : m_driver(std::make_unique<seq>()), m_layout(m_driver->processor()->instructionSet()),
          m_origin(origin), m_name(std::move(name)), m_source(std::move(source)) {}

    seq& driver() { return *m_driver; }
    std::mutex& mutex() { return m_mutex; }
    const EventLayout& layout() const { return m_layout; }
    const std::string& name() const { return m_name; }
    Origin origin() const { return m_origin; }

    std::vector<uint64_t> words() const {
        const SeqProcessor& processor = *m_driver->processor();
        std::vector<uint64_t> words(m_driver->assembler()->numInstructions());
        for (uint32_t address = 0; address < words.size(); ++address)
            words[address] = processor.readInstructionMem(address);
        return words;
    }

    // The program as the timed listing shows it, read once; with the mutex held.
    const seq_listing& listing() {
        if (m_listing)
            return *m_listing;
        seq_listing listing;
        UIStr message;
        if (m_origin == Origin::Image) {
            listing.disassemble(*m_driver->assembler());
        } else if (m_origin == Origin::Text) {
            StringSourceReader reader(m_source, m_name);
            if (!listing.readSource(reader, m_driver->assembler()->asmStatements(), message))
                throw std::runtime_error(message);
        } else {
            FileSourceReader reader(m_name);
            if (!listing.readSource(reader, m_driver->assembler()->asmStatements(), message))
                throw std::runtime_error(message);
        }
        m_listing = std::move(listing);
        return *m_listing;
    }

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

// Runs `work` on the program with the interpreter lock released and the program's mutex held.
template <class F> auto withProgram(Program& program, F work) {
    const py::gil_scoped_release release;
    const std::lock_guard lock(program.mutex());
    return work(program.driver());
}

// (program or None, report text, diagnostics, result, reader failed)
py::tuple assemblyResult(ProgramPtr program, int result, const UIStr& report,
                         const std::vector<DiagnosticData>& diagnostics, bool readerFailed) {
    return py::make_tuple(result == 0 ? py::cast(std::move(program)) : py::none(), text(report),
                          toPython(diagnostics), result, readerFailed);
}

// Assembles with `assemble(driver, report)`, which runs one of the driver's assemble calls.
template <class Assemble>
py::tuple assembleWith(ProgramPtr program, const std::string& name, Assemble assemble) {
    UIStr report;
    std::vector<DiagnosticData> diagnostics;
    bool readerFailed = false;
    const int result = withProgram(*program, [&](seq& driver) {
        const int status = assemble(driver, report);
        if (status != 0) {
            readerFailed = driver.lastErrors().empty();
            diagnostics = diagnosticsOf(driver.lastErrors(), name);
        }
        return status;
    });
    return assemblyResult(std::move(program), result, report, diagnostics, readerFailed);
}

ProgramPtr newProgram(Program::Origin origin, const std::string& name,
                      std::shared_ptr<const std::string> source) {
    const py::gil_scoped_release release;
    return std::make_shared<Program>(origin, name, std::move(source));
}

py::tuple assembleText(const py::bytes& source, const py::bytes& filename) {
    auto text = std::make_shared<const std::string>(source);
    const std::string name = filename;
    return assembleWith(newProgram(Program::Origin::Text, name, text), name,
                        [&](seq& driver, UIStr& report) {
                            StringSourceReader reader(text, name);
                            return driver.assemble(reader, report);
                        });
}

py::tuple assembleFile(const py::bytes& path) {
    const std::string name = path;
    return assembleWith(
        newProgram(Program::Origin::File, name, nullptr), name,
        [&](seq& driver, UIStr& report) { return driver.assembleFile(name, report); });
}

ProgramPtr programFromWords(const std::vector<uint64_t>& words, const std::string& name) {
    ProgramPtr program;
    UIStr message;
    bool loaded = false;
    {
        const py::gil_scoped_release release;
        program = std::make_shared<Program>(Program::Origin::Image, name, nullptr);
        loaded = program->driver().loadImage(words, message);
    }
    if (!loaded)
        throw py::value_error(message);
    return program;
}

// (program, None) or (None, (the file could not be opened, message))
py::tuple loadHex(const py::bytes& path) {
    const std::string name = path;
    ProgramPtr program;
    UIStr message;
    bool opened = false;
    bool loaded = false;
    {
        const py::gil_scoped_release release;
        program = std::make_shared<Program>(Program::Origin::Image, name, nullptr);
        const size_t maxWords = program->driver().processor()->instructionMemSizeWords();
        seq_hex_file hex;
        std::ifstream in(name, std::ios::binary);
        std::error_code error;
        opened = in.is_open() && !std::filesystem::is_directory(name, error);
        // A file that cannot be opened is reported with the reader's own message.
        loaded =
            (opened ? hex.read(in, name, maxWords, message) : hex.read(name, maxWords, message)) &&
            program->driver().loadImage(hex.words(), message);
    }
    if (!loaded)
        return py::make_tuple(py::none(), py::make_tuple(!opened, text(message)));
    return py::make_tuple(std::move(program), py::none());
}

// ---- Runs

py::dtype eventDtype(const EventLayout& layout) {
    py::list names, formats, offsets;
    for (const EventField& field : layout.fields()) {
        names.append(field.name);
        formats.append(field.format);
        offsets.append(field.offset);
    }
    py::dict dtypeFields;
    dtypeFields["names"] = names;
    dtypeFields["formats"] = formats;
    dtypeFields["offsets"] = offsets;
    dtypeFields["itemsize"] = layout.itemsize();
    return py::dtype::from_args(dtypeFields);
}

// The records as an array that owns their memory.
py::array adoptRecords(const EventLayout& layout, RecordBuffer& records) {
    const auto count = static_cast<py::ssize_t>(records.size());
    const auto itemsize = static_cast<py::ssize_t>(layout.itemsize());
    char* data = records.release();
    if (data == nullptr)
        return py::array(eventDtype(layout), std::vector<py::ssize_t>{count});
    const py::capsule owner(data, [](void* memory) { std::free(memory); });
    return py::array(eventDtype(layout), {count}, {itemsize}, data, owner);
}

struct RunCounts {
    bool completed = false;
    std::string message;
    uint64_t instructions = 0;
    uint64_t classicalCycles = 0;
    uint64_t realtimeCycles = 0;

    void take(const seq_sim& simulator, bool failed, std::string runMessage) {
        completed = !failed;
        message = std::move(runMessage);
        instructions = simulator.numInstructions();
        classicalCycles = simulator.classicalTick();
        realtimeCycles = simulator.realtimeTick();
    }
};

// One finished simulation: its counts, its events and the profile behind the listing.
class Run {
public:
    Run(ProgramPtr program, RunCounts counts, py::array events,
        std::vector<SeqSim::AddressProfile> profile)
        : m_program(std::move(program)), m_counts(std::move(counts)), m_events(std::move(events)),
          m_records(static_cast<const char*>(m_events.data())),
          m_count(static_cast<size_t>(m_events.size())), m_profile(std::move(profile)) {}

    const RunCounts& counts() const { return m_counts; }
    const py::array& events() const { return m_events; }

    // The log entries again, for the library's writers. Without the interpreter lock.
    template <class F> void forEachEntry(F handle) const {
        const EventLayout& layout = m_program->layout();
        std::string mnemonic;
        uint32_t address = 0;
        for (size_t i = 0; i < m_count; ++i) {
            const seq_sim::rt_info entry =
                layout.read(m_records + i * layout.itemsize(), mnemonic, address);
            handle(entry, address);
        }
    }

    py::str logText() const {
        StringOutput out;
        {
            const py::gil_scoped_release release;
            seq_text_sink sink(out);
            sink.begin();
            forEachEntry([&sink](const seq_sim::rt_info& e, uint32_t a) { sink.event(e, a); });
            sink.end();
        }
        return text(out.text());
    }

    void saveSvg(const py::bytes& path, const py::bytes& title) const {
        const std::string fileName = path;
        const std::string heading = title;
        UIStr message;
        bool saved = false;
        {
            const py::gil_scoped_release release;
            // The timeline keeps the mnemonics' texts: one string each for the log's pointers.
            std::vector<seq_sim::rt_info> log;
            std::deque<std::string> mnemonics;
            forEachEntry([&](seq_sim::rt_info e, uint32_t) {
                if (mnemonics.empty() || mnemonics.back() != e.str)
                    mnemonics.emplace_back(e.str);
                e.str = mnemonics.back().c_str();
                log.push_back(e);
            });
            saved = seq_timeline(heading).save(fileName, log, message);
        }
        if (!saved)
            throw py::value_error(message); // replaced by OSError in the Python layer
    }

    // The lanes of the timeline for every entry, as bits 1 << lane.
    py::array_t<uint8_t> lanes() const {
        py::array_t<uint8_t> result(static_cast<py::ssize_t>(m_count));
        uint8_t* out = result.mutable_data();
        {
            const py::gil_scoped_release release;
            size_t i = 0;
            forEachEntry([&](const seq_sim::rt_info& e, uint32_t) {
                out[i++] = static_cast<uint8_t>(seq_timeline::lanesOf(e));
            });
        }
        return result;
    }

    // The listing's columns: address, count, first_tick, first_time_ns, realtime_ns (the
    // times -1 for an instruction that never ran) and the instruction lines' texts.
    py::tuple listingColumns() const {
        std::vector<seq_listing::Line> lines;
        withProgram(*m_program, [&](seq&) { lines = m_program->listing().lines(); });
        std::vector<int64_t> columns[5];
        py::list texts;
        for (const seq_listing::Line& line : lines) {
            if (line.address == seq_listing::s_noAddress)
                continue;
            const auto address = static_cast<size_t>(line.address);
            const SeqSim::AddressProfile* p =
                address < m_profile.size() ? &m_profile[address] : nullptr;
            const bool ran = p != nullptr && p->count > 0;
            columns[0].push_back(line.address);
            columns[1].push_back(ran ? static_cast<int64_t>(p->count) : 0);
            columns[2].push_back(ran ? static_cast<int64_t>(p->firstTick) : -1);
            columns[3].push_back(ran ? static_cast<int64_t>(p->firstRealtime) : -1);
            columns[4].push_back(ran ? static_cast<int64_t>(p->realtime) : -1);
            texts.append(text(line.text));
        }
        py::list result;
        for (const auto& column : columns)
            result.append(
                py::array_t<int64_t>(static_cast<py::ssize_t>(column.size()), column.data()));
        result.append(texts);
        return py::tuple(result);
    }

    py::str listingText(bool csv) const {
        StringOutput out;
        withProgram(*m_program, [&](seq&) {
            const seq_listing& listing = m_program->listing();
            if (csv)
                listing.writeCsv(out, m_profile);
            else
                listing.writeText(out, m_profile);
        });
        return text(out.text());
    }

private:
    ProgramPtr m_program;
    RunCounts m_counts;
    py::array m_events;
    // The array's records, read without the interpreter lock (the array is read-only).
    const char* m_records;
    size_t m_count;
    std::vector<SeqSim::AddressProfile> m_profile;
};

// `keepEvents` false runs with a sink that keeps nothing: the counters and the listing alone.
std::shared_ptr<Run> simulate(const ProgramPtr& program, int maxInstructions, bool keepEvents) {
    RunCounts counts;
    std::vector<SeqSim::AddressProfile> profile;
    RecordSink sink(program->layout());
    seq_discard_sink discard;
    withProgram(*program, [&](seq& driver) {
        seq_sim& simulator = *driver.rt_simulator();
        simulator.set_event_sink(keepEvents ? static_cast<seq_event_sink*>(&sink) : &discard);
        simulator.setProfiling(true);
        UIStr message;
        bool failed = true;
        try {
            failed = simulator.simulate(maxInstructions, message);
        } catch (...) {
            simulator.set_event_sink(nullptr);
            throw;
        }
        simulator.set_event_sink(nullptr);
        counts.take(simulator, failed, std::move(message));
        profile = simulator.profile();
    });
    py::array events = adoptRecords(program->layout(), sink.records());
    return std::make_shared<Run>(program, std::move(counts), std::move(events), std::move(profile));
}

// ---- Streamed events

// A run on a thread of its own, on a driver of its own that holds a copy of the program, handing
// its events over in chunks. Closing it (or dropping it) stops the run and frees everything.
class EventStream {
public:
    EventStream(const ProgramPtr& program, int maxInstructions, size_t chunkSize)
        : m_program(program) {
        std::vector<uint64_t> words;
        {
            const py::gil_scoped_release release;
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

    bool finished() const { return m_done.load(std::memory_order_acquire); }
    // Valid once finished().
    const RunCounts& counts() const { return m_counts; }

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

void init_lanes(py::module_& m); // lanes.cpp

PYBIND11_MODULE(_vexa, m) {
    m.doc() = "Native part of the vexa package; use the vexa module.";
    m.attr("__version__") = VEXA_VERSION;

    // Library code logs through the process-wide logger; a Python program sees failures as
    // exceptions, so only errors are logged by default.
    Logging::open("vexa", 3, nullptr);
    m.def("set_log_level", [](const std::string& name) { return Logging::setLogLevel(name); });
    m.def("log_level", [] { return std::string(Logging::getLogLevelName()); });
    init_lanes(m);

    py::class_<Program, ProgramPtr>(m, "Program")
        .def_property_readonly("name", [](const Program& p) { return text(p.name()); })
        .def("words",
             [](Program& p) {
                 const std::vector<uint64_t> words =
                     withProgram(p, [&p](seq&) { return p.words(); });
                 return py::array_t<uint64_t>(static_cast<py::ssize_t>(words.size()), words.data());
             })
        .def("__len__",
             [](Program& p) {
                 return withProgram(p, [](seq& d) { return d.assembler()->numInstructions(); });
             })
        .def("to_hex",
             [](Program& p) {
                 const std::string hex = withProgram(p, [](seq& d) {
                     std::ostringstream out;
                     d.assembler()->printHexOutput(out);
                     return out.str();
                 });
                 return text(hex);
             })
        .def("save_hex",
             [](Program& p, const py::bytes& path) {
                 const std::string fileName = path;
                 const std::string error = withProgram(p, [&fileName](seq& d) {
                     std::ostringstream hex;
                     d.assembler()->printHexOutput(hex);
                     FileOutput out;
                     if (out.open(fileName)) {
                         out.append(hex.view());
                         out.commit();
                     }
                     return out.error();
                 });
                 if (!error.empty())
                     throw py::value_error(error); // replaced by OSError in the Python layer
             })
        .def("disassemble",
             [](Program& p, bool labels) {
                 const std::string listing = withProgram(p, [labels](seq& d) {
                     auto& writeAddresses = d.assembler()->config().writeAddresses;
                     const bool wrote = writeAddresses;
                     writeAddresses = labels;
                     std::ostringstream out;
                     d.assembler()->disassemble(out);
                     writeAddresses = wrote;
                     return out.str();
                 });
                 return text(listing);
             })
        .def("simulate", &simulate)
        .def("stream", [](const ProgramPtr& p, int maxInstructions, size_t chunkSize) {
            return std::make_unique<EventStream>(p, maxInstructions, chunkSize);
        });

    py::class_<Run, std::shared_ptr<Run>>(m, "Run")
        .def_property_readonly("completed", [](const Run& r) { return r.counts().completed; })
        .def_property_readonly("message", [](const Run& r) { return text(r.counts().message); })
        .def_property_readonly("instructions", [](const Run& r) { return r.counts().instructions; })
        .def_property_readonly("classical_cycles",
                               [](const Run& r) { return r.counts().classicalCycles; })
        .def_property_readonly("realtime_cycles",
                               [](const Run& r) { return r.counts().realtimeCycles; })
        .def_property_readonly("events", &Run::events)
        .def("log_text", &Run::logText)
        .def("save_svg", &Run::saveSvg)
        .def("lanes", &Run::lanes)
        .def("listing_columns", &Run::listingColumns)
        .def("listing_text", &Run::listingText);

    py::class_<EventStream>(m, "EventStream")
        .def("next", &EventStream::next)
        .def("close", &EventStream::close)
        .def_property_readonly("finished", &EventStream::finished)
        .def_property_readonly("completed",
                               [](const EventStream& s) { return s.counts().completed; })
        .def_property_readonly("message",
                               [](const EventStream& s) { return text(s.counts().message); })
        .def_property_readonly("instructions",
                               [](const EventStream& s) { return s.counts().instructions; })
        .def_property_readonly("classical_cycles",
                               [](const EventStream& s) { return s.counts().classicalCycles; })
        .def_property_readonly("realtime_cycles",
                               [](const EventStream& s) { return s.counts().realtimeCycles; });

    m.def("assemble", &assembleText);
    m.def("assemble_file", &assembleFile);
    m.def("load_hex", &loadHex);
    m.def("from_words",
          [](const py::array_t<uint64_t, py::array::c_style | py::array::forcecast>& words,
             const py::bytes& name) {
              const std::vector<uint64_t> copy(words.data(), words.data() + words.size());
              return programFromWords(copy, name);
          });
}
