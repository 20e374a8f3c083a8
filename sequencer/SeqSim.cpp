#include "sequencer/SeqSim.h"

#include <cstdio>
#include <exception>
#include <sstream>

#include "base/Logging.h"
#include "sequencer/seqprocessor/SeqProcError.h"

namespace {

constexpr const char* s_fieldNames[] = {"IMM", "REG0", "REG1", "REG2", "INSTR_ADDR"};

} // namespace

SeqSim::SeqSim() : simDirective(".SIM") {}

SeqSim::SeqSim(SeqProcessor* processor)
    : m_SP(processor), simDirective(".SIM"),
      m_registerPreviousValues(processor ? processor->numRegisters() : 0, 0),
      m_registerWrittenAtTick(processor ? processor->numRegisters() : 0, 0) {
    buildDecodeTables();
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
// Decoding

void SeqSim::buildDecodeTables() {
    if (m_SP == nullptr)
        return;
    const SeqInstructionSet& set = m_SP->instructionSet();
    if (set.opcodeField())
        m_opcodeField = *set.opcodeField();
    if (set.selectField())
        m_selectField = *set.selectField();

    // Collect the definitions by opcode and select.
    uint32_t opcodeSlots = 0;
    std::vector<std::vector<uint32_t>> bySelect;
    for (const auto& variations : set) {
        for (const auto& def : variations) {
            auto shared =
                set.find(static_cast<unsigned>(def.opcode()), static_cast<unsigned>(def.select()));
            if (!shared)
                continue;
            const auto opcode = static_cast<uint32_t>(shared->opcode());
            const auto select = static_cast<uint32_t>(shared->select());
            if (opcode >= opcodeSlots) {
                opcodeSlots = opcode + 1;
                bySelect.resize(opcodeSlots);
            }
            auto& selects = bySelect[opcode];
            if (select >= selects.size())
                selects.resize(select + 1, s_no_index);
            selects[select] = static_cast<uint32_t>(m_definitions.size());
            m_definitions.push_back(std::move(shared));
        }
    }
    m_opcodeStart.assign(opcodeSlots + 1, 0);
    for (uint32_t opcode = 0; opcode < opcodeSlots; ++opcode) {
        m_opcodeStart[opcode] = static_cast<uint32_t>(m_decodeBySelect.size());
        m_decodeBySelect.insert(m_decodeBySelect.end(), bySelect[opcode].begin(),
                                bySelect[opcode].end());
    }
    m_opcodeStart[opcodeSlots] = static_cast<uint32_t>(m_decodeBySelect.size());

    // What each definition executes, and the fields it reads.
    static constexpr struct {
        const char* mnemonic;
        Op op;
    } s_ops[] = {
        {"illegal", Op::Illegal}, {"stop", Op::Stop}, {"nop", Op::Nop},   {"jmp", Op::Jmp},
        {"jge", Op::Jge},         {"jlt", Op::Jlt},   {"loop", Op::Loop}, {"move", Op::Move},
        {"not", Op::Not},         {"add", Op::Add},   {"sub", Op::Sub},   {"and", Op::And},
        {"or", Op::Or},           {"xor", Op::Xor},   {"asl", Op::Asl},   {"asr", Op::Asr}};
    m_resolved.resize(m_definitions.size());
    for (size_t i = 0; i < m_definitions.size(); ++i) {
        const SeqInstructionDef& def = *m_definitions[i];
        Resolved& r = m_resolved[i];
        for (const auto& entry : s_ops) {
            if (def.mnemonic() == entry.mnemonic) {
                r.op = entry.op;
                break;
            }
        }
        for (int f = 0; f < F_COUNT_; ++f)
            r.fields[f] = resolveField(def, s_fieldNames[f]);
    }
}

void SeqSim::throwInstructionNotFound(unsigned opcode, unsigned select) {
    throw SeqProcInstructionNotFoundError("Binary instruction with opcode=")
        << opcode << " select=" << (select != 0 ? "1" : "0") << " not supported";
}

SeqSim::FieldRef SeqSim::resolveField(const SeqInstructionDef& def, const char* name) {
    FieldRef ref;
    ref.name = name;
    const auto field = def.getField(name);
    ref.field = field.get(); // kept alive by the definition
    return ref;
}

void SeqSim::throwArgumentNotFound(const SeqInstructionDef& def, const char* fieldName) {
    throw SeqProcArgumentNotFoundError("Instruction ")
        << def.mnemonic() << "( opcode=" << static_cast<unsigned long>(def.opcode())
        << ", select=" << static_cast<unsigned long>(def.select()) << ")"
        << " does not have an argument that sets field with name=" << fieldName;
}

// ---------------------------------------------------------------------------------------
// Field and register access

SeqSim::register_t SeqSim::getImmediateValue(const SeqInstructionDef& def,
                                             const std::string& fieldName,
                                             instruction_t word) const {
    return fieldValue(def, resolveField(def, fieldName.c_str()), word);
}

SeqSim::register_t SeqSim::getPrefetchedRegisterValue(const SeqInstructionDef& def,
                                                      const std::string& registerField,
                                                      instruction_t word) const {
    return prefetchedRegisterValue(def, resolveField(def, registerField.c_str()), word);
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
    if (address >= m_registerWrittenAtTick.size() || address >= m_SP->numRegisters())
        throwRegisterWriteError(address);
    m_registerPreviousValues[address] = m_SP->readRegister(address);
    m_registerWrittenAtTick[address] = m_classicalTick;
    m_SP->writeRegisterFast(address, value);
}

void SeqSim::throwRegisterWriteError(address_t address) const {
    const uint32_t count = m_SP != nullptr ? m_SP->numRegisters() : 0;
    throw SeqProcMemoryError("Attempt to write register at address ")
        << address << " beyond maximum address " << static_cast<address_t>(count - 1);
}

void SeqSim::initRegisters() {
    const uint32_t count = m_SP->numRegisters();
    m_SP->initDataMem(0, count);
    m_registerPreviousValues.assign(count, 0);
    m_registerWrittenAtTick.assign(count, 0);
    for (uint32_t a = 0; a < count; ++a)
        m_registerPreviousValues[a] = m_SP->readRegister(a);
}

void SeqSim::getALUArgs1(ALUArgs1& args, const SeqInstructionDef& def, instruction_t word) {
    Resolved r;
    for (int f = 0; f < F_COUNT_; ++f)
        r.fields[f] = resolveField(def, s_fieldNames[f]);
    aluArgs1(args, def, r, word);
}

void SeqSim::getALUArgs2(ALUArgs2& args, const SeqInstructionDef& def, instruction_t word) {
    Resolved r;
    for (int f = 0; f < F_COUNT_; ++f)
        r.fields[f] = resolveField(def, s_fieldNames[f]);
    aluArgs2(args, def, r, word);
}

void SeqSim::aluArgs1(ALUArgs1& args, const SeqInstructionDef& def, const Resolved& r,
                      instruction_t word) {
    args.op_val = immediateOrPrefetchedRegisterValue(def, r.fields[F_IMM], r.fields[F_REG0], word);
    args.dst_addr = fieldValue(def, r.fields[F_REG2], word);
    m_classicalTick += 1;
}

void SeqSim::aluArgs2(ALUArgs2& args, const SeqInstructionDef& def, const Resolved& r,
                      instruction_t word) {
    args.lft_val = prefetchedRegisterValue(def, r.fields[F_REG1], word);
    args.rgt_val = immediateOrRegisterValue(def, r.fields[F_IMM], r.fields[F_REG0], word);
    if (def.select() == 0)
        m_classicalTick += 1;
    args.dst_addr = fieldValue(def, r.fields[F_REG2], word);
    m_classicalTick += 1;
}

// ---------------------------------------------------------------------------------------
// Execution

bool SeqSim::processInstruction() {
    const instruction_t word = m_SP->readInstructionMem(m_pc);
    const uint32_t index = decode(word);
    m_decodedWord = word;
    m_decodedIndex = index;
    const SeqInstructionDef& def = *m_definitions[index];
    const Resolved& r = m_resolved[index];
    const FieldRef* f = r.fields;

    bool advance = true;
    switch (r.op) {
    case Op::Foreign:
        return true;
    case Op::Illegal:
        throw VexaIllegalInterrupt("ILLEGAL instruction at instruction address: ", m_pc);
    case Op::Stop:
        m_running = false;
        advance = false;
        break;
    case Op::Nop:
        break;
    case Op::Jmp:
        jumpPC(immediateOrPrefetchedRegisterValue(def, f[F_INSTR_ADDR], f[F_REG2], word));
        advance = false;
        break;
    case Op::Jge:
    case Op::Jlt: {
        const register_t c = prefetchedRegisterValue(def, f[F_REG1], word);
        const register_t i = fieldValue(def, f[F_IMM], word);
        if ((r.op == Op::Jge) == (c >= i)) {
            jumpPC(immediateOrRegisterValue(def, f[F_INSTR_ADDR], f[F_REG2], word));
            advance = false;
        }
        break;
    }
    case Op::Loop: {
        const address_t a = fieldValue(def, f[F_REG1], word);
        const register_t n = getPrefetchedRegister(a) - 1u;
        setRegister(a, n);
        if (n != 0) {
            jumpPC(immediateOrRegisterValue(def, f[F_INSTR_ADDR], f[F_REG2], word));
            advance = false;
        }
        break;
    }
    case Op::Move: {
        const register_t v = immediateOrPrefetchedRegisterValue(def, f[F_IMM], f[F_REG0], word);
        m_SP->writeRegister(fieldValue(def, f[F_REG2], word), v);
        break;
    }
    case Op::Not: {
        ALUArgs1 args;
        aluArgs1(args, def, r, word);
        setRegister(args.dst_addr, static_cast<register_t>(~args.op_val));
        break;
    }
    default: {
        ALUArgs2 args;
        aluArgs2(args, def, r, word);
        value_t result = 0;
        switch (r.op) {
        case Op::Add:
            result = args.lft_val + args.rgt_val;
            break;
        case Op::Sub:
            result = args.lft_val - args.rgt_val;
            break;
        case Op::And:
            result = args.lft_val & args.rgt_val;
            break;
        case Op::Or:
            result = args.lft_val | args.rgt_val;
            break;
        case Op::Xor:
            result = args.lft_val ^ args.rgt_val;
            break;
        case Op::Asl:
            result = args.lft_val << (args.rgt_val % 64);
            break;
        case Op::Asr:
            // Register values are unsigned: a logical shift with zero fill.
            result = args.lft_val >> (args.rgt_val % 64);
            break;
        default:
            break;
        }
        setRegister(args.dst_addr, static_cast<register_t>(result));
        break;
    }
    }
    if (advance)
        m_pc += 1;
    m_numInstr += 1;
    m_classicalTick += 1;
    return false;
}

bool SeqSim::simulate(int maxInstructions, UIStr& message) {
    message.clear();
    if (m_SP == nullptr) {
        message = "Can not simulate: No processor defined.";
        return true;
    }
    const auto watch = m_timers.add("Vexa processor", "instruction");
    initRegisters();
    m_classicalTick = 0;
    m_realtimeTick = 0;
    m_numInstr = 0;
    m_pc = 0;
    m_running = true;
    m_decodedIndex = s_no_index;
    watch->start();

    bool result = false;
    const auto budget = static_cast<uint32_t>(maxInstructions);
    try {
        while (true) {
            if (!m_running) {
                result = false;
                break;
            }
            if (processInstruction()) {
                const uint32_t index = decode(m_SP->readInstructionMem(m_pc));
                message = stringCat("Instruction ", m_definitions[index]->mnemonic(),
                                    " not yet supported.");
                result = true;
                break;
            }
            if (m_numInstr > budget) {
                message = stringCat("Maximum number of instructions reached (", maxInstructions,
                                    "). Could the program be running an infinite loop?");
                result = true;
                break;
            }
        }
    } catch (VexaInterrupt& interrupt) {
        message = stringCat(interrupt.message(), " ", interrupt.instructionAddress());
        result = true;
    } catch (std::exception& error) {
        message = error.what();
        result = true;
    }
    stopTimers();
    return result;
}

bool SeqSim::simulate(int maxInstructions) {
    UIStr message;
    const bool result = simulate(maxInstructions, message);
    if (result) {
        if (Logging::getLogLevel() >= 3)
            Logging::writeText(3, message);
        if (Logging::getLogLevel() >= 6)
            Logging::write(6, "Simulation interrupted");
    } else if (Logging::getLogLevel() >= 6) {
        Logging::write(6, "Simulation finished");
    }
    printStats("");
    return result;
}

void SeqSim::printStats(const std::string& prefix) const {
    if (Logging::getLogLevel() < 6)
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
    Logging::writeText(6,
                       stringCat(prefix, "\nSimulated ", m_numInstr, " instructions which took ",
                                 m_classicalTick, " classical cycles (", classicalUs, " us) and ",
                                 m_realtimeTick, " real-time cycles (", realtimeUs, " us)."));
}

void SeqSim::printTimers(const std::string& title) const {
    if (Logging::getLogLevel() < 6)
        return;
    std::ostringstream report;
    report << m_timers;
    Logging::writeText(6, stringCat(title, "\nSimulation time:\n", report.str()));
}

void SeqSim::stopTimers() {
    for (const auto& watch : m_timers) {
        if (watch->isRunning())
            watch->stop();
        watch->setLapCount(m_numInstr);
    }
}
