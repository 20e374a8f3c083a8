#include "assembler/seq_sim.h"

#include "assembler/seq_event_sink.h"
#include "assembler/seq_event_writer.h"

#include "base/Logging.h"
#include "base/utils/TextOutput.h"
#include "base/utils/stringUtils.h"

#include <algorithm>
#include <typeinfo>

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
    static constexpr struct {
        const char* mnemonic;
        RtOp op;
    } s_ops[] = {{"sw_req", RT_SW_REQ},
                 {"set_mrk", RT_SET_MRK},
                 {"set_ph", RT_SET_PH},
                 {"set_ph_delta", RT_SET_PH_DELTA},
                 {"set_awg_gain", RT_SET_AWG_GAIN},
                 {"set_awg_offs", RT_SET_AWG_OFFS},
                 {"upd_param", RT_UPD_PARAM},
                 {"play", RT_PLAY},
                 {"acquire_weighed", RT_ACQUIRE_WEIGHED},
                 {"acquire", RT_ACQUIRE},
                 {"wait", RT_WAIT},
                 {"wait_trigger", RT_WAIT},
                 {"wait_sync", RT_WAIT}};

    for (Slot& slot : slots()) {
        if (slot.op != OP_FOREIGN)
            continue;
        const SeqInstructionDef& def = *slot.def;
        for (const auto& entry : s_ops) {
            if (def.mnemonic() == entry.mnemonic) {
                slot.op = entry.op;
                break;
            }
        }
        // The operands in the order in which execute() reads them: an immediate field, or
        // with select 0 the register field that holds the value.
        const bool imm = slot.select;
        const auto immOrReg = [&](const char* immediate, const char* reg) {
            return imm ? operand(def, immediate, false) : operand(def, reg, true);
        };
        Operand* a = slot.arg;
        switch (slot.op) {
        case RT_SET_MRK:
            a[0] = immOrReg("MRK", "REG0");
            break;
        case RT_SET_PH:
        case RT_SET_PH_DELTA:
            a[0] = immOrReg("PH_COARSE", "REG0");
            a[1] = immOrReg("PH_FINE", "REG1");
            a[2] = immOrReg("PH_UFINE", "REG2");
            break;
        case RT_SET_AWG_GAIN:
            a[0] = immOrReg("GAIN0", "REG0");
            a[1] = immOrReg("GAIN1", "REG1");
            break;
        case RT_SET_AWG_OFFS:
            a[0] = immOrReg("OFFS0", "REG0");
            a[1] = immOrReg("OFFS1", "REG1");
            break;
        case RT_UPD_PARAM:
            a[0] = operand(def, "COUNT", false);
            break;
        case RT_PLAY:
            a[0] = immOrReg("WAVE_IDX0", "REG0");
            a[1] = immOrReg("WAVE_IDX1", "REG1");
            a[2] = operand(def, "COUNT", false);
            break;
        case RT_ACQUIRE_WEIGHED:
            a[0] = operand(def, "ACQ_IDX", false);
            a[1] = immOrReg("BIN_IDX", "REG0");
            a[2] = immOrReg("WEIGHT_IDX0", "REG1");
            a[3] = immOrReg("WEIGHT_IDX1", "REG3");
            a[4] = operand(def, "COUNT", false);
            break;
        case RT_ACQUIRE:
            a[0] = operand(def, "ACQ_IDX", false);
            a[1] = immOrReg("BIN_IDX", "REG0");
            a[2] = operand(def, "COUNT", false);
            break;
        case RT_WAIT:
            a[0] = immOrReg("COUNT", "REG0");
            break;
        default:
            break;
        }
    }
}

seq_sim::~seq_sim() = default;

void seq_sim::update_rt_info(const SeqInstructionDef& def, instruction_t word) {
    m_realtimeTick =
        logEntry(fieldValue(def, resolveField(def, "COUNT"), word), m_realtimeTick, m_pc);
}

void seq_sim::set_event_sink(seq_event_sink* sink) {
    m_sink = sink != nullptr ? sink : m_logSink.get();
}

seq_event_sink& seq_sim::rt_log_sink() {
    return *m_logSink;
}

void seq_sim::emit(address_t address) {
    m_sink->event(curr_rt_info, address);
}

void seq_sim::growLog() {
    // A long run logs hundreds of megabytes. Growing the log eightfold instead of twofold
    // copies and newly touches far less memory on the way (capacity that is reserved but
    // never written costs no memory); past a few million entries it doubles, so that the
    // reserved address space stays within a few gigabytes.
    const size_t capacity = rt_log.capacity();
    rt_log.reserve(capacity < 4096 ? 4096 : capacity * (capacity < (size_t{1} << 22) ? 8 : 2));
}

