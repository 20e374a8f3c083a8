#ifndef ASSEMBLER_SEQ_H
#define ASSEMBLER_SEQ_H

// The Vexa driver of the command-line tool: the concrete instruction set in a processor
// with 4096 instruction words and 64 registers, its assembler and its simulator.

#include "sequencer/Vexa.h"

#include <cstdint>
#include <string>

class seq_asm;
class seq_sim;

class seq : public Vexa {
public:
    seq();
    seq(uint64_t* instructionMemory, int memorySize, int numRegisters, double classicalClockMHz,
        double realTimeClockMHz);
    ~seq() override;

    // The base run; a successful one leaves "assembler finished successfully" in `text`.
    int assemble(SourceReader& reader, UIStr& text) override;
    using Vexa::assemble;

    // Runs the simulator with the instruction budget; true means failure.
    bool simulate(UIStr& text);
    using Vexa::simulate;
    void print_sim();
    void set_max_sim_instr(int maxInstructions) { max_sim_instr = maxInstructions; }
    // The simulator, with its real-time log and event sinks.
    seq_sim* rt_simulator() const { return vexaSim; }

private:
    void createSections();

    seq_asm* vexaAsm = nullptr; // the base owns both sections
    seq_sim* vexaSim = nullptr;
    int max_sim_instr = 1000000;
};

// A hook around each repetition of the run; it reports nothing.
long print_mem_usage(long previous, int repetition);

// The tool's run: assembles `inputfile` `repetitions` times, writes `<outfilebase>.hex` after
// a successful last run and prints the timer report. Returns the exit status.
int runAssembly(const std::string& inputfile, const std::string& outfilebase, int repetitions);

#endif
