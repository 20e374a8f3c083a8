// The timeline's lanes and colours (formats/seq_lanes.h) and the kind of each event, for the
// package's plot: it draws with the names and colours of the SVG timeline.

#include "bindings.h"

#include "assembler/seq_sim.h"
#include "formats/seq_lanes.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

namespace py = vexa_py::py;

template <std::size_t N> py::tuple texts(const char* const (&items)[N]) {
    py::tuple result(N);
    for (std::size_t i = 0; i < N; ++i)
        result[i] = py::str(items[i]);
    return result;
}

// The kind of every event from its mnemonic: an array of str (as the events' "mnemonic"
// column), or anything numpy turns into one. One uint8 per event, the index of its kind in
// EVENT_KIND_NAMES.
py::array_t<uint8_t> eventKinds(const py::object& column) {
    py::array mnemonics = py::module_::import("numpy").attr("asarray")(column);
    if (mnemonics.dtype().kind() != 'U')
        mnemonics = mnemonics.attr("astype")("U");
    // Read in the machine's byte order.
    const char order = mnemonics.dtype().byteorder();
    if (order != '=' && order != '|')
        mnemonics = mnemonics.attr("astype")(mnemonics.dtype().attr("newbyteorder")("="));
    if (mnemonics.ndim() != 1)
        throw py::value_error("mnemonics must be one-dimensional");
    const auto count = static_cast<std::size_t>(mnemonics.shape(0));
    const auto itemsize = static_cast<std::size_t>(mnemonics.itemsize());
    const py::ssize_t stride = mnemonics.strides(0);
    const auto* data = static_cast<const char*>(mnemonics.data());
    py::array_t<uint8_t> result(static_cast<py::ssize_t>(count));
    uint8_t* out = result.mutable_data();
    {
        const py::gil_scoped_release release;
        std::string mnemonic;
        const char* previous = nullptr;
        uint8_t kind = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char* item = data + static_cast<py::ssize_t>(i) * stride;
            // Events of one instruction come in runs: look each text up once per run.
            if (previous == nullptr || std::memcmp(item, previous, itemsize) != 0) {
                mnemonic.clear();
                bool ascii = true;
                for (std::size_t k = 0; k + 4 <= itemsize; k += 4) {
                    char32_t c;
                    std::memcpy(&c, item + k, sizeof c);
                    if (c == 0)
                        break;
                    ascii = ascii && c < 0x80;
                    mnemonic += static_cast<char>(c);
                }
                // No mnemonic has other characters.
                kind = static_cast<uint8_t>(ascii ? seq_sim::kind_of(mnemonic.c_str())
                                                  : seq_sim::event_kind::none);
                previous = item;
            }
            out[i] = kind;
        }
    }
    return result;
}

} // namespace

void vexa_py::init_lanes(py::module_& m) {
    m.attr("LANE_NAMES") = texts(seq_lanes::names);
    m.attr("WAVE_COLOURS") = texts(seq_lanes::wave_colours);
    m.attr("ACQUISITION_COLOURS") = texts(seq_lanes::acquisition_colours);
    m.attr("WAIT_COLOUR") = py::str(seq_lanes::wait_colour);
    m.attr("UPDATE_COLOUR") = py::str(seq_lanes::update_colour);
    m.attr("EVENT_KIND_NAMES") = texts(seq_sim::event_kind_names);
    m.def("event_kinds", &eventKinds, py::arg("mnemonics"));
}
