#include "assembler/vexasim_signals.h"

#include "assembler/seq.h"
#include "assembler/seq_cmdline.h"
#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "formats/seq_listing.h"
#ifdef VEXA_NPZ
#include "formats/npz_file.h"
#include "formats/npz_writer.h"
#include "formats/waveform_tables.h"
#endif
#include "sequencer/SeqAssembler.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <span>
#include <stdexcept>

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A whole decimal number in [0, 2^63 - 1].
bool parseNumber(const char* text, int64_t& value) {
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || parsed < 0)
        return false;
    value = parsed;
    return true;
}

// "START:STOP", two numbers of ns.
bool parseWindow(const char* text, std::pair<uint64_t, uint64_t>& window) {
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr)
        return false;
    const std::string start(text, colon);
    int64_t first = 0, last = 0;
    if (!parseNumber(start.c_str(), first) || !parseNumber(colon + 1, last))
        return false;
    window = {static_cast<uint64_t>(first), static_cast<uint64_t>(last)};
    return true;
}

void logError(const std::string& text) {
    if (Logging::isLogLevelActive(LogLevel::error))
        Logging::writeText(LogLevel::error, text);
}

std::string number(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

} // namespace

const char* const SignalOptions::s_usage =
    " [--waveforms file.npz] [--signals file.npz --window start:stop] [--acquisitions file.csv]"
    " [--findings file.csv] [--check] [--input zero|loopback|file.npy] [--integration-ns n]"
    " [--loopback-delay-ns n] [--nco-hz f] [--queue-depth n] [--start-delay-ns n]"
    " [--classical-ns n]";

const char* const SignalOptions::s_help =
    "\n\t--waveforms file.npz: waveform and weight tables, numpy arrays wave<N> (0 to 1023)"
    "\n\t                     and weight<N> (0 to 63) of samples in [-1, 1]."
    "\n\t--signals file.npz : write the output of the window as arrays time_ns, path0,"
    "\n\t                     path1 and markers."
    "\n\t--window start:stop: the window of --signals, in ns, stop excluded."
    "\n\t--acquisitions file: write the acquisition averages as CSV (- for standard output):"
    "\n\t                     acq_idx,bin_idx,count,path0,path1."
    "\n\t--findings file    : write the timing findings as CSV:"
    "\n\t                     time_ns,address,line,kind,message."
    "\n\t--check            : exit with status 3 when a run that ended with stop has"
    "\n\t                     findings. Findings are listed on standard error."
    "\n\t--input source     : the acquisitions' input: zero (default), loopback, or the"
    "\n\t                     samples of a .npy file, one per ns ((N,) or (2, N))."
    "\n\t--integration-ns n : samples that acquire averages. Default: 1000"
    "\n\t--loopback-delay-ns n: from output to input with loopback. Default: 0"
    "\n\t--nco-hz f         : modulation frequency; 0 turns it off. Default: 0"
    "\n\t--queue-depth n    : real-time instructions queued ahead. Default: 32"
    "\n\t--start-delay-ns n : from the first issue to the executor's start. Default: 200"
    "\n\t--classical-ns n   : one classical cycle. Default: 4";

