#include "sequencer/SeqSim.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "base/Logging.h"

static_assert(SeqSimHost<SeqSim>);
static_assert(SeqSimOperationSet<SeqGenericOperations>);

SeqSim::SeqSim() : simDirective(".SIM") {
    ownRun<SeqGenericOperations>(&runGeneric);
}

SeqSim::SeqSim(SeqProcessor* processor)
    : m_SP(processor), simDirective(".SIM"),
      m_registerWrites(processor ? processor->numRegisters() : 0) {
    ownRun<SeqGenericOperations>(&runGeneric);
}

SeqSim::~SeqSim() = default;

std::string SeqSim::asmSectionGetDirective() {
    return simDirective;
}

int SeqSim::asmSectionStart(AsmErrorList&) {
    return 0;
}

bool SeqSim::asmSectionProcessLine(const std::shared_ptr<const SourceLine>&, AsmErrorList&) {
    return false;
}

void SeqSim::asmSectionFinish(AsmErrorList&) {}

// ---------------------------------------------------------------------------------------
// Field and register access by name

SeqSim::register_t SeqSim::getImmediateValue(const SeqInstructionDef& def,
                                             const std::string& fieldName,
                                             instruction_t word) const {
    return static_cast<register_t>(def.getFieldValue(fieldName, word));
}

SeqSim::register_t SeqSim::getPrefetchedRegister(address_t address) const {
    if (address < m_registerWrites.size() && m_registerWrites[address].tick + 1 >= m_classicalTick)
        return m_registerWrites[address].previous;
    return m_SP->readRegister(address);
}

SeqSim::register_t SeqSim::getPrefetchedRegisterValue(const SeqInstructionDef& def,
                                                      const std::string& registerField,
                                                      instruction_t word) const {
    return getPrefetchedRegister(getImmediateValue(def, registerField, word));
}

SeqSim::register_t SeqSim::getImmediateOrPrefetchedRegisterValue(const SeqInstructionDef& def,
                                                                 const std::string& immediateField,
                                                                 const std::string& registerField,
                                                                 instruction_t word) const {
    return def.select() != 0 ? getImmediateValue(def, immediateField, word)
                             : getPrefetchedRegisterValue(def, registerField, word);
}

SeqSim::register_t SeqSim::getImmediateOrRegisterValue(const SeqInstructionDef& def,
                                                       const std::string& immediateField,
                                                       const std::string& registerField,
                                                       instruction_t word) const {
    return def.select() != 0 ? getImmediateValue(def, immediateField, word)
                             : m_SP->readRegister(getImmediateValue(def, registerField, word));
}

void SeqSim::setRegister(address_t address, register_t value) {
    if (address >= m_registerWrites.size() || address >= m_SP->numRegisters())
        seq_sim_errors::registerWrite(address, m_SP);
    m_registerWrites[address] = {m_classicalTick, m_SP->readRegister(address)};
    m_SP->writeRegisterFast(address, value);
}

void SeqSim::initRegisters() {
    const uint32_t count = m_SP->numRegisters();
    m_SP->initDataMem(0, count);
    // Every run begins here: all bytes zero is a register never written (one memset).
    m_registerWrites.resize(count);
    std::memset(static_cast<void*>(m_registerWrites.data()), 0, count * sizeof(SeqRegisterWrite));
}

void SeqSim::getALUArgs1(ALUArgs1& args, const SeqInstructionDef& def, instruction_t word) {
    args.op_val = getImmediateOrPrefetchedRegisterValue(def, "IMM", "REG0", word);
    args.dst_addr = getImmediateValue(def, "REG2", word);
    m_classicalTick += 1;
}

void SeqSim::getALUArgs2(ALUArgs2& args, const SeqInstructionDef& def, instruction_t word) {
    args.lft_val = getPrefetchedRegisterValue(def, "REG1", word);
    args.rgt_val = getImmediateOrRegisterValue(def, "IMM", "REG0", word);
    if (def.select() == 0)
        m_classicalTick += 1;
    args.dst_addr = getImmediateValue(def, "REG2", word);
    m_classicalTick += 1;
}

