// The library in the browser: a program assembled from text, with its words, hex text,
// disassembly, diagnostics and report; a run of it with its events as typed arrays (one per
// column), the timed listing and the counters; with waveform tables and signal settings, also
// the run's timing findings, its acquisitions and windows of its output. Results are plain
// JavaScript objects; bad input is a thrown Error whose message names it.
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
#include "signals/seq_acquisitions.h"
#include "signals/seq_findings.h"
#include "signals/seq_signal_renderer.h"
#include "signals/seq_signal_settings.h"
#include "signals/seq_signal_sink.h"
#include "signals/seq_signal_tables.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>
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

// Signals: the tables and settings from a JavaScript object
//   {waveforms: {index: samples}, weights: {index: samples},
//    input: "zero" | "loopback" | samples (of both paths, one per ns from 0), integration_ns,
//    loopback_delay_ns, nco_hz, queue_depth, start_delay_ns, classical_ns}
// where samples are an Array of numbers or a typed array, and two keys for the findings:
// kinds (an Array of the kinds to keep, by name; all by default) and max_findings (how many
// to keep; the rest are counted). Anything else throws seq_signal_error naming the entry or
// setting.

std::string quoted(const std::string& text) {
    return '"' + text + '"';
}

// The samples of a table entry; `what` names it ("waveform 3").
std::vector<double> samplesOf(const val& value, const std::string& what) {
    static constexpr const char* typedArrays[] = {
        "Float32Array", "Float64Array", "Int8Array",  "Uint8Array", "Uint8ClampedArray",
        "Int16Array",   "Uint16Array",  "Int32Array", "Uint32Array"};
    bool numbers = false;
    if (val::global("Array").call<bool>("isArray", value)) {
        const unsigned length = value["length"].as<unsigned>();
        for (unsigned i = 0; i < length; ++i)
            if (!value[i].isNumber())
                throw seq_signal_error(what + ": sample " + std::to_string(i) + " is not a number");
        numbers = true;
    }
    for (size_t i = 0; i < std::size(typedArrays) && !numbers; ++i)
        numbers = value.instanceof (val::global(typedArrays[i]));
    if (!numbers)
        throw seq_signal_error(what +
                               ": samples must be an Array of numbers or a typed array of them");
    return emscripten::convertJSArrayToNumberVector<double>(value);
}

// Fills a table from an object {index: samples} (an Array of entries is one too); null and
// undefined entries stay absent.
template <class Set>
void fillTable(const val& table, const char* tableName, const char* entryName, Set set) {
    if (table.isNull() || table.isUndefined())
        return;
    if (table.typeOf().as<std::string>() != "object")
        throw seq_signal_error(std::string(tableName) + " must be an object {index: samples}");
    const val keys = val::global("Object").call<val>("keys", table);
    const unsigned count = keys["length"].as<unsigned>();
    for (unsigned i = 0; i < count; ++i) {
        const std::string key = keys[i].as<std::string>();
        int64_t index = 0;
        const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
        if (key.empty() || error != std::errc() || end != key.data() + key.size())
            throw seq_signal_error(std::string(tableName) + ": index " + quoted(key) +
                                   " is not an integer");
        const val entry = table[key];
        if (entry.isNull() || entry.isUndefined())
            continue;
        const std::string what = std::string(entryName) + " " + std::to_string(index);
        const std::vector<double> samples = samplesOf(entry, what);
        set(index, std::span<const double>(samples));
    }
}

// A whole number that JavaScript gives; values beyond int64 are clamped, so that the range
// checks that follow name them.
int64_t integerOf(const val& value, const std::string& name) {
    if (!value.isNumber() || !val::global("Number").call<bool>("isInteger", value))
        throw seq_signal_error(name + " must be an integer");
    const double number = value.as<double>();
    if (number >= 9.2e18)
        return INT64_MAX;
    if (number <= -9.2e18)
        return INT64_MIN;
    return static_cast<int64_t>(number);
}

struct SignalSetup {
    std::shared_ptr<const seq_signal_tables> tables;
    seq_signal_settings settings;
    uint64_t maxFindings = UINT64_MAX;
    uint32_t kinds = ~0u; // a bit for each seq_finding_kind kept
};

constexpr auto s_lastKind = seq_finding_kind::underrun;

uint32_t kindsOf(const val& value) {
    if (!val::global("Array").call<bool>("isArray", value))
        throw seq_signal_error("kinds must be an Array of finding kinds");
    uint32_t kinds = 0;
    const unsigned count = value["length"].as<unsigned>();
    for (unsigned i = 0; i < count; ++i) {
        const std::string name = value[i].isString() ? value[i].as<std::string>() : "";
        int kind = 0;
        while (kind <= static_cast<int>(s_lastKind) &&
               name != seq_finding_kind_name(static_cast<seq_finding_kind>(kind)))
            ++kind;
        if (kind > static_cast<int>(s_lastKind))
            throw seq_signal_error("kinds: entry " + std::to_string(i) + " is not a finding kind");
        kinds |= 1u << kind;
    }
    return kinds;
}

