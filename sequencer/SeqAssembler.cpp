#include "sequencer/SeqAssembler.h"

#include <algorithm>

#include "base/Logging.h"
#include "base/utils/SourceReader.h"
#include "base/utils/stringUtils.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/seqprocessor/SeqProcError.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

SeqAssembler::SeqAssembler() : m_parser(), m_SP(nullptr), m_numInstr(0) {
    init();
}

SeqAssembler::SeqAssembler(SeqProcessor* processor, const AsmSyntax& syntax)
    : m_parser(syntax), m_SP(processor), m_numInstr(0) {
    init();
}

SeqAssembler::~SeqAssembler() = default;

void SeqAssembler::init() {
    m_numInstr = 0;
    m_assembleTimer = std::make_shared<StopWatch>("assemble", "instruction");
}

std::string SeqAssembler::asmSectionGetDirective() {
    return ".CODE";
}

SeqAssembler::address_t SeqAssembler::instructionMemSize() const {
    return m_SP == nullptr ? 0 : m_SP->instructionMemSizeWords();
}

int SeqAssembler::asmSectionStart(AsmErrorList& errors) {
    if (instructionMemSize() == 0) {
        errors.emplace<AsmRuntimeError>("Can not assemble source: No instruction memory defined.");
        return 1;
    }
    m_parser.start();
    clearTimers();
    m_numInstr = 0;
    return 0;
}

bool SeqAssembler::asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                                         AsmErrorList& errors) {
    m_parser.processLine(line, errors);
    return false;
}

void SeqAssembler::asmSectionFinish(AsmErrorList& errors) {
    m_parser.finish(errors);
    if (!errors.empty()) {
        Logging::write(LogLevel::warning, "SeqAssembler::assembleFinish: parsing failed");
        return;
    }
    m_timers.add(m_assembleTimer);
    m_assembleTimer->start();

    m_parser.assignInstructionAddresses(errors, 0, 1);
    if (!errors.empty()) {
        if (Logging::isLogLevelActive(LogLevel::warning)) {
            Logging::write(LogLevel::warning,
                           "SeqAssembler::assemble: assignInstructionAddresses failed");
        }
        return;
    }

    const AsmContainer& statements = m_parser.statements();
    for (auto it = statements.begin(); it != statements.end(); ++it) {
        AsmContainer::prefetchAhead(it, statements.end());
        const auto& statement = *it;
        if (statement->type() != AsmType::INSTRUCTION) {
            continue;
        }
        const AsmInstruction* instruction = statement->asInstruction();
        if (instruction == nullptr) {
            throwBug("SeqAssembler", s_finishBugLine, "asmSectionFinish",
                     "AsmStatement of AsmType::INSTRUCTION is not an instance of the "
                     "AsmInstruction class");
        }
        try {
            const instruction_t word = assembleInstruction(*instruction);
            writeInstructionMem(static_cast<address_t>(instruction->address()), word);
        } catch (const AsmError& e) {
            if (Logging::isLogLevelActive(LogLevel::debug)) {
                Logging::writeText(LogLevel::debug,
                                   stringCat("SeqAssembler::assemble:loop: caught AsmError ('",
                                             e.message(), "')"));
            }
            errors.insert(e.shared_ptr_copy());
        } catch (const SeqProcMemoryError& e) {
            if (Logging::isLogLevelActive(LogLevel::debug)) {
                Logging::writeText(LogLevel::debug, stringCat("SeqAssembler::assemble:loop: caught "
                                                              "SeqProcMemoryError ('",
                                                              e.message(), "')"));
            }
            errors.emplace<AsmProgramTooLongError>(stringCat(
                "Program too long (",
                static_cast<uint64_t>(m_parser.statements().typeCount(AsmType::INSTRUCTION)),
                "). Maximum ", instructionMemSize(), " instructions"));
            break;
        }
    }

    m_assembleTimer->stop();
    m_assembleTimer->setLapCount(m_numInstr);
}

void SeqAssembler::writeInstructionMem(address_t address, instruction_t word) {
    if (address > m_numInstr) {
        // Gaps in the program read as 0.
        m_SP->initInstructionMem(m_numInstr, std::min(address, instructionMemSize()));
    }
    // The checked write raises the "Attempt to write instruction ..." error beyond the end.
    m_SP->writeInstructionMem(address, word);
    m_numInstr = std::max(address + 1, m_numInstr);
}

int SeqAssembler::assemble(SourceReader& reader, AsmErrorList& errors) {
    const address_t size = instructionMemSize();
    if (size == 0) {
        errors.emplace<AsmRuntimeError>("Can not assemble source: No instruction memory defined.");
        return 1;
    }
    clearTimers();
    m_numInstr = 0;
    try {
        const int n = m_parser.parse(reader, errors);
        m_timers.add(m_parser.getTimers());
        if (n > 0) {
            if (Logging::isLogLevelActive(LogLevel::debug)) {
                Logging::write(LogLevel::debug,
                               "SeqAssembler::assemble: parsing failed with %d errors", n);
            }
        } else {
            Logging::write(LogLevel::debug, "SeqAssembler::assemble: parsing succeeded");
            asmSectionFinish(errors);
        }
    } catch (const AsmError& e) {
        if (Logging::isLogLevelActive(LogLevel::debug)) {
            Logging::writeText(
                7, stringCat("SeqAssembler::assemble: caught AsmError ('", e.message(), "')"));
        }
        errors.insert(e.shared_ptr_copy());
    }
    m_SP->initInstructionMem(std::min(m_numInstr, size), size);
    return static_cast<int>(errors.size());
}

bool SeqAssembler::loadImage(const std::vector<instruction_t>& words) {
    const address_t size = instructionMemSize();
    if (size == 0 || words.size() > size)
        return false;
    init();
    for (address_t address = 0; address < words.size(); ++address)
        writeInstructionMem(address, words[address]);
    m_SP->initInstructionMem(m_numInstr, size);
    return true;
}

int SeqAssembler::assembleFile(const std::string& fileName, AsmErrorList& errors) {
    FileSourceReader reader(fileName);
    return assemble(reader, errors);
}

void SeqAssembler::clearTimers() {
    m_timers.clear();
    m_assembleTimer->reset();
}

bool SeqAssembler::generateRandomProgram(std::ostream& /*out*/, int /*numInstructions*/) {
    return false;
}