// ---------------------------------------------------------------------------------------
// Execution

bool SeqSim::processInstruction() {
    SeqGenericOperations ops;
    return stepWith(ops);
}

bool SeqSim::runGeneric(SeqSim& sim, int maxInstructions, UIStr& message) {
    SeqGenericOperations ops;
    return sim.runWith(ops, maxInstructions, message);
}

void SeqSim::beginRun() {
    // One stopwatch serves every run, so that the timer set stays one line however often
    // the simulator runs.
    if (!m_runTimer)
        m_runTimer = m_timers.add("Vexa processor", "instruction");
    initRegisters();
    m_classicalTick = 0;
    m_realtimeTick = 0;
    m_numInstr = 0;
    m_pc = 0;
    m_running = true;
    if (m_profiling)
        m_profile.assign(m_SP->instructionMemSizeWords(), AddressProfile{});
    else
        m_profile.clear();
    m_runTimer->start();
}

bool SeqSim::simulate(int maxInstructions, UIStr& message) {
    message.clear();
    if (m_SP == nullptr) {
        message = "Can not simulate: No processor defined.";
        return true;
    }
    m_engine.prepare(*m_SP, m_extensionRows);
    beginRun();
    struct InRun {
        bool& flag;
        explicit InRun(bool& f) : flag(f) { flag = true; }
        ~InRun() { flag = false; }
    } inRun(m_inRun);
    bool result;
    if (m_inlineRun != nullptr && typeid(*this) == *m_inlineRunClass) {
        result = m_inlineRun(*this, maxInstructions, message);
    } else {
        SeqGenericOperations unused; // each instruction is processInstruction()
        result = m_profiling
                     ? m_engine.run<SeqGenericOperations, true, true>(*this, unused,
                                                                      maxInstructions, message)
                     : m_engine.run<SeqGenericOperations, false, true>(*this, unused,
                                                                       maxInstructions, message);
    }
    stopTimers();
    return result;
}

bool SeqSim::simulate(int maxInstructions) {
    UIStr message;
    const bool result = simulate(maxInstructions, message);
    if (result) {
        Logging::writeText(LogLevel::error, message);
        Logging::write(LogLevel::info, "Simulation interrupted");
    } else if (Logging::isLogLevelActive(LogLevel::info)) {
        Logging::write(LogLevel::info, "Simulation finished");
    }
    printStats("");
    return result;
}

void SeqSim::printStats(const std::string& prefix) const {
    if (!Logging::isLogLevelActive(LogLevel::info))
        return;
    const double classicalFreq = m_SP != nullptr ? m_SP->classicalClockFreq() : 0.0;
    const double realtimeFreq = m_SP != nullptr ? m_SP->realtimeClockFreq() : 0.0;
    char classicalUs[64];
    char realtimeUs[64];
    std::snprintf(classicalUs, sizeof classicalUs, "%.3f",
                  static_cast<double>(m_classicalTick) / classicalFreq);
    std::snprintf(realtimeUs, sizeof realtimeUs, "%.3f",
                  static_cast<double>(m_realtimeTick) / realtimeFreq);
    // The prefix is the caller's text: it is written as it is, never used as a format.
    Logging::writeText(LogLevel::info,
                       stringCat(prefix, "\nSimulated ", m_numInstr, " instructions which took ",
                                 m_classicalTick, " classical cycles (", classicalUs, " us) and ",
                                 m_realtimeTick, " real-time cycles (", realtimeUs, " us)."));
}

void SeqSim::printTimers(const std::string& title) const {
    if (!Logging::isLogLevelActive(LogLevel::info))
        return;
    std::ostringstream report;
    report << m_timers;
    Logging::writeText(LogLevel::info, stringCat(title, "\nSimulation time:\n", report.str()));
}

void SeqSim::stopTimers() {
    for (const auto& watch : m_timers) {
        if (watch->isRunning())
            watch->stop();
        watch->setLapCount(m_numInstr);
    }
}
