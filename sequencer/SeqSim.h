// Cycle-counting simulator of a sequencer processor: executes the generic instructions
// (control flow, moves, arithmetic) of the program in the processor's instruction memory,
// models the register file's write-to-read latency, and counts classical and real-time
// cycles. Mnemonics it does not execute are left to a derived simulator. It is also the
// section handler of ".SIM".
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/utils/StopWatchSet.h"
#include "base/utils/stringUtils.h"
#include "sequencer/AsmSection.h"
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
    // The decoding tables are built here from the processor's instruction set, which is
    // not changed afterwards.
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
    register_t getPrefetchedRegister(address_t address) const {
        if (address < m_registerWrittenAtTick.size() &&
            m_registerWrittenAtTick[address] + 1 >= m_classicalTick)
            return m_registerPreviousValues[address];
        return m_SP->readRegister(address);
    }
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
    const HiResStopWatchSet& timers() const { return m_timers; }

protected:
    // ---- Field access by name (the operations above, and derived simulators)

    // A field of a definition resolved once, with its name for the error of a definition
    // that lacks it (field is null then).
    struct FieldRef {
        const SeqField* field = nullptr;
        const char* name = "";
    };
    static FieldRef resolveField(const SeqInstructionDef& def, const char* name);
    register_t fieldValue(const SeqInstructionDef& def, FieldRef ref, instruction_t word) const {
        if (ref.field == nullptr)
            throwArgumentNotFound(def, ref.name);
        return static_cast<register_t>(ref.field->get(word));
    }
    [[noreturn]] static void throwArgumentNotFound(const SeqInstructionDef& def,
                                                   const char* fieldName);

    // ---- Decoded instructions
    //
    // Every (opcode, select) pair of the instruction set has a Slot that says what the
    // definition executes (`op`) and where its operands are (shift and mask). A word is
    // decoded by two shifts and masks and a table look-up, and the operands by one shift and
    // mask each, instead of by mnemonic and field name per executed instruction.

    enum Op : uint8_t {
        OP_UNDECODED, // a decoded-instruction cache entry not filled yet
        OP_NONE,      // no definition for this opcode and select
        OP_FOREIGN,   // a definition that no simulator executes
        OP_ILLEGAL,
        OP_STOP,
        OP_NOP,
        OP_JMP,
        OP_JGE,
        OP_JLT,
        OP_LOOP,
        OP_MOVE,
        OP_NOT,
        // Arithmetic with an immediate right operand, then the same with a register.
        OP_ADD,
        OP_SUB,
        OP_AND,
        OP_OR,
        OP_XOR,
        OP_ASL,
        OP_ASR,
        OP_ADD_R,
        OP_SUB_R,
        OP_AND_R,
        OP_OR_R,
        OP_XOR_R,
        OP_ASL_R,
        OP_ASR_R,
        OP_FIRST_EXTENSION = 32 // a derived simulator's own operations start here
    };
    // An operand: its field, and whether its value is used as a register address.
    struct Operand {
        uint32_t mask = 0; // the field's mask cut to 32 bits: values are taken as 32 bits
        uint8_t shift = 0;
        bool used = false;    // the operation reads this operand
        bool present = false; // the definition has the field
        bool isRegister = false;
        const char* name = ""; // for the error of a definition that lacks the field

        register_t value(instruction_t word) const {
            return static_cast<register_t>(word >> shift) & mask;
        }
    };
    static constexpr int s_maxOperands = 5;
    struct Slot {
        uint8_t op = OP_NONE;
        bool select = false; // the select value is not 0: the immediate variant
        const SeqInstructionDef* def = nullptr;
        const char* mnemonic = ""; // the definition's mnemonic text
        Operand arg[s_maxOperands];
    };
    // Operand `name` of `def`, as an immediate or (isRegister) a register address.
    static Operand operand(const SeqInstructionDef& def, const char* name, bool isRegister);
    // The slots of all definitions, in instruction set order; a derived simulator gives the
    // OP_FOREIGN ones its own operations and operands in its constructor.
    std::vector<Slot>& slots() { return m_slots; }
    const std::vector<Slot>& slots() const { return m_slots; }
    // Finds the slot of a word: two shifts and masks and a table look-up. Values beyond the
    // largest defined opcode or select are clamped to one more than it, which has no
    // definition, so the table has no gaps to fill for wide fields.
    struct Decoder {
        uint32_t opcodeShift = 0;
        uint32_t opcodeMask = 0;
        uint32_t opcodeLimit = 0;
        uint32_t selectShift = 0;
        uint32_t selectMask = 0;
        uint32_t selectLimit = 0;
        uint32_t selectBits = 0;
        const uint16_t* index = nullptr; // slot by (opcode << selectBits) | select
        const Slot* slots = nullptr;

        const Slot& slot(instruction_t word) const {
            const auto opcode =
                std::min(static_cast<uint32_t>(word >> opcodeShift) & opcodeMask, opcodeLimit);
            const auto select =
                std::min(static_cast<uint32_t>(word >> selectShift) & selectMask, selectLimit);
            return slots[index[(opcode << selectBits) | select]];
        }
    };
    // The slot of `word`; throws SeqProcInstructionNotFoundError when there is none.
    const Slot& decodeSlot(instruction_t word) const {
        const Slot& slot = m_decoder.slot(word);
        if (slot.op == OP_NONE)
            throwInstructionNotFound(word);
        return slot;
    }

    // ---- Execution

    // An instruction ready to execute: its operation and the values of its operand fields.
    // The unchecked run loop keeps one per instruction address, filled when the address is
    // first executed in a run, so a word is decoded once per run and not per execution.
    struct Decoded {
        uint8_t op = OP_UNDECODED;
        bool select = false;
        register_t arg[s_maxOperands] = {};
        const Slot* slot = nullptr; // the definition and the operands' fields
    };
    static Decoded decoded(const Slot& s, instruction_t word) {
        Decoded d;
        d.op = s.op;
        d.select = s.select;
        for (int i = 0; i < s_maxOperands; ++i)
            d.arg[i] = s.arg[i].value(word);
        d.slot = &s;
        return d;
    }

    // The state of a run, kept in local variables while the run loop executes (the members
    // are written back when it ends), and the storage it works on.
    struct Machine {
        address_t pc;
        uint32_t numInstr;
        uint64_t tick;
        uint64_t realtimeTick;
        address_t codeSize;
        Decoded* cache; // unchecked loop: a decoded instruction for every address
        register_t* reg;
        uint32_t* previous;
        uint64_t* writtenAt;
        uint32_t regCount;
        // Decoding a word, and the ticks of a taken jump.
        const instruction_t* code;
        Decoder decoder;
        uint64_t jumpTicks;
    };
    enum class Step : uint8_t { Executed, Stopped, Foreign };
    // For the simulator without operations of its own.
    struct NoExtension {
        template <bool Checked> Step execute(const Decoded&, Machine&) { return Step::Foreign; }
    };

    Machine loadMachine() {
        Machine m{};
        m.decoder = m_decoder;
        if (m_SP != nullptr) {
            m.code = m_SP->instructionMemory().data();
            m.codeSize = m_SP->instructionMemSizeWords();
            // The storage that writeRegisterFast writes.
            m.reg = const_cast<register_t*>(m_SP->dataMemory().data());
        }
        m.pc = m_pc;
        m.numInstr = m_numInstr;
        m.tick = m_classicalTick;
        m.realtimeTick = m_realtimeTick;
        m.jumpTicks = static_cast<uint64_t>(m_clPipeLineSize);
        m.previous = m_registerPreviousValues.data();
        m.writtenAt = m_registerWrittenAtTick.data();
        m.regCount = static_cast<uint32_t>(
            std::min(m_registerPreviousValues.size(), m_registerWrittenAtTick.size()));
        return m;
    }
    void storeMachine(const Machine& m) {
        m_pc = m.pc;
        m_numInstr = m.numInstr;
        m_classicalTick = m.tick;
        m_realtimeTick = m.realtimeTick;
    }

    // One instruction. `ext.execute<Checked>(decoded, machine)` executes the operations from
    // OP_FOREIGN on. Checked: the word is decoded anew, every operand field and register
    // address is checked as it is read, and a failure is thrown with its message.
    // Unchecked: the decoded-instruction cache is used, and the caller has made sure with
    // operandsInRange() that no check can fail. Always inlined into the run loop, so that
    // the Machine stays in registers.
    template <bool Checked, class Ext>
    [[gnu::always_inline]] inline Step step(Machine& m, Ext& ext);
    // processInstruction() of a simulator with the extension `ext`.
    template <class Ext> bool processInstructionWith(Ext& ext);
    // simulate(int, UIStr&) with `ext`, its processInstruction() not called virtually.
    template <class Ext> bool simulateWith(int maxInstructions, UIStr& message, Ext& ext);

    // Operand reads and register writes of the run loop.
    template <bool Checked> register_t arg(const Decoded& d, int i) const {
        if constexpr (Checked)
            if (!d.slot->arg[i].present)
                throwArgumentNotFound(*d.slot->def, d.slot->arg[i].name);
        return d.arg[i];
    }
    template <bool Checked> register_t currentRegister(const Machine& m, address_t a) const {
        if constexpr (Checked)
            return m_SP->readRegister(a);
        else
            return m.reg[a];
    }
    template <bool Checked> register_t prefetchedRegister(const Machine& m, address_t a) const {
        if constexpr (Checked) {
            if (a < m.regCount && m.writtenAt[a] + 1 >= m.tick)
                return m.previous[a];
            return m_SP->readRegister(a);
        } else {
            // Both loads are in range: a select instead of a branch on the data.
            const register_t previous = m.previous[a];
            const register_t current = m.reg[a];
            return m.writtenAt[a] + 1 >= m.tick ? previous : current;
        }
    }
    template <bool Checked>
    register_t immediateOrPrefetched(const Decoded& d, int i, const Machine& m) const {
        const register_t v = arg<Checked>(d, i);
        return d.select ? v : prefetchedRegister<Checked>(m, v);
    }
    template <bool Checked>
    register_t immediateOrCurrent(const Decoded& d, int i, const Machine& m) const {
        const register_t v = arg<Checked>(d, i);
        return d.select ? v : currentRegister<Checked>(m, v);
    }
    template <bool Checked> void writeRegister(Machine& m, address_t a, register_t v) {
        if (Checked && (a >= m.regCount || a >= m_SP->numRegisters()))
            throwRegisterWriteError(a);
        m.previous[a] = m.reg[a];
        m.writtenAt[a] = m.tick;
        m.reg[a] = v;
    }
    // Arithmetic: operands read at the start tick, the result written one tick later, two
    // with a register right operand.
    template <bool Checked, bool RegisterRight, class F>
    [[gnu::always_inline]] void alu(Machine& m, const Decoded& d, F f) {
        const value_t l = prefetchedRegister<Checked>(m, arg<Checked>(d, 0));
        const value_t r =
            RegisterRight ? currentRegister<Checked>(m, arg<Checked>(d, 1)) : arg<Checked>(d, 1);
        if (RegisterRight)
            m.tick += 1;
        const address_t dst = arg<Checked>(d, 2);
        m.tick += 1;
        writeRegister<Checked>(m, dst, static_cast<register_t>(f(l, r)));
    }
    static void jump(Machine& m, address_t target) {
        m.pc = target;
        m.tick += m.jumpTicks;
    }

    void jumpPC(address_t target) {
        m_pc = target;
        clearClassicalPipeline();
    }
    void clearClassicalPipeline() { m_classicalTick += static_cast<uint64_t>(m_clPipeLineSize); }

    SeqProcessor* m_SP = nullptr;
    std::string simDirective;
    std::vector<uint32_t> m_registerPreviousValues;
    std::vector<uint64_t> m_registerWrittenAtTick;
    HiResStopWatchSet m_timers;
    int32_t m_clPipeLineSize = 3;
    uint64_t m_classicalTick = 0;
    uint64_t m_realtimeTick = 0;
    uint32_t m_numInstr = 0;
    address_t m_pc = 0;
    bool m_running = false;