void SignalOptions::addTo(seq_cmdline& commandLine) {
    // CSV may also go to standard output, "-".
    const auto file = [this, &commandLine](const char* name, std::string& target,
                                           const char* suffix) {
        const bool csv = std::strcmp(suffix, ".csv") == 0;
        commandLine.addOption(
            name,
            [this, name, &target, suffix, csv](const char* value) {
                target = value;
                given = true;
                if (!endsWith(target, suffix) && !(csv && target == "-")) {
                    logError(std::string(name) + " file name must end in " + suffix + ": " + value);
                    return false;
                }
                return true;
            },
            csv);
    };
    file("--waveforms", waveformsFile, ".npz");
    file("--signals", signalsFile, ".npz");
    file("--acquisitions", acquisitionsFile, ".csv");
    file("--findings", findingsFile, ".csv");
    commandLine.addOption("--window", [this](const char* value) {
        given = true;
        std::pair<uint64_t, uint64_t> parsed;
        if (!parseWindow(value, parsed)) {
            logError(std::string("Error in window, expected start:stop in ns: ") + value);
            return false;
        }
        window = parsed;
        return true;
    });
    commandLine.addFlag("--check", check);
    commandLine.addOption("--input", [this](const char* value) {
        given = true;
        const std::string text = value;
        if (text == "zero" || text == "loopback") {
            settings.input = seq_signal_settings::parse_input(text);
        } else if (endsWith(text, ".npy")) {
            settings.input = seq_signal_input::samples;
            inputFile = text;
        } else {
            logError("Error in input, expected zero, loopback or a .npy file: " + text);
            return false;
        }
        return true;
    });
    // Each setting is checked as it is given, against the model's limits.
    const auto valid = [this] {
        try {
            settings.validate();
        } catch (const std::exception& error) {
            logError(error.what());
            return false;
        }
        return true;
    };
    const auto setting = [this, &commandLine, valid](const char* name, int64_t& target) {
        commandLine.addOption(name, [this, name, &target, valid](const char* value) {
            given = true;
            if (!parseNumber(value, target)) {
                logError(std::string("Error in ") + (name + 2) + ": " + value);
                return false;
            }
            return valid();
        });
    };
    setting("--integration-ns", settings.integration_ns);
    setting("--loopback-delay-ns", settings.loopback_delay_ns);
    setting("--queue-depth", settings.queue_depth);
    setting("--start-delay-ns", settings.start_delay_ns);
    setting("--classical-ns", settings.classical_ns);
    commandLine.addOption("--nco-hz", [this, valid](const char* value) {
        given = true;
        char* end = nullptr;
        const double parsed = std::strtod(value, &end);
        if (end == value || *end != '\0' || !std::isfinite(parsed)) {
            logError(std::string("Error in nco-hz: ") + value);
            return false;
        }
        settings.nco_hz = parsed;
        return valid();
    });
}

bool SignalOptions::complete() {
    given = given || check;
#ifndef VEXA_NPZ
    if (!waveformsFile.empty() || !signalsFile.empty() || !inputFile.empty()) {
        logError("This vexasim was built without numpy archives (libzip-dev was missing)");
        return false;
    }
#endif
    if (signalsFile.empty() != !window.has_value()) {
        logError("--signals and --window go together");
        return false;
    }
    if (window && window->second <= window->first) {
        logError("Error in window: stop " + std::to_string(window->second) +
                 " is not after start " + std::to_string(window->first));
        return false;
    }
    // The window waits in temporary files until the archive is written: 9 bytes a sample.
    if (window && window->second - window->first > s_maxWindow) {
        logError("Error in window: " + std::to_string(window->second - window->first) +
                 " samples are more than " + std::to_string(s_maxWindow) +
                 " in one file; write the output in several windows, one run each");
        return false;
    }
    return true;
}

// Each finding as a line on standard error, "file:line: kind: message", and as a CSV row.
class SignalRun::Findings : public seq_finding_sink {
public:
    Findings(std::string program, std::vector<uint32_t> lineOfAddress)
        : m_program(std::move(program)), m_lineOfAddress(std::move(lineOfAddress)) {}

    bool open(const std::string& fileName) {
        if (!m_csv.open(fileName)) {
            logError(m_csv.error());
            return false;
        }
        m_csv.append("time_ns,address,line,kind,message\n");
        m_writing = true;
        return true;
    }
    void finding(const seq_finding& finding) override {
        ++m_count;
        const uint32_t line =
            finding.address < m_lineOfAddress.size() ? m_lineOfAddress[finding.address] : 0;
        const char* kind = seq_finding_kind_name(finding.kind);
        std::fprintf(stderr, "%s:%u: %s: %s\n", m_program.c_str(), line, kind,
                     finding.message.c_str());
        if (m_keep && m_rows.size() < s_reportFindings)
            m_rows.push_back({finding.time_ns, finding.address, line, kind, finding.message});
        if (!m_writing)
            return;
        m_csv.append(std::to_string(finding.time_ns) + ',' + std::to_string(finding.address) + ',' +
                     std::to_string(line) + ',' + kind + ',');
        appendCsvField(m_csv, finding.message);
        m_csv.append('\n');
    }
    bool commit() {
        if (m_writing && !m_csv.commit()) {
            logError(m_csv.error());
            return false;
        }
        return true;
    }
    uint64_t count() const { return m_count; }
    // Keeps the first findings for the report.
    void keep() { m_keep = true; }
    const std::vector<seq_html_report::FindingRow>& rows() const { return m_rows; }

private:
    std::string m_program;
    bool m_keep = false;
    std::vector<seq_html_report::FindingRow> m_rows;
    std::vector<uint32_t> m_lineOfAddress;
    FileOutput m_csv;
    bool m_writing = false;
    uint64_t m_count = 0;
};

