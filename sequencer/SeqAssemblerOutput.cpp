// Output of SeqAssembler: the program in instruction memory as hex text or as disassembled
// source, the timer report and the CPU information block.

#include <climits>
#include <fstream>
#include <iomanip>
#include <iostream>

#include "base/Logging.h"
#include "base/utils/CharFilter.h"
#include "base/utils/stringUtils.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/seqprocessor/SeqArgument.h"
#include "sequencer/seqprocessor/SeqInstructionSet.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

namespace {

void writeNoMemoryError() {
    std::cerr << "ERROR: No instruction memory available." << '\n';
}

} // namespace

namespace {

// The two lower-case hexadecimal digits of every byte value.
struct HexPairs {
    char digits[256][2];
    constexpr HexPairs() : digits{} {
        constexpr char hex[] = "0123456789abcdef";
        for (int byte = 0; byte < 256; ++byte) {
            digits[byte][0] = hex[byte >> 4];
            digits[byte][1] = hex[byte & 0xF];
        }
    }
};
constexpr HexPairs hexPairs;

} // namespace

bool SeqAssembler::writeHexLines(std::ostream& out) {
    // Lines are formatted into one chunk and handed to the stream in large writes: 16
    // lower-case hex digits and a line feed per word, no prefix, no address.
    constexpr size_t lineLength = 17;
    constexpr size_t linesPerChunk = 240;
    char chunk[lineLength * linesPerChunk];
    size_t used = 0;
    const address_t size = instructionMemSize();
    for (address_t address = 0; address < m_numInstr; ++address) {
        if (address >= size) {
            // Keep what was formatted, then let the checked read raise its error.
            out.write(chunk, static_cast<std::streamsize>(used));
            m_SP->readInstructionMem(address);
        }
        const instruction_t word = m_SP->readInstructionMem(address);
        char* line = chunk + used;
        for (int byte = 0; byte < 8; ++byte) {
            const auto value = static_cast<unsigned>((word >> (56 - 8 * byte)) & 0xFF);
            line[2 * byte] = hexPairs.digits[value][0];
            line[2 * byte + 1] = hexPairs.digits[value][1];
        }
        line[16] = '\n';
        used += lineLength;
        if (used == sizeof(chunk)) {
            out.write(chunk, static_cast<std::streamsize>(used));
            used = 0;
        }
    }
    out.write(chunk, static_cast<std::streamsize>(used));
    return !out.fail();
}

bool SeqAssembler::printHexOutput(std::ostream& out) {
    if (instructionMemSize() == 0) {
        writeNoMemoryError();
        return false;
    }
    // The lines do not depend on the stream's flags, but the stream is switched to
    // hexadecimal with fill '0' for them and afterwards left in decimal with blank fill, so
    // a caller writing numbers after the dump gets them in decimal.
    out << std::hex << std::setfill('0');
    const bool written = writeHexLines(out);
    out << std::dec << std::setfill(' ');
    if (!written) {
        std::cerr << "ERROR: could not write hex output" << '\n';
        return false;
    }
    return true;
}

bool SeqAssembler::saveHexOutput(const std::string& fileName) {
    std::ofstream file(fileName, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        std::cerr << "ERROR: could not open file " << fileName << " for writing" << '\n';
        return false;
    }
    if (instructionMemSize() == 0) {
        writeNoMemoryError();
        return false;
    }
    bool written = writeHexLines(file);
    // A full disk often shows only when the last buffer is written out by the close.
    file.close();
    written = written && !file.fail();
    if (!written) {
        std::cerr << "ERROR: could not write file " << fileName << '\n';
    }
    return written;
}

bool SeqAssembler::disassemble(instruction_t word, address_t address, AsmInstruction& instruction) {
    instruction.setAddress(address);
    if (m_SP == nullptr) {
        return false;
    }
    const auto definition = m_SP->findInstructionForBinary(word);
    if (definition) {
        instruction.setCommand(definition->mnemonic());
        for (const auto& argumentDef : definition->arguments()) {
            // The raw field contents, without sign extension.
            AsmArgument argument(
                static_cast<AsmArgument::int_type>(argumentDef->field()->get(word)));
            const std::string& registerName = argumentDef->registerName();
            if (!registerName.empty() && CharFilters::isAlpha(registerName.front())) {
                argument.setRegisterName(registerName.front());
            }
            instruction.addArg(std::move(argument));
        }
        return true;
    }

    const unsigned opcode = m_SP->getInstructionOpcode(word);
    const auto& variations = m_SP->instructionSet().find(static_cast<id_t>(opcode));
    if (variations) {
        instruction.setCommand(stringCat(variations->mnemonic(), "_UNKNOWN_select_",
                                         m_SP->getInstructionSelect(word)));
    } else {
        instruction.setCommand(stringCat("UNKNOWN_opcode_", opcode));
    }
    return false;
}

bool SeqAssembler::disassemble(instruction_t word, address_t address, std::ostream& out) {
    AsmInstruction instruction;
    const bool decoded = disassemble(word, address, instruction);
    int column = 0;
    m_parser.unparseInstruction(out, instruction, column);
    return decoded;
}

int SeqAssembler::disassemble(std::ostream& out) {
    int failures = 0;
    for (address_t address = 0; address < m_numInstr; ++address) {
        // The checked read raises the "Attempt to read instruction ..." error beyond the end.
        const instruction_t word = m_SP->readInstructionMem(address);
        if (!disassemble(word, address, out)) {
            ++failures;
        }
        out << std::endl;
    }
    return failures;
}

int SeqAssembler::saveDisassemble(const std::string& fileName) {
    std::ofstream file(fileName, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        std::cerr << "Could not open file \"" << fileName << "\" for writing" << '\n';
        return -1;
    }
    const int failures = disassemble(file);
    file.close();
    if (file.fail()) {
        std::cerr << "Could not write file \"" << fileName << "\"" << '\n';
        return -1;
    }
    return failures;
}

void SeqAssembler::printTimers(const std::string& title) const {
    if (Logging::isLogLevelActive(LogLevel::info)) {
        Logging::writeText(LogLevel::info, stringCat(title, "\n", m_timers.report()));
    }
}

void SeqAssembler::printCPU_info() {
    std::cout << "CPU info:"
              << "\n\tSize of int           : " << sizeof(int) * CHAR_BIT << " bits"
              << "\n\tSize of long int      : " << sizeof(long) * CHAR_BIT << " bits"
              << "\n\tSize of long long int : " << sizeof(long long) * CHAR_BIT << " bits"
              << "\n\tSize of instruction_t : " << sizeof(instruction_t) * CHAR_BIT << " bits"
              << "\n\tSize of Arg::value_t  : " << sizeof(SeqArgument::value_t) * CHAR_BIT
              << " bits" << std::endl;
}