private:
    void buildDecodeTables();
    // Whether every operand that some slot uses exists and every register address that it
    // can hold is below the register count: the unchecked run loop relies on it.
    bool operandsInRange() const;
    // Begins a run: a new stopwatch, cleared registers and counters.
    void beginRun();
    // An empty decoded-instruction cache of `size` entries for a run of the unchecked loop.
    Decoded* clearDecodeCache(address_t size);
    // The run loop of simulate(int, UIStr&) that calls processInstruction() virtually.
    bool runVirtual(int maxInstructions, UIStr& message);
    template <bool Checked, bool Profiled, class Ext>
    bool runLoop(int maxInstructions, UIStr& message, Ext& ext);
    // Counts one execution at `pc` that started at `tick` and `realtime` into the profile.
    void recordExecution(address_t pc, uint64_t tick, uint64_t realtime, uint64_t realtimeAfter) {
        AddressProfile& p = m_profile[pc];
        if (p.count++ == 0) {
            p.firstTick = tick;
            p.firstRealtime = realtime;
        }
        p.realtime += realtimeAfter - realtime;
    }
    static void budgetMessage(int maxInstructions, UIStr& message);

    [[noreturn]] void throwPcOutOfRange(address_t pc) const;
    [[noreturn]] void throwRegisterWriteError(address_t address) const;
    [[noreturn]] void throwInstructionNotFound(instruction_t word) const;

    // Keeps the definitions that the slots point to alive.
    std::vector<std::shared_ptr<const SeqInstructionDef>> m_definitions;
    // m_slots[0] is the empty slot; m_decoder points into m_slots and m_slotIndex, which
    // do not change size after construction.
    std::vector<Slot> m_slots;
    std::vector<uint16_t> m_slotIndex;
    Decoder m_decoder;
    // The decoded instructions of the latest unchecked run, one per instruction address. A
    // larger instruction memory is run by the checked loop.
    static constexpr address_t s_maxCachedAddresses = address_t{1} << 20;
    std::vector<Decoded> m_decodeCache;
    // The instruction that the checked loop executes, or the unchecked loop beyond the cache.
    Decoded m_uncached;
    bool m_profiling = false;
    std::vector<AddressProfile> m_profile;
};

