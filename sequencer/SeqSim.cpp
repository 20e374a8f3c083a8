#include "sequencer/SeqSim.h"

#include <cstdio>
#include <exception>
#include <sstream>
#include <typeinfo>

#include "base/Logging.h"

SeqSim::SeqSim() : simDirective(".SIM") {
    buildDecodeTables();
}

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

namespace {

// Bits needed for the values 0 to `limit`.
uint32_t bitsFor(uint64_t limit) {
    uint32_t bits = 0;
    while (bits < 64 && (limit >> bits) != 0)
        ++bits;
    return bits;
}

} // namespace

void SeqSim::buildDecodeTables() {
    // Slot 0 is the empty slot; until a processor is known every word decodes to it.
    Decoder& d = m_decoder;
    m_slots.assign(1, Slot{});
    m_slotIndex.assign(1, 0);
    d.index = m_slotIndex.data();
    d.slots = m_slots.data();
    if (m_SP == nullptr)
        return;
    const SeqInstructionSet& set = m_SP->instructionSet();
    // The same shifts and masks as the instruction set's own decoding (mask 0 without field).
    if (set.opcodeField()) {
        d.opcodeShift = set.opcodeField()->shift();
        d.opcodeMask = static_cast<uint32_t>(set.opcodeField()->range());
    }
    if (set.selectField()) {
        d.selectShift = set.selectField()->shift();
        d.selectMask = static_cast<uint32_t>(set.selectField()->range());
    }

    uint64_t maxOpcode = 0, maxSelect = 0;
    for (const auto& variations : set) {
        for (const auto& def : variations) {
            // A definition beyond the fields' masks is never decoded from a word.
            if (def.opcode() > d.opcodeMask || def.select() > d.selectMask)
                continue;
            const auto& shared =
                set.find(static_cast<unsigned>(def.opcode()), static_cast<unsigned>(def.select()));
            if (!shared)
                continue;
            maxOpcode = std::max<uint64_t>(maxOpcode, shared->opcode());
            maxSelect = std::max<uint64_t>(maxSelect, shared->select());
            m_definitions.push_back(shared);
        }
    }
    d.opcodeLimit = static_cast<uint32_t>(std::min<uint64_t>(maxOpcode + 1, d.opcodeMask));
    d.selectLimit = static_cast<uint32_t>(std::min<uint64_t>(maxSelect + 1, d.selectMask));
    d.selectBits = bitsFor(d.selectLimit);
    const uint64_t entries = (uint64_t{d.opcodeLimit} + 1) << d.selectBits;
    if (entries > (uint64_t{1} << 24) || m_definitions.size() >= 0xFFFF)
        throwBug("SeqSim", __LINE__, "buildDecodeTables",
                 "opcodes or selects of the instruction set too large to decode");
    m_slotIndex.assign(static_cast<size_t>(entries), 0);

    // What each definition executes and where its operands are.
    static constexpr struct {
        const char* mnemonic;
        Op op;
    } s_ops[] = {{"illegal", OP_ILLEGAL}, {"stop", OP_STOP}, {"nop", OP_NOP},   {"jmp", OP_JMP},
                 {"jge", OP_JGE},         {"jlt", OP_JLT},   {"loop", OP_LOOP}, {"move", OP_MOVE},
                 {"not", OP_NOT},         {"add", OP_ADD},   {"sub", OP_SUB},   {"and", OP_AND},
                 {"or", OP_OR},           {"xor", OP_XOR},   {"asl", OP_ASL},   {"asr", OP_ASR}};
    m_slots.reserve(m_definitions.size() + 1);
    for (const auto& shared : m_definitions) {
        const SeqInstructionDef& def = *shared;
        Slot slot;
        slot.op = OP_FOREIGN;
        slot.select = def.select() != 0;
        slot.def = &def;
        slot.mnemonic = def.mnemonic().c_str();
        for (const auto& entry : s_ops) {
            if (def.mnemonic() == entry.mnemonic) {
                slot.op = entry.op;
                break;
            }
        }
        // The operands in the order in which the operation reads them; the select value
        // chooses between an immediate field and a register field.
        const bool imm = slot.select;
        Operand* a = slot.arg;
        switch (slot.op) {
        case OP_JMP:
            a[0] = imm ? operand(def, "INSTR_ADDR", false) : operand(def, "REG2", true);
            break;
        case OP_JGE:
        case OP_JLT:
            a[0] = operand(def, "REG1", true);
            a[1] = operand(def, "IMM", false);
            a[2] = imm ? operand(def, "INSTR_ADDR", false) : operand(def, "REG2", true);
            break;
        case OP_LOOP:
            a[0] = operand(def, "REG1", true);
            a[1] = imm ? operand(def, "INSTR_ADDR", false) : operand(def, "REG2", true);
            break;
        case OP_MOVE:
        case OP_NOT:
            a[0] = imm ? operand(def, "IMM", false) : operand(def, "REG0", true);
            a[1] = operand(def, "REG2", true);
            break;
        case OP_ADD:
        case OP_SUB:
        case OP_AND:
        case OP_OR:
        case OP_XOR:
        case OP_ASL:
        case OP_ASR:
            a[0] = operand(def, "REG1", true);
            a[1] = imm ? operand(def, "IMM", false) : operand(def, "REG0", true);
            a[2] = operand(def, "REG2", true);
            if (!imm)
                slot.op = static_cast<uint8_t>(slot.op + (OP_ADD_R - OP_ADD));
            break;
        default:
            break;
        }
        const uint64_t opcode = std::min<uint64_t>(def.opcode(), d.opcodeLimit);
        const uint64_t select = std::min<uint64_t>(def.select(), d.selectLimit);
        m_slotIndex[(opcode << d.selectBits) | select] = static_cast<uint16_t>(m_slots.size());
        m_slots.push_back(slot);
    }
    d.index = m_slotIndex.data();
    d.slots = m_slots.data();
}

