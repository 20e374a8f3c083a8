#ifndef SEQUENCER_SEQASSEMBLER_H
#define SEQUENCER_SEQASSEMBLER_H

// The assembler: the ".CODE" section handler of the driver and, on its own, a complete
// source-to-memory assembler. It parses the source lines, gives every instruction an
// address, encodes each one from the processor's instruction tables and writes the words
// into the processor's instruction memory; it also writes the program out again as hex
// text or as disassembled source.

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/utils/StopWatch.h"
#include "base/utils/StopWatchSet.h"
#include "sequencer/AsmSection.h"
#include "sequencer/asmparser/AsmParser.h"

class AsmArgument;
class AsmErrorList;
class AsmInstruction;
struct AsmSyntax;
class SeqInstructionVariations;
class SeqProcessor;
class SourceLine;
class SourceReader;

class SeqAssembler : public AsmSection {
public:
    // The line numbers that the internal-error messages of SeqAssembler carry. They belong to
    // the messages, not to where the code stands: keep them, do not replace them by __LINE__.
    static constexpr int s_finishBugLine = 79;
    static constexpr int s_encodeBugLine = 399;

    using instruction_t = uint64_t;
    using address_t = uint32_t;

    SeqAssembler();
    SeqAssembler(SeqProcessor* processor, const AsmSyntax& syntax);
    ~SeqAssembler() override;

    // AsmSection
    std::string asmSectionGetDirective() override;
    int asmSectionStart(AsmErrorList& errors) override;
    bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                               AsmErrorList& errors) override;
    void asmSectionFinish(AsmErrorList& errors) override;

    // Writes nothing and returns false: this assembler generates no programs.
    virtual bool generateRandomProgram(std::ostream& out, int numInstructions);

    void init();

    // Standalone runs over a whole source; the result is the number of errors.
    int assemble(SourceReader& reader, AsmErrorList& errors);
    int assembleFile(const std::string& fileName, AsmErrorList& errors);

    // Stores one word; words skipped since the last write are zeroed. Throws
    // SeqProcMemoryError beyond the end of the instruction memory.
    void writeInstructionMem(address_t address, instruction_t word);

    // Makes `words` the whole program, as if it had been assembled: written from address 0,
    // the rest of the instruction memory cleared. False, writing nothing, when there is no
    // instruction memory or it cannot hold them.
    bool loadImage(const std::vector<instruction_t>& words);

    // Encodes one parsed instruction (its arguments carry resolved values); throws
    // AsmSyntaxError when it matches no variant of the instruction set or an operand is out
    // of range. Needs a processor.
    instruction_t assembleInstruction(const AsmInstruction& instruction);

    void clearTimers();

    // Output of the program in memory, words 0 .. numInstructions() - 1.
    bool printHexOutput(std::ostream& out);
    bool saveHexOutput(const std::string& fileName);
    int disassemble(std::ostream& out);
    bool disassemble(instruction_t word, address_t address, std::ostream& out);
    bool disassemble(instruction_t word, address_t address, AsmInstruction& instruction);
    int saveDisassemble(const std::string& fileName);
    void printTimers(const std::string& title) const;
    static void printCPU_info();

    SeqProcessor* sequenceProcessor() const { return m_SP; }
    AsmParser::AsmConfig& config() { return m_parser.config(); }
    const AsmParser::AsmConfig& config() const { return m_parser.config(); }
    const AsmContainer& asmStatements() const { return m_parser.statements(); }
    const HiResStopWatchSet& getTimers() const { return m_timers; }
    address_t numInstructions() const { return m_numInstr; }

protected:
    AsmParser m_parser;
    SeqProcessor* m_SP;
    address_t m_numInstr;
    std::shared_ptr<StopWatch> m_assembleTimer;
    HiResStopWatchSet m_timers;

private:
    // 0 without a processor.
    address_t instructionMemSize() const;
    // Writes the hex lines without any message; false when the stream failed.
    bool writeHexLines(std::ostream& out);

    // The encoding errors; their texts are only built when an instruction does not encode.
    [[noreturn]] void throwOperandKindError(const AsmInstruction& instruction, size_t index);
    [[noreturn]] void throwSignatureError(const AsmInstruction& instruction,
                                          const SeqInstructionVariations& variations,
                                          std::string_view signature);
    // The argument as the parser writes it back.
    std::string unparsedArgument(const AsmArgument& argument);
};

#endif
