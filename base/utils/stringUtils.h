// Message building, printf-style formatting into strings, and strict text-to-integer
// conversion with exact error texts.
#pragma once

#include <charconv>
#include <concepts>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

// Plain text meant for the user (messages, reports).
using UIStr = std::string;

size_t decimalStringLength(uint64_t value);
size_t decimalStringLength(uint32_t value);
size_t decimalStringLength(uint16_t value);
size_t decimalStringLength(int64_t value);
size_t decimalStringLength(int32_t value);
size_t decimalStringLength(int16_t value);

// Integer pieces of append_: every integral type except char (a character) and bool.
template <typename T>
concept IntegerPiece = std::integral<T> && !std::same_as<T, char> && !std::same_as<T, bool>;

namespace string_utils_detail {
template <IntegerPiece T> constexpr auto widen(T value) {
    if constexpr (std::is_signed_v<T>)
        return static_cast<int64_t>(value);
    else
        return static_cast<uint64_t>(value);
}
} // namespace string_utils_detail

// addLength: the running total plus the length every piece adds to a message.
inline size_t addLength(size_t total) {
    return total;
}

template <typename... Rest> size_t addLength(size_t total, const char* piece, const Rest&... rest);
template <typename... Rest>
size_t addLength(size_t total, std::string_view piece, const Rest&... rest);
template <typename... Rest>
size_t addLength(size_t total, const std::string& piece, const Rest&... rest);
template <typename... Rest> size_t addLength(size_t total, char piece, const Rest&... rest);
template <IntegerPiece T, typename... Rest>
size_t addLength(size_t total, T piece, const Rest&... rest);

template <typename... Rest> size_t addLength(size_t total, const char* piece, const Rest&... rest) {
    return addLength(total + (piece ? std::char_traits<char>::length(piece) : 0), rest...);
}
template <typename... Rest>
size_t addLength(size_t total, std::string_view piece, const Rest&... rest) {
    return addLength(total + piece.size(), rest...);
}
template <typename... Rest>
size_t addLength(size_t total, const std::string& piece, const Rest&... rest) {
    return addLength(total + piece.size(), rest...);
}
// The decimal length of the character code: an over-estimate that only affects reserving.
template <typename... Rest> size_t addLength(size_t total, char piece, const Rest&... rest) {
    return addLength(total + decimalStringLength(static_cast<int16_t>(piece)), rest...);
}
template <IntegerPiece T, typename... Rest>
size_t addLength(size_t total, T piece, const Rest&... rest) {
    return addLength(total + decimalStringLength(string_utils_detail::widen(piece)), rest...);
}

// appendPiece: appends one piece of a message.
inline void appendPiece(std::string& dest, const char* piece) {
    if (piece)
        dest.append(piece);
}
inline void appendPiece(std::string& dest, std::string_view piece) {
    dest.append(piece);
}
inline void appendPiece(std::string& dest, const std::string& piece) {
    dest.append(piece);
}
inline void appendPiece(std::string& dest, char piece) {
    dest.push_back(piece);
}
template <IntegerPiece T> void appendPiece(std::string& dest, T piece) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, piece);
    dest.append(buffer, result.ptr);
}

// Appends the pieces to `dest` in order: C strings, strings, string views, characters (as
// the character) and integers (in decimal). With `reserve` the destination grows once by
// the total length before anything is appended.
template <typename... Pieces>
void append_(bool reserve, std::string& dest, const Pieces&... pieces) {
    if (reserve)
        dest.reserve(dest.size() + addLength(0, pieces...));
    (appendPiece(dest, pieces), ...);
}

// A new string made of the pieces, reserved once.
template <typename First, typename... Rest>
std::string stringCat(const First& first, const Rest&... rest) {
    std::string result;
    append_(true, result, first, rest...);
    return result;
}

// printf-style formatting into `dest`, replacing its contents. Returns the new length, or
// the formatter's negative result (then `dest` is unchanged).
int strprintf(std::string& dest, const char* format, ...) __attribute__((format(printf, 2, 3)));
int strprintf(std::string& dest, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));

std::string toUpper(const std::string& text);
std::string toLower(const std::string& text);

// Replaces every occurrence of `from`, continuing after each inserted replacement.
void replaceAll(std::string& text, const std::string& from, const std::string& to);

const char* signalToString(int signal);

