#include "formats/seq_listing.h"

#include "base/utils/SourceReader.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmContainer.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <cstdio>
#include <exception>
#include <sstream>
#include <unordered_map>

namespace {

// Column widths of the text listing.
constexpr int kAddressWidth = 7;
constexpr int kCountWidth = 10;
constexpr int kTickWidth = 12;
constexpr int kTimeWidth = 14;

void appendColumns(TextOutput& out, const char* address, const char* count, const char* tick,
                   const char* time, const char* realtime) {
    char row[128];
    const int length =
        std::snprintf(row, sizeof row, "%*s %*s %*s %*s %*s", kAddressWidth, address, kCountWidth,
                      count, kTickWidth, tick, kTimeWidth, time, kTimeWidth, realtime);
    out.append(std::string_view(row, static_cast<size_t>(length)));
}

std::string number(uint64_t value) {
    return std::to_string(value);
}

// The row's text: the columns, then the line as written; no blanks at the end of a row.
void appendRow(TextOutput& out, const char* address, const char* count, const char* tick,
               const char* time, const char* realtime, std::string_view text) {
    StringOutput row;
    appendColumns(row, address, count, tick, time, realtime);
    if (!text.empty()) {
        row.append("  ");
        row.append(text);
    }
    std::string_view whole = row.text();
    while (!whole.empty() && whole.back() == ' ')
        whole.remove_suffix(1);
    out.append(whole);
    out.append('\n');
}

const SeqSim::AddressProfile* profileOf(const seq_listing::profile_t& profile, int64_t address) {
    if (address < 0 || static_cast<uint64_t>(address) >= profile.size())
        return nullptr;
    return &profile[static_cast<size_t>(address)];
}

} // namespace

bool seq_listing::readSource(SourceReader& reader, const AsmContainer& statements, UIStr& message) {
    // An instruction stands on the last line of its statement.
    std::unordered_map<int32_t, int64_t> addressOfLine;
    for (const auto& statement : statements) {
        const AsmInstruction* instruction = statement->asInstruction();
        if (statement->type() == AsmType::INSTRUCTION && instruction != nullptr &&
            instruction->address() >= 0 && statement->hasSource())
            addressOfLine[statement->sourceLine()->lastLineNr()] = instruction->address();
    }
    m_lines.clear();
    if (!reader.start(message))
        return false;
    try {
        while (const auto line = reader.nextLine()) {
            const auto found = addressOfLine.find(line->lineNr());
            m_lines.push_back(
                {found != addressOfLine.end() ? found->second : s_noAddress, line->toString()});
        }
    } catch (const std::exception& error) {
        message = error.what();
        reader.finish();
        return false;
    }
    reader.finish();
    return true;
}

void seq_listing::disassemble(SeqAssembler& assembler) {
    // The plain instructions, without the address labels of a disassembly for reading.
    auto& writeAddresses = assembler.config().writeAddresses;
    const bool wroteAddresses = writeAddresses;
    writeAddresses = false;
    m_lines.clear();
    const SeqProcessor& processor = *assembler.sequenceProcessor();
    for (uint32_t address = 0; address < assembler.numInstructions(); ++address) {
        std::ostringstream text;
        assembler.disassemble(processor.readInstructionMem(address), address, text);
        m_lines.push_back({address, text.str()});
    }
    writeAddresses = wroteAddresses;
}

bool seq_listing::build(SeqAssembler& assembler, SourceReader* source, UIStr& message) {
    if (source == nullptr) {
        disassemble(assembler);
        return true;
    }
    return readSource(*source, assembler.asmStatements(), message);
}

void seq_listing::writeText(TextOutput& out, const profile_t& profile) const {
    appendRow(out, "address", "count", "first_tick", "first_time_ns", "realtime_ns", "source");
    for (const Line& line : m_lines) {
        if (line.address == s_noAddress) {
            appendRow(out, "", "", "", "", "", line.text);
            continue;
        }
        const std::string address = number(static_cast<uint64_t>(line.address));
        const SeqSim::AddressProfile* p = profileOf(profile, line.address);
        if (p == nullptr || p->count == 0) {
            appendRow(out, address.c_str(), "0", "", "", "", line.text);
            continue;
        }
        appendRow(out, address.c_str(), number(p->count).c_str(), number(p->firstTick).c_str(),
                  number(p->firstRealtime).c_str(), number(p->realtime).c_str(), line.text);
    }
}

void seq_listing::writeCsv(TextOutput& out, const profile_t& profile) const {
    out.append(s_csvHeader);
    out.append('\n');
    for (const Line& line : m_lines) {
        if (line.address == s_noAddress)
            continue;
        out.append(number(static_cast<uint64_t>(line.address)));
        const SeqSim::AddressProfile* p = profileOf(profile, line.address);
        if (p == nullptr || p->count == 0) {
            out.append(",0,,,,");
        } else {
            for (const uint64_t value : {p->count, p->firstTick, p->firstRealtime, p->realtime}) {
                out.append(',');
                out.append(number(value));
            }
            out.append(',');
        }
        appendCsvField(out, line.text);
        out.append('\n');
    }
}
