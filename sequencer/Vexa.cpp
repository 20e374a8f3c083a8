#include "sequencer/Vexa.h"

#include "base/Logging.h"
#include "base/utils/CharFilter.h"
#include "base/utils/SourceReader.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/SeqSim.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmSyntax.h"
#include "sequencer/asmparser/AsmToken.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <sstream>
#include <stdexcept>
#include <string_view>

namespace {

bool startsWithDirectiveCharacter(const SourceLine& line, const AsmSyntax& syntax) {
    const std::string_view text = line.view();
    const size_t start = skipSpace(text, 0);
    return start < text.size() && text[start] == syntax.directiveStart;
}

} // namespace

Vexa::Vexa(const SeqInstructionSet& instructionSet, int memorySize, int numRegisters)
    : vexaProc(std::make_unique<SeqProcessor>(instructionSet,
                                              static_cast<SeqProcessor::address_t>(memorySize),
                                              static_cast<SeqProcessor::address_t>(numRegisters))) {
    const AsmSyntax syntax;
    vexaAsm = std::make_unique<SeqAssembler>(vexaProc.get(), syntax);
    vexaSim = std::make_unique<SeqSim>(vexaProc.get());
    registerAsmSection(vexaAsm.get());
    registerAsmSection(vexaSim.get());
}

Vexa::Vexa(const SeqInstructionSet& instructionSet, uint64_t* instructionMemory, int memorySize,
           int numRegisters, double classicalClockMHz, double realTimeClockMHz)
    : vexaProc(std::make_unique<SeqProcessor>(instructionSet, instructionMemory,
                                              static_cast<SeqProcessor::address_t>(memorySize),
                                              static_cast<SeqProcessor::address_t>(numRegisters))) {
    vexaProc->setClockFrequencies(classicalClockMHz, realTimeClockMHz);
    const AsmSyntax syntax;
    vexaAsm = std::make_unique<SeqAssembler>(vexaProc.get(), syntax);
    vexaSim = std::make_unique<SeqSim>(vexaProc.get());
    registerAsmSection(vexaAsm.get());
    registerAsmSection(vexaSim.get());
}

Vexa::~Vexa() = default;

void Vexa::registerAsmSection(AsmSection* section) {
    const std::string directive = section->asmSectionGetDirective();
    if (asmSectionMap.emplace(directive, section).second) {
        if (Logging::isLogLevelActive(LogLevel::debug)) {
            Logging::write(LogLevel::debug, "registered AsmSection handler for directive '%s'",
                           directive.c_str());
        }
    } else if (Logging::isLogLevelActive(LogLevel::error)) {
        Logging::write(LogLevel::error,
                       "Vexa::registerAsmSection: duplicate AsmSection handler for directive '%s'",
                       directive.c_str());
    }
}

bool Vexa::loadImage(const std::vector<uint64_t>& words, UIStr& message) {
    if (!vexaAsm || !vexaProc) {
        message = "Can not load a program: No processor defined.";
        return false;
    }
    if (!vexaAsm->loadImage(words)) {
        message = stringCat("Program of ", words.size(), " instruction words does not fit into ",
                            vexaProc->instructionMemSizeWords(), " words of instruction memory");
        return false;
    }
    assembled = true; // a program is there to simulate
    return true;
}

