// What the simulators execute: one row per mnemonic saying which operation a definition with
// that mnemonic performs and what kind of operand each of its arguments is, and the
// semantics of the generic operations, one small function each. SeqSim executes the generic
// operations; a simulator derived from it adds operations of its own in the extension range
// of SeqOperation, with rows of its own (see SeqSimOperationSet in SeqSimEngine.h). A
// definition whose mnemonic has no row is not executed.
//
// Operand i of an operation is read from the definition's field of the name the row gives
// (an immediate field, or a register field holding a register address); a definition without
// that field lacks the operand, and reading it raises the error that names the field.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

enum class SeqOperation : uint8_t {
    Illegal,
    Stop,
    Nop,
    Jmp,
    Jge,
    Jlt,
    Loop,
    Move,
    Not,
    Add,
    Sub,
    And,
    Or,
    Xor,
    Asl,
    Asr,
    // The codes from here on are free for the operations of a derived simulator.
    FirstExtension,
};
// How many operations a derived simulator can add.
inline constexpr unsigned s_seqExtensionCount = 16;
// Every operation code the run loop dispatches on: the generic ones and the extension range.
inline constexpr unsigned s_seqOperationCount =
    static_cast<unsigned>(SeqOperation::FirstExtension) + s_seqExtensionCount;

// The extension operation `index` (below s_seqExtensionCount).
constexpr SeqOperation seqExtensionOperation(unsigned index) {
    return static_cast<SeqOperation>(static_cast<unsigned>(SeqOperation::FirstExtension) + index);
}
constexpr bool isGenericOperation(SeqOperation op) {
    return op < SeqOperation::FirstExtension;
}
constexpr bool isExtensionOperation(SeqOperation op) {
    return op >= SeqOperation::FirstExtension && static_cast<unsigned>(op) < s_seqOperationCount;
}

// Names one operation as a type, so that each operation's semantics is an overload of its own.
template <SeqOperation op> struct SeqOperationTag {};

// One operand: an immediate, a register address, or (Selected) an immediate in the variant
// with a select value other than 0 and a register address in the variant with select 0.
struct SeqOperand {
    enum Kind : uint8_t { Unused, Immediate, Register, Selected };
    Kind kind = Unused;
    const char* immediateField = "";
    const char* registerField = "";

    constexpr bool isRegister(bool immediateVariant) const {
        return kind == Register || (kind == Selected && !immediateVariant);
    }
    constexpr const char* field(bool immediateVariant) const {
        return isRegister(immediateVariant) ? registerField : immediateField;
    }
};
constexpr SeqOperand immediateOperand(const char* field) {
    return {SeqOperand::Immediate, field, ""};
}
constexpr SeqOperand registerOperand(const char* field) {
    return {SeqOperand::Register, "", field};
}
constexpr SeqOperand selectedOperand(const char* immediateField, const char* registerField) {
    return {SeqOperand::Selected, immediateField, registerField};
}

inline constexpr int s_seqMaxOperands = 5;
using SeqOperands = std::array<SeqOperand, s_seqMaxOperands>;

struct SeqOperationRow {
    const char* mnemonic;
    SeqOperation operation;
    SeqOperands operands;
};

namespace seq_operands {
constexpr SeqOperand jumpTarget = selectedOperand("INSTR_ADDR", "REG2");
constexpr SeqOperand source = selectedOperand("IMM", "REG0");
constexpr SeqOperands none = {};
constexpr SeqOperands jump = {jumpTarget};
constexpr SeqOperands compareAndJump = {registerOperand("REG1"), immediateOperand("IMM"),
                                        jumpTarget};
constexpr SeqOperands loop = {registerOperand("REG1"), jumpTarget};
constexpr SeqOperands unary = {source, registerOperand("REG2")};
constexpr SeqOperands binary = {registerOperand("REG1"), source, registerOperand("REG2")};
} // namespace seq_operands

// The rows of the generic operations.
inline constexpr SeqOperationRow s_seqGenericOperations[] = {
    {"illegal", SeqOperation::Illegal, seq_operands::none},
    {"stop", SeqOperation::Stop, seq_operands::none},
    {"nop", SeqOperation::Nop, seq_operands::none},
    {"jmp", SeqOperation::Jmp, seq_operands::jump},
    {"jge", SeqOperation::Jge, seq_operands::compareAndJump},
    {"jlt", SeqOperation::Jlt, seq_operands::compareAndJump},
    {"loop", SeqOperation::Loop, seq_operands::loop},
    {"move", SeqOperation::Move, seq_operands::unary},
    {"not", SeqOperation::Not, seq_operands::unary},
    {"add", SeqOperation::Add, seq_operands::binary},
    {"sub", SeqOperation::Sub, seq_operands::binary},
    {"and", SeqOperation::And, seq_operands::binary},
    {"or", SeqOperation::Or, seq_operands::binary},
    {"xor", SeqOperation::Xor, seq_operands::binary},
    {"asl", SeqOperation::Asl, seq_operands::binary},
    {"asr", SeqOperation::Asr, seq_operands::binary},
};

