// Helpers of the simulator tests: instruction words from text, and the log of a test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Logging.h"
#include "sequencer/seqprocessor/SeqInstructionSet.h"

// Encodes "mnemonic op, op, ..." with `set`: registers R<n>, numbers in C notation (negative
// ones too). Throws std::invalid_argument for a text the set does not take.
inline instruction_t encodeInstruction(const SeqInstructionSet& set, const std::string& text) {
    const size_t blank = text.find(' ');
    SeqInstructionDef::Signature signature;
    std::vector<int64_t> values;
    for (size_t start = blank; start != std::string::npos && start < text.size();) {
        const size_t comma = text.find(',', start + 1);
        std::string op = text.substr(start + 1, comma - start - 1);
        op.erase(0, op.find_first_not_of(' '));
        if (op[0] == 'R') {
            signature.addRegisterArg('R');
            values.push_back(std::stoll(op.substr(1)));
        } else {
            signature.addImmediateArg();
            values.push_back(std::stoll(op, nullptr, 0));
        }
        start = comma;
    }
    const auto& def = set.find(text.substr(0, blank), signature);
    if (!def)
        throw std::invalid_argument("no variant for " + text);
    instruction_t word = 0;
    set.writeBaseFields(word, *def);
    for (size_t i = 0; i < values.size(); ++i)
        if (!def->getArg(static_cast<unsigned>(i)).setValue(word, values[i]))
            throw std::invalid_argument("operand out of range in " + text);
    return word;
}

// Captures the log at `level` while it lives; restores level and destination afterwards.
class LogCapture {
public:
    explicit LogCapture(int level = 7)
        : m_file(std::tmpfile()), m_oldFile(Logging::getLogFile()),
          m_oldLevel(Logging::getLogLevel()) {
        Logging::setLogFile(m_file);
        Logging::setLogLevel(level);
    }
    ~LogCapture() {
        Logging::setLogFile(m_oldFile);
        Logging::setLogLevel(m_oldLevel);
        std::fclose(m_file);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() const {
        std::fflush(m_file);
        std::rewind(m_file);
        std::string result;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0)
            result.append(buffer, n);
        return result;
    }

private:
    FILE* m_file;
    FILE* m_oldFile;
    int m_oldLevel;
};
