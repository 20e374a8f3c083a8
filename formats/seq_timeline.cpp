#include "formats/seq_timeline.h"

#include "base/utils/XmlEscape.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

namespace {

constexpr double kLaneStep = seq_timeline::s_laneHeight + seq_timeline::s_laneGap;
constexpr double kLanesHeight =
    static_cast<double>(seq_timeline::NUM_LANES) * kLaneStep - seq_timeline::s_laneGap;
constexpr double kAxisY = kLanesHeight + 8.0;
constexpr double kLegendY = kLanesHeight + 58.0;
constexpr double kWidth = seq_timeline::s_plotLeft + seq_timeline::s_plotWidth + 40.0;
constexpr double kHeight = seq_timeline::s_plotTop + kLegendY + 34.0;
// Width of one character of the 10 px box labels, a little more than the font's average.
constexpr double kLabelCharWidth = 6.2;

// printf-style formatting of the writer's own formats; user text is appended separately.
void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& out, const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length > 0)
        out.append(buffer, std::min(static_cast<std::size_t>(length), sizeof buffer - 1));
}

// The kind of each entry by its mnemonic, looked up once for a run of entries with the same
// mnemonic text.
class KindOfEntry {
public:
    seq_sim::event_kind operator()(const char* mnemonic) {
        if (mnemonic != m_mnemonic) {
            m_mnemonic = mnemonic;
            m_kind = seq_sim::kind_of(mnemonic);
        }
        return m_kind;
    }

private:
    const char* m_mnemonic = nullptr;
    seq_sim::event_kind m_kind = seq_sim::event_kind::none;
};

// A box, labelled in its middle when the label fits inside it.
void appendBox(std::string& out, double x, double width, int lane, const char* colour,
               const char* label) {
    const double y = lane * kLaneStep;
    appendf(out, "<rect x=\"%.3f\" y=\"%.1f\" width=\"%.3f\" height=\"%.1f\" fill=\"%s\"", x, y,
            width, seq_timeline::s_laneHeight, colour);
    // A separating outline only where it does not swallow the box.
    out += width >= 3.0 ? " stroke=\"#fff\" stroke-width=\"0.5\"/>" : "/>";
    const double labelWidth = static_cast<double>(std::strlen(label)) * kLabelCharWidth + 4.0;
    if (width >= labelWidth)
        appendf(out, "<text class=\"label\" x=\"%.3f\" y=\"%.1f\">%s</text>", x + width / 2.0,
                y + seq_timeline::s_laneHeight / 2.0 + 3.5, label);
}

int decimalDigits(uint64_t value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

} // namespace

seq_timeline::seq_timeline(std::string title) : m_title(std::move(title)) {}

uint64_t seq_timeline::endTime(const log_t& log) {
    uint64_t end = 1;
    for (const seq_sim::rt_info& entry : log)
        end = std::max(end, entry.time_ns + entry.duration_ns);
    return end;
}

uint64_t seq_timeline::scaleStep(uint64_t endTime) {
    const double end = static_cast<double>(std::max<uint64_t>(endTime, 1));
    const double minSpacing = std::max(60.0, decimalDigits(endTime) * 7.0 + 20.0);
    for (uint64_t power = 1;; power *= 10) {
        for (const uint64_t factor : {1u, 2u, 5u}) {
            if (power > UINT64_MAX / factor)
                return power; // the coarsest step there is
            const double step = static_cast<double>(power) * factor;
            if (step * s_plotWidth / end >= minSpacing)
                return power * factor;
        }
    }
}

