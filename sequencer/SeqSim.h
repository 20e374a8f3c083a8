// Cycle-counting simulator of a sequencer processor: executes the generic instructions
// (control flow, moves, arithmetic) of the program in the processor's instruction memory,
// models the register file's write-to-read latency, and counts classical and real-time
// cycles. Mnemonics it does not execute are left to a derived simulator. It is also the
// section handler of ".SIM".
//
// What each generic mnemonic executes is in SeqSimOperations.h; the decoding, the run loop and
// what it requires of a simulator are in SeqSimEngine.h.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <typeinfo>
#include <vector>

#include "base/utils/StopWatchSet.h"
#include "base/utils/stringUtils.h"
#include "sequencer/AsmSection.h"
#include "sequencer/SeqSimEngine.h"
#include "sequencer/seqprocessor/SeqInstructionDef.h"
#include "sequencer/seqprocessor/SeqProcError.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

class SeqSim : public AsmSection {
public:
    using instruction_t = uint64_t;
    using address_t = uint32_t;
    using register_t = SeqProcessor::register_t;
    using value_t = uint64_t;

    struct ALUArgs1 {
        address_t dst_addr = 0;
        value_t op_val = 0;
    };
    struct ALUArgs2 {
        address_t dst_addr = 0;
        value_t lft_val = 0;
        value_t rgt_val = 0;
    };

    SeqSim();
    // The decoding tables are built from the processor's instruction set when first needed,
    // and again whenever the set has changed.
    explicit SeqSim(SeqProcessor* processor);
    ~SeqSim() override;

    SeqSim(const SeqSim&) = delete;
    SeqSim& operator=(const SeqSim&) = delete;

    std::string asmSectionGetDirective() override;
    int asmSectionStart(AsmErrorList& errors) override;
    bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                               AsmErrorList& errors) override;
    void asmSectionFinish(AsmErrorList& errors) override;

    // One complete run from address 0; true when it did not end with "stop", `message`
    // then says why.
    virtual bool simulate(int maxInstructions, UIStr& message);
    // The same, logging the outcome and the statistics.
    virtual bool simulate(int maxInstructions);
    // Executes the instruction at the program counter; true when its mnemonic is not one
    // this simulator executes (nothing changed then).
    virtual bool processInstruction();

    // Operand reads by field name.
    register_t getImmediateValue(const SeqInstructionDef& def, const std::string& fieldName,
                                 instruction_t word) const;
    // Register `address` as a read that was issued ahead sees it: its value before its latest
    // write until the second classical tick after that write. Rejects an address beyond the
    // register file with the data memory's read error.
    register_t getPrefetchedRegister(address_t address) const;
    register_t getPrefetchedRegisterValue(const SeqInstructionDef& def,
                                          const std::string& registerField,
                                          instruction_t word) const;
    register_t getImmediateOrPrefetchedRegisterValue(const SeqInstructionDef& def,
                                                     const std::string& immediateField,
                                                     const std::string& registerField,
                                                     instruction_t word) const;
    register_t getImmediateOrRegisterValue(const SeqInstructionDef& def,
                                           const std::string& immediateField,
                                           const std::string& registerField,
                                           instruction_t word) const;

    void setRegister(address_t address, register_t value);
    void initRegisters();
    void getALUArgs1(ALUArgs1& args, const SeqInstructionDef& def, instruction_t word);
    void getALUArgs2(ALUArgs2& args, const SeqInstructionDef& def, instruction_t word);

    void printStats(const std::string& prefix) const;
    void printTimers(const std::string& title) const;
    void stopTimers();

    // What the latest run spent at one instruction address: how often the instruction there
    // was executed, the classical tick and the real-time counter at its first execution, and
    // the real time that all its executions took.
    struct AddressProfile {
        uint64_t count = 0;
        uint64_t firstTick = 0;
        uint64_t firstRealtime = 0;
        uint64_t realtime = 0;
    };
    // Whether the following runs keep a profile of every instruction address; without it a
    // run pays nothing for it.
    void setProfiling(bool on) { m_profiling = on; }
    bool isProfiling() const { return m_profiling; }
    // One entry per instruction address after a profiled run, else empty.
    const std::vector<AddressProfile>& profile() const { return m_profile; }

    // State of the latest run.
    uint32_t numInstructions() const { return m_numInstr; }
    uint64_t classicalTick() const { return m_classicalTick; }
    uint64_t realtimeTick() const { return m_realtimeTick; }
    address_t pc() const { return m_pc; }
    bool isRunning() const { return m_running; }
    // The "Vexa processor" stopwatch of the latest run.
    const HiResStopWatchSet& timers() const { return m_timers; }

    // The run loop's side (SeqSimHost in SeqSimEngine.h). The state of a run as the loop
    // holds it (inline, so that it stays in registers).
    SeqSimMachine loadMachine() {
        SeqSimMachine m;
        m.pc = m_pc;
        m.numInstr = m_numInstr;
        m.running = m_running;
        m.tick = m_classicalTick;
        m.realtimeTick = m_realtimeTick;
        m.jumpTicks = static_cast<uint64_t>(m_clPipeLineSize);
        m.written = m_registerWrites.data();
        if (m_SP != nullptr) {
            m.processor = m_SP;
            m.code = m_SP->instructionMemory().data();
            m.codeSize = m_SP->instructionMemSizeWords();
            // The storage that writeRegisterFast writes.
            m.reg = const_cast<register_t*>(m_SP->dataMemory().data());
            m.regCount = static_cast<uint32_t>(
                std::min(size_t{m_SP->numRegisters()}, m_registerWrites.size()));
        }
        return m;
    }
    void storeMachine(const SeqSimMachine& m) {
        m_pc = m.pc;
        m_numInstr = m.numInstr;
        m_running = m.running;
        m_classicalTick = m.tick;
        m_realtimeTick = m.realtimeTick;
    }
    // Counts one execution at `pc` that started at `tick` and `realtime` into the profile.
    void recordExecution(address_t pc, uint64_t tick, uint64_t realtime, uint64_t realtimeAfter) {
        if (pc >= m_profile.size())
            return;
        AddressProfile& p = m_profile[pc];
        if (p.count++ == 0) {
            p.firstTick = tick;
            p.firstRealtime = realtime;
        }
        p.realtime += realtimeAfter - realtime;
    }

