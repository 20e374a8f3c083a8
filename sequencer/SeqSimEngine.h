// The simulator's engine: the state of a run, one instruction's view of its operands and of
// the registers (SeqSimStep, what the operations' semantics work with), the contract with the
// simulator that runs it (SeqSimHost, SeqSimOperationSet) and the run loop.
//
// The loop keeps the state of the run in local variables and the program's instructions
// decoded, one per address, filled when an address is first executed in a run. It dispatches
// each to its operation's semantics compiled into the loop: a set of operations (`Ops`, for
// example SeqGenericOperations) says which operations it executes and how.
#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <span>
#include <utility>
#include <vector>

#include "base/utils/stringUtils.h"
#include "sequencer/SeqSimDecoder.h"
#include "sequencer/seqprocessor/SeqProcError.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

// What the simulator remembers of a register's latest write (setRegister): the tick of the
// write and the value before it. One entry per register, so that both are one load away.
struct SeqRegisterWrite {
    uint64_t tick = 0;
    uint32_t previous = 0;
};

// The state of a run.
struct SeqSimMachine {
    uint32_t pc = 0;
    uint32_t numInstr = 0;
    bool running = false;
    uint64_t tick = 0;
    uint64_t realtimeTick = 0;
    uint64_t jumpTicks = 0;
    uint32_t* reg = nullptr;             // the data memory
    SeqRegisterWrite* written = nullptr; // each register's latest setRegister
    uint32_t regCount = 0;               // registers that both hold
    const uint64_t* code = nullptr;
    uint32_t codeSize = 0;
    SeqSimDecoded* cache = nullptr; // a decoded instruction for each address below cachedSize
    uint32_t cachedSize = 0;
    SeqProcessor* processor = nullptr;
};

// Errors of a run, with the texts the simulator reports. (Out of line and given values, so
// that the state of a run never has to leave the registers.)
namespace seq_sim_errors {
[[noreturn]] void argumentNotFound(const SeqInstructionDef& def, const char* fieldName);
[[noreturn]] void registerWrite(uint32_t address, const SeqProcessor* processor);
[[noreturn]] void programCounter(uint32_t pc, const SeqProcessor* processor);
[[noreturn]] void illegal(uint32_t pc);
} // namespace seq_sim_errors

// The instruction being executed, in one of the forms of SeqSimDecoded. Checked: every
// operand and register address is checked as it is read, and a failure is thrown with its
// message; otherwise decoding has found that no check can fail, and which variant it is.
template <SeqSimDecoded::Form Form> class SeqSimStep {
    static constexpr bool Checked = Form == SeqSimDecoded::Checked;

public:
    using register_t = uint32_t;
    using address_t = uint32_t;

    SeqSimStep(SeqSimMachine& machine, const SeqSimDecoded& decoded)
        : m(machine), d(decoded), m_nextPc(machine.pc + 1) {}

    // Operand i as the word holds it.
    SEQ_SIM_INLINE register_t operand(int i) const {
        if constexpr (Checked)
            if (!d.slot->operand[i].present)
                seq_sim_errors::argumentNotFound(*d.slot->def, d.slot->operand[i].name);
        return d.operand[i];
    }
    // The variant whose select value is not 0, which takes immediates.
    SEQ_SIM_INLINE bool immediateVariant() const {
        if constexpr (Checked)
            return d.immediate;
        else
            return Form == SeqSimDecoded::ImmediateVariant;
    }
    SEQ_SIM_INLINE register_t prefetched(int i) const { return prefetchedRegister(operand(i)); }
    SEQ_SIM_INLINE register_t immediateOrPrefetched(int i) const {
        const register_t value = operand(i);
        return immediateVariant() ? value : prefetchedRegister(value);
    }
    SEQ_SIM_INLINE register_t immediateOrCurrent(int i) const {
        const register_t value = operand(i);
        return immediateVariant() ? value : currentRegister(value);
    }

    // A read issued ahead sees a register's previous value until the second classical tick
    // after its latest write.
    SEQ_SIM_INLINE register_t prefetchedRegister(address_t a) const {
        if constexpr (Checked) {
            if (a < m.regCount && m.written[a].tick + 1 >= m.tick)
                return m.written[a].previous;
            return m.processor->readRegister(a);
        } else {
            // Both loads are in range: a select instead of a branch on the data.
            const SeqRegisterWrite& written = m.written[a];
            const register_t previous = written.previous;
            const register_t current = m.reg[a];
            return written.tick + 1 >= m.tick ? previous : current;
        }
    }
    SEQ_SIM_INLINE register_t currentRegister(address_t a) const {
        if constexpr (Checked)
            return m.processor->readRegister(a);
        else
            return m.reg[a];
    }
    // A write that a later prefetched read sees late.
    SEQ_SIM_INLINE void setRegister(address_t a, register_t value) {
        if (Checked && a >= m.regCount)
            seq_sim_errors::registerWrite(a, m.processor);
        m.written[a] = {m.tick, m.reg[a]};
        m.reg[a] = value;
    }
    // A plain write of the data memory, seen at once.
    SEQ_SIM_INLINE void storeRegister(address_t a, register_t value) {
        if constexpr (Checked)
            m.processor->writeRegister(a, value);
        else
            m.reg[a] = value;
    }

    SEQ_SIM_INLINE void addTicks(uint64_t ticks) { m.tick += ticks; }
    // The classical tick, which is the instruction's start tick until it adds ticks.
    SEQ_SIM_INLINE uint64_t tick() const { return m.tick; }
    // A taken jump: the pipeline is cleared.
    SEQ_SIM_INLINE void jump(address_t target) {
        m_nextPc = target;
        m.tick += m.jumpTicks;
    }
    SEQ_SIM_INLINE void stop() {
        m.running = false;
        m_nextPc = m.pc;
    }
    [[noreturn]] SEQ_SIM_INLINE void illegal() const { seq_sim_errors::illegal(m.pc); }

    SEQ_SIM_INLINE address_t pc() const { return m.pc; }
    // Where the instruction continues.
    SEQ_SIM_INLINE address_t nextPc() const { return m_nextPc; }
    SEQ_SIM_INLINE uint64_t& realtimeTick() { return m.realtimeTick; }
    SEQ_SIM_INLINE const char* mnemonic() const { return d.slot->mnemonic; }

private:
    SeqSimMachine& m;
    const SeqSimDecoded& d;
    address_t m_nextPc;
};

