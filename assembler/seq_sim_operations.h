// The real-time operations of the Vexa processor, as seq_sim adds them to the generic
// simulator: their codes in the extension range of SeqOperation, one row per mnemonic (its
// operation and operand fields), the kind of log entry each operation produces, and the
// semantics of each operation.
//
// The semantics work on a simulator `sim` that gives the real-time state (`sim.state()`) and
// logs it: `sim.log(x, duration)` appends the state with that duration, clears the per-entry
// flags and the phase step and advances real time; `sim.append(x)` appends the state as it
// is. Each operation reads its operands at the tick at which it starts and takes its
// classical ticks, one of them counted by the run loop. Values are stored into the 32-bit
// members as they are read.
#pragma once

#include <cstdint>
#include <span>

#include "assembler/seq_sim.h"
#include "sequencer/SeqSimOperations.h"

namespace seq_rt_op {
inline constexpr SeqOperation sw_req = seqExtensionOperation(0);
inline constexpr SeqOperation set_mrk = seqExtensionOperation(1);
inline constexpr SeqOperation set_ph = seqExtensionOperation(2);
inline constexpr SeqOperation set_ph_delta = seqExtensionOperation(3);
inline constexpr SeqOperation set_awg_gain = seqExtensionOperation(4);
inline constexpr SeqOperation set_awg_offs = seqExtensionOperation(5);
inline constexpr SeqOperation upd_param = seqExtensionOperation(6);
inline constexpr SeqOperation play = seqExtensionOperation(7);
inline constexpr SeqOperation acquire_weighed = seqExtensionOperation(8);
inline constexpr SeqOperation acquire = seqExtensionOperation(9);
inline constexpr SeqOperation wait = seqExtensionOperation(10);
inline constexpr unsigned count = 11;
static_assert(count <= s_seqExtensionCount);

constexpr bool isRealtime(SeqOperation op) {
    return op >= sw_req && op <= wait;
}
} // namespace seq_rt_op

namespace seq_rt_operands {
constexpr SeqOperands marker = {selectedOperand("MRK", "REG0")};
constexpr SeqOperands phase = {selectedOperand("PH_COARSE", "REG0"),
                               selectedOperand("PH_FINE", "REG1"),
                               selectedOperand("PH_UFINE", "REG2")};
constexpr SeqOperands gain = {selectedOperand("GAIN0", "REG0"), selectedOperand("GAIN1", "REG1")};
constexpr SeqOperands offset = {selectedOperand("OFFS0", "REG0"), selectedOperand("OFFS1", "REG1")};
constexpr SeqOperand duration = immediateOperand("COUNT");
constexpr SeqOperands update = {duration};
constexpr SeqOperands play = {selectedOperand("WAVE_IDX0", "REG0"),
                              selectedOperand("WAVE_IDX1", "REG1"), duration};
constexpr SeqOperands acquireWeighed = {
    immediateOperand("ACQ_IDX"), selectedOperand("BIN_IDX", "REG0"),
    selectedOperand("WEIGHT_IDX0", "REG1"), selectedOperand("WEIGHT_IDX1", "REG3"), duration};
constexpr SeqOperands acquire = {immediateOperand("ACQ_IDX"), selectedOperand("BIN_IDX", "REG0"),
                                 duration};
constexpr SeqOperands wait = {selectedOperand("COUNT", "REG0")};
} // namespace seq_rt_operands

inline constexpr SeqOperationRow s_seqRealtimeOperations[] = {
    {"sw_req", seq_rt_op::sw_req, seq_operands::none},
    {"set_mrk", seq_rt_op::set_mrk, seq_rt_operands::marker},
    {"set_ph", seq_rt_op::set_ph, seq_rt_operands::phase},
    {"set_ph_delta", seq_rt_op::set_ph_delta, seq_rt_operands::phase},
    {"set_awg_gain", seq_rt_op::set_awg_gain, seq_rt_operands::gain},
    {"set_awg_offs", seq_rt_op::set_awg_offs, seq_rt_operands::offset},
    {"upd_param", seq_rt_op::upd_param, seq_rt_operands::update},
    {"play", seq_rt_op::play, seq_rt_operands::play},
    {"acquire_weighed", seq_rt_op::acquire_weighed, seq_rt_operands::acquireWeighed},
    {"acquire", seq_rt_op::acquire, seq_rt_operands::acquire},
    {"wait", seq_rt_op::wait, seq_rt_operands::wait},
    {"wait_trigger", seq_rt_op::wait, seq_rt_operands::wait},
    {"wait_sync", seq_rt_op::wait, seq_rt_operands::wait},
};