// The rendered window on its way to the archive: the archive's members are written one after
// another, so the samples wait in temporary files, and memory stays flat however long the
// window.
class SignalRun::Spool : public seq_signal_chunk_consumer {
public:
    Spool() {
        for (std::FILE*& file : m_files)
            file = std::tmpfile();
    }
    ~Spool() override {
        for (std::FILE* file : m_files)
            if (file != nullptr)
                std::fclose(file);
    }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    bool ready() const { return m_files[0] && m_files[1] && m_files[2]; }
    void chunk(const seq_signal_chunk& chunk) override {
        const bool written =
            std::fwrite(chunk.path0, sizeof(float), chunk.size, m_files[0]) == chunk.size &&
            std::fwrite(chunk.path1, sizeof(float), chunk.size, m_files[1]) == chunk.size &&
            std::fwrite(chunk.markers, 1, chunk.size, m_files[2]) == chunk.size;
        if (!written)
            throw std::runtime_error("could not keep the rendered window in a temporary file");
    }
    // Reads one array back from its file, in the order it was written.
    template <class T> static auto reader(std::FILE* file) {
        return [file](uint64_t, std::span<T> out) {
            if (std::fread(out.data(), sizeof(T), out.size(), file) != out.size())
                throw std::runtime_error("could not read the rendered window back");
        };
    }
    // Writes the archive of the window [start, stop).
    void write([[maybe_unused]] const std::string& fileName, [[maybe_unused]] uint64_t start,
               [[maybe_unused]] uint64_t stop) {
#ifdef VEXA_NPZ
        for (std::FILE* file : m_files)
            std::rewind(file);
        const uint64_t length = stop - start;
        npz_writer writer;
        writer.addInt64("time_ns", length, [start](uint64_t first, std::span<int64_t> out) {
            for (size_t i = 0; i < out.size(); ++i)
                out[i] = static_cast<int64_t>(start + first + i);
        });
        writer.addFloat32("path0", length, reader<float>(m_files[0]));
        writer.addFloat32("path1", length, reader<float>(m_files[1]));
        writer.addUInt8("markers", length, reader<uint8_t>(m_files[2]));
        writer.write(fileName);
#endif
    }

private:
    std::FILE* m_files[3] = {nullptr, nullptr, nullptr};
};

// The window of the report: the rendered samples folded into columns as they come, each
// passed on to the archive's spool when there is one; the end of the run trims it.
class SignalRun::ReportWindow : public seq_signal_chunk_consumer, public seq_event_sink {
public:
    ReportWindow(uint64_t start, uint64_t stop, Spool* spool) : m_spool(spool) {
        m_window.start_ns = start;
        m_window.step_ns = (stop - start + s_reportColumns - 1) / s_reportColumns;
        const uint64_t columns = (stop - start + m_window.step_ns - 1) / m_window.step_ns;
        for (int path = 0; path < 2; ++path) {
            m_window.low[path].assign(columns, 1.0f);
            m_window.high[path].assign(columns, -1.0f);
        }
        m_window.markers.assign(columns, 0);
    }
    void chunk(const seq_signal_chunk& chunk) override {
        if (m_spool != nullptr)
            m_spool->chunk(chunk);
        const float* values[2] = {chunk.path0, chunk.path1};
        for (size_t i = 0; i < chunk.size; ++i) {
            const uint64_t column = (chunk.start_ns + i - m_window.start_ns) / m_window.step_ns;
            for (int path = 0; path < 2; ++path) {
                m_window.low[path][column] = std::min(m_window.low[path][column], values[path][i]);
                m_window.high[path][column] =
                    std::max(m_window.high[path][column], values[path][i]);
            }
            m_window.markers[column] |= chunk.markers[i];
        }
    }
    void begin() override { m_end = 0; }
    void event(const rt_info& entry, address_t) override {
        m_end = std::max(m_end, entry.time_ns + entry.duration_ns);
    }
    // The window, ending with the run when `trim`.
    seq_html_report::SignalWindow window(bool trim) const {
        seq_html_report::SignalWindow window = m_window;
        if (trim) {
            const uint64_t end = std::max<uint64_t>(m_end, 1);
            const uint64_t columns =
                end <= window.start_ns
                    ? 0
                    : (end - window.start_ns + window.step_ns - 1) / window.step_ns;
            if (columns < window.markers.size()) {
                for (int path = 0; path < 2; ++path) {
                    window.low[path].resize(columns);
                    window.high[path].resize(columns);
                }
                window.markers.resize(columns);
            }
        }
        return window;
    }

private:
    Spool* m_spool;
    seq_html_report::SignalWindow m_window;
    uint64_t m_end = 0;
};