// ---------------------------------------------------------------------------------------
// The run loop. It is a template in this header so that a derived simulator's operations
// are compiled into it: no virtual call and no second decode per instruction.

template <bool Checked, class Ext>
[[gnu::always_inline]] inline SeqSim::Step SeqSim::step(Machine& m, Ext& ext) {
    if (m.pc >= m.codeSize)
        throwPcOutOfRange(m.pc);
    const Decoded* dp;
    if constexpr (Checked) {
        m_uncached = decoded(m.decoder.slot(m.code[m.pc]), m.code[m.pc]);
        dp = &m_uncached;
    } else {
        dp = &m.cache[m.pc];
    }

redispatch:
    const Decoded& d = *dp;
    bool advance = true; // false when the instruction set m.pc
    switch (d.op) {
    case OP_UNDECODED:
        m.cache[m.pc] = decoded(m.decoder.slot(m.code[m.pc]), m.code[m.pc]);
        goto redispatch;
    case OP_NONE:
        throwInstructionNotFound(m.code[m.pc]);
    case OP_ILLEGAL:
        throw VexaIllegalInterrupt("ILLEGAL instruction at instruction address: ", m.pc);
    case OP_STOP:
        m_running = false;
        m.numInstr += 1;
        m.tick += 1;
        return Step::Stopped;
    case OP_NOP:
        break;
    case OP_JMP:
        jump(m, immediateOrPrefetched<Checked>(d, 0, m));
        advance = false;
        break;
    case OP_JGE: {
        const register_t c = prefetchedRegister<Checked>(m, arg<Checked>(d, 0));
        if (c >= arg<Checked>(d, 1)) {
            jump(m, immediateOrCurrent<Checked>(d, 2, m));
            advance = false;
        }
        break;
    }
    case OP_JLT: {
        const register_t c = prefetchedRegister<Checked>(m, arg<Checked>(d, 0));
        if (c < arg<Checked>(d, 1)) {
            jump(m, immediateOrCurrent<Checked>(d, 2, m));
            advance = false;
        }
        break;
    }
    case OP_LOOP: {
        const address_t a = arg<Checked>(d, 0);
        const register_t n = prefetchedRegister<Checked>(m, a) - 1u;
        writeRegister<Checked>(m, a, n);
        if (n != 0) {
            jump(m, immediateOrCurrent<Checked>(d, 1, m));
            advance = false;
        }
        break;
    }
    case OP_MOVE: {
        // A move records neither a previous value nor a write tick.
        const register_t v = immediateOrPrefetched<Checked>(d, 0, m);
        const address_t dst = arg<Checked>(d, 1);
        if constexpr (Checked)
            m_SP->writeRegister(dst, v);
        else
            m.reg[dst] = v;
        break;
    }
    case OP_NOT: {
        const value_t v = immediateOrPrefetched<Checked>(d, 0, m);
        const address_t dst = arg<Checked>(d, 1);
        m.tick += 1;
        writeRegister<Checked>(m, dst, static_cast<register_t>(~v));
        break;
    }
    // Register values are unsigned: asr is a logical shift with zero fill.
    case OP_ADD:
        alu<Checked, false>(m, d, [](value_t l, value_t r) { return l + r; });
        break;
    case OP_SUB:
        alu<Checked, false>(m, d, [](value_t l, value_t r) { return l - r; });
        break;
    case OP_AND:
        alu<Checked, false>(m, d, [](value_t l, value_t r) { return l & r; });
        break;
    case OP_OR:
        alu<Checked, false>(m, d, [](value_t l, value_t r) { return l | r; });
        break;
    case OP_XOR:
        alu<Checked, false>(m, d, [](value_t l, value_t r) { return l ^ r; });
        break;
    case OP_ASL:
        alu<Checked, false>(m, d, [](value_t l, value_t r) { return l << (r % 64); });
        break;
    case OP_ASR:
        alu<Checked, false>(m, d, [](value_t l, value_t r) { return l >> (r % 64); });
        break;
    case OP_ADD_R:
        alu<Checked, true>(m, d, [](value_t l, value_t r) { return l + r; });
        break;
    case OP_SUB_R:
        alu<Checked, true>(m, d, [](value_t l, value_t r) { return l - r; });
        break;
    case OP_AND_R:
        alu<Checked, true>(m, d, [](value_t l, value_t r) { return l & r; });
        break;
    case OP_OR_R:
        alu<Checked, true>(m, d, [](value_t l, value_t r) { return l | r; });
        break;
    case OP_XOR_R:
        alu<Checked, true>(m, d, [](value_t l, value_t r) { return l ^ r; });
        break;
    case OP_ASL_R:
        alu<Checked, true>(m, d, [](value_t l, value_t r) { return l << (r % 64); });
        break;
    case OP_ASR_R:
        alu<Checked, true>(m, d, [](value_t l, value_t r) { return l >> (r % 64); });
        break;
    default:
        return ext.template execute<Checked>(d, m);
    }
    if (advance)
        m.pc += 1;
    m.numInstr += 1;
    m.tick += 1;
    return Step::Executed;
}

