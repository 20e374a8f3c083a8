#include "assembler/seq.h"

#include "assembler/seq_asm.h"
#include "assembler/seq_instr_set.h"
#include "assembler/seq_sim.h"
#include "base/Logging.h"
#include "sequencer/asmparser/AsmSyntax.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

namespace {
constexpr SeqProcessor::address_t kMemorySize = 4096;
constexpr SeqProcessor::address_t kNumRegisters = 64;
constexpr double kClockMHz = 250.0;
} // namespace

seq::seq() {
    vexaProc = std::make_unique<SeqProcessor>(seq_instr_set(), kMemorySize, kNumRegisters);
    vexaProc->setClockFrequencies(kClockMHz, kClockMHz);
    createSections();
}

seq::seq(uint64_t* instructionMemory, int memorySize, int numRegisters, double classicalClockMHz,
         double realTimeClockMHz) {
    vexaProc = std::make_unique<SeqProcessor>(seq_instr_set(), instructionMemory,
                                              static_cast<SeqProcessor::address_t>(memorySize),
                                              static_cast<SeqProcessor::address_t>(numRegisters));
    vexaProc->setClockFrequencies(classicalClockMHz, realTimeClockMHz);
    createSections();
}

seq::~seq() = default;

void seq::createSections() {
    const AsmSyntax syntax;
    auto assembler = std::make_unique<seq_asm>(vexaProc.get(), syntax);
    auto simulator = std::make_unique<seq_sim>(vexaProc.get());
    vexaAsm = assembler.get();
    vexaSim = simulator.get();
    Vexa::vexaAsm = std::move(assembler);
    Vexa::vexaSim = std::move(simulator);
    registerAsmSection(vexaAsm);
    registerAsmSection(vexaSim);
}

int seq::assemble(SourceReader& reader, UIStr& text) {
    const int result = Vexa::assemble(reader, text);
    if (result == 0) {
        text = "assembler finished successfully";
    }
    return result;
}

bool seq::simulate(UIStr& text) {
    if (!assembled) {
        return true;
    }
    return vexaSim->simulate(max_sim_instr, text);
}

void seq::print_sim() {
    vexaSim->print_rt_log("");
}

long print_mem_usage(long /*previous*/, int /*repetition*/) {
    return 0;
}

int runAssembly(const std::string& inputfile, const std::string& outfilebase, int repetitions) {
    seq driver;
    SeqAssembler::printCPU_info();
    long memUsage = print_mem_usage(0, 0);

    int result = 0;
    UIStr errors;
    for (int k = 1; k <= repetitions; ++k) {
        result = driver.assembleFile(inputfile, errors);
        memUsage = print_mem_usage(memUsage, k);
        if (result != 0 && k < repetitions && Logging::isLogLevelActive(LogLevel::info)) {
            Logging::writeText(LogLevel::info, errors);
        }
    }
    Logging::writeText(LogLevel::info, errors);
    // A hex file that could not be written is a failure, like an input that cannot be read.
    if (result == 0 && !driver.saveHexOutput(outfilebase + ".hex")) {
        result = 1;
    }
    driver.printAsmTimers("");
    return result;
}
