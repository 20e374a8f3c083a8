// Shared set-up of the fuzz targets: logging is silenced once per process so that the
// targets measure the code under test rather than the log writer.
#pragma once

#include "base/Logging.h"

#include <cstddef>
#include <cstdint>
#include <string>

inline void fuzzQuietLogging() {
    static const bool done = [] {
        Logging::open("vexa_fuzz", Logging::quietLevel, nullptr);
        Logging::setLogLevel(Logging::quietLevel);
        return true;
    }();
    (void)done;
}

// Reads little-endian integers from the front of the fuzzer's input.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    template <typename T> T take() {
        T value = 0;
        for (size_t i = 0; i < sizeof(T) && m_pos < m_size; ++i)
            value =
                static_cast<T>(value | static_cast<T>(static_cast<T>(m_data[m_pos++]) << (8 * i)));
        return value;
    }
    std::string rest() const {
        return std::string(reinterpret_cast<const char*>(m_data) + m_pos, m_size - m_pos);
    }
    size_t remaining() const { return m_size - m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