// The row of a mnemonic in `rows`, or null.
constexpr const SeqOperationRow* findSeqOperation(std::span<const SeqOperationRow> rows,
                                                  std::string_view mnemonic) {
    for (const SeqOperationRow& row : rows)
        if (mnemonic == row.mnemonic)
            return &row;
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// The generic operations. `x` is the instruction being executed (SeqSimStep): its operands,
// the registers as the prefetch rule shows them, and the counters. Each operation reads its
// operands at the tick at which it starts; the run loop then advances the program counter
// (unless the operation jumped or stopped) and counts the instruction and one tick.

// Operations and what they call are compiled into the run loop, however large it grows.
#define SEQ_SIM_INLINE [[gnu::always_inline]] inline

namespace seq_generic {

using value_t = uint64_t;

template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Illegal>, X& x) {
    x.illegal();
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Stop>, X& x) {
    x.stop();
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Nop>, X&) {}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Jmp>, X& x) {
    x.jump(x.immediateOrPrefetched(0));
}
// Conditional jumps compare the prefetched register with the immediate, unsigned.
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Jge>, X& x) {
    const auto value = x.prefetched(0);
    if (value >= x.operand(1))
        x.jump(x.immediateOrCurrent(2));
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Jlt>, X& x) {
    const auto value = x.prefetched(0);
    if (value < x.operand(1))
        x.jump(x.immediateOrCurrent(2));
}
// The counter is written at the start tick; it wraps from 0 to 2^32 - 1 and jumps.
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Loop>, X& x) {
    const auto counter = x.operand(0);
    const uint32_t count = x.prefetchedRegister(counter) - 1u;
    x.setRegister(counter, count);
    if (count != 0)
        x.jump(x.immediateOrCurrent(1));
}
// A move records neither a previous value nor a write tick.
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Move>, X& x) {
    const auto value = x.immediateOrPrefetched(0);
    x.storeRegister(x.operand(1), value);
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Not>, X& x) {
    const value_t value = x.immediateOrPrefetched(0);
    const auto destination = x.operand(1);
    x.addTicks(1);
    x.setRegister(destination, static_cast<uint32_t>(~value));
}

// Arithmetic: the left register read prefetched, the right operand an immediate or a current
// register; the result is written one tick later, two with a register right operand.
template <class X, class F> SEQ_SIM_INLINE void arithmetic(X& x, F f) {
    const value_t left = x.prefetched(0);
    const value_t right = x.immediateOrCurrent(1);
    if (!x.immediateVariant())
        x.addTicks(1);
    const auto destination = x.operand(2);
    x.addTicks(1);
    x.setRegister(destination, static_cast<uint32_t>(f(left, right)));
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Add>, X& x) {
    arithmetic(x, [](value_t l, value_t r) { return l + r; });
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Sub>, X& x) {
    arithmetic(x, [](value_t l, value_t r) { return l - r; });
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::And>, X& x) {
    arithmetic(x, [](value_t l, value_t r) { return l & r; });
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Or>, X& x) {
    arithmetic(x, [](value_t l, value_t r) { return l | r; });
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Xor>, X& x) {
    arithmetic(x, [](value_t l, value_t r) { return l ^ r; });
}
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Asl>, X& x) {
    arithmetic(x, [](value_t l, value_t r) { return l << (r % 64); });
}
// Register values are unsigned: a logical shift with zero fill.
template <class X> SEQ_SIM_INLINE void execute(SeqOperationTag<SeqOperation::Asr>, X& x) {
    arithmetic(x, [](value_t l, value_t r) { return l >> (r % 64); });
}

} // namespace seq_generic

// The generic semantics of `op` exist for the executing instruction X.
template <SeqOperation op, class X>
concept SeqGenericSemantics = requires(X& x) {
    seq_generic::execute(SeqOperationTag<op>{}, x);
};

// The operations of SeqSim itself: the generic ones.
struct SeqGenericOperations {
    static constexpr std::span<const SeqOperationRow> extensionRows() { return {}; }
    static constexpr bool executes(SeqOperation op) { return isGenericOperation(op); }
    template <SeqOperation op, class X>
    SEQ_SIM_INLINE void execute(SeqOperationTag<op> tag, X& x) requires SeqGenericSemantics<op, X> {
        seq_generic::execute(tag, x);
    }
    // A mnemonic that is not executed ends the run; nothing to record.
    void notExecuted(const char*) {}
};
