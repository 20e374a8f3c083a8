#ifndef FORMATS_SEQ_TIMELINE_H
#define FORMATS_SEQ_TIMELINE_H

// Draws the simulator's real-time log as a standalone SVG timeline: time in ns on the
// horizontal axis with a labelled scale, one lane for each of the two waveform paths, one
// for acquisitions and one for waits and parameter updates, one box per log entry as wide
// as its duration, and a legend. The whole run spans a fixed width, so a long log gives
// thin boxes; a box is labelled only when its label fits inside it, so labels never
// overlap. Every entry carries a tooltip with its details. The lanes' names and colours are
// those of seq_lanes.h.

#include "assembler/seq_sim.h"
#include "base/utils/stringUtils.h"
#include "formats/seq_lanes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class seq_timeline {
public:
    using log_t = std::vector<seq_sim::rt_info>;

    // Layout, in px. The lanes and the scale are drawn in a group translated by
    // (s_plotLeft, s_plotTop), so a box starts at x = time * s_plotWidth / endTime(log).
    static constexpr double s_plotLeft = 120.0;
    static constexpr double s_plotTop = 56.0;
    static constexpr double s_plotWidth = 1000.0;
    static constexpr double s_laneHeight = 30.0;
    static constexpr double s_laneGap = 6.0;

    enum Lane {
        PATH0 = seq_lanes::path0,
        PATH1 = seq_lanes::path1,
        ACQUISITION = seq_lanes::acquisition,
        WAIT_UPDATE = seq_lanes::wait_update,
        NUM_LANES = seq_lanes::num_lanes
    };

    // `title` heads the picture (typically the simulated file's name).
    explicit seq_timeline(std::string title);

    // The end of the last entry, at least 1 so that the scale is defined.
    static uint64_t endTime(const log_t& log);
    // The distance between labelled scale marks, a 1, 2 or 5 times a power of ten, chosen so
    // that neighbouring labels keep apart.
    static uint64_t scaleStep(uint64_t endTime);
    // The lanes an entry is drawn in, as a set of bits 1 << Lane: both waveform paths for a
    // play, the acquisition lane for an acquisition, else the wait and update lane.
    static unsigned lanesOf(const seq_sim::rt_info& entry) { return seq_lanes::lanes_of(entry); }

    // The rendered output of the two paths, column by column: the lowest and the highest
    // value of each path over the time that one of s_envelopeColumns columns of the plot spans.
    static constexpr size_t s_envelopeColumns = 1000;
    struct envelope {
        float low[2][s_envelopeColumns];
        float high[2][s_envelopeColumns];
    };
    // Draws the envelope, when given, over the boxes of the path lanes.
    void setEnvelope(std::shared_ptr<const envelope> outline) { m_envelope = std::move(outline); }

    void write(std::ostream& out, const log_t& log) const;
    // Writes the picture to a file; false with `message` set when it cannot be written.
    bool save(const std::string& fileName, const log_t& log, UIStr& message) const;

private:
    void appendEnvelope(std::string& out) const;

    std::string m_title;
    std::shared_ptr<const envelope> m_envelope;
};

#endif
