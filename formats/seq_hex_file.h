#ifndef FORMATS_SEQ_HEX_FILE_H
#define FORMATS_SEQ_HEX_FILE_H

// Reads a program image as vexasm writes it: one 64-bit instruction word per line in
// exactly 16 hexadecimal digits (either case), the last line with or without a line feed.
// loadHexImage reads one and makes its words a driver's program.

#include "base/utils/stringUtils.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

class Vexa;

class seq_hex_file {
public:
    // Reads the file; false with `message` set when it cannot be opened or read, a line is
    // not an instruction word, or it holds more than `maxWords` words. The words read
    // before a failure are kept.
    bool read(const std::string& fileName, std::size_t maxWords, UIStr& message);
    // The same over a stream; `name` is the file name in messages.
    bool read(std::istream& in, const std::string& name, std::size_t maxWords, UIStr& message);

    const std::vector<uint64_t>& words() const { return m_words; }
    // The line that made the latest read fail (malformed or one word too many); 0 when it
    // did not fail there.
    uint64_t errorLine() const { return m_errorLine; }

private:
    std::vector<uint64_t> m_words;
    uint64_t m_errorLine = 0;
};

// How loading an image into a driver ended.
struct seq_image_load {
    enum class outcome {
        loaded,
        unreadable, // the file could not be opened or read
        malformed,  // a line is no instruction word, or there are too many (at `line`)
        refused,    // the driver did not take the words
    };
    outcome result = outcome::loaded;
    uint64_t line = 0;
    UIStr message; // why it was not loaded, naming the file and line
    std::size_t words = 0;

    explicit operator bool() const { return result == outcome::loaded; }
};

// Reads the .hex file `fileName` and makes its words the program of `driver`.
seq_image_load loadHexImage(Vexa& driver, const std::string& fileName);
// The same over a stream; `name` is the file name in messages.
seq_image_load loadHexImage(Vexa& driver, std::istream& in, const std::string& name);

#endif
