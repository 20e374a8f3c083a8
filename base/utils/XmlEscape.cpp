#include "base/utils/XmlEscape.h"

std::string xmlEscape(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = byte(i);
        switch (c) {
        case '&':
            result += "&amp;";
            ++i;
            continue;
        case '<':
            result += "&lt;";
            ++i;
            continue;
        case '>':
            result += "&gt;";
            ++i;
            continue;
        case '"':
            result += "&quot;";
            ++i;
            continue;
        case '\'':
            result += "&apos;";
            ++i;
            continue;
        default:
            break;
        }
        if (c < 0x80) {
            result +=
                (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') ? static_cast<char>(c) : '?';
            ++i;
            continue;
        }
        // A UTF-8 sequence: lead byte, continuation bytes, and the limits of its second
        // byte that exclude overlong forms, surrogates and values beyond U+10FFFF.
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        }
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = byte(i + k);
            valid = k == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        }
        // U+FFFE and U+FFFF are no XML characters.
        if (valid && length == 3 && c == 0xEF && byte(i + 1) == 0xBF && byte(i + 2) >= 0xBE)
            valid = false;
        if (!valid) {
            result += '?';
            ++i;
            continue;
        }
        result.append(text.substr(i, length));
        i += length;
    }
    return result;
}