SignalRun::SignalRun() = default;
SignalRun::~SignalRun() = default;

namespace {

// The line of the program that holds each address: of the source, or of the image, whose line
// N holds address N - 1.
std::vector<uint32_t> linesOfAddresses(const std::string& inputfile, bool isImage, seq& driver) {
    seq_listing listing;
    std::optional<FileSourceReader> source;
    if (!isImage)
        source.emplace(inputfile);
    UIStr message;
    if (!listing.build(*driver.assembler(), source ? &*source : nullptr, message))
        throw std::runtime_error(message);
    std::vector<uint32_t> lines(driver.assembler()->numInstructions(), 0);
    for (size_t i = 0; i < listing.lines().size(); ++i) {
        const int64_t address = listing.lines()[i].address;
        if (address >= 0 && static_cast<uint64_t>(address) < lines.size())
            lines[static_cast<size_t>(address)] = static_cast<uint32_t>(i + 1);
    }
    return lines;
}

std::shared_ptr<seq_signal_tables> readTables(const std::string& fileName) {
    auto tables = std::make_shared<seq_signal_tables>();
    if (fileName.empty())
        return tables;
#ifdef VEXA_NPZ
    const waveform_tables read = readWaveformTables(fileName);
    const auto put = [&](const auto& entries, auto set) {
        for (size_t index = 0; index < entries.size(); ++index)
            if (entries[index])
                (tables.get()->*set)(static_cast<int64_t>(index),
                                     std::span<const float>(*entries[index]));
    };
    put(read.waveforms, static_cast<void (seq_signal_tables::*)(int64_t, std::span<const float>)>(
                            &seq_signal_tables::set_waveform));
    put(read.weights, static_cast<void (seq_signal_tables::*)(int64_t, std::span<const float>)>(
                          &seq_signal_tables::set_weight));
#endif
    return tables;
}

void readInput([[maybe_unused]] const std::string& fileName,
               [[maybe_unused]] seq_signal_settings& settings) {
#ifdef VEXA_NPZ
    const npy_array input = readNpy(fileName, npy_dims::oneOrTwo);
    const std::span<const float> values(input.values);
    if (input.shape.size() == 1) {
        settings.set_input_samples(values);
    } else if (input.shape[0] == 2) {
        const size_t half = values.size() / 2;
        settings.set_input_samples(values.first(half), values.subspan(half));
    } else {
        throw std::runtime_error(fileName + ": input samples must have the shape (N,) or (2, N)");
    }
#endif
}

} // namespace

bool SignalRun::open(const SignalOptions& options, const std::string& inputfile, seq& driver,
                     seq_event_tee& sinks) {
    m_options = &options;
    try {
        seq_signal_settings settings = options.settings;
        if (!options.inputFile.empty())
            readInput(options.inputFile, settings);
        const auto tables = readTables(options.waveformsFile);
        m_findings = std::make_unique<Findings>(
            inputfile, linesOfAddresses(inputfile, endsWith(inputfile, ".hex"), driver));
        if (!options.findingsFile.empty() && !m_findings->open(options.findingsFile))
            return false;
        if (!options.acquisitionsFile.empty() && !m_acquisitions.open(options.acquisitionsFile)) {
            logError(m_acquisitions.error());
            return false;
        }
        m_sink = std::make_unique<seq_signal_sink>(tables, settings, m_findings.get());
        m_tables = tables;
        m_settings = settings;
        if (options.window) {
            m_spool = std::make_unique<Spool>();
            if (!m_spool->ready()) {
                logError("Could not create a temporary file for the window");
                return false;
            }
        }
        if (options.report) {
            m_findings->keep();
            if (tables->has_waveforms()) {
                const auto [start, stop] =
                    options.window.value_or(std::pair<uint64_t, uint64_t>{0, s_reportColumns});
                m_reportWindow = std::make_unique<ReportWindow>(start, stop, m_spool.get());
                m_sink->render_window(start, stop, *m_reportWindow);
                sinks.add(m_reportWindow.get());
            }
        }
        if (m_spool && !m_reportWindow)
            m_sink->render_window(options.window->first, options.window->second, *m_spool);
    } catch (const std::exception& error) {
        logError(error.what());
        return false;
    }
    sinks.add(m_sink.get());
    return true;
}

