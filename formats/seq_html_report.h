#ifndef FORMATS_SEQ_HTML_REPORT_H
#define FORMATS_SEQ_HTML_REPORT_H

// A simulation as one self-contained HTML page that opens from disk with no network: the
// timed listing, a zoomable canvas timeline with the lanes of the SVG timeline, a table of
// every real-time event (times in ns), the run's counters and its outcome.
//
// The report is an event sink: it keeps each event as it happens, column by column, each
// column delta-encoded and deflated while the run goes, so that a long run neither holds its
// log in memory nor gives a large page. The page inflates the columns itself. Every text of
// the program (file name, source, mnemonics, messages) travels as JSON in a non-executed
// script element and is shown as text; a Content-Security-Policy forbids any network access
// and allows only the page's own script and style, by their hashes.
//
// A run with the signal layer adds its timing findings as a table and a window of its output
// (both paths and the markers) drawn on a canvas; without them the page is the same as ever.

#include "assembler/seq_event_sink.h"
#include "base/utils/TextOutput.h"
#include "base/utils/stringUtils.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class seq_html_report : public seq_event_sink {
public:
    // How the run ended and what it counted.
    struct Outcome {
        bool failed = false;
        std::string message; // why a failed run stopped
        uint64_t instructions = 0;
        uint64_t classicalTicks = 0;
        uint64_t realtimeTicks = 0;
        double classicalClockMHz = 0.0;
        double realtimeClockMHz = 0.0;
    };

    // `title` heads the page (typically the simulated file's name).
    explicit seq_html_report(std::string title);
    ~seq_html_report() override;

    // A run starts: the events of an earlier run are dropped.
    void begin() override;
    void event(const rt_info& entry, address_t address) override;
    // The run has ended: the columns are complete.
    void end() override;

    uint64_t eventCount() const { return m_count; }

    // The timed listing as seq_listing writes it as text.
    void setListing(std::string listingText) { m_listing = std::move(listingText); }
    void setOutcome(Outcome outcome) { m_outcome = std::move(outcome); }

    // A timing finding of the run, as plain text.
    struct FindingRow {
        uint64_t time_ns = 0;
        uint32_t address = 0;
        uint32_t line = 0;
        std::string kind;
        std::string message;
    };
    // The findings to show; `total` counts them all when `rows` holds only the first ones.
    void setFindings(std::vector<FindingRow> rows, uint64_t total);

    // A window of the run's output from `start_ns`, in columns of `step_ns` samples each: the
    // lowest and highest value of each path and the marker bits set anywhere in the column.
    struct SignalWindow {
        uint64_t start_ns = 0;
        uint64_t step_ns = 1;
        std::vector<float> low[2], high[2];
        std::vector<uint8_t> markers;
    };
    void setSignalWindow(SignalWindow window);

    // The page; events are those of the latest completed run.
    void write(TextOutput& out) const;
    // Writes the page to a file; false with `message` set when it cannot be written.
    bool save(const std::string& fileName, UIStr& message) const;

    class Column;

private:
    void writeSignals(TextOutput& out) const;

    std::string m_title;
    std::string m_listing;
    Outcome m_outcome;
    bool m_hasFindings = false;
    std::vector<FindingRow> m_findings;
    uint64_t m_findingTotal = 0;
    bool m_hasWindow = false;
    SignalWindow m_window;
    std::vector<const char*> m_mnemonics; // by index, each once
    std::vector<std::unique_ptr<Column>> m_columns;
    rt_info m_previous;
    uint32_t m_previousAddress = 0;
    uint64_t m_previousEnd = 0;
    uint64_t m_count = 0;
};

#endif
