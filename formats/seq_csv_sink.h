// The real-time events as CSV while the simulation runs: a header line with the columns'
// names, then one line per event; booleans as 0 and 1. The columns are those of
// seq_event_columns.h.
#pragma once

#include "assembler/seq_event_writer.h"
#include "formats/seq_event_columns.h"

#include <array>
#include <string_view>

namespace seq_csv_detail {

inline constexpr std::array kHeader = [] {
    using namespace seq_event_columns;
    std::array<char, sumOverColumns([](auto i) { return nameOf<i>.size() + 1; }) - 1> text{};
    size_t p = 0;
    forEachColumn([&](auto i) {
        if (i > 0)
            text[p++] = ',';
        for (const char c : nameOf<i>)
            text[p++] = c;
    });
    return text;
}();

} // namespace seq_csv_detail

class seq_csv_sink : public seq_event_writer {
public:
    static constexpr std::string_view s_header{seq_csv_detail::kHeader.data(),
                                               seq_csv_detail::kHeader.size()};

    // Writes the header line once, before the first run's events.
    using seq_event_writer::seq_event_writer;
    void begin() override;
    void event(const rt_info& entry, address_t address) override;

private:
    bool m_headerWritten = false;
};
