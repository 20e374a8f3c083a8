#include "assembler/seq_sim.h"

#include "base/Logging.h"
#include "base/utils/stringUtils.h"

namespace {

constexpr const char* s_rtFieldNames[] = {
    "MRK",   "PH_COARSE", "PH_FINE",   "PH_UFINE", "GAIN0",   "GAIN1",       "OFFS0",
    "OFFS1", "WAVE_IDX0", "WAVE_IDX1", "ACQ_IDX",  "BIN_IDX", "WEIGHT_IDX0", "WEIGHT_IDX1",
    "COUNT", "REG0",      "REG1",      "REG2",     "REG3"};

} // namespace

seq_sim::seq_sim(SeqProcessor* processor) : SeqSim(processor) {
    static constexpr struct {
        const char* mnemonic;
        RtOp op;
    } s_ops[] = {{"sw_req", RtOp::SwReq},
                 {"set_mrk", RtOp::SetMrk},
                 {"set_ph", RtOp::SetPh},
                 {"set_ph_delta", RtOp::SetPhDelta},
                 {"set_awg_gain", RtOp::SetAwgGain},
                 {"set_awg_offs", RtOp::SetAwgOffs},
                 {"upd_param", RtOp::UpdParam},
                 {"play", RtOp::Play},
                 {"acquire_weighed", RtOp::AcquireWeighed},
                 {"acquire", RtOp::Acquire},
                 {"wait", RtOp::Wait},
                 {"wait_trigger", RtOp::Wait},
                 {"wait_sync", RtOp::Wait}};
    static_assert(sizeof s_rtFieldNames / sizeof s_rtFieldNames[0] == F_COUNT_);

    const auto& defs = definitions();
    m_rtResolved.resize(defs.size());
    for (size_t i = 0; i < defs.size(); ++i) {
        const SeqInstructionDef& def = *defs[i];
        Resolved& r = m_rtResolved[i];
        for (const auto& entry : s_ops) {
            if (def.mnemonic() == entry.mnemonic) {
                r.op = entry.op;
                break;
            }
        }
        for (int f = 0; f < F_COUNT_; ++f)
            r.fields[f] = resolveField(def, s_rtFieldNames[f]);
    }
}

seq_sim::~seq_sim() = default;

bool seq_sim::simulate(int maxInstructions, UIStr& message) {
    curr_rt_info = t_rt_info();
    curr_rt_info.awg_gain[0] = curr_rt_info.awg_gain[1] = 32767;
    curr_rt_info.awg_offs[0] = curr_rt_info.awg_offs[1] = 32767;
    rt_log.clear();
    return SeqSim::simulate(maxInstructions, message);
}

void seq_sim::update_rt_info(const SeqInstructionDef& def, instruction_t word) {
    updateRtInfo(def, resolveField(def, "COUNT"), word);
}

void seq_sim::updateRtInfo(const SeqInstructionDef& def, FieldRef count, instruction_t word) {
    curr_rt_info.duration_ns = fieldValue(def, count, word);
    rt_log.push_back(curr_rt_info);
    curr_rt_info.play_valid = false;
    curr_rt_info.acquire_valid = false;
    curr_rt_info.param_valid = false;
    curr_rt_info.ph_delta_ufine = 0;
    curr_rt_info.ph_delta_fine = 0;
    curr_rt_info.ph_delta_coarse = 0;
    m_realtimeTick += curr_rt_info.duration_ns;
    curr_rt_info.time_ns = m_realtimeTick;
}

