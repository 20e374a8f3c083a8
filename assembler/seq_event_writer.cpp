#include "assembler/seq_event_writer.h"

#include <charconv>
#include <cstring>

namespace {

// Room for the fixed part of any one line: 24 values of at most 20 digits with their names.
constexpr size_t kLineRoom = 1024;

// Appends into the room of a TextOutput; advance() hands the written bytes over.
class Put {
public:
    Put(TextOutput& out, size_t room) : m_out(out), m_begin(out.room(room)), m_p(m_begin) {}
    ~Put() { m_out.advance(static_cast<size_t>(m_p - m_begin)); }
    Put(const Put&) = delete;
    Put& operator=(const Put&) = delete;

    Put& operator<<(std::string_view text) {
        std::memcpy(m_p, text.data(), text.size());
        m_p += text.size();
        return *this;
    }
    Put& operator<<(char c) {
        *m_p++ = c;
        return *this;
    }
    Put& operator<<(int32_t value) { return number(value); }
    Put& operator<<(uint32_t value) { return number(value); }
    Put& operator<<(uint64_t value) { return number(value); }

private:
    template <class T> Put& number(T value) {
        m_p = std::to_chars(m_p, m_p + 24, value).ptr;
        return *this;
    }

    TextOutput& m_out;
    char* m_begin;
    char* m_p;
};

std::string_view mnemonicOf(const seq_event_sink::rt_info& entry) {
    return entry.str != nullptr ? std::string_view(entry.str) : std::string_view();
}

// A mnemonic comes from the instruction set's text, so it is escaped when it holds a
// character that would break the line.
void putJsonString(TextOutput& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.append('"');
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append('\\');
            out.append(c);
        } else if (byte < 0x20) {
            char escape[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 15]};
            out.append(std::string_view(escape, sizeof escape));
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

std::string_view boolean(bool value) {
    return value ? "true" : "false";
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
    { Put(out, 32) << e.time_ns << "ns "; }
    out.append(mnemonicOf(e));
    Put put(out, kLineRoom);
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

// ---- CSV

void seq_csv_sink::begin() {
    if (m_headerWritten)
        return;
    m_out.append(s_header);
    m_out.append('\n');
    m_headerWritten = true;
}

void seq_csv_sink::event(const rt_info& e, address_t address) {
    { Put(m_out, 64) << e.time_ns << ',' << e.duration_ns << ',' << address << ','; }
    appendCsvField(m_out, mnemonicOf(e));
    const auto flag = [](bool value) { return value ? '1' : '0'; };
    Put(m_out, kLineRoom) << ',' << flag(e.play_valid) << ',' << e.wave_idx[0] << ','
                          << e.wave_idx[1] << ',' << flag(e.acquire_valid) << ',' << e.acq_idx
                          << ',' << e.bin_idx << ',' << e.weight_idx[0] << ',' << e.weight_idx[1]
                          << ',' << flag(e.param_valid) << ',' << e.awg_gain[0] << ','
                          << e.awg_gain[1] << ',' << e.awg_offs[0] << ',' << e.awg_offs[1] << ','
                          << e.ph_coarse << ',' << e.ph_fine << ',' << e.ph_ufine << ','
                          << e.ph_delta_coarse << ',' << e.ph_delta_fine << ',' << e.ph_delta_ufine
                          << ',' << e.mrk << '\n';
}

// ---- JSON Lines

void seq_jsonl_sink::event(const rt_info& e, address_t address) {
    {
        Put(m_out, 96) << "{\"time_ns\":" << e.time_ns << ",\"duration_ns\":" << e.duration_ns
                       << ",\"address\":" << address << ",\"mnemonic\":";
    }
    putJsonString(m_out, mnemonicOf(e));
    Put(m_out, kLineRoom)
        << ",\"play_valid\":" << boolean(e.play_valid) << ",\"wave_idx0\":" << e.wave_idx[0]
        << ",\"wave_idx1\":" << e.wave_idx[1] << ",\"acquire_valid\":" << boolean(e.acquire_valid)
        << ",\"acq_idx\":" << e.acq_idx << ",\"bin_idx\":" << e.bin_idx
        << ",\"weight_idx0\":" << e.weight_idx[0] << ",\"weight_idx1\":" << e.weight_idx[1]
        << ",\"param_valid\":" << boolean(e.param_valid) << ",\"awg_gain0\":" << e.awg_gain[0]
        << ",\"awg_gain1\":" << e.awg_gain[1] << ",\"awg_offs0\":" << e.awg_offs[0]
        << ",\"awg_offs1\":" << e.awg_offs[1] << ",\"ph_coarse\":" << e.ph_coarse
        << ",\"ph_fine\":" << e.ph_fine << ",\"ph_ufine\":" << e.ph_ufine
        << ",\"ph_delta_coarse\":" << e.ph_delta_coarse << ",\"ph_delta_fine\":" << e.ph_delta_fine
        << ",\"ph_delta_ufine\":" << e.ph_delta_ufine << ",\"mrk\":" << e.mrk << "}\n";
}