void seq_timeline::write(std::ostream& os, const log_t& log) const {
    const uint64_t end = endTime(log);
    const double scale = s_plotWidth / static_cast<double>(end);
    const uint64_t step = scaleStep(end);

    std::string out;
    out.reserve(1u << 17); // written out whenever it passes 64 KiB
    appendf(out,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
            "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"11\">\n",
            kWidth, kHeight, kWidth, kHeight);
    out += "<style>.label{font-size:10px;text-anchor:middle;fill:#000}"
           ".lane{font-size:12px;text-anchor:end}.tick{text-anchor:middle}</style>\n";
    appendf(out, "<rect width=\"%.0f\" height=\"%.0f\" fill=\"#fff\"/>\n", kWidth, kHeight);
    out += "<text x=\"12\" y=\"24\" font-size=\"15\" font-weight=\"bold\">";
    out += xmlEscape(m_title);
    out += "</text>\n";
    appendf(out,
            "<text x=\"12\" y=\"42\" fill=\"#555\">%zu real-time entries, %" PRIu64
            " ns in all</text>\n",
            log.size(), log.empty() ? uint64_t{0} : end);

    appendf(out, "<g transform=\"translate(%.1f,%.1f)\">\n", s_plotLeft, s_plotTop);
    for (int lane = 0; lane < NUM_LANES; ++lane) {
        const double y = lane * kLaneStep;
        appendf(out,
                "<rect class=\"lane-bg\" x=\"0\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" "
                "fill=\"#f4f4f4\"/>"
                "<text class=\"lane\" x=\"-10\" y=\"%.1f\">%s</text>\n",
                y, s_plotWidth, s_laneHeight, y + s_laneHeight / 2.0 + 4.0, seq_lanes::names[lane]);
    }

    // Scale: grid lines through the lanes, marks and labels below them.
    appendf(out,
            "<g class=\"scale\" stroke=\"#000\"><line x1=\"0\" y1=\"%.1f\" x2=\"%.1f\" "
            "y2=\"%.1f\"/></g>\n",
            kAxisY, s_plotWidth, kAxisY);
    for (uint64_t t = 0; t <= end; t += step) {
        const double x = static_cast<double>(t) * scale;
        appendf(out,
                "<line x1=\"%.3f\" y1=\"0\" x2=\"%.3f\" y2=\"%.1f\" stroke=\"#ddd\"/>"
                "<line x1=\"%.3f\" y1=\"%.1f\" x2=\"%.3f\" y2=\"%.1f\" stroke=\"#000\"/>"
                "<text class=\"tick\" x=\"%.3f\" y=\"%.1f\">%" PRIu64 "</text>\n",
                x, x, kLanesHeight, x, kAxisY, x, kAxisY + 5.0, x, kAxisY + 18.0, t);
        if (end - t < step)
            break;
    }
    appendf(out, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">time (ns)</text>\n",
            s_plotWidth / 2.0, kAxisY + 34.0);

    char label[64];
    KindOfEntry kindOf;
    for (std::size_t i = 0; i < log.size(); ++i) {
        const seq_sim::rt_info& e = log[i];
        const char* mnemonic = e.str != nullptr ? e.str : "?";
        const double x = static_cast<double>(e.time_ns) * scale;
        const double width = static_cast<double>(e.duration_ns) * scale;
        appendf(out, "<g class=\"entry\" data-entry=\"%zu\"><title>@%" PRIu64 "ns %s %" PRIu64 "ns",
                i, e.time_ns, mnemonic, e.duration_ns);
        if (e.play_valid)
            appendf(out, "; wave idx 0:%d,1:%d", e.wave_idx[0], e.wave_idx[1]);
        if (e.acquire_valid)
            appendf(out, "; acq idx %d, bin idx %d, weight idx 0:%d,1:%d", e.acq_idx, e.bin_idx,
                    e.weight_idx[0], e.weight_idx[1]);
        if (e.param_valid)
            appendf(out, "; gain 0:%d,1:%d; offset 0:%d,1:%d; phase c:%d,f:%d,u:%d; marker %d",
                    e.awg_gain[0], e.awg_gain[1], e.awg_offs[0], e.awg_offs[1], e.ph_coarse,
                    e.ph_fine, e.ph_ufine, e.mrk);
        out += "</title>";
        const unsigned lanes = lanesOf(e);
        for (int path = 0; path < 2; ++path) {
            if ((lanes & 1u << (PATH0 + path)) != 0) {
                std::snprintf(label, sizeof label, "w%d", e.wave_idx[path]);
                appendBox(out, x, width, PATH0 + path, seq_lanes::wave_colour(e.wave_idx[path]),
                          label);
            }
        }
        if ((lanes & 1u << ACQUISITION) != 0) {
            std::snprintf(label, sizeof label, "a%d:b%d", e.acq_idx, e.bin_idx);
            appendBox(out, x, width, ACQUISITION, seq_lanes::acquisition_colour(e.acq_idx), label);
        }
        if ((lanes & 1u << WAIT_UPDATE) != 0)
            appendBox(out, x, width, WAIT_UPDATE, seq_lanes::wait_update_colour(kindOf(e.str)),
                      mnemonic);
        out += "</g>\n";
        if (out.size() > (1u << 16)) {
            os.write(out.data(), static_cast<std::streamsize>(out.size()));
            out.clear();
        }
    }
    if (m_envelope)
        appendEnvelope(out);
    out += "</g>\n";

    // Legend.
    appendf(out, "<g class=\"legend\" transform=\"translate(%.1f,%.1f)\">", s_plotLeft,
            s_plotTop + kLegendY);
    struct Item {
        const char* colour;
        const char* text;
    };
    const Item items[] = {
        {seq_lanes::wave_colours[1], "play, a box on each path (label: wave index)"},
        {seq_lanes::acquisition_colours[0], "acquire (label: acquisition:bin index)"},
        {seq_lanes::wait_colour, "wait, wait_trigger, wait_sync"},
        {seq_lanes::update_colour, "upd_param"}};
    double x = 0.0;
    for (const Item& item : items) {
        appendf(out,
                "<rect x=\"%.1f\" y=\"0\" width=\"12\" height=\"12\" fill=\"%s\"/>"
                "<text x=\"%.1f\" y=\"10\">%s</text>",
                x, item.colour, x + 17.0, item.text);
        x += 17.0 + static_cast<double>(std::strlen(item.text)) * 6.0 + 24.0;
    }
    out += "</g>\n</svg>\n";
    os.write(out.data(), static_cast<std::streamsize>(out.size()));
}

