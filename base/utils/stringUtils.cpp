#include "base/utils/stringUtils.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

namespace {

template <std::unsigned_integral T> size_t unsignedLength(T value) {
    size_t length = 1;
    while (value >= 10) {
        value /= 10;
        ++length;
    }
    return length;
}

template <std::signed_integral T> size_t signedLength(T value) {
    using U = std::make_unsigned_t<T>;
    if (value >= 0)
        return unsignedLength(static_cast<U>(value));
    // Negate in the unsigned type so that the smallest value does not overflow.
    return 1 + unsignedLength(static_cast<U>(U(0) - static_cast<U>(value)));
}

// The text as a NUL-terminated string for the C conversion routines; short texts stay on
// the stack.
class CString {
public:
    explicit CString(std::string_view text) {
        if (text.size() < sizeof m_buffer) {
            text.copy(m_buffer, text.size());
            m_buffer[text.size()] = '\0';
            m_data = m_buffer;
        } else {
            m_heap.assign(text);
            m_data = m_heap.c_str();
        }
    }
    const char* c_str() const { return m_data; }

private:
    char m_buffer[64];
    std::string m_heap;
    const char* m_data;
};

int64_t convertSigned(std::string_view text) {
    bool negative = false;
    uint64_t magnitude = 0;
    if (convertPlainMagnitude(text, negative, magnitude))
        return negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    const CString cText(text);
    char* end = nullptr;
    const long long value = std::strtoll(cText.c_str(), &end, 0);
    const size_t consumed = static_cast<size_t>(end - cText.c_str());
    if (consumed != text.size())
        throw invalidIntegerError(text, consumed);
    return value;
}

uint64_t convertUnsigned(std::string_view text) {
    bool negative = false;
    uint64_t magnitude = 0;
    // strtoull negates a value after a minus sign in the unsigned type; so does this.
    if (convertPlainMagnitude(text, negative, magnitude))
        return negative ? 0 - magnitude : magnitude;
    const CString cText(text);
    char* end = nullptr;
    const unsigned long long value = std::strtoull(cText.c_str(), &end, 0);
    const size_t consumed = static_cast<size_t>(end - cText.c_str());
    if (consumed != text.size())
        throw invalidIntegerError(text, consumed);
    return value;
}

template <std::signed_integral T> void toSigned(T& result, std::string_view text) {
    const int64_t value = convertSigned(text);
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
        throw integerOutOfRangeError(text, sizeof(T), true);
    result = static_cast<T>(value);
}

bool hasMinusSign(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\n\v\f\r");
    return first != std::string_view::npos && text[first] == '-';
}

// The conversion negates a value after a minus sign in the unsigned type, so a negative
// text would come back as a large number (or, for -4294967295, as a small one); any
// negative value other than zero is out of range for these widths.
template <std::unsigned_integral T> void toUnsigned(T& result, std::string_view text) {
    const uint64_t value = convertUnsigned(text);
    if (value > std::numeric_limits<T>::max() || (value != 0 && hasMinusSign(text)))
        throw integerOutOfRangeError(text, sizeof(T), false);
    result = static_cast<T>(value);
}

} // namespace

size_t decimalStringLength(uint64_t value) {
    return unsignedLength(value);
}
size_t decimalStringLength(uint32_t value) {
    return unsignedLength(value);
}
size_t decimalStringLength(uint16_t value) {
    return unsignedLength(value);
}
size_t decimalStringLength(int64_t value) {
    return signedLength(value);
}
size_t decimalStringLength(int32_t value) {
    return signedLength(value);
}
size_t decimalStringLength(int16_t value) {
    return signedLength(value);
}

int strprintf(std::string& dest, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int result = strprintf(dest, format, args);
    va_end(args);
    return result;
}

int strprintf(std::string& dest, const char* format, va_list args) {
    char buffer[1024];
    va_list retry;
    va_copy(retry, args);
    const int needed = vsnprintf(buffer, sizeof buffer, format, args);
    if (needed < 0) {
        va_end(retry);
        return needed;
    }
    if (static_cast<size_t>(needed) < sizeof buffer) {
        dest.assign(buffer, static_cast<size_t>(needed));
    } else {
        const size_t size = static_cast<size_t>(needed) + 1;
        const auto large = std::make_unique<char[]>(size);
        const int written = vsnprintf(large.get(), size, format, retry);
        if (written < 0) {
            va_end(retry);
            return written;
        }
        dest.assign(large.get(), static_cast<size_t>(written));
    }
    va_end(retry);
    return static_cast<int>(dest.size());
}

std::string toUpper(const std::string& text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string toLower(const std::string& text) {
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    // An empty pattern would match everywhere without ever advancing.
    if (from.empty())
        return;
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

const char* signalToString(int signal) {
    switch (signal) {
    case 2:
        return "Keyboard Interrupt";
    case 4:
        return "Illegal Instruction";
    case 6:
        return "Abort";
    case 8:
        return "Floating Point Exception";
    case 11:
        return "Segmentation Fault";
    case 15:
        return "Terminate";
    default:
        return "Unknown Signal";
    }
}

void stringToInt(int64_t& result, std::string_view text) {
    result = convertSigned(text);
}
void stringToInt(uint64_t& result, std::string_view text) {
    result = convertUnsigned(text);
}
void stringToInt(int32_t& result, std::string_view text) {
    toSigned(result, text);
}
void stringToInt(uint32_t& result, std::string_view text) {
    toUnsigned(result, text);
}
void stringToInt(int16_t& result, std::string_view text) {
    toSigned(result, text);
}
void stringToInt(uint16_t& result, std::string_view text) {
    toUnsigned(result, text);
}

std::invalid_argument invalidIntegerError(std::string_view text, size_t index) {
    const char invalid = index < text.size() ? text[index] : '\0';
    return std::invalid_argument(stringCat("Value '", text, "' is not a valid integer. ",
                                           "Invalid character '", invalid, "' at index ", index));
}

std::out_of_range integerOutOfRangeError(std::string_view text, size_t bytes, bool isSigned) {
    return std::out_of_range(stringCat("Value '", text, "' is out of range for an ", bytes * 8,
                                       " bits ", isSigned ? "signed" : "unsigned", " integer"));
}

bool equalIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
