// The event sinks: a fuzzed program runs with the CSV, JSON Lines and text writers and the
// in-memory log side by side, and a fuzzed mnemonic goes through the CSV and JSON Lines
// writers. What each writes must hold one well-formed line per event that gives back the
// event's values.
//
// Input: a byte n, n bytes of mnemonic, that entry's time (8 bytes) and address (4 bytes),
// a 16-bit budget, then the program's words (as fuzz_sim takes them).
#include "assembler/seq_event_sink.h"
#include "assembler/seq_event_writer.h"
#include "assembler/seq_instr_set.h"
#include "formats/seq_csv_sink.h"
#include "formats/seq_event_columns.h"
#include "formats/seq_jsonl_sink.h"
#include "fuzz/FuzzCommon.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        abort();
}

struct Counter : seq_event_sink {
    size_t events = 0;
    void event(const rt_info&, address_t) override { ++events; }
};

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> result;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        check(end != std::string_view::npos); // every line ends with its line feed
        result.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return result;
}

// The records of CSV text, each a list of fields with quotes undone; a quoted field may hold
// line breaks, and every record ends with a line feed.
std::vector<std::vector<std::string>> csvRecords(std::string_view text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            fields.back() += text[++i];
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else if (c == '\n' && !quoted) {
            records.push_back(std::move(fields));
            fields.assign(1, std::string());
        } else {
            fields.back() += c;
        }
    }
    check(!quoted && fields.size() == 1 && fields[0].empty()); // nothing after the last record
    return records;
}

// The text of the JSON string that starts at `line[pos]` (its opening quote), escapes undone.
std::string jsonString(std::string_view line, size_t pos) {
    check(pos < line.size() && line[pos] == '"');
    std::string text;
    for (size_t i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            return text;
        check(static_cast<unsigned char>(c) >= 0x20); // control characters are escaped
        if (c != '\\') {
            text += c;
            continue;
        }
        check(i + 1 < line.size());
        const char escaped = line[++i];
        if (escaped == 'u') {
            check(i + 4 < line.size());
            text += static_cast<char>(std::stoi(std::string(line.substr(i + 1, 4)), nullptr, 16));
            i += 4;
        } else {
            check(escaped == '"' || escaped == '\\');
            text += escaped;
        }
    }
    abort(); // unterminated
}

const std::string& mnemonicKey() {
    static const std::string key = "\"mnemonic\":";
    return key;
}

// A line of JSON Lines: an object whose mnemonic gives back `mnemonic`.
void checkJsonLine(std::string_view line, std::string_view mnemonic) {
    check(line.substr(0, 11) == "{\"time_ns\":" && line.back() == '}');
    const size_t key = line.find(mnemonicKey());
    check(key != std::string_view::npos);
    check(jsonString(line, key + mnemonicKey().size()) == mnemonic);
}

struct Machine {
    Machine() : processor(seq_instr_set(), 4096, 64), sim(&processor) {
        processor.setClockFrequencies(250.0, 250.0);
    }
    SeqProcessor processor;
    seq_sim sim;
    uint32_t written = 0; // words of the last program
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzQuietLogging();
    static Machine machine;
    FuzzInput input(data, size);

    // A mnemonic of any bytes (up to a NUL, as the entry holds it) through the writers.
    std::string mnemonic;
    for (uint8_t n = input.take<uint8_t>(); n > 0 && input.remaining() > 0; --n)
        mnemonic += static_cast<char>(input.take<uint8_t>());
    mnemonic.resize(std::strlen(mnemonic.c_str()));
    seq_sim::rt_info entry;
    entry.str = mnemonic.c_str();
    entry.time_ns = input.take<uint64_t>();
    StringOutput oneCsv, oneJson;
    seq_csv_sink(oneCsv).event(entry, input.take<uint32_t>());
    seq_jsonl_sink(oneJson).event(entry, 0);
    const auto csvRecord = csvRecords(oneCsv.text());
    check(csvRecord.size() == 1 && csvRecord[0].size() == seq_event_columns::kCount &&
          csvRecord[0][3] == mnemonic);
    const auto jsonLine = lines(oneJson.text());
    check(jsonLine.size() == 1);
    checkJsonLine(jsonLine[0], mnemonic);

    // The program: the words of the input from address 0, the rest as the last program left
    // them cleared.
    // Short runs: what the writers do with one event they do with every other.
    const int budget = input.take<uint16_t>() % 512;
    SeqProcessor& processor = machine.processor;
    processor.initInstructionMem(0, machine.written);
    machine.written = 0;
    while (input.remaining() > 0 && machine.written < processor.instructionMemSizeWords())
        processor.writeInstructionMem(machine.written++, input.take<uint64_t>());

    StringOutput csvText, jsonText, logText;
    seq_csv_sink csvWriter(csvText);
    seq_jsonl_sink json(jsonText);
    seq_text_sink text(logText);
    Counter counter;
    seq_event_tee tee;
    for (seq_event_sink* sink :
         {static_cast<seq_event_sink*>(&csvWriter), static_cast<seq_event_sink*>(&json),
          static_cast<seq_event_sink*>(&text), static_cast<seq_event_sink*>(&counter),
          &machine.sim.rt_log_sink()})
        tee.add(sink);
    machine.sim.set_event_sink(&tee);
    UIStr message;
    const bool failed = machine.sim.simulate(budget, message);
    check(failed != message.empty());

    const auto& log = machine.sim.get_rt_log();
    check(counter.events == log.size());
    check(logText.text() == machine.sim.rt_log_text());
    const auto csv = csvRecords(csvText.text());
    check(csv.size() == log.size() + 1 && csv[0].size() == seq_event_columns::kCount);
    const auto jsonLines = lines(jsonText.text());
    check(jsonLines.size() == log.size());
    for (size_t i = 0; i < log.size(); ++i) {
        const std::vector<std::string>& fields = csv[i + 1];
        check(fields.size() == seq_event_columns::kCount);
        check(fields[0] == std::to_string(log[i].time_ns));
        check(fields[1] == std::to_string(log[i].duration_ns));
        check(fields[3] == log[i].str);
        checkJsonLine(jsonLines[i], log[i].str);
    }
    return 0;
}