// A fast hash of a short text (mnemonics, labels, symbol and field names): eight bytes at a
// time, each mixed in by one multiplication, and a final mix so that texts differing only
// in their last characters spread over all bits. Not meant for keys chosen by an attacker.
inline size_t hashText(std::string_view text) noexcept {
    constexpr uint64_t factor = 0x9E3779B97F4A7C15ULL;
    const char* p = text.data();
    size_t n = text.size();
    uint64_t hash = factor ^ n;
    uint64_t word = 0;
    while (n >= 8) {
        std::memcpy(&word, p, 8);
        hash = (hash ^ word) * factor;
        hash ^= hash >> 32;
        p += 8;
        n -= 8;
    }
    if (n >= 4) {
        uint32_t first = 0;
        uint32_t last = 0;
        std::memcpy(&first, p, 4);
        std::memcpy(&last, p + n - 4, 4);
        hash = (hash ^ ((uint64_t{first} << 32) | last)) * factor;
    } else if (n > 0) {
        const uint64_t bytes = (uint64_t{static_cast<unsigned char>(p[0])} << 16) |
                               (uint64_t{static_cast<unsigned char>(p[n / 2])} << 8) |
                               static_cast<unsigned char>(p[n - 1]);
        hash = (hash ^ bytes) * factor;
    }
    hash ^= hash >> 29;
    hash *= 0xBF58476D1CE4E5B9ULL;
    hash ^= hash >> 32;
    return static_cast<size_t>(hash);
}

// The numbers sources usually hold, converted without the C routines: an optional minus
// sign, then a decimal number of 1 to 18 digits (the first not 0 unless it is the only one),
// "0x" or "0X" and 1 to 15 hexadecimal digits, or "0" and 1 to 20 octal digits. None of them
// can overflow. False for any other text, which stringToInt hands to the C routines.
inline bool convertPlainMagnitude(std::string_view text, bool& negative,
                                  uint64_t& magnitude) noexcept {
    const char* p = text.data();
    const char* const end = p + text.size();
    negative = p != end && *p == '-';
    if (negative)
        ++p;
    const auto length = static_cast<size_t>(end - p);
    if (length == 0)
        return false;
    uint64_t value = 0;
    if (*p != '0' || length == 1) {
        if (length > 18)
            return false;
        for (; p != end; ++p) {
            const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
            if (digit > 9)
                return false;
            value = value * 10 + digit;
        }
    } else if ((static_cast<unsigned char>(p[1]) | 0x20u) == 'x') {
        if (length < 3 || length > 17)
            return false;
        for (p += 2; p != end; ++p) {
            const unsigned byte = static_cast<unsigned char>(*p);
            unsigned digit = byte - unsigned{'0'};
            if (digit > 9) {
                digit = (byte | 0x20u) - unsigned{'a'};
                if (digit > 5)
                    return false;
                digit += 10;
            }
            value = value * 16 + digit;
        }
    } else {
        if (length > 21)
            return false;
        for (++p; p != end; ++p) {
            const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
            if (digit > 7)
                return false;
            value = value * 8 + digit;
        }
    }
    magnitude = value;
    return true;
}

// The signed value of such a text, as stringToInt gives it.
inline bool convertPlainInteger(std::string_view text, int64_t& result) noexcept {
    bool negative = false;
    uint64_t magnitude = 0;
    if (!convertPlainMagnitude(text, negative, magnitude))
        return false;
    result = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

// Equality of two texts with letters compared regardless of case.
bool equalIgnoringCase(std::string_view a, std::string_view b) noexcept;

// Equality of two texts; names and labels are short, and comparing them in a few word loads
// is quicker than calling memcmp.
inline bool equalText(std::string_view a, std::string_view b) noexcept {
    const size_t n = a.size();
    if (n != b.size())
        return false;
    const char* p = a.data();
    const char* q = b.data();
    if (n >= 8 && n <= 16) {
        uint64_t x[2] = {};
        uint64_t y[2] = {};
        std::memcpy(&x[0], p, 8);
        std::memcpy(&y[0], q, 8);
        std::memcpy(&x[1], p + n - 8, 8);
        std::memcpy(&y[1], q + n - 8, 8);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }
    if (n >= 4 && n < 8) {
        uint32_t x[2] = {};
        uint32_t y[2] = {};
        std::memcpy(&x[0], p, 4);
        std::memcpy(&y[0], q, 4);
        std::memcpy(&x[1], p + n - 4, 4);
        std::memcpy(&y[1], q + n - 4, 4);
        return ((x[0] ^ y[0]) | (x[1] ^ y[1])) == 0;
    }
    if (n < 4) {
        for (size_t i = 0; i < n; ++i)
            if (p[i] != q[i])
                return false;
        return true;
    }
    return std::memcmp(p, q, n) == 0;
}

// Strict conversion of the whole text (base 0: "0x" hexadecimal, leading "0" octal, else
// decimal; leading white space and a sign accepted). Throws std::invalid_argument for
// trailing characters and std::out_of_range for values outside a 16- or 32-bit result.
void stringToInt(int64_t& result, std::string_view text);
void stringToInt(uint64_t& result, std::string_view text);
void stringToInt(int32_t& result, std::string_view text);
void stringToInt(uint32_t& result, std::string_view text);
void stringToInt(int16_t& result, std::string_view text);
void stringToInt(uint16_t& result, std::string_view text);

std::invalid_argument invalidIntegerError(std::string_view text, size_t index);
std::out_of_range integerOutOfRangeError(std::string_view text, size_t bytes, bool isSigned);
