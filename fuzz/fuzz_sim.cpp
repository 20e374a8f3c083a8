// Arbitrary instruction words in the instruction memory, then the simulator with a small
// budget: every decode path, the register file, jumps anywhere and the real-time log.
#include "assembler/seq_instr_set.h"
#include "assembler/seq_sim.h"
#include "fuzz/FuzzCommon.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <cstdlib>
#include <string>

namespace {
struct Machine {
    Machine() : processor(seq_instr_set(), 4096, 64), sim(&processor) {
        processor.setClockFrequencies(250.0, 250.0);
    }
    SeqProcessor processor;
    seq_sim sim;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzQuietLogging();
    static Machine machine;
    FuzzInput input(data, size);
    // A small budget, 0 included. (A negative budget compares as a huge unsigned one and
    // so sets practically no limit, which would only measure how long loops run.)
    const int budget = input.take<uint16_t>() % 4096;
    machine.processor.initInstructionMem(0, machine.processor.instructionMemSizeWords());
    uint32_t address = 0;
    while (input.remaining() > 0 && address < machine.processor.instructionMemSizeWords())
        machine.processor.writeInstructionMem(address++, input.take<uint64_t>());
    UIStr message;
    const bool failed = machine.sim.simulate(budget, message);
    if (failed && message.empty())
        abort(); // a failed run always says why
    (void)machine.sim.rt_log_text();
    return 0;
}