SignalSetup signalSetupOf(const val& options) {
    if (options.typeOf().as<std::string>() != "object" ||
        val::global("Array").call<bool>("isArray", options))
        throw seq_signal_error("the signal options must be an object");
    auto tables = std::make_shared<seq_signal_tables>();
    SignalSetup setup;
    seq_signal_settings& settings = setup.settings;
    int64_t* integers[] = {&settings.integration_ns, &settings.loopback_delay_ns,
                           &settings.queue_depth, &settings.start_delay_ns, &settings.classical_ns};
    static constexpr const char* integerNames[] = {"integration_ns", "loopback_delay_ns",
                                                   "queue_depth", "start_delay_ns", "classical_ns"};
    const val keys = val::global("Object").call<val>("keys", options);
    const unsigned count = keys["length"].as<unsigned>();
    for (unsigned i = 0; i < count; ++i) {
        const std::string name = keys[i].as<std::string>();
        const val value = options[name];
        if (name == "waveforms") {
            fillTable(value, "waveforms", "waveform",
                      [&](int64_t index, auto samples) { tables->set_waveform(index, samples); });
        } else if (name == "weights") {
            fillTable(value, "weights", "weight",
                      [&](int64_t index, auto samples) { tables->set_weight(index, samples); });
        } else if (name == "input") {
            if (value.isString()) {
                settings.input = seq_signal_settings::parse_input(value.as<std::string>());
            } else {
                const std::vector<double> samples = samplesOf(value, "input");
                settings.set_input_samples(std::span<const double>(samples));
            }
        } else if (name == "kinds") {
            setup.kinds = kindsOf(value);
        } else if (name == "max_findings") {
            const int64_t limit = integerOf(value, name);
            if (limit < 0)
                throw seq_signal_error("max_findings must not be negative");
            setup.maxFindings = static_cast<uint64_t>(limit);
        } else if (name == "nco_hz") {
            if (!value.isNumber())
                throw seq_signal_error("nco_hz must be a number");
            settings.nco_hz = value.as<double>();
        } else {
            const auto* known = std::find(std::begin(integerNames), std::end(integerNames), name);
            if (known == std::end(integerNames))
                throw seq_signal_error("unknown signal setting " + quoted(name));
            *integers[known - std::begin(integerNames)] = integerOf(value, name);
        }
    }
    settings.validate();
    setup.tables = std::move(tables);
    return setup;
}

// Keeps the findings of a run of some kinds up to a limit, counting them all.
class FindingList : public seq_finding_sink {
public:
    FindingList(uint64_t limit, uint32_t kinds) : m_limit(limit), m_kinds(kinds) {}

    void finding(const seq_finding& finding) override {
        if ((m_kinds >> static_cast<int>(finding.kind) & 1) == 0)
            return;
        if (++m_count <= m_limit)
            m_list.finding(finding);
    }

    // By time, then address.
    val toJs() const {
        val findings = val::array();
        for (const seq_finding& finding : m_list.sorted()) {
            val f = val::object();
            f.set("time_ns", static_cast<double>(finding.time_ns));
            f.set("address", finding.address);
            f.set("kind", std::string(seq_finding_kind_name(finding.kind)));
            f.set("message", finding.message);
            findings.call<void>("push", f);
        }
        return findings;
    }
    uint64_t count() const { return m_count; }

private:
    uint64_t m_limit;
    uint32_t m_kinds;
    uint64_t m_count = 0;
    seq_finding_list m_list;
};

val acquisitionsOf(const std::vector<seq_acquisition>& acquisitions) {
    val list = val::array();
    for (const seq_acquisition& acquisition : acquisitions) {
        val bins = val::array();
        for (const seq_acquisition_bin& bin : acquisition.bins) {
            val b = val::object();
            b.set("bin_idx", bin.bin_idx);
            b.set("count", static_cast<double>(bin.count));
            b.set("path0", bin.path0);
            b.set("path1", bin.path1);
            bins.call<void>("push", b);
        }
        val a = val::object();
        a.set("acq_idx", acquisition.acq_idx);
        a.set("bins", bins);
        list.call<void>("push", a);
    }
    return list;
}

// One window of the output, gathered from its chunks.
class WindowArrays : public seq_signal_chunk_consumer {
public:
    WindowArrays(uint64_t start, uint64_t stop)
        : m_start(start), m_path0(stop - start), m_path1(stop - start), m_markers(stop - start) {}

    void chunk(const seq_signal_chunk& chunk) override {
        const size_t at = static_cast<size_t>(chunk.start_ns - m_start);
        std::copy_n(chunk.path0, chunk.size, m_path0.begin() + static_cast<ptrdiff_t>(at));
        std::copy_n(chunk.path1, chunk.size, m_path1.begin() + static_cast<ptrdiff_t>(at));
        std::copy_n(chunk.markers, chunk.size, m_markers.begin() + static_cast<ptrdiff_t>(at));
    }

