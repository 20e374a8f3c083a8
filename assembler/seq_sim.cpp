#include "assembler/seq_sim.h"

#include "assembler/seq_event_sink.h"
#include "assembler/seq_event_writer.h"

#include "base/Logging.h"
#include "base/utils/TextOutput.h"
#include "base/utils/stringUtils.h"

class seq_sim::LogSink : public seq_event_sink {
public:
    explicit LogSink(seq_sim& sim) : m_sim(sim) {}
    void event(const rt_info& entry, address_t) override {
        if (&entry == &m_sim.curr_rt_info)
            m_sim.appendToLog();
        else
            m_sim.rt_log.push_back(entry);
    }

private:
    seq_sim& m_sim;
};

seq_sim::seq_sim(SeqProcessor* processor)
    : SeqSim(processor), m_logSink(std::make_unique<LogSink>(*this)), m_sink(m_logSink.get()) {
    ownRun(&runOperations);
}

seq_sim::~seq_sim() = default;

void seq_sim::update_rt_info(const SeqInstructionDef& def, instruction_t word) {
    m_realtimeTick =
        logEntry(getImmediateValue(def, "COUNT", word), m_realtimeTick, m_pc, m_classicalTick);
}

void seq_sim::set_event_sink(seq_event_sink* sink) {
    m_sink = sink != nullptr ? sink : m_logSink.get();
}

seq_event_sink& seq_sim::rt_log_sink() {
    return *m_logSink;
}

void seq_sim::emit(address_t address, uint64_t tick) {
    m_sink->timed_event(curr_rt_info, address, tick);
}

void seq_sim::growLog() {
    // A long run logs hundreds of megabytes. Growing the log eightfold instead of twofold
    // copies and newly touches far less memory on the way (capacity that is reserved but
    // never written costs no memory); past a few million entries it doubles, so that the
    // reserved address space stays within a few gigabytes.
    const size_t capacity = rt_log.capacity();
    rt_log.reserve(capacity < 4096 ? 4096 : capacity * (capacity < (size_t{1} << 22) ? 8 : 2));
}

uint64_t seq_sim::logEntry(uint64_t duration, uint64_t realtimeTick, address_t address,
                           uint64_t tick) {
    curr_rt_info.duration_ns = duration;
    appendLogEntry(address, tick);
    curr_rt_info.play_valid = false;
    curr_rt_info.acquire_valid = false;
    curr_rt_info.param_valid = false;
    curr_rt_info.ph_delta_ufine = 0;
    curr_rt_info.ph_delta_fine = 0;
    curr_rt_info.ph_delta_coarse = 0;
    realtimeTick += duration;
    curr_rt_info.time_ns = realtimeTick;
    return realtimeTick;
}

// ---------------------------------------------------------------------------------------
// The real-time operations. Each records the mnemonic in the current state, reads its
// operands at the tick at which it starts and takes its classical ticks (one of them counted
// by the run loop). Values are stored into the 32-bit members as they are read.

struct seq_sim::Operations {
    seq_sim& sim;

    static constexpr bool executes(SeqOperation) { return true; }
    template <SeqOperation op, class X> SEQ_SIM_INLINE void execute(SeqOperationTag<op> tag, X& x) {
        if constexpr (isGenericOperation(op)) {
            seq_generic::execute(tag, x);
        } else {
            sim.curr_rt_info.str = x.mnemonic();
            realtime(tag, x);
        }
    }
    void notExecuted(const char* mnemonic) { sim.curr_rt_info.str = mnemonic; }