uint64_t seq_sim::logEntry(uint64_t duration, uint64_t realtimeTick, address_t address) {
    curr_rt_info.duration_ns = duration;
    appendLogEntry(address);
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

template <bool Checked>
[[gnu::always_inline]] inline SeqSim::Step seq_sim::execute(const Decoded& d, Machine& m) {
    t_rt_info& rt = curr_rt_info;
    rt.str = d.slot->mnemonic;

    // Values are stored into the 32-bit members as they are read.
    const auto s32 = [](uint32_t value) { return static_cast<int32_t>(value); };
    const auto prefetched = [&](int i) { return immediateOrPrefetched<Checked>(d, i, m); };
    const auto current = [&](int i) { return immediateOrCurrent<Checked>(d, i, m); };
    const auto immediate = [&](int i) { return arg<Checked>(d, i); };
    uint64_t ticks = 1;
    switch (d.op) {
    case RT_SW_REQ:
        break;
    case RT_SET_MRK:
        rt.mrk = s32(prefetched(0));
        break;
    case RT_SET_PH:
        rt.ph_coarse = s32(prefetched(0));
        rt.ph_fine = s32(current(1));
        rt.ph_ufine = s32(current(2));
        ticks = 3;
        break;
    case RT_SET_PH_DELTA:
        rt.ph_delta_coarse = s32(prefetched(0));
        rt.ph_delta_fine = s32(current(1));
        rt.ph_delta_ufine = s32(current(2));
        ticks = 3;
        break;
    case RT_SET_AWG_GAIN:
        rt.awg_gain[0] = s32(prefetched(0));
        rt.awg_gain[1] = s32(current(1));
        ticks = 2;
        break;
    case RT_SET_AWG_OFFS:
        rt.awg_offs[0] = s32(prefetched(0));
        rt.awg_offs[1] = s32(current(1));
        ticks = 2;
        break;
    case RT_UPD_PARAM:
        rt.param_valid = true;
        m.realtimeTick = logEntry(immediate(0), m.realtimeTick, m.pc);
        break;
    case RT_PLAY:
        rt.wave_idx[0] = s32(prefetched(0));
        rt.wave_idx[1] = s32(current(1));
        rt.play_valid = true;
        rt.param_valid = true;
        m.realtimeTick = logEntry(immediate(2), m.realtimeTick, m.pc);
        ticks = 2;
        break;
    case RT_ACQUIRE_WEIGHED:
        rt.acq_idx = s32(immediate(0));
        rt.bin_idx = s32(prefetched(1));
        rt.weight_idx[0] = s32(current(2));
        rt.weight_idx[1] = s32(current(3));
        rt.acquire_valid = true;
        rt.param_valid = true;
        m.realtimeTick = logEntry(immediate(4), m.realtimeTick, m.pc);
        ticks = 3;
        break;
    case RT_ACQUIRE:
        rt.acq_idx = s32(immediate(0));
        rt.bin_idx = s32(prefetched(1));
        rt.weight_idx[0] = rt.weight_idx[1] = -1;
        rt.acquire_valid = true;
        rt.param_valid = true;
        m.realtimeTick = logEntry(immediate(2), m.realtimeTick, m.pc);
        ticks = 2;
        break;
    case RT_WAIT:
        // Neither the flags nor the phase step are cleared.
        rt.duration_ns = prefetched(0);
        appendLogEntry(m.pc);
        m.realtimeTick += rt.duration_ns;
        rt.time_ns = m.realtimeTick;
        break;
    default: // executed by neither simulator
        return Step::Foreign;
    }
    m.pc += 1;
    m.numInstr += 1;
    m.tick += ticks;
    return Step::Executed;
}

bool seq_sim::simulate(int maxInstructions, UIStr& message) {
    curr_rt_info = t_rt_info();
    curr_rt_info.awg_gain[0] = curr_rt_info.awg_gain[1] = 32767;
    curr_rt_info.awg_offs[0] = curr_rt_info.awg_offs[1] = 32767;
    rt_log.clear();
    m_sink->begin();
    // The run loop with the real-time instructions compiled in, unless a derived class may
    // have replaced processInstruction().
    const bool result = typeid(*this) == typeid(seq_sim)
                            ? simulateWith(maxInstructions, message, *this)
                            : SeqSim::simulate(maxInstructions, message);
    m_sink->end();
    return result;
}

bool seq_sim::processInstruction() {
    return processInstructionWith(*this);
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
    if (Logging::getLogLevel() >= 6)
        Logging::writeText(6, rt_log_text());
}