int Vexa::assemble(SourceReader& reader, UIStr& text) {
    AsmErrorList& errors = m_lastErrors;
    errors = AsmErrorList();
    // The default syntax never changes. Its character classes are built once, so that the
    // run over a short source costs what the source costs; being constant after its
    // thread-safe initialisation, it can be shared by drivers on different threads.
    static const AsmSyntax syntax;

    UIStr message;
    if (!reader.start(message)) {
        text = message;
        return 1;
    }
    for (const auto& [directive, section] : asmSectionMap) {
        if (Logging::isLogLevelActive(LogLevel::debug)) {
            Logging::write(LogLevel::debug, "starting section '%s'", directive.c_str());
        }
        section->asmSectionStart(errors);
    }
    const auto code = asmSectionMap.find(".CODE");
    if (code == asmSectionMap.end()) {
        Logging::write(LogLevel::emergency, "no AsmSection found for '.CODE'");
        std::exit(1);
    }
    currentAsmSection = code->second;

    try {
        while (const std::shared_ptr<const SourceLine> line = reader.nextLine(false)) {
            // Only a line whose first word starts with the directive character can be a
            // section line; every other line goes to the section without being cut.
            if (startsWithDirectiveCharacter(*line, syntax)) {
                AsmToken token(line);
                syntax.filter2Token(token, syntax.directiveFilter);
                if (syntax.isDirective(token)) {
                    if (token == ".CPU" || token == ".END") {
                        continue;
                    }
                    const auto found = asmSectionMap.find(token.view());
                    if (found != asmSectionMap.end()) {
                        if (Logging::isLogLevelActive(LogLevel::info)) {
                            Logging::writeText(LogLevel::info,
                                               "found section '" + token.toString() + "'");
                        }
                        currentAsmSection = found->second;
                        continue;
                    }
                }
            }
            if (currentAsmSection->asmSectionProcessLine(line, errors)) {
                break;
            }
        }
    } catch (const std::runtime_error& error) {
        // A source that fails in the middle is reported like one that cannot be opened.
        errors = AsmErrorList();
        text = error.what();
        return 1;
    }

    for (const auto& [directive, section] : asmSectionMap) {
        if (Logging::isLogLevelActive(LogLevel::debug)) {
            Logging::write(LogLevel::debug, "finishing section '%s'", directive.c_str());
        }
        section->asmSectionFinish(errors);
    }
    const int numErrors = static_cast<int>(errors.size());

    if (Logging::isLogLevelActive(LogLevel::debug)) {
        Logging::writeText(LogLevel::debug, vexaAsm->getTimers().report());
    }
    if (numErrors == 0) {
        Logging::write(LogLevel::debug, "assembly completed");
        assembled = true;
        return 0;
    }
    if (Logging::isLogLevelActive(LogLevel::warning)) {
        Logging::write(LogLevel::warning, "assembly failed with %d errors", numErrors);
    }
    text = errors.toStringFullReport("assembler");
    if (text.empty() && Logging::isLogLevelActive(LogLevel::warning)) {
        Logging::write(LogLevel::warning, "empty error message");
    }
    return numErrors;
}

int Vexa::assembleFile(const std::string& fileName, UIStr& text) {
    FileSourceReader reader(fileName);
    return assemble(reader, text);
}

int Vexa::assemble(const std::string& source, UIStr& text) {
    StringSourceReader reader(source);
    return assemble(reader, text);
}

int Vexa::assemble(std::shared_ptr<const std::string> source, UIStr& text) {
    StringSourceReader reader(std::move(source));
    return assemble(reader, text);
}

int Vexa::disassemble(std::string& text) {
    std::ostringstream out;
    const int result = vexaAsm->disassemble(out);
    text = out.str();
    return result;
}

int Vexa::disassemble(std::ostream& out) {
    return vexaAsm->disassemble(out);
}

bool Vexa::simulate(int maxInstructions) {
    if (!assembled) {
        return true;
    }
    return vexaSim->simulate(maxInstructions);
}

bool Vexa::saveHexOutput(const std::string& fileName) {
    return vexaAsm->saveHexOutput(fileName);
}

void Vexa::printCPU_info() {
    SeqAssembler::printCPU_info();
}

void Vexa::printAsmTimers(const std::string& title) {
    vexaAsm->printTimers(title);
}

void Vexa::printSimTimers(const std::string& title) {
    vexaSim->printTimers(title);
}

void Vexa::printSimStats(const std::string& title) {
    vexaSim->printStats(title);
}
