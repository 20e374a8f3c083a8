#include "formats/seq_jsonl_sink.h"

#include "formats/seq_event_columns.h"

#include <array>

namespace {

using namespace seq_event_columns;

// What comes before column I's value: the object's opening brace or a comma, and the key.
template <size_t I>
constexpr auto kKey = [] {
    constexpr std::string_view name = nameOf<I>;
    std::array<char, name.size() + 4> key{};
    key[0] = I == 0 ? '{' : ',';
    key[1] = '"';
    for (size_t k = 0; k < name.size(); ++k)
        key[k + 2] = name[k];
    key[name.size() + 2] = '"';
    key[name.size() + 3] = ':';
    return key;
}();

// Room for the line without its texts: each key with its value, and the closing "}\n".
constexpr size_t kLineRoom = sumOverColumns([](auto i) -> size_t {
                                 using T = ValueOf<i>;
                                 if constexpr (isText<i>)
                                     return kKey<i>.size();
                                 else if constexpr (std::is_same_v<T, bool>)
                                     return kKey<i>.size() + 5;
                                 else
                                     return kKey<i>.size() + RoomAppender::s_maxChars<T>;
                             }) +
                             2;
static_assert(kLineRoom <= TextOutput::s_blockSize);

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

} // namespace

void seq_jsonl_sink::event(const rt_info& e, address_t address) {
    RoomAppender put(m_out, kLineRoom);
    forEachColumn([&](auto i) {
        put << std::string_view(kKey<i>.data(), kKey<i>.size());
        const auto value = valueOf<i>(e, std::as_const(address));
        if constexpr (isText<i>)
            put.direct([value](TextOutput& out) { putJsonString(out, textOf(value)); });
        else if constexpr (std::is_same_v<decltype(value), const bool>)
            put << (value ? std::string_view("true") : std::string_view("false"));
        else
            put << value;
    });
    put << std::string_view("}\n");
}
