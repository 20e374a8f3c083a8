#ifndef FORMATS_SEQ_LANES_H
#define FORMATS_SEQ_LANES_H

// The lanes of a real-time timeline and the colours of what is drawn in them, for every
// picture of a run (the SVG timeline, the Python package's plot): one lane for each of the
// two waveform paths, one for acquisitions and one for waits and parameter updates. Plays are
// coloured by wave index and acquisitions by acquisition index, so that repeated patterns
// stand out even where the boxes are too thin for labels.

#include "assembler/seq_sim.h"

#include <cstddef>
#include <cstdint>

namespace seq_lanes {

enum lane : int { path0, path1, acquisition, wait_update, num_lanes };

inline constexpr const char* names[num_lanes] = {"path 0", "path 1", "acquisition",
                                                 "wait / update"};
inline constexpr const char* wave_colours[] = {"#4e79a7", "#59a14f", "#b07aa1", "#76b7b2",
                                               "#9c755f", "#edc948", "#ff9da7", "#86bcb6"};
inline constexpr const char* acquisition_colours[] = {"#f28e2b", "#e15759", "#d37295", "#ffbe7d"};
inline constexpr const char* wait_colour = "#bab0ac";
inline constexpr const char* update_colour = "#8c8fd6";

// The lanes an entry is drawn in, as a set of bits 1 << lane: both waveform paths for a
// play, the acquisition lane for an acquisition, else the wait and update lane.
inline unsigned lanes_of(const seq_sim::rt_info& entry) {
    if (entry.play_valid)
        return 1u << path0 | 1u << path1;
    if (entry.acquire_valid)
        return 1u << acquisition;
    return 1u << wait_update;
}

// Colours by index; a negative index counts as its 32-bit two's complement.
template <std::size_t N> const char* colour_of(const char* const (&palette)[N], int32_t index) {
    return palette[static_cast<uint32_t>(index) % N];
}
inline const char* wave_colour(int32_t waveIndex) {
    return colour_of(wave_colours, waveIndex);
}
inline const char* acquisition_colour(int32_t acquisitionIndex) {
    return colour_of(acquisition_colours, acquisitionIndex);
}
// The colour in the wait and update lane: waits apart from parameter updates.
inline const char* wait_update_colour(seq_sim::event_kind kind) {
    return kind == seq_sim::event_kind::wait ? wait_colour : update_colour;
}

} // namespace seq_lanes

#endif
