// The library in the browser: a program assembled from text, with its words, hex text,
// disassembly, diagnostics and report; a run of it with its events as typed arrays (one per
// column), the timed listing and the counters. Results are plain JavaScript objects.
#include "assembler/seq.h"
#include "assembler/seq_event_sink.h"
#include "assembler/seq_sim.h"
#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "base/utils/TextOutput.h"
#include "formats/seq_listing.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

using emscripten::val;

namespace {

// A copy of `values` as a JavaScript typed array of the matching type.
template <typename T> val typedArray(const std::vector<T>& values) {
    return val(emscripten::typed_memory_view(values.size(), values.data())).call<val>("slice");
}

// The events of a run, column by column; the names are those of the CSV events file. Events
// past `limit` are counted but not kept, so that a long run cannot exhaust the memory.
class ColumnSink : public seq_event_sink {
public:
    explicit ColumnSink(uint64_t limit) : m_limit(limit) {}

    void event(const rt_info& e, address_t address) override {
        if (++m_count > m_limit)
            return;
        size_t mnemonic = 0;
        while (mnemonic < m_mnemonics.size() && m_mnemonics[mnemonic] != e.str)
            ++mnemonic;
        if (mnemonic == m_mnemonics.size())
            m_mnemonics.push_back(e.str);
        m_time.push_back(static_cast<double>(e.time_ns));
        m_duration.push_back(static_cast<double>(e.duration_ns));
        m_address.push_back(address);
        m_mnemonic.push_back(static_cast<uint16_t>(mnemonic));
        m_flags[0].push_back(e.play_valid);
        m_flags[1].push_back(e.acquire_valid);
        m_flags[2].push_back(e.param_valid);
        const int32_t ints[] = {
            e.wave_idx[0],    e.wave_idx[1], e.acq_idx,     e.bin_idx,         e.weight_idx[0],
            e.weight_idx[1],  e.awg_gain[0], e.awg_gain[1], e.awg_offs[0],     e.awg_offs[1],
            e.ph_coarse,      e.ph_fine,     e.ph_ufine,    e.ph_delta_coarse, e.ph_delta_fine,
            e.ph_delta_ufine, e.mrk};
        for (size_t i = 0; i < std::size(ints); ++i)
            m_ints[i].push_back(ints[i]);
    }

    val toJs() const {
        static constexpr const char* flagNames[] = {"play_valid", "acquire_valid", "param_valid"};
        static constexpr const char* intNames[] = {
            "wave_idx0",      "wave_idx1", "acq_idx",   "bin_idx",         "weight_idx0",
            "weight_idx1",    "awg_gain0", "awg_gain1", "awg_offs0",       "awg_offs1",
            "ph_coarse",      "ph_fine",   "ph_ufine",  "ph_delta_coarse", "ph_delta_fine",
            "ph_delta_ufine", "mrk"};
        val columns = val::object();
        columns.set("time_ns", typedArray(m_time));
        columns.set("duration_ns", typedArray(m_duration));
        columns.set("address", typedArray(m_address));
        columns.set("mnemonic", typedArray(m_mnemonic));
        for (size_t i = 0; i < std::size(flagNames); ++i)
            columns.set(flagNames[i], typedArray(m_flags[i]));
        for (size_t i = 0; i < std::size(intNames); ++i)
            columns.set(intNames[i], typedArray(m_ints[i]));
        val mnemonics = val::array();
        for (const char* mnemonic : m_mnemonics)
            mnemonics.call<void>("push", std::string(mnemonic != nullptr ? mnemonic : ""));
        val events = val::object();
        events.set("count", static_cast<double>(m_count));
        events.set("kept", static_cast<double>(std::min(m_count, m_limit)));
        events.set("mnemonics", mnemonics);
        events.set("columns", columns);
        return events;
    }

private:
    uint64_t m_limit;
    uint64_t m_count = 0;
    std::vector<const char*> m_mnemonics;
    std::vector<double> m_time, m_duration;
    std::vector<uint32_t> m_address;
    std::vector<uint16_t> m_mnemonic;
    std::vector<uint8_t> m_flags[3];
    std::vector<int32_t> m_ints[17];
};

val diagnosticsOf(const AsmErrorList& errors) {
    val list = val::array();
    const auto add = [&list](int line, int column, int length, const std::string& message) {
        val d = val::object();
        d.set("line", line);
        d.set("column", column);
        d.set("length", length);
        d.set("message", message);
        list.call<void>("push", d);
    };
    for (const auto& error : errors) {
        const auto* sourceError = dynamic_cast<const AsmSourceError*>(error.get());
        if (sourceError == nullptr) {
            add(-1, -1, 0, error->what());
            continue;
        }
        bool placed = false;
        for (const SourceErrorRef& ref : sourceError->errorInfos()) {
            if (!ref.hasSource())
                continue;
            const bool hasColumn = ref.errorStart() != SourceErrorRef::npos;
            add(static_cast<int>(ref.sourceLine()->lineNr()),
                hasColumn ? static_cast<int>(ref.errorStart()) : -1,
                hasColumn ? static_cast<int>(ref.errorLength()) : 0,
                sourceError->streamedMessage());
            placed = true;
        }
        if (!placed)
            add(-1, -1, 0, sourceError->streamedMessage());
    }
    return list;
}

// One program: the driver that assembled it, and its source for the timed listing.
class Program {
public:
    Program() { Logging::setLogLevel(Logging::quietLevel); }