    val toJs() const {
        val window = val::object();
        window.set("time_ns", static_cast<double>(m_start));
        window.set("path0", typedArray(m_path0));
        window.set("path1", typedArray(m_path1));
        window.set("markers", typedArray(m_markers));
        return window;
    }

private:
    uint64_t m_start;
    std::vector<float> m_path0, m_path1;
    std::vector<uint8_t> m_markers;
};

// A time that JavaScript gives for a window: a whole number of ns from 0 to 2^53.
uint64_t timeOf(const val& value, const char* name) {
    if (!value.isNumber() || !val::global("Number").call<bool>("isSafeInteger", value) ||
        value.as<double>() < 0)
        throw seq_signal_error(std::string("window: ") + name +
                               " must be a whole number of ns from 0 to 2^53");
    return static_cast<uint64_t>(value.as<double>());
}

[[noreturn]] void throwError(const std::string& message) {
    val::global("Error").new_(message).throw_();
}

// One program: the driver that assembled it, and its source for the timed listing.
class Program {
public:
    Program() { Logging::setLogLevel(Logging::quietLevel); }

    // {ok, report, words (BigUint64Array), hex, disassembly, diagnostics}
    val assemble(const std::string& source, const std::string& name) {
        m_driver = std::make_unique<seq>();
        m_signals.reset();
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
    val simulate(int budget, double eventLimit) { return run(budget, eventLimit, nullptr); }

    // The same with the signal layer beside the run when `options` is an object (see
    // signalSetupOf): the result also has `findings` (kept up to the event limit and
    // max_findings, by time; `findingsCount` counts all of the kinds asked for) and
    // `acquisitions`. Throws an Error for bad options.
    val simulateSignals(int budget, double eventLimit, val options) {
        if (options.isUndefined() || options.isNull())
            return simulate(budget, eventLimit);
        std::string error;
        try {
            const SignalSetup setup = signalSetupOf(options);
            return run(budget, eventLimit, &setup);
        } catch (const std::exception& failure) {
            error = failure.what();
        }
        throwError(error);
    }

    // {time_ns, path0, path1, markers}: samples [start, stop) of the output of the latest run
    // with the signal layer, one per ns (markers as the bits of a byte). The run is repeated
    // with its budget, keeping only the window, so that memory goes with the window alone.
    // Throws an Error without such a run, for a window whose stop is before its start, or
    // for one of more than 2^22 samples.
    val render(val start, val stop) {
        std::string error;
        try {
            return renderWindow(timeOf(start, "start"), timeOf(stop, "stop"));
        } catch (const std::exception& failure) {
            error = failure.what();
        }
        throwError(error);
    }

    static constexpr uint64_t s_maxRenderSamples = uint64_t{1} << 22;

private:
    val renderWindow(uint64_t start, uint64_t stop) {
        if (!m_signals)
            throw seq_signal_error("render: no run with waveform tables and settings to render");
        seq_signal_renderer::check_window(start, stop, s_maxRenderSamples);
        WindowArrays window(start, stop);
        seq_signal_sink sink(m_signals->setup.tables, m_signals->setup.settings);
        sink.render_window(start, stop, window);
        seq_sim& simulator = *m_driver->rt_simulator();
        simulator.set_event_sink(&sink);
        UIStr message;
        try {
            simulator.simulate(m_signals->budget, message);
        } catch (const std::exception&) {
            // The window holds what the run produced before the error, as the run did.
        }
        simulator.set_event_sink(nullptr);
        return window.toJs();
    }

    val run(int budget, double eventLimit, const SignalSetup* signals) {
        val result = val::object();
        if (!m_driver || !m_driver->isAssembled()) {
            result.set("failed", true);
            result.set("message", std::string("The program did not assemble"));
            return result;
        }
        seq_sim& simulator = *m_driver->rt_simulator();
        const auto limit = static_cast<uint64_t>(eventLimit);
        ColumnSink sink(limit);
        seq_event_tee sinks;
        sinks.add(&sink);
        std::optional<FindingList> findings;
        std::optional<seq_signal_sink> signalSink;
        if (signals != nullptr) {
            findings.emplace(std::min(limit, signals->maxFindings), signals->kinds);
            signalSink.emplace(signals->tables, signals->settings, &*findings);
            sinks.add(&*signalSink);
        }
        simulator.set_event_sink(&sinks);
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
        m_signals.reset();
        if (signals != nullptr) {
            result.set("findings", findings->toJs());
            result.set("findingsCount", static_cast<double>(findings->count()));
            result.set("acquisitions", acquisitionsOf(signalSink->acquisitions()));
            m_signals = SignalRun{*signals, budget};
        }

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

    // The setup and budget of the latest run with the signal layer, for render.
    struct SignalRun {
        SignalSetup setup;
        int budget;
    };

    std::unique_ptr<seq> m_driver;
    std::optional<SignalRun> m_signals;
    std::string m_source;
    std::string m_name;
};

} // namespace

EMSCRIPTEN_BINDINGS(vexa) {
    emscripten::class_<Program>("Program")
        .constructor<>()
        .function("assemble", &Program::assemble)
        .function("simulate", &Program::simulate)
        .function("simulate", &Program::simulateSignals)
        .function("render", &Program::render);
}
