// vexasim's signal options: the waveform and weight tables, the settings of the signal model,
// and what the run makes of them: a window of the output as a numpy archive, the acquisition
// averages and the timing findings as CSV, and the findings as lines on standard error.
#pragma once

#include "assembler/seq_event_sink.h"
#include "base/utils/FileOutput.h"
#include "formats/seq_html_report.h"
#include "formats/seq_timeline.h"
#include "signals/seq_findings.h"
#include "signals/seq_signal_settings.h"
#include "signals/seq_signal_sink.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class seq;
class seq_cmdline;

struct SignalOptions {
    std::string waveformsFile;
    std::string signalsFile;
    std::optional<std::pair<uint64_t, uint64_t>> window; // [start, stop) in ns
    std::string acquisitionsFile;
    std::string findingsFile;
    std::string inputFile; // samples for --input FILE.npy
    bool check = false;
    seq_signal_settings settings;
    bool given = false;  // any signal option: the signal layer runs
    bool report = false; // the findings and a window of the output go into the HTML report

    // The longest window of --signals, 2^32 samples (36 GiB in the archive).
    static constexpr uint64_t s_maxWindow = uint64_t{1} << 32;
    // The options' part of the usage line and of the help text.
    static const char* const s_usage;
    static const char* const s_help;
    // Registers the options with the command line.
    void addTo(seq_cmdline& commandLine);
    // Checks what the options say together; false after logging why.
    bool complete();
};

// The signal layer of one vexasim run.
class SignalRun {
public:
    SignalRun();
    ~SignalRun();

    // Reads the tables and the input samples, opens the output files and adds the signal sink
    // to `sinks`; false after logging why. `inputfile` names the program in finding lines.
    bool open(const SignalOptions& options, const std::string& inputfile, seq& driver,
              seq_event_tee& sinks);
    // Writes the window and the acquisitions; false after logging why.
    bool writeReports();
    // The rendered output of the run whose log is `log`, for the timeline; null without
    // waveforms.
    std::shared_ptr<const seq_timeline::envelope> envelope(const seq_timeline::log_t& log) const;
    uint64_t findings() const;
    // Gives `report` the findings and, with waveforms, the window of the output: the one of
    // --window, else the first 100 us of the run.
    void fillReport(seq_html_report& report) const;

    // The report's window has at most this many columns; a longer one folds several samples
    // into each.
    static constexpr uint64_t s_reportColumns = 100000;
    static constexpr size_t s_reportFindings = 10000; // the first ones only

private:
    class Findings;
    class Spool;
    class ReportWindow;

    const SignalOptions* m_options = nullptr;
    std::unique_ptr<Findings> m_findings;
    std::unique_ptr<Spool> m_spool;
    std::unique_ptr<ReportWindow> m_reportWindow;
    std::unique_ptr<seq_signal_sink> m_sink;
    std::shared_ptr<const seq_signal_tables> m_tables;
    seq_signal_settings m_settings;
    FileOutput m_acquisitions;
};
