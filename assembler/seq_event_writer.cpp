#include "assembler/seq_event_writer.h"

namespace {

// Room for an entry's details: 16 values of at most 20 characters with their labels.
constexpr size_t kDetailsRoom = 1024;

std::string_view mnemonicOf(const seq_event_sink::rt_info& entry) {
    return entry.str != nullptr ? std::string_view(entry.str) : std::string_view();
}

} // namespace

void seq_event_writer::end() {
    m_out.flush();
}

// ---- The log text

void seq_text_sink::begin() {
    m_out.append("\nSimulation start:");
}

void seq_text_sink::event(const rt_info& entry, address_t) {
    write(m_out, entry);
}

void seq_text_sink::end() {
    m_out.append("\nSimulation end");
    seq_event_writer::end();
}

void seq_text_sink::write(TextOutput& out, const rt_info& e) {
    out.append("\n@");
    { RoomAppender(out, 32) << e.time_ns << "ns "; }
    out.append(mnemonicOf(e));
    RoomAppender put(out, kDetailsRoom);
    put << ' ' << e.duration_ns << "ns";
    if (!e.play_valid && !e.acquire_valid && !e.param_valid)
        return; // no details: the header ends without its colon
    put << ':';
    if (e.play_valid)
        put << "\n\twave idx: 0:" << e.wave_idx[0] << ",1:" << e.wave_idx[1];
    if (e.acquire_valid)
        put << "\n\tacq idx: " << e.acq_idx << "\n\tbin idx: " << e.bin_idx
            << "\n\tweight idx: 0:" << e.weight_idx[0] << ",1:" << e.weight_idx[1];
    if (e.param_valid)
        put << "\n\tawg_gain: 0:" << e.awg_gain[0] << ",1:" << e.awg_gain[1]
            << "\n\tawg_offset: 0:" << e.awg_offs[0] << ",1:" << e.awg_offs[1]
            << "\n\tphase: c:" << e.ph_coarse << ",f:" << e.ph_fine << ",u:" << e.ph_ufine
            << "\n\tphase delta: c:" << e.ph_delta_coarse << ",f:" << e.ph_delta_fine
            << ",u:" << e.ph_delta_ufine << "\n\tmarker: " << e.mrk;
}