SeqSim::Operand SeqSim::operand(const SeqInstructionDef& def, const char* name, bool isRegister) {
    Operand a;
    a.used = true;
    a.isRegister = isRegister;
    a.name = name;
    if (const auto& field = def.getField(name)) {
        a.present = true;
        a.shift = static_cast<uint8_t>(field->shift());
        a.mask = static_cast<uint32_t>(field->range());
    }
    return a;
}

bool SeqSim::operandsInRange() const {
    const uint32_t count = m_SP->numRegisters();
    if (m_registerWrittenAtTick.size() != count || m_registerPreviousValues.size() != count)
        return false;
    for (const Slot& slot : m_slots)
        for (const Operand& a : slot.arg)
            if (a.used && (!a.present || (a.isRegister && a.mask >= count)))
                return false;
    return true;
}

void SeqSim::throwInstructionNotFound(instruction_t word) const {
    const Decoder& d = m_decoder;
    const uint32_t opcode = static_cast<uint32_t>(word >> d.opcodeShift) & d.opcodeMask;
    const uint32_t select = static_cast<uint32_t>(word >> d.selectShift) & d.selectMask;
    throw SeqProcInstructionNotFoundError("Binary instruction with opcode=")
        << opcode << " select=" << (select != 0 ? "1" : "0") << " not supported";
}

void SeqSim::throwPcOutOfRange(address_t pc) const {
    if (m_SP != nullptr)
        (void)m_SP->readInstructionMem(pc); // throws: pc is beyond the memory
    throw SeqProcMemoryError("Attempt to read instruction at address ")
        << pc << " beyond maximum address " << static_cast<address_t>(-1);
}

SeqSim::FieldRef SeqSim::resolveField(const SeqInstructionDef& def, const char* name) {
    FieldRef ref;
    ref.name = name;
    ref.field = def.getField(name).get(); // kept alive by the definition
    return ref;
}

void SeqSim::throwArgumentNotFound(const SeqInstructionDef& def, const char* fieldName) {
    throw SeqProcArgumentNotFoundError("Instruction ")
        << def.mnemonic() << "( opcode=" << static_cast<unsigned long>(def.opcode())
        << ", select=" << static_cast<unsigned long>(def.select()) << ")"
        << " does not have an argument that sets field with name=" << fieldName;
}

// ---------------------------------------------------------------------------------------
// Field and register access by name

SeqSim::register_t SeqSim::getImmediateValue(const SeqInstructionDef& def,
                                             const std::string& fieldName,
                                             instruction_t word) const {
    return fieldValue(def, resolveField(def, fieldName.c_str()), word);
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
    NoExtension none;
    return processInstructionWith(none);
}

void SeqSim::beginRun() {
    const auto watch = m_timers.add("Vexa processor", "instruction");
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
    watch->start();
}

SeqSim::Decoded* SeqSim::clearDecodeCache(address_t size) {
    m_decodeCache.assign(size, Decoded{});
    return m_decodeCache.data();
}

void SeqSim::budgetMessage(int maxInstructions, UIStr& message) {
    message = stringCat("Maximum number of instructions reached (", maxInstructions,
                        "). Could the program be running an infinite loop?");
}

bool SeqSim::simulate(int maxInstructions, UIStr& message) {
    // The run loop with the instructions compiled in, unless a derived class may have
    // replaced processInstruction().
    if (typeid(*this) == typeid(SeqSim)) {
        NoExtension none;
        return simulateWith(maxInstructions, message, none);
    }
    message.clear();
    if (m_SP == nullptr) {
        message = "Can not simulate: No processor defined.";
        return true;
    }
    beginRun();
    const bool result = runVirtual(maxInstructions, message);
    stopTimers();
    return result;
}

bool SeqSim::runVirtual(int maxInstructions, UIStr& message) {
    const auto budget = static_cast<uint32_t>(maxInstructions);
    try {
        while (true) {
            if (!m_running)
                return false;
            const address_t pc = m_pc;
            const uint64_t tick = m_classicalTick;
            const uint64_t realtime = m_realtimeTick;
            if (processInstruction()) {
                message = stringCat("Instruction ",
                                    decodeSlot(m_SP->readInstructionMem(m_pc)).def->mnemonic(),
                                    " not yet supported.");
                return true;
            }
            if (m_profiling && pc < m_profile.size())
                recordExecution(pc, tick, realtime, m_realtimeTick);
            if (m_numInstr > budget) {
                budgetMessage(maxInstructions, message);
                return true;
            }
        }
    } catch (VexaInterrupt& interrupt) {
        message = stringCat(interrupt.message(), " ", interrupt.instructionAddress());
    } catch (std::exception& error) {
        message = error.what();
    }
    return true;
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