template <class Ext> bool SeqSim::processInstructionWith(Ext& ext) {
    Machine m = loadMachine();
    Step result;
    try {
        result = step<true>(m, ext);
    } catch (...) {
        storeMachine(m);
        throw;
    }
    storeMachine(m);
    return result == Step::Foreign;
}

template <bool Checked, bool Profiled, class Ext>
bool SeqSim::runLoop(int maxInstructions, UIStr& message, Ext& ext) {
    const auto budget = static_cast<uint32_t>(maxInstructions);
    Machine m = loadMachine();
    if (!Checked) {
        m.cache = clearDecodeCache(m.codeSize);
    }
    bool result = true;
    try {
        while (true) {
            [[maybe_unused]] const address_t pc = m.pc;
            [[maybe_unused]] const uint64_t tick = m.tick;
            [[maybe_unused]] const uint64_t realtime = m.realtimeTick;
            const Step done = step<Checked>(m, ext);
            if constexpr (Profiled)
                if (done != Step::Foreign)
                    recordExecution(pc, tick, realtime, m.realtimeTick);
            if (done == Step::Foreign) {
                message = stringCat("Instruction ", m.decoder.slot(m.code[m.pc]).def->mnemonic(),
                                    " not yet supported.");
                break;
            }
            if (m.numInstr > budget) {
                budgetMessage(maxInstructions, message);
                break;
            }
            if (done == Step::Stopped) {
                result = false;
                break;
            }
        }
    } catch (VexaInterrupt& interrupt) {
        message = stringCat(interrupt.message(), " ", interrupt.instructionAddress());
    } catch (std::exception& error) {
        message = error.what();
    }
    storeMachine(m);
    return result;
}

template <class Ext> bool SeqSim::simulateWith(int maxInstructions, UIStr& message, Ext& ext) {
    message.clear();
    if (m_SP == nullptr) {
        message = "Can not simulate: No processor defined.";
        return true;
    }
    beginRun();
    const bool unchecked =
        operandsInRange() && m_SP->instructionMemSizeWords() <= s_maxCachedAddresses;
    bool result;
    if (m_profiling)
        result = unchecked ? runLoop<false, true>(maxInstructions, message, ext)
                           : runLoop<true, true>(maxInstructions, message, ext);
    else
        result = unchecked ? runLoop<false, false>(maxInstructions, message, ext)
                           : runLoop<true, false>(maxInstructions, message, ext);
    stopTimers();
    return result;
}
