#ifndef FORMATS_SEQ_HEX_FILE_H
#define FORMATS_SEQ_HEX_FILE_H

// Reads a program image as vexasm writes it: one 64-bit instruction word per line in
// exactly 16 hexadecimal digits (either case), the last line with or without a line feed.
// Vexa::loadImage makes the words a driver's program.

#include "base/utils/stringUtils.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

class seq_hex_file {
public:
    // Reads the file; false with `message` set when it cannot be opened or read, a line is
    // not an instruction word, or it holds more than `maxWords` words. The words read
    // before a failure are kept.
    bool read(const std::string& fileName, std::size_t maxWords, UIStr& message);
    // The same over a stream; `name` is the file name in messages.
    bool read(std::istream& in, const std::string& name, std::size_t maxWords, UIStr& message);

    const std::vector<uint64_t>& words() const { return m_words; }

private:
    std::vector<uint64_t> m_words;
};

#endif