    static int32_t s32(uint32_t value) { return static_cast<int32_t>(value); }
    // Logs the state with the duration; clears the flags and the phase step.
    template <class X> SEQ_SIM_INLINE void log(X& x, uint64_t duration) {
        x.realtimeTick() = sim.logEntry(duration, x.realtimeTick(), x.pc(), x.tick());
    }
    // The values of the two paths (operands 0 and 1) of a waveform, gain or offset.
    template <class X> SEQ_SIM_INLINE void paths(X& x, int32_t (&values)[2]) {
        values[0] = s32(x.immediateOrPrefetched(0));
        values[1] = s32(x.immediateOrCurrent(1));
    }
    // An acquisition, with the weights of operands 2 and 3 or without weights (-1).
    template <class X> SEQ_SIM_INLINE void acquisition(X& x, bool weighed) {
        t_rt_info& rt = sim.curr_rt_info;
        rt.acq_idx = s32(x.operand(0));
        rt.bin_idx = s32(x.immediateOrPrefetched(1));
        rt.weight_idx[0] = weighed ? s32(x.immediateOrCurrent(2)) : -1;
        rt.weight_idx[1] = weighed ? s32(x.immediateOrCurrent(3)) : -1;
        rt.acquire_valid = true;
        rt.param_valid = true;
        log(x, x.operand(weighed ? 4 : 2));
        x.addTicks(weighed ? 2 : 1);
    }
    // The three parts of a phase or a phase step.
    template <class X>
    SEQ_SIM_INLINE void phase(X& x, int32_t& coarse, int32_t& fine, int32_t& ufine) {
        coarse = s32(x.immediateOrPrefetched(0));
        fine = s32(x.immediateOrCurrent(1));
        ufine = s32(x.immediateOrCurrent(2));
        x.addTicks(2);
    }

    template <class X> SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::SwReq>, X&) {}
    template <class X> SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::SetMrk>, X& x) {
        sim.curr_rt_info.mrk = s32(x.immediateOrPrefetched(0));
    }
    template <class X> SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::SetPh>, X& x) {
        t_rt_info& rt = sim.curr_rt_info;
        phase(x, rt.ph_coarse, rt.ph_fine, rt.ph_ufine);
    }
    template <class X>
    SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::SetPhDelta>, X& x) {
        t_rt_info& rt = sim.curr_rt_info;
        phase(x, rt.ph_delta_coarse, rt.ph_delta_fine, rt.ph_delta_ufine);
    }
    template <class X>
    SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::SetAwgGain>, X& x) {
        paths(x, sim.curr_rt_info.awg_gain);
        x.addTicks(1);
    }
    template <class X>
    SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::SetAwgOffs>, X& x) {
        paths(x, sim.curr_rt_info.awg_offs);
        x.addTicks(1);
    }
    template <class X> SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::UpdParam>, X& x) {
        sim.curr_rt_info.param_valid = true;
        log(x, x.operand(0));
    }
    template <class X> SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::Play>, X& x) {
        t_rt_info& rt = sim.curr_rt_info;
        paths(x, rt.wave_idx);
        rt.play_valid = true;
        rt.param_valid = true;
        log(x, x.operand(2));
        x.addTicks(1);
    }
    template <class X>
    SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::AcquireWeighed>, X& x) {
        acquisition(x, true);
    }
    template <class X> SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::Acquire>, X& x) {
        acquisition(x, false);
    }
    // Neither the flags nor the phase step are cleared.
    template <class X> SEQ_SIM_INLINE void realtime(SeqOperationTag<SeqOperation::Wait>, X& x) {
        t_rt_info& rt = sim.curr_rt_info;
        rt.duration_ns = x.immediateOrPrefetched(0);
        sim.appendLogEntry(x.pc(), x.tick());
        x.realtimeTick() += rt.duration_ns;
        rt.time_ns = x.realtimeTick();
    }
};

bool seq_sim::runOperations(SeqSim& sim, int maxInstructions, UIStr& message) {
    auto& self = static_cast<seq_sim&>(sim); // registered by seq_sim's constructor
    Operations ops{self};
    return self.runWith(ops, maxInstructions, message);
}

bool seq_sim::simulate(int maxInstructions, UIStr& message) {
    curr_rt_info = t_rt_info();
    curr_rt_info.awg_gain[0] = curr_rt_info.awg_gain[1] = 32767;
    curr_rt_info.awg_offs[0] = curr_rt_info.awg_offs[1] = 32767;
    rt_log.clear();
    m_sink->begin();
    const bool result = SeqSim::simulate(maxInstructions, message);
    m_sink->end();
    return result;
}

bool seq_sim::processInstruction() {
    Operations ops{*this};
    return stepWith(ops);
}

std::string seq_sim::rt_log_text() const {
    StringOutput text;
    seq_text_sink sink(text);
    sink.begin();
    for (const rt_info& entry : rt_log)
        seq_text_sink::write(text, entry);
    sink.end();
    return text.text();
}

void seq_sim::print_rt_log(const std::string&) const {
    if (Logging::isLogLevelActive(LogLevel::info))
        Logging::writeText(LogLevel::info, rt_log_text());
}