// ---------------------------------------------------------------------------------------
// What the engine requires of the simulator it runs.

// The simulator object: it hands the state of a run (program, registers, counters) to the
// loop and takes it back, executes one instruction itself when its class replaces the
// loop's operations (true: not executed), and counts an execution at an address with the
// classical tick and real-time counter before and the real-time counter after it.
template <class Host>
concept SeqSimHost = requires(Host& host, const SeqSimMachine& machine, uint32_t pc,
                              uint64_t count) {
    { host.loadMachine() } -> std::same_as<SeqSimMachine>;
    host.storeMachine(machine);
    { host.processInstruction() } -> std::same_as<bool>;
    host.recordExecution(pc, count, count, count);
};

namespace seq_sim_contract {
template <class Ops>
concept Interface = requires(Ops& ops, const char* mnemonic) {
    { Ops::extensionRows() } -> std::convertible_to<std::span<const SeqOperationRow>>;
    { Ops::executes(SeqOperation::Nop) } -> std::same_as<bool>;
    ops.notExecuted(mnemonic);
};
// An operation that `Ops` executes has semantics for an instruction being executed.
template <class Ops, SeqOperation op>
concept HasSemantics = (!Ops::executes(op)) ||
                       requires(Ops& ops, SeqSimStep<SeqSimDecoded::Checked>& x) {
    ops.execute(SeqOperationTag<op>{}, x);
};
template <class Ops, unsigned... Code>
constexpr bool hasSemantics(std::integer_sequence<unsigned, Code...>) {
    return (HasSemantics<Ops, static_cast<SeqOperation>(Code)> && ...);
}
// Every row of `Ops` names an operation of the extension range that it executes.
template <class Ops> constexpr bool ownsItsRows() {
    for (const SeqOperationRow& row : std::span<const SeqOperationRow>(Ops::extensionRows()))
        if (!isExtensionOperation(row.operation) || !Ops::executes(row.operation))
            return false;
    return true;
}
} // namespace seq_sim_contract

// A set of operations: the rows of its own mnemonics (constant, in the extension range of
// SeqOperation; the generic rows are always looked up first), whether it executes an
// operation (constant), the semantics of every operation it executes, and what to note when
// the program reaches a mnemonic that it does not execute, which ends the run.
template <class Ops>
concept SeqSimOperationSet = seq_sim_contract::Interface<Ops> &&
    seq_sim_contract::hasSemantics<Ops>(
        std::make_integer_sequence<unsigned, s_seqOperationCount>{}) &&
    seq_sim_contract::ownsItsRows<Ops>();

