#include "assembler/seq_sim.h"

#include "assembler/seq_event_sink.h"
#include "assembler/seq_event_writer.h"
#include "assembler/seq_sim_operations.h"

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

// ---------------------------------------------------------------------------------------
// The operations of the run loop: the generic ones and the real-time ones, which record the
// mnemonic in the current state first.

struct seq_sim::Operations {
    seq_sim& sim;

    static constexpr std::span<const SeqOperationRow> extensionRows() {
        return s_seqRealtimeOperations;
    }
    static constexpr bool executes(SeqOperation op) {
        return isGenericOperation(op) || seq_rt_op::isRealtime(op);
    }
    template <SeqOperation op, class X>
    SEQ_SIM_INLINE void execute(SeqOperationTag<op> tag,
                                X& x) requires seq_semantics<op, Operations, X> {
        if constexpr (isGenericOperation(op)) {
            seq_generic::execute(tag, x);
        } else {
            sim.curr_rt_info.str = x.mnemonic();
            seq_realtime::execute(tag, *this, x);
        }
    }
    void notExecuted(const char* mnemonic) { sim.curr_rt_info.str = mnemonic; }

    // The real-time semantics' view of the simulator (see seq_sim_operations.h).
    SEQ_SIM_INLINE t_rt_info& state() { return sim.curr_rt_info; }
    template <class X> SEQ_SIM_INLINE void log(X& x, uint64_t duration) {
        x.realtimeTick() = sim.logEntry(duration, x.realtimeTick(), x.pc(), x.tick());
    }
    template <class X> SEQ_SIM_INLINE void append(X& x) { sim.appendLogEntry(x.pc(), x.tick()); }
};

seq_sim::event_kind seq_sim::kind_of(const char* mnemonic) {
    if (mnemonic == nullptr)
        return event_kind::none;
    const SeqOperationRow* row = findSeqOperation(s_seqRealtimeOperations, mnemonic);
    return row != nullptr ? eventKindOf(row->operation) : event_kind::none;
}

seq_sim::seq_sim(SeqProcessor* processor)
    : SeqSim(processor), m_logSink(std::make_unique<LogSink>(*this)), m_sink(m_logSink.get()) {
    ownRun<Operations>(&runOperations);
}

seq_sim::~seq_sim() = default;

void seq_sim::update_rt_info(const SeqInstructionDef& def, instruction_t word) {
    m_realtimeTick =
        logEntry(getImmediateValue(def, "COUNT", word), m_realtimeTick, m_pc, m_classicalTick);
}

void seq_sim::set_event_sink(seq_event_sink* sink) {
    m_sink = sink != nullptr ? sink : m_logSink.get();
    chooseSinkCall();
}

seq_event_sink& seq_sim::rt_log_sink() {
    return *m_logSink;
}

void seq_sim::chooseSinkCall() {
    m_sinkCall = m_sink == m_logSink.get() ? SinkCall::log
                 : m_sink->wants_tick()    ? SinkCall::timed_event
                                           : SinkCall::event;
}

void seq_sim::appendLogEntry(address_t address, uint64_t tick) {
    if (m_sinkCall == SinkCall::log)
        appendToLog();
    else if (m_sinkCall == SinkCall::event)
        m_sink->event(curr_rt_info, address);
    else
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
    chooseSinkCall(); // a tee may have gained a sink since it was set
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