bool seq_sim::processInstruction() {
    if (!SeqSim::processInstruction())
        return false;

    // The base decoded the word at m_pc and left it to us.
    const instruction_t word = m_decodedWord;
    const SeqInstructionDef& def = *definitions()[m_decodedIndex];
    const Resolved& r = m_rtResolved[m_decodedIndex];
    const FieldRef* f = r.fields;
    t_rt_info& rt = curr_rt_info;
    rt.str = def.mnemonic().c_str();

    // Values are stored into the 32-bit members as they are read.
    const auto s32 = [](uint32_t value) { return static_cast<int32_t>(value); };
    uint64_t ticks = 1;
    switch (r.op) {
    case RtOp::Foreign:
        return true;
    case RtOp::SwReq:
        break;
    case RtOp::SetMrk:
        rt.mrk = s32(immediateOrPrefetchedRegisterValue(def, f[F_MRK], f[F_REG0], word));
        break;
    case RtOp::SetPh:
        rt.ph_coarse =
            s32(immediateOrPrefetchedRegisterValue(def, f[F_PH_COARSE], f[F_REG0], word));
        rt.ph_fine = s32(immediateOrRegisterValue(def, f[F_PH_FINE], f[F_REG1], word));
        rt.ph_ufine = s32(immediateOrRegisterValue(def, f[F_PH_UFINE], f[F_REG2], word));
        ticks = 3;
        break;
    case RtOp::SetPhDelta:
        rt.ph_delta_coarse =
            s32(immediateOrPrefetchedRegisterValue(def, f[F_PH_COARSE], f[F_REG0], word));
        rt.ph_delta_fine = s32(immediateOrRegisterValue(def, f[F_PH_FINE], f[F_REG1], word));
        rt.ph_delta_ufine = s32(immediateOrRegisterValue(def, f[F_PH_UFINE], f[F_REG2], word));
        ticks = 3;
        break;
    case RtOp::SetAwgGain:
        rt.awg_gain[0] = s32(immediateOrPrefetchedRegisterValue(def, f[F_GAIN0], f[F_REG0], word));
        rt.awg_gain[1] = s32(immediateOrRegisterValue(def, f[F_GAIN1], f[F_REG1], word));
        ticks = 2;
        break;
    case RtOp::SetAwgOffs:
        rt.awg_offs[0] = s32(immediateOrPrefetchedRegisterValue(def, f[F_OFFS0], f[F_REG0], word));
        rt.awg_offs[1] = s32(immediateOrRegisterValue(def, f[F_OFFS1], f[F_REG1], word));
        ticks = 2;
        break;
    case RtOp::UpdParam:
        rt.param_valid = true;
        updateRtInfo(def, f[F_COUNT], word);
        break;
    case RtOp::Play:
        rt.wave_idx[0] =
            s32(immediateOrPrefetchedRegisterValue(def, f[F_WAVE_IDX0], f[F_REG0], word));
        rt.wave_idx[1] = s32(immediateOrRegisterValue(def, f[F_WAVE_IDX1], f[F_REG1], word));
        rt.play_valid = true;
        rt.param_valid = true;
        updateRtInfo(def, f[F_COUNT], word);
        ticks = 2;
        break;
    case RtOp::AcquireWeighed:
        rt.acq_idx = s32(fieldValue(def, f[F_ACQ_IDX], word));
        rt.bin_idx = s32(immediateOrPrefetchedRegisterValue(def, f[F_BIN_IDX], f[F_REG0], word));
        rt.weight_idx[0] = s32(immediateOrRegisterValue(def, f[F_WEIGHT_IDX0], f[F_REG1], word));
        rt.weight_idx[1] = s32(immediateOrRegisterValue(def, f[F_WEIGHT_IDX1], f[F_REG3], word));
        rt.acquire_valid = true;
        rt.param_valid = true;
        updateRtInfo(def, f[F_COUNT], word);
        ticks = 3;
        break;
    case RtOp::Acquire:
        rt.acq_idx = s32(fieldValue(def, f[F_ACQ_IDX], word));
        rt.bin_idx = s32(immediateOrPrefetchedRegisterValue(def, f[F_BIN_IDX], f[F_REG0], word));
        rt.weight_idx[0] = rt.weight_idx[1] = -1;
        rt.acquire_valid = true;
        rt.param_valid = true;
        updateRtInfo(def, f[F_COUNT], word);
        ticks = 2;
        break;
    case RtOp::Wait:
        rt.duration_ns = immediateOrPrefetchedRegisterValue(def, f[F_COUNT], f[F_REG0], word);
        rt_log.push_back(rt);
        m_realtimeTick += rt.duration_ns;
        rt.time_ns = m_realtimeTick;
        break;
    }
    m_pc += 1;
    m_numInstr += 1;
    m_classicalTick += ticks;
    return false;
}

std::string seq_sim::rt_log_text() const {
    std::string text = "\nSimulation start:";
    for (const rt_info& e : rt_log) {
        append_(false, text, "\n@", e.time_ns, "ns ", e.str, " ", e.duration_ns, "ns:");
        if (e.play_valid)
            append_(false, text, "\n\twave idx: 0:", e.wave_idx[0], ",1:", e.wave_idx[1]);
        if (e.acquire_valid)
            append_(false, text, "\n\tacq idx: ", e.acq_idx, "\n\tbin idx: ", e.bin_idx,
                    "\n\tweight idx: 0:", e.weight_idx[0], ",1:", e.weight_idx[1]);
        if (e.param_valid)
            append_(false, text, "\n\tawg_gain: 0:", e.awg_gain[0], ",1:", e.awg_gain[1],
                    "\n\tawg_offset: 0:", e.awg_offs[0], ",1:", e.awg_offs[1],
                    "\n\tphase: c:", e.ph_coarse, ",f:", e.ph_fine, ",u:", e.ph_ufine,
                    "\n\tphase delta: c:", e.ph_delta_coarse, ",f:", e.ph_delta_fine,
                    ",u:", e.ph_delta_ufine, "\n\tmarker: ", e.mrk);
        if (!e.play_valid && !e.acquire_valid && !e.param_valid)
            text.pop_back(); // the header's colon
    }
    text += "\nSimulation end";
    return text;
}

void seq_sim::print_rt_log(const std::string&) const {
    if (Logging::getLogLevel() >= 6)
        Logging::writeText(6, rt_log_text());
}
