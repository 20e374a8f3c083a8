// Instruction encoding of SeqAssembler: mnemonic and operand kinds select a variant of the
// instruction set, whose argument descriptions say where each operand value goes.

#include <sstream>

#include "base/Logging.h"
#include "base/utils/CharFilter.h"
#include "base/utils/stringUtils.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/seqprocessor/SeqInstructionSet.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

namespace {

// The signature text of a source instruction, in the form of the definitions' signatures.
// Texts of ordinary length are built in place; only unusually long operand lists spill over
// into a string.
class SourceSignature {
public:
    void addImmediateArg() {
        separate();
        push('#');
    }
    void addRegisterArg(char registerName) {
        separate();
        push(registerName);
        push('#');
    }
    size_t numArgs() const { return m_numArgs; }
    std::string_view view() const {
        return m_overflow.empty() ? std::string_view(m_fixed, m_length)
                                  : std::string_view(m_overflow);
    }

private:
    void separate() {
        if (m_numArgs++ > 0) {
            push(',');
        }
    }
    void push(char c) {
        if (m_overflow.empty()) {
            if (m_length < sizeof(m_fixed)) {
                m_fixed[m_length++] = c;
                return;
            }
            m_overflow.assign(m_fixed, m_length);
        }
        m_overflow.push_back(c);
    }

    char m_fixed[48];
    size_t m_length = 0;
    size_t m_numArgs = 0;
    std::string m_overflow;
};

void logDebugText(const std::string& text) {
    Logging::writeText(LogLevel::debug, text);
}

} // namespace

std::string SeqAssembler::unparsedArgument(const AsmArgument& argument) {
    std::ostringstream text;
    m_parser.unparseArgument(text, argument);
    return text.str();
}

SeqAssembler::instruction_t SeqAssembler::assembleInstruction(const AsmInstruction& instruction) {
    const SeqInstructionSet& instructionSet = m_SP->instructionSet();

    const std::string_view mnemonic = instruction.command().view();
    const auto& variations = instructionSet.find(mnemonic);
    if (!variations) {
        const std::string message = stringCat("instruction '", mnemonic, "' not found");
        logDebugText(message);
        throw AsmSyntaxError(instruction.sourceLine(), std::string(mnemonic)) << message;
    }

    const AsmInstruction::ArgList& args = instruction.argList();
    SourceSignature signature;
    for (size_t i = 0; i < args.size(); ++i) {
        const char registerName = args[i]->registerName();
        if (registerName == AsmArgument::s_immediateRegisterName) {
            signature.addImmediateArg();
        } else if (CharFilters::isAlpha(registerName)) {
            signature.addRegisterArg(registerName);
        } else {
            throwOperandKindError(instruction, i);
        }
    }

    const auto& definition = variations->find(signature.view());
    // Equal signatures have equal operand counts unless register names hold separators.
    if (!definition || definition->numArgs() != args.size()) {
        throwSignatureError(instruction, *variations, signature.view());
    }

    instruction_t word = 0;
    if (instructionSet.writeOpcodeField(word, static_cast<unsigned>(definition->opcode()))) {
        instructionSet.writeSelectField(word, static_cast<unsigned>(definition->select()));
    }

    const auto& argumentDefs = definition->arguments();
    for (size_t i = 0; i < argumentDefs.size(); ++i) {
        const AsmArgument& argument = *args[i];
        const SeqArgument& argumentDef = *argumentDefs[i];
        if (!argument.hasIntValue()) {
            throwBug("SeqAssembler", s_encodeBugLine, "assembleInstruction",
                     stringCat("No value determined for argument ", i + 1, ": '",
                               argument.stringValue().view(), "'"));
        }
        const AsmArgument::int_type value = argument.intValue();
        if (value < argumentDef.minValue() || value > argumentDef.maxValue()) {
            const std::string message =
                stringCat("Instruction ", definition->mnemonic(), " argument ", i + 1, " (",
                          argumentDef.name(), ") value: ", value, " out of range (",
                          argumentDef.minValue(), ",", argumentDef.maxValue(), ")");
            logDebugText(message);
            throw AsmSyntaxError(instruction.sourceLine(), argument.stringValue().toString())
                << message;
        }
        // A negative value is stored in two's complement, cut to the field width.
        argumentDef.field()->setfast(word, static_cast<SeqField::value_t>(value));
    }
    return word;
}

void SeqAssembler::throwOperandKindError(const AsmInstruction& instruction, size_t index) {
    const AsmArgument& argument = *instruction.argList()[index];
    const char registerName = argument.registerName();
    const std::string text = unparsedArgument(argument);
    const std::string message =
        stringCat("Could not determine signature type for argument number ", index + 1,
                  ": registerName=", registerName,
                  " (ASCII=", static_cast<int>(static_cast<signed char>(registerName)), ")",
                  " argument string value='", text, "'");
    logDebugText(message);
    throw AsmSyntaxError(instruction.sourceLine(), text) << message;
}

void SeqAssembler::throwSignatureError(const AsmInstruction& instruction,
                                       const SeqInstructionVariations& variations,
                                       std::string_view signature) {
    const std::string mnemonic = instruction.command().toString();
    const std::string source = instruction.sourceString();
    size_t start = std::string::npos;
    size_t length = 1;
    if (instruction.numArgs() == 0) {
        // The place just after the mnemonic.
        const size_t position = source.find(mnemonic);
        if (position != std::string::npos) {
            start = position + mnemonic.size();
        }
    } else {
        const std::string first = unparsedArgument(*instruction.argList().front());
        start = source.find(first);
        length = first.size();
        if (instruction.numArgs() > 1 && start != std::string::npos) {
            length = source.size() - start;
        }
    }

    std::string message =
        stringCat("Instruction \"", mnemonic, "\" does not support argument signature \"",
                  signature, "\"\nSupported signatures:");
    for (const SeqInstructionDef& definition : variations) {
        append_(true, message, " \"", definition.signature().toPrettyString(), "\"");
    }
    logDebugText(stringCat(message, ": start=", static_cast<int>(start),
                           ", len=", static_cast<int>(length)));
    throw AsmSyntaxError(instruction.sourceLine(), start, length) << message;
}
