#ifndef SEQUENCER_VEXA_H
#define SEQUENCER_VEXA_H

// The assembly driver: owns a processor, an assembler and a simulator, splits a source
// into sections and runs one complete assembly per call of assemble().

#include "base/utils/stringUtils.h"
#include "sequencer/AsmSection.h"
#include "sequencer/asmparser/AsmErrorList.h"

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class SeqAssembler;
class SeqInstructionSet;
class SeqProcessor;
class SeqSim;
class SourceReader;

class Vexa {
public:
    // Ordered by plain byte comparison; searchable with a token's view.
    using tAsmSectionMap = std::map<std::string, AsmSection*, std::less<>>;

    Vexa(const SeqInstructionSet& instructionSet, int memorySize, int numRegisters);
    Vexa(const SeqInstructionSet& instructionSet, uint64_t* instructionMemory, int memorySize,
         int numRegisters, double classicalClockMHz, double realTimeClockMHz);
    Vexa(const Vexa&) = delete;
    Vexa& operator=(const Vexa&) = delete;
    virtual ~Vexa();

    void registerAsmSection(AsmSection* section);

    // One complete run: 0 on success, 1 when the reader cannot start or fails while
    // reading, else the number of errors; `text` receives the message or the report.
    virtual int assemble(SourceReader& reader, UIStr& text);
    int assembleFile(const std::string& fileName, UIStr& text);
    int assemble(const std::string& source, UIStr& text);
    int assemble(std::shared_ptr<const std::string> source, UIStr& text);

    // Makes a program image (as a .hex file holds it) the program, for disassembly and
    // simulation, without assembling; false with `message` set when it does not fit.
    bool loadImage(const std::vector<uint64_t>& words, UIStr& message);

    int disassemble(std::string& text);
    int disassemble(std::ostream& out);
    // True means failure, as the simulator reports it.
    bool simulate(int maxInstructions);

    bool saveHexOutput(const std::string& fileName);
    void printCPU_info();
    void printAsmTimers(const std::string& title);
    void printSimTimers(const std::string& title);
    void printSimStats(const std::string& title);

    SeqProcessor* processor() const { return vexaProc.get(); }
    SeqAssembler* assembler() const { return vexaAsm.get(); }
    SeqSim* simulator() const { return vexaSim.get(); }
    bool isAssembled() const { return assembled; }
    // The errors of the latest run, which its report shows: each with its source positions
    // and message. Empty after a successful run and when the reader failed.
    const AsmErrorList& lastErrors() const { return m_lastErrors; }

protected:
    // For drivers that build their own processor and sections.
    Vexa() = default;

    // Members are destroyed in reverse order: the sections before the processor they use.
    std::unique_ptr<SeqProcessor> vexaProc;
    tAsmSectionMap asmSectionMap;
    AsmSection* currentAsmSection = nullptr;
    bool assembled = false;
    std::unique_ptr<SeqAssembler> vexaAsm;
    std::unique_ptr<SeqSim> vexaSim;
    AsmErrorList m_lastErrors;
};

#endif
