#include "formats/seq_csv_sink.h"

namespace {

using namespace seq_event_columns;

// Room for the line without its texts: each value with its separator, and the line feed.
constexpr size_t kLineRoom = sumOverColumns([](auto i) -> size_t {
                                 using T = ValueOf<i>;
                                 if constexpr (isText<i>)
                                     return 1;
                                 else if constexpr (std::is_same_v<T, bool>)
                                     return 2;
                                 else
                                     return RoomAppender::s_maxChars<T> + 1;
                             }) +
                             1;
static_assert(kLineRoom <= TextOutput::s_blockSize);

} // namespace

void seq_csv_sink::begin() {
    if (m_headerWritten)
        return;
    m_out.append(s_header);
    m_out.append('\n');
    m_headerWritten = true;
}

void seq_csv_sink::event(const rt_info& e, address_t address) {
    RoomAppender put(m_out, kLineRoom);
    forEachColumn([&](auto i) {
        if constexpr (i > 0)
            put << ',';
        const auto value = valueOf<i>(e, std::as_const(address));
        if constexpr (isText<i>)
            put.direct([value](TextOutput& out) { appendCsvField(out, textOf(value)); });
        else if constexpr (std::is_same_v<decltype(value), const bool>)
            put << (value ? '1' : '0');
        else
            put << value;
    });
    put << '\n';
}
