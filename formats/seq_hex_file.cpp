#include "formats/seq_hex_file.h"

#include "sequencer/Vexa.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <filesystem>
#include <fstream>

namespace {

constexpr std::size_t kDigits = 16;
// A malformed line is quoted up to this many bytes; the rest is neither kept nor shown.
constexpr std::size_t kQuoteLimit = 40;

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool seq_hex_file::read(const std::string& fileName, std::size_t maxWords, UIStr& message) {
    m_words.clear();
    m_errorLine = 0;
    std::ifstream in;
    std::error_code error;
    // A directory opens like a file on some systems but yields no text.
    if (!std::filesystem::is_directory(fileName, error))
        in.open(fileName, std::ios::in | std::ios::binary);
    if (!in.is_open()) {
        message = stringCat("Could not open input file '", fileName, "' for reading");
        return false;
    }
    return read(in, fileName, maxWords, message);
}

bool seq_hex_file::read(std::istream& in, const std::string& name, std::size_t maxWords,
                        UIStr& message) {
    m_words.clear();
    m_errorLine = 0;
    std::string line; // only the first kQuoteLimit + 1 bytes of a line are kept
    line.reserve(kQuoteLimit + 1);
    uint64_t lineNumber = 0;
    // A failed read (EIO, for example) is thrown by the stream buffer.
    const auto readError = [&] {
        message = stringCat(name, ":", lineNumber + 1, ": read error");
        return false;
    };
    std::streambuf* const buffer = in.rdbuf();
    if (buffer == nullptr)
        return readError();
    bool atEnd = false;
    while (!atEnd) {
        line.clear();
        std::size_t length = 0;
        uint64_t word = 0;
        bool digitsOnly = true;
        for (;;) {
            std::streambuf::int_type next = 0;
            try {
                next = buffer->sbumpc();
            } catch (...) {
                return readError();
            }
            if (next == std::streambuf::traits_type::eof()) {
                atEnd = true;
                break;
            }
            const char c = std::streambuf::traits_type::to_char_type(next);
            if (c == '\n')
                break;
            const int digit = hexDigit(c);
            if (digit < 0)
                digitsOnly = false;
            else
                word = (word << 4) | static_cast<uint64_t>(digit);
            if (line.size() <= kQuoteLimit)
                line.push_back(c);
            ++length;
        }
        if (atEnd && length == 0)
            break; // after the final line feed, or an empty file
        ++lineNumber;
        if (length != kDigits || !digitsOnly) {
            std::string quoted = line.substr(0, kQuoteLimit);
            if (length > kQuoteLimit)
                quoted += "...";
            message = stringCat(name, ":", lineNumber, ": malformed instruction word '", quoted,
                                "' (expected 16 hexadecimal digits)");
            m_errorLine = lineNumber;
            return false;
        }
        if (m_words.size() == maxWords) {
            message =
                stringCat(name, ":", lineNumber, ": more than ", maxWords, " instruction words");
            m_errorLine = lineNumber;
            return false;
        }
        m_words.push_back(word);
    }
    return true;
}

namespace {

template <class Read> seq_image_load loadWith(Vexa& driver, Read read) {
    seq_image_load load;
    seq_hex_file hex;
    if (!read(hex, driver.processor()->instructionMemSizeWords(), load.message)) {
        load.line = hex.errorLine();
        load.result = load.line != 0 ? seq_image_load::outcome::malformed
                                     : seq_image_load::outcome::unreadable;
        return load;
    }
    if (!driver.loadImage(hex.words(), load.message)) {
        load.result = seq_image_load::outcome::refused;
        return load;
    }
    load.words = hex.words().size();
    return load;
}

} // namespace

seq_image_load loadHexImage(Vexa& driver, const std::string& fileName) {
    return loadWith(driver, [&](seq_hex_file& hex, std::size_t maxWords, UIStr& message) {
        return hex.read(fileName, maxWords, message);
    });
}

seq_image_load loadHexImage(Vexa& driver, std::istream& in, const std::string& name) {
    return loadWith(driver, [&](seq_hex_file& hex, std::size_t maxWords, UIStr& message) {
        return hex.read(in, name, maxWords, message);
    });
}
