#ifndef FORMATS_SEQ_LISTING_H
#define FORMATS_SEQ_LISTING_H

// The timed listing of a simulated program: the program as written, every instruction line
// annotated with how often the instruction ran, the classical tick and the real-time counter
// (ns) at its first execution, and the real time (ns) that all its executions took. Lines
// without an instruction (labels, comments, directives, blank lines) keep their place with
// blank columns. A program loaded from an image is listed as its disassembly.

#include "base/utils/TextOutput.h"
#include "base/utils/stringUtils.h"
#include "sequencer/SeqSim.h"

#include <cstdint>
#include <string>
#include <vector>

class AsmContainer;
class SeqAssembler;
class SourceReader;

class seq_listing {
public:
    static constexpr int64_t s_noAddress = -1;
    struct Line {
        int64_t address = s_noAddress;
        std::string text;
    };
    using profile_t = std::vector<SeqSim::AddressProfile>;

    static constexpr const char* s_csvHeader =
        "address,count,first_tick,first_time_ns,realtime_ns,text";

    // The lines of an assembled source, read again from `reader`; `statements` are those of
    // its assembly, which give each instruction line its address. False with `message` set
    // when the source cannot be read.
    bool readSource(SourceReader& reader, const AsmContainer& statements, UIStr& message);
    // One line per word of the assembler's program: its disassembly.
    void disassemble(SeqAssembler& assembler);
    // The lines of the assembler's program: its source read again from `source`, or, for a
    // program loaded from an image (no source), its disassembly. False with `message` set
    // when the source cannot be read.
    bool build(SeqAssembler& assembler, SourceReader* source, UIStr& message);

    const std::vector<Line>& lines() const { return m_lines; }

    // Every line, with a header line naming the columns; `profile` is the simulator's
    // profile of the run (an address beyond it counts as never executed).
    void writeText(TextOutput& out, const profile_t& profile) const;
    // The instruction lines as CSV under s_csvHeader; the time columns of an instruction that
    // never ran are empty.
    void writeCsv(TextOutput& out, const profile_t& profile) const;

private:
    std::vector<Line> m_lines;
};

#endif