protected:
    // The run loop compiles in the operations that processInstruction() executes, as long as
    // no class replaces it. A class whose processInstruction() is stepWith(ops) for its own
    // operations calls ownRun<Ops>() with a function that runs runWith(ops) in its
    // constructor; for an object of any other class, the loop calls processInstruction() for
    // each instruction. Either way the instructions are decoded with Ops's rows.
    using InlineRun = bool (*)(SeqSim& sim, int maxInstructions, UIStr& message);
    template <SeqSimOperationSet Ops> void ownRun(InlineRun run) {
        m_inlineRun = run;
        m_inlineRunClass = &typeid(*this); // the class being constructed
        m_extensionRows = Ops::extensionRows();
    }
    template <SeqSimOperationSet Ops> bool runWith(Ops& ops, int maxInstructions, UIStr& message) {
        return m_profiling ? m_engine.run<Ops, true, false>(*this, ops, maxInstructions, message)
                           : m_engine.run<Ops, false, false>(*this, ops, maxInstructions, message);
    }
    template <SeqSimOperationSet Ops> bool stepWith(Ops& ops);

    void jumpPC(address_t target) {
        m_pc = target;
        clearClassicalPipeline();
    }
    void clearClassicalPipeline() { m_classicalTick += static_cast<uint64_t>(m_clPipeLineSize); }

    SeqProcessor* m_SP = nullptr;
    std::string simDirective;
    std::vector<SeqRegisterWrite> m_registerWrites;
    HiResStopWatchSet m_timers;
    int32_t m_clPipeLineSize = 3;
    uint64_t m_classicalTick = 0;
    uint64_t m_realtimeTick = 0;
    uint32_t m_numInstr = 0;
    address_t m_pc = 0;
    bool m_running = false;

private:
    // Begins a run: the stopwatch started, cleared registers and counters.
    void beginRun();
    static bool runGeneric(SeqSim& sim, int maxInstructions, UIStr& message);

    SeqSimEngine m_engine;
    InlineRun m_inlineRun = nullptr;
    const std::type_info* m_inlineRunClass = nullptr;
    std::span<const SeqOperationRow> m_extensionRows;
    bool m_inRun = false;
    std::shared_ptr<StopWatch> m_runTimer;
    bool m_profiling = false;
    std::vector<AddressProfile> m_profile;
};

template <SeqSimOperationSet Ops> bool SeqSim::stepWith(Ops& ops) {
    // Within a run the tables were checked when it began.
    if (m_SP != nullptr && !m_inRun)
        m_engine.prepare(*m_SP, Ops::extensionRows());
    SeqSimMachine m = loadMachine();
    SeqSimEngine::Outcome outcome;
    try {
        outcome = m_engine.stepOnce(m, ops);
    } catch (...) {
        storeMachine(m);
        throw;
    }
    storeMachine(m);
    return outcome == SeqSimEngine::Outcome::NotExecuted;
}