// Each path's band between its lowest and highest value, -1 at the bottom of its lane and 1 at
// the top: the outline along the highs, then back along the lows.
void seq_timeline::appendEnvelope(std::string& out) const {
    const double columnWidth = s_plotWidth / static_cast<double>(s_envelopeColumns);
    for (int path = 0; path < 2; ++path) {
        const double middle = (PATH0 + path) * kLaneStep + s_laneHeight / 2.0;
        const double half = s_laneHeight / 2.0 - 1.0;
        const auto y = [&](float value) { return middle - half * static_cast<double>(value); };
        appendf(out, "<path class=\"envelope\" fill=\"#000\" fill-opacity=\"0.35\" d=\"M0,%.2f",
                y(m_envelope->high[path][0]));
        for (size_t i = 0; i < s_envelopeColumns; ++i)
            appendf(out, "L%.2f,%.2f", (static_cast<double>(i) + 0.5) * columnWidth,
                    y(m_envelope->high[path][i]));
        for (size_t i = s_envelopeColumns; i-- > 0;)
            appendf(out, "L%.2f,%.2f", (static_cast<double>(i) + 0.5) * columnWidth,
                    y(m_envelope->low[path][i]));
        out += "Z\"/>\n";
    }
}

bool seq_timeline::save(const std::string& fileName, const log_t& log, UIStr& message) const {
    std::ofstream out(fileName, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        message = stringCat("Could not open output file '", fileName, "' for writing");
        return false;
    }
    write(out, log);
    out.close();
    if (out.fail()) {
        message = stringCat("Could not write output file '", fileName, "'");
        return false;
    }
    return true;
}