class SeqSimEngine {
public:
    // How one instruction ended.
    enum class Outcome : uint8_t { Executed, Stopped, Undecoded, NotExecuted };

    // The decode tables for `processor`'s instruction set as it is now and the operations of
    // `extensionRows` besides the generic ones.
    void prepare(const SeqProcessor& processor, std::span<const SeqOperationRow> extensionRows) {
        m_decoder.prepare(processor.instructionSet(), extensionRows);
    }

    // Executes the instruction at m.pc, decoded anew (the tables must be prepared with Ops's
    // rows).
    template <SeqSimOperationSet Ops> Outcome stepOnce(SeqSimMachine& m, Ops& ops) {
        useProgram(m);
        const SeqSimDecoded& d = decodeUncached(m.pc);
        return dispatch(d.code, m, d, ops, s_codes);
    }

    // A complete run from the state that `host.loadMachine()` gives until stop, a failure or
    // the end of the budget; the state then goes back with `host.storeMachine()`. Each
    // instruction is one of Ops's operations compiled into the loop (the tables prepared with
    // Ops's rows), or with VirtualStep a call of `host.processInstruction()`; with Profiled
    // every execution is counted with `host.recordExecution()`. True when the run did not end
    // with stop; `message` then says why.
    template <SeqSimOperationSet Ops, bool Profiled, bool VirtualStep, SeqSimHost Host>
    bool run(Host& host, Ops& ops, int maxInstructions, UIStr& message);

private:
    using Codes = std::make_integer_sequence<unsigned, SeqSimDecoded::s_codeCount>;
    static constexpr Codes s_codes{};
    static constexpr uint32_t s_maxCachedAddresses = uint32_t{1} << 20;

    // The program and registers of the following steps.
    void useProgram(const SeqSimMachine& m) {
        m_code = m.code;
        m_codeSize = m.codeSize;
        m_regCount = m.regCount;
        m_processor = m.processor;
    }
    // Clears the entries of the decoded-instruction cache that the last run filled, for a
    // program of `codeSize` words (up to a limit; beyond it instructions are decoded every
    // time they execute).
    void beginRun(uint32_t codeSize);
    // The word at `pc` decoded into a scratch entry; throws beyond the program.
    const SeqSimDecoded& decodeUncached(uint32_t pc);
    // The mnemonic of the word at `pc`, for a word that is not executed.
    const char* mnemonicAt(uint32_t pc) const;
    static void budgetMessage(int maxInstructions, UIStr& message);

    // The loop of run(), on the state of a run that run() loads and stores. Out of line, so
    // that the host does not take one of the registers that the loop needs.
    template <class Ops, bool Profiled, bool VirtualStep, class Host>
    bool loop(Host& host, Ops& ops, int maxInstructions, UIStr& message);
    template <class Ops> Outcome step(SeqSimMachine& m, Ops& ops);
    template <class Ops, unsigned... Code>
    [[gnu::always_inline]] Outcome dispatch(unsigned code, SeqSimMachine& m, const SeqSimDecoded& d,
                                            Ops& ops, std::integer_sequence<unsigned, Code...>) {
        // One jump through a table, each case its operation's code inline.
        Outcome outcome = Outcome::Executed;
        (void)((code == Code && ((outcome = execute<Ops, Code>(m, d, ops)), true)) || ...);
        return outcome;
    }
    template <class Ops, unsigned Code>
    [[gnu::always_inline]] Outcome execute(SeqSimMachine& m, const SeqSimDecoded& d, Ops& ops);

    SeqSimDecoder m_decoder;
    SeqSimMachine m_machine; // the state of a run, between run() and its loop
    std::vector<SeqSimDecoded> m_cache;
    std::vector<uint32_t> m_filled; // the addresses whose cache entries the last run filled
    SeqSimDecoded m_uncached;
    const uint64_t* m_code = nullptr;
    uint32_t m_codeSize = 0;
    uint32_t m_regCount = 0;
    const SeqProcessor* m_processor = nullptr;
};

// ---------------------------------------------------------------------------------------
// The loop is a template in this header so that the operations of a derived simulator are
// compiled into it too.