    // {ok, report, words (BigUint64Array), hex, disassembly, diagnostics}
    val assemble(const std::string& source, const std::string& name) {
        m_driver = std::make_unique<seq>();
        m_source = source;
        m_name = name;
        UIStr report;
        StringSourceReader reader(source, name);
        const int status = m_driver->assemble(reader, report);
        val result = val::object();
        result.set("ok", status == 0);
        result.set("report", report);
        result.set("diagnostics", diagnosticsOf(m_driver->lastErrors()));
        SeqAssembler& assembler = *m_driver->assembler();
        std::vector<uint64_t> words;
        std::string hex, disassembly;
        if (status == 0) {
            const SeqProcessor& processor = *m_driver->processor();
            for (uint32_t address = 0; address < assembler.numInstructions(); ++address)
                words.push_back(processor.readInstructionMem(address));
            std::ostringstream hexText, disassemblyText;
            assembler.printHexOutput(hexText);
            assembler.disassemble(disassemblyText);
            hex = hexText.str();
            disassembly = disassemblyText.str();
        }
        // As 64-bit words, made from their 32-bit halves (little-endian).
        std::vector<uint32_t> halves;
        for (const uint64_t word : words) {
            halves.push_back(static_cast<uint32_t>(word));
            halves.push_back(static_cast<uint32_t>(word >> 32));
        }
        result.set("words", val::global("BigUint64Array").new_(typedArray(halves)["buffer"]));
        result.set("hex", hex);
        result.set("disassembly", disassembly);
        return result;
    }

    // {failed, message, events, listing, counters}; the program must have assembled.
    val simulate(int budget, double eventLimit) {
        val result = val::object();
        if (!m_driver || !m_driver->isAssembled()) {
            result.set("failed", true);
            result.set("message", std::string("The program did not assemble"));
            return result;
        }
        seq_sim& simulator = *m_driver->rt_simulator();
        ColumnSink sink(static_cast<uint64_t>(eventLimit));
        simulator.set_event_sink(&sink);
        simulator.setProfiling(true);
        UIStr message;
        bool failed = true;
        try {
            failed = simulator.simulate(budget, message);
        } catch (const std::exception& error) {
            message = error.what();
        }
        simulator.set_event_sink(nullptr);
        result.set("failed", failed);
        result.set("message", message);
        result.set("events", sink.toJs());

        seq_listing listing;
        StringSourceReader reader(m_source, m_name);
        UIStr listingMessage;
        StringOutput listingText;
        if (listing.build(*m_driver->assembler(), &reader, listingMessage))
            listing.writeText(listingText, simulator.profile());
        result.set("listing", listingText.text());

        const SeqProcessor& processor = *m_driver->processor();
        val counters = val::object();
        counters.set("instructions", simulator.numInstructions());
        counters.set("classicalTicks", static_cast<double>(simulator.classicalTick()));
        counters.set("realtimeTicks", static_cast<double>(simulator.realtimeTick()));
        counters.set("classicalClockMHz", processor.classicalClockFreq());
        counters.set("realtimeClockMHz", processor.realtimeClockFreq());
        result.set("counters", counters);
        return result;
    }

private:
    std::unique_ptr<seq> m_driver;
    std::string m_source;
    std::string m_name;
};

} // namespace

EMSCRIPTEN_BINDINGS(vexa) {
    emscripten::class_<Program>("Program")
        .constructor<>()
        .function("assemble", &Program::assemble)
        .function("simulate", &Program::simulate);
}
