// Character classes as 256-entry membership tables, and the predefined classes. Every test
// is one table look-up; filters are plain values without heap memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

class CharFilter {
public:
    constexpr CharFilter() = default;

    // The table index of a character: its value as an unsigned byte.
    static constexpr size_t index(char c) { return static_cast<unsigned char>(c); }

    constexpr void include(char c) { m_accepted[index(c)] = true; }
    constexpr void include(const char* text) { set(text, true); }
    constexpr void include(const std::string& text) { set(std::string_view(text), true); }
    constexpr void include(std::string_view text) { set(text, true); }
    constexpr void include(const CharFilter& other) {
        if (!std::is_constant_evaluated()) {
            combine(other, [](uint64_t a, uint64_t b) { return a | b; });
            return;
        }
        for (size_t i = 0; i < size; ++i)
            m_accepted[i] = m_accepted[i] || other.m_accepted[i];
    }
    // Every character for which the function returns true.
    void include(bool (*predicate)(char));
    // Every character for which the <cctype>-style function returns non-zero; it is called
    // with the character's unsigned byte value, as those functions require.
    void include(int (*predicate)(int));

    constexpr void exclude(char c) { m_accepted[index(c)] = false; }
    constexpr void exclude(const char* text) { set(text, false); }
    constexpr void exclude(const std::string& text) { set(std::string_view(text), false); }
    constexpr void exclude(std::string_view text) { set(text, false); }
    constexpr void exclude(const CharFilter& other) {
        if (!std::is_constant_evaluated()) {
            combine(other, [](uint64_t a, uint64_t b) { return a & ~b; });
            return;
        }
        for (size_t i = 0; i < size; ++i)
            m_accepted[i] = m_accepted[i] && !other.m_accepted[i];
    }
    void exclude(bool (*predicate)(char));
    void exclude(int (*predicate)(int));

    constexpr CharFilter& invert() {
        if (!std::is_constant_evaluated()) {
            // Each entry is one byte holding 0 or 1.
            combine(*this, [](uint64_t a, uint64_t) { return a ^ 0x0101010101010101ULL; });
            return *this;
        }
        for (bool& accepted : m_accepted)
            accepted = !accepted;
        return *this;
    }
    constexpr CharFilter inverse() const {
        CharFilter result(*this);
        return result.invert();
    }
    constexpr CharFilter operator!() const { return inverse(); }

    constexpr CharFilter operator|=(const CharFilter& other) {
        include(other);
        return *this;
    }
    constexpr CharFilter operator&=(const CharFilter& other) {
        if (!std::is_constant_evaluated()) {
            combine(other, [](uint64_t a, uint64_t b) { return a & b; });
            return *this;
        }
        for (size_t i = 0; i < size; ++i)
            m_accepted[i] = m_accepted[i] && other.m_accepted[i];
        return *this;
    }
    constexpr CharFilter operator|(const CharFilter& other) const {
        CharFilter result(*this);
        result |= other;
        return result;
    }
    constexpr CharFilter operator&(const CharFilter& other) const {
        CharFilter result(*this);
        result &= other;
        return result;
    }

    constexpr bool accept(char c) const { return m_accepted[index(c)]; }
    constexpr bool operator()(char c) const { return m_accepted[index(c)]; }
    // False for an empty text, else whether every character is accepted.
    constexpr bool accept(std::string_view text) const {
        if (text.empty())
            return false;
        for (char c : text)
            if (!m_accepted[index(c)])
                return false;
        return true;
    }
    bool accept(const std::string& text) const { return accept(std::string_view(text)); }
    constexpr bool accept(const char* data, size_t n) const {
        return accept(std::string_view(data, data ? n : 0));
    }
    constexpr bool accept(const char* text) const {
        return text ? accept(std::string_view(text)) : false;
    }

    constexpr bool operator==(const CharFilter& other) const = default;

private:
    static constexpr size_t size = 256;

    // Entry-wise operations eight entries at a time (building the syntax's classes at start).
    template <typename Op> void combine(const CharFilter& other, Op op) {
        static_assert(sizeof(bool) == 1);
        for (size_t i = 0; i < size; i += 8) {
            uint64_t a = 0;
            uint64_t b = 0;
            std::memcpy(&a, m_accepted.data() + i, 8);
            std::memcpy(&b, other.m_accepted.data() + i, 8);
            a = op(a, b);
            std::memcpy(m_accepted.data() + i, &a, 8);
        }
    }

    constexpr void set(const char* text, bool value) {
        if (text)
            for (; *text != '\0'; ++text)
                m_accepted[index(*text)] = value;
    }
    constexpr void set(std::string_view text, bool value) {
        for (char c : text)
            m_accepted[index(c)] = value;
    }

    std::array<bool, size> m_accepted{};
};

namespace char_filters_detail {
constexpr CharFilter of(std::string_view characters) {
    CharFilter filter;
    filter.include(characters);
    return filter;
}
constexpr CharFilter printable() {
    // What isprint accepts in the "C" locale, the locale every program starts in.
    CharFilter filter;
    for (int c = 0x20; c <= 0x7e; ++c)
        filter.include(static_cast<char>(c));
    return filter;
}
} // namespace char_filters_detail

// The predefined character classes. They are constant tables, so they are complete before
// any other static object is built from them.
struct CharFilters {
    static constexpr CharFilter isSpace = char_filters_detail::of(" \t\v\f\r\n");
    static constexpr CharFilter isEndOfLine = char_filters_detail::of("\n\r");
    static constexpr CharFilter isDigit = char_filters_detail::of("-0123456789");
    static constexpr CharFilter isXLowerDigit = char_filters_detail::of("0123456789abcdefx");
    static constexpr CharFilter isXUpperDigit = char_filters_detail::of("0123456789ABCDEFX");
    static constexpr CharFilter isXDigit = isXLowerDigit | isXUpperDigit;
    static constexpr CharFilter isODigit = char_filters_detail::of("01234567");
    static constexpr CharFilter isLower = char_filters_detail::of("abcdefghijklmnopqrstuvwxyz");
    static constexpr CharFilter isUpper = char_filters_detail::of("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    static constexpr CharFilter isAlpha = isLower | isUpper;
    static constexpr CharFilter isAlnum = isAlpha | isDigit;
    static constexpr CharFilter isPrint = char_filters_detail::printable();
};

// The position of the first character of `text` at or after `pos` that is no white space
// (CharFilters::isSpace), or the text's length. Runs of blanks, the usual column padding of
// assembly sources, are skipped eight at a time.
inline size_t skipSpace(std::string_view text, size_t pos) noexcept {
    constexpr uint64_t blanks = 0x2020202020202020ULL;
    uint64_t word = 0;
    while (pos + 8 <= text.size() && (std::memcpy(&word, text.data() + pos, 8), word == blanks))
        pos += 8;
    while (pos < text.size() && CharFilters::isSpace(text[pos]))
        ++pos;
    return pos;
}