template <class Ops, unsigned Code>
[[gnu::always_inline]] inline SeqSimEngine::Outcome
SeqSimEngine::execute(SeqSimMachine& m, const SeqSimDecoded& d, Ops& ops) {
    if constexpr (Code == SeqSimDecoded::s_undecoded) {
        return Outcome::Undecoded;
    } else if constexpr (Code == SeqSimDecoded::s_undefined) {
        m_decoder.throwInstructionNotFound(m.code[m.pc]);
    } else {
        constexpr unsigned index = Code - SeqSimDecoded::s_firstOperation;
        constexpr auto op = static_cast<SeqOperation>(index % s_seqOperationCount);
        if constexpr (Code == SeqSimDecoded::s_notExecuted || !Ops::executes(op)) {
            ops.notExecuted(d.slot->mnemonic);
            return Outcome::NotExecuted;
        } else {
            SeqSimStep<static_cast<SeqSimDecoded::Form>(index / s_seqOperationCount)> x(m, d);
            ops.execute(SeqOperationTag<op>{}, x);
            m.pc = x.nextPc();
            m.numInstr += 1;
            m.tick += 1;
            return op == SeqOperation::Stop ? Outcome::Stopped : Outcome::Executed;
        }
    }
}

template <class Ops>
[[gnu::always_inline]] inline SeqSimEngine::Outcome SeqSimEngine::step(SeqSimMachine& m, Ops& ops) {
    const bool cached = m.pc < m.cachedSize;
    const SeqSimDecoded& d = cached ? m.cache[m.pc] : decodeUncached(m.pc);
    const Outcome outcome = dispatch(d.code, m, d, ops, s_codes);
    if (outcome != Outcome::Undecoded) [[likely]]
        return outcome;
    // The first execution of this address in the run.
    SeqSimDecoded& entry = m.cache[m.pc];
    entry = m_decoder.decode(m.code[m.pc], m.regCount);
    m_filled.push_back(m.pc);
    return dispatch(entry.code, m, entry, ops, s_codes);
}

template <SeqSimOperationSet Ops, bool Profiled, bool VirtualStep, SeqSimHost Host>
bool SeqSimEngine::run(Host& host, Ops& ops, int maxInstructions, UIStr& message) {
    m_machine = host.loadMachine();
    const bool result = loop<Ops, Profiled, VirtualStep>(host, ops, maxInstructions, message);
    host.storeMachine(m_machine);
    return result;
}

template <class Ops, bool Profiled, bool VirtualStep, class Host>
[[gnu::noinline]] bool SeqSimEngine::loop(Host& host, Ops& ops, int maxInstructions,
                                          UIStr& message) {
    const auto budget = static_cast<uint32_t>(maxInstructions);
    // The state in locals of the loop, so that it stays in registers.
    SeqSimMachine m = m_machine;
    useProgram(m);
    if constexpr (!VirtualStep) {
        beginRun(m.codeSize);
        m.cache = m_cache.data();
        m.cachedSize = static_cast<uint32_t>(m_cache.size());
    }
    bool result = true;
    try {
        // A run that is not running ends at once. The budget is checked before each
        // instruction (a run begins with none executed), and after stop, which ends the run
        // only within the budget.
        if (!m.running)
            result = false;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
        // The head of the loop (budget check, cache look-up, dispatch) is then fetched from one
        // 64-byte line; where it straddled two, every simulated instruction paid for it.
        asm volatile(".p2align 6");
#endif
        while (result) {
            if (m.numInstr > budget) [[unlikely]] {
                budgetMessage(maxInstructions, message);
                break;
            }
            [[maybe_unused]] const uint32_t pc = m.pc;
            [[maybe_unused]] const uint64_t tick = m.tick;
            [[maybe_unused]] const uint64_t realtime = m.realtimeTick;
            Outcome outcome;
            if constexpr (VirtualStep) {
                host.storeMachine(m);
                const bool notExecuted = host.processInstruction();
                m = host.loadMachine();
                outcome = notExecuted  ? Outcome::NotExecuted
                          : !m.running ? Outcome::Stopped
                                       : Outcome::Executed;
            } else {
                outcome = step(m, ops);
            }
            if (outcome == Outcome::NotExecuted) [[unlikely]] {
                message = stringCat("Instruction ", mnemonicAt(m.pc), " not yet supported.");
                break;
            }
            if constexpr (Profiled)
                host.recordExecution(pc, tick, realtime, m.realtimeTick);
            if (outcome == Outcome::Stopped) [[unlikely]] {
                if (m.numInstr > budget)
                    budgetMessage(maxInstructions, message);
                else
                    result = false;
                break;
            }
        }
    } catch (VexaInterrupt& interrupt) {
        if constexpr (VirtualStep)
            m = host.loadMachine();
        message = stringCat(interrupt.message(), " ", interrupt.instructionAddress());
    } catch (std::exception& error) {
        if constexpr (VirtualStep)
            m = host.loadMachine();
        message = error.what();
    }
    m_machine = m;
    return result;
}