// The kind of the log entry that an operation produces; none for an operation that logs
// nothing.
constexpr seq_sim::event_kind eventKindOf(SeqOperation op) {
    using kind = seq_sim::event_kind;
    if (op == seq_rt_op::play)
        return kind::play;
    if (op == seq_rt_op::acquire || op == seq_rt_op::acquire_weighed)
        return kind::acquisition;
    if (op == seq_rt_op::wait)
        return kind::wait;
    if (op == seq_rt_op::upd_param)
        return kind::update;
    return kind::none;
}

namespace seq_realtime {

inline int32_t s32(uint32_t value) {
    return static_cast<int32_t>(value);
}

// The values of the two paths (operands 0 and 1) of a waveform, gain or offset.
template <class X> SEQ_SIM_INLINE void paths(X& x, int32_t (&values)[2]) {
    values[0] = s32(x.immediateOrPrefetched(0));
    values[1] = s32(x.immediateOrCurrent(1));
}
// An acquisition, with the weights of operands 2 and 3 or without weights (-1).
template <class Sim, class X> SEQ_SIM_INLINE void acquisition(Sim& sim, X& x, bool weighed) {
    seq_sim::rt_info& rt = sim.state();
    rt.acq_idx = s32(x.operand(0));
    rt.bin_idx = s32(x.immediateOrPrefetched(1));
    rt.weight_idx[0] = weighed ? s32(x.immediateOrCurrent(2)) : -1;
    rt.weight_idx[1] = weighed ? s32(x.immediateOrCurrent(3)) : -1;
    rt.acquire_valid = true;
    rt.param_valid = true;
    sim.log(x, x.operand(weighed ? 4 : 2));
    x.addTicks(weighed ? 2 : 1);
}
// The three parts of a phase or a phase step.
template <class X> SEQ_SIM_INLINE void phase(X& x, int32_t& coarse, int32_t& fine, int32_t& ufine) {
    coarse = s32(x.immediateOrPrefetched(0));
    fine = s32(x.immediateOrCurrent(1));
    ufine = s32(x.immediateOrCurrent(2));
    x.addTicks(2);
}

template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::sw_req>, Sim&, X&) {}
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::set_mrk>, Sim& sim, X& x) {
    sim.state().mrk = s32(x.immediateOrPrefetched(0));
}
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::set_ph>, Sim& sim, X& x) {
    seq_sim::rt_info& rt = sim.state();
    phase(x, rt.ph_coarse, rt.ph_fine, rt.ph_ufine);
}
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::set_ph_delta>, Sim& sim, X& x) {
    seq_sim::rt_info& rt = sim.state();
    phase(x, rt.ph_delta_coarse, rt.ph_delta_fine, rt.ph_delta_ufine);
}
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::set_awg_gain>, Sim& sim, X& x) {
    paths(x, sim.state().awg_gain);
    x.addTicks(1);
}
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::set_awg_offs>, Sim& sim, X& x) {
    paths(x, sim.state().awg_offs);
    x.addTicks(1);
}
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::upd_param>, Sim& sim, X& x) {
    sim.state().param_valid = true;
    sim.log(x, x.operand(0));
}
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::play>, Sim& sim, X& x) {
    seq_sim::rt_info& rt = sim.state();
    paths(x, rt.wave_idx);
    rt.play_valid = true;
    rt.param_valid = true;
    sim.log(x, x.operand(2));
    x.addTicks(1);
}
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::acquire_weighed>, Sim& sim, X& x) {
    acquisition(sim, x, true);
}
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::acquire>, Sim& sim, X& x) {
    acquisition(sim, x, false);
}
// Neither the flags nor the phase step are cleared.
template <class Sim, class X>
SEQ_SIM_INLINE void execute(SeqOperationTag<seq_rt_op::wait>, Sim& sim, X& x) {
    seq_sim::rt_info& rt = sim.state();
    rt.duration_ns = x.immediateOrPrefetched(0);
    sim.append(x);
    x.realtimeTick() += rt.duration_ns;
    rt.time_ns = x.realtimeTick();
}

} // namespace seq_realtime

// The real-time semantics of `op` exist for a simulator Sim and the executing instruction X.
template <SeqOperation op, class Sim, class X>
concept seq_realtime_semantics = requires(Sim& sim, X& x) {
    seq_realtime::execute(SeqOperationTag<op>{}, sim, x);
};
// Generic or real-time.
template <SeqOperation op, class Sim, class X>
concept seq_semantics = SeqGenericSemantics<op, X> || seq_realtime_semantics<op, Sim, X>;