bool SignalRun::writeReports() {
    bool written = m_findings->commit();
    if (m_acquisitions.isOpen()) {
        m_acquisitions.append("acq_idx,bin_idx,count,path0,path1\n");
        for (const seq_acquisition& acquisition : m_sink->acquisitions())
            for (const seq_acquisition_bin& bin : acquisition.bins)
                m_acquisitions.append(std::to_string(acquisition.acq_idx) + ',' +
                                      std::to_string(bin.bin_idx) + ',' +
                                      std::to_string(bin.count) + ',' + number(bin.path0) + ',' +
                                      number(bin.path1) + '\n');
        if (!m_acquisitions.commit()) {
            logError(m_acquisitions.error());
            written = false;
        }
    }
    if (m_spool) {
        try {
            m_spool->write(m_options->signalsFile, m_options->window->first,
                           m_options->window->second);
        } catch (const std::exception& error) {
            logError(error.what());
            written = false;
        }
    }
    return written;
}

namespace {

// Folds the rendered samples into the lowest and highest value of each column of the plot.
class EnvelopeColumns : public seq_signal_chunk_consumer {
public:
    EnvelopeColumns(seq_timeline::envelope& envelope, uint64_t end)
        : m_envelope(envelope), m_end(end) {
        for (int path = 0; path < 2; ++path)
            for (size_t i = 0; i < seq_timeline::s_envelopeColumns; ++i) {
                m_envelope.low[path][i] = 1.0f;
                m_envelope.high[path][i] = -1.0f;
            }
    }
    void chunk(const seq_signal_chunk& chunk) override {
        constexpr uint64_t columns = seq_timeline::s_envelopeColumns;
        uint64_t t = chunk.start_ns;
        const uint64_t stop = chunk.start_ns + chunk.size;
        while (t < stop) {
            const uint64_t column = t * columns / m_end;
            const uint64_t columnEnd =
                std::min(stop, ((column + 1) * m_end + columns - 1) / columns);
            const float* values[2] = {chunk.path0, chunk.path1};
            for (int path = 0; path < 2; ++path) {
                float low = m_envelope.low[path][column], high = m_envelope.high[path][column];
                for (uint64_t i = t; i < columnEnd; ++i) {
                    low = std::min(low, values[path][i - chunk.start_ns]);
                    high = std::max(high, values[path][i - chunk.start_ns]);
                }
                m_envelope.low[path][column] = low;
                m_envelope.high[path][column] = high;
            }
            t = columnEnd;
        }
    }

private:
    seq_timeline::envelope& m_envelope;
    uint64_t m_end;
};

} // namespace

std::shared_ptr<const seq_timeline::envelope>
SignalRun::envelope(const seq_timeline::log_t& log) const {
    if (!m_tables || !m_tables->has_waveforms() || log.empty())
        return nullptr;
    auto outline = std::make_shared<seq_timeline::envelope>();
    const uint64_t end = seq_timeline::endTime(log);
    EnvelopeColumns columns(*outline, end);
    seq_signal_renderer renderer(m_tables, m_settings, 0, end, columns);
    for (const seq_sim::rt_info& entry : log)
        renderer.event(entry);
    renderer.finish();
    return outline;
}

void SignalRun::fillReport(seq_html_report& report) const {
    report.setFindings(m_findings->rows(), m_findings->count());
    if (m_reportWindow)
        report.setSignalWindow(m_reportWindow->window(!m_options->window.has_value()));
}

uint64_t SignalRun::findings() const {
    return m_findings ? m_findings->count() : 0;
}
