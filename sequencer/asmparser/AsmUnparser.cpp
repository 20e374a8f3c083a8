// The unparser of AsmParser: writes statements back as assembly text in columns.
#include "sequencer/asmparser/AsmParser.h"

#include "base/Logging.h"
#include "base/utils/stringUtils.h"
#include "sequencer/asmparser/AsmException.h"

#include <fstream>
#include <iostream>

namespace {

// The internal errors of the unparser are reported as the parser's.
constexpr const char* s_sourceFile = "asmparser/AsmParser";

} // namespace

void AsmParser::alignToColumn(std::ostream& os, int target, int& column) {
    const int distance = target - column;
    if (distance > 1) {
        for (int i = 0; i < distance; ++i)
            os.put(' ');
        column = target;
    } else if (distance == 1 || column > 0) {
        os.put(' ');
        ++column;
    }
}

void AsmParser::unparseArgument(std::ostream& os, const AsmArgument& arg) const {
    int column = 0;
    unparseArgument(os, arg, column);
}

void AsmParser::unparseArgument(std::ostream& os, const AsmArgument& arg, int& column) const {
    if (arg.hasStringValue()) {
        os << arg.stringValue();
        column += static_cast<int>(arg.stringValue().length());
        return;
    }
    if (!arg.hasIntValue()) {
        os << "??";
        column += 2;
        return;
    }
    char buffer[24];
    char* out = buffer;
    const char name = arg.registerName();
    std::to_chars_result converted;
    if (CharFilters::isAlpha(name)) {
        *out++ = name;
        converted = std::to_chars(out, buffer + sizeof buffer, arg.intValue());
    } else {
        *out++ = '0';
        *out++ = 'x';
        converted =
            std::to_chars(out, buffer + sizeof buffer, static_cast<uint64_t>(arg.intValue()), 16);
    }
    const auto length = static_cast<std::streamsize>(converted.ptr - buffer);
    os.write(buffer, length);
    column += static_cast<int>(length);
}

void AsmParser::unparseAddressLabel(std::ostream& os, const AsmToken& label, int& column) const {
    os << label << m_syntax.labelEnd;
    column += static_cast<int>(label.length()) + 1;
}

void AsmParser::unparseAddressAsLabel(std::ostream& os, address_t address, int& column) const {
    char buffer[24];
    const auto converted = std::to_chars(buffer, buffer + sizeof buffer, address);
    *converted.ptr = m_syntax.labelEnd;
    const auto length = static_cast<std::streamsize>(converted.ptr + 1 - buffer);
    os.write(buffer, length);
    column += static_cast<int>(length);
}

void AsmParser::unparseComment(std::ostream& os, const AsmToken& comment, int& column) const {
    os << m_syntax.commentStart << comment;
    column += static_cast<int>(comment.length()) + 1;
}

void AsmParser::unparseDirective(std::ostream& os, const AsmDirective& directive,
                                 int& column) const {
    os << directive.directive() << ' ' << directive.name() << ' ' << directive.value();
    column += static_cast<int>(directive.directive().length() + directive.name().length() +
                               directive.value().length()) +
              2;
}

void AsmParser::unparseInstruction(std::ostream& os, const AsmInstruction& instruction,
                                   int& column) const {
    if (m_config.writeLabels && instruction.hasAddressLabel()) {
        alignToColumn(os, m_format.labelColumn, column);
        unparseAddressLabel(os, instruction.addressLabel(), column);
    } else if (m_config.writeAddresses && instruction.hasAddress()) {
        alignToColumn(os, m_format.labelColumn, column);
        unparseAddressAsLabel(os, static_cast<address_t>(instruction.address()), column);
    }

    alignToColumn(os, m_format.commandColumn, column);
    os << instruction.command();
    column += static_cast<int>(instruction.command().length());

    const auto& args = instruction.argList();
    if (!args.empty()) {
        alignToColumn(os, m_format.argumentsColumn, column);
        bool first = true;
        for (const auto& arg : args) {
            if (!first) {
                os << m_syntax.argSep << ' ';
                column += 2;
            }
            first = false;
            if (arg)
                unparseArgument(os, *arg, column);
            else {
                os << "??";
                column += 2;
            }
        }
    }

    if (m_config.writeComments && instruction.hasComment()) {
        alignToColumn(os, m_format.commentColumn, column);
        unparseComment(os, instruction.comment(), column);
    }
}

void AsmParser::unparseStatement(std::ostream& os, const AsmStatement& statement) const {
    int column = 0;
    switch (statement.type()) {
    case AsmType::EMPTY:
        break;
    case AsmType::COMMENT_ONLY:
        if (m_config.writeComments && m_config.writeCommentLines && statement.hasComment())
            unparseComment(os, statement.comment(), column);
        break;
    case AsmType::LABEL_ONLY: {
        const auto* instruction = dynamic_cast<const AsmInstruction*>(&statement);
        if (!instruction)
            throwBug(s_sourceFile, __LINE__, "unparseStatement",
                     "AsmStatement of type LABEL_ONLY is not an instance of class AsmInstruction");
        if (m_config.writeLabels) {
            unparseAddressLabel(os, instruction->addressLabel(), column);
            if (m_config.writeComments && instruction->hasComment())
                unparseComment(os, instruction->comment(), column);
        }
        break;
    }
    case AsmType::DIRECTIVE: {
        const auto* directive = dynamic_cast<const AsmDirective*>(&statement);
        if (!directive)
            throwBug(s_sourceFile, __LINE__, "unparseStatement",
                     "AsmStatement of type DIRECTIVE is not an instance of class AsmDirective");
        if (m_config.writeDirectives)
            unparseDirective(os, *directive, column);
        break;
    }
    case AsmType::INSTRUCTION: {
        const auto* instruction = dynamic_cast<const AsmInstruction*>(&statement);
        if (!instruction)
            throwBug(s_sourceFile, __LINE__, "unparseStatement",
                     "AsmStatement of type INSTRUCTION is not an instance of class "
                     "AsmInstruction");
        unparseInstruction(os, *instruction, column);
        break;
    }
    default:
        throwBug(s_sourceFile, __LINE__, "unparseStatement", "Not all statement types covered");
    }
    os << '\n';
}

int AsmParser::unparse(std::ostream& os) const {
    int failures = 0;
    for (const auto& statement : m_statements) {
        try {
            if (statement)
                unparseStatement(os, *statement);
        } catch (const std::exception& e) {
            if (Logging::isLogLevelActive(LogLevel::error))
                Logging::write(LogLevel::error, "%s", e.what());
            ++failures;
        }
    }
    return failures;
}

int AsmParser::saveUnparsed(const std::string& fileName) const {
    std::ofstream file(fileName, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
        std::cerr << "Could not open file \"" << fileName << "\" for writing\n";
        return -1;
    }
    const int failures = unparse(file);
    // A full disk often shows only when the last buffer is written out by the close.
    file.close();
    if (file.fail()) {
        std::cerr << "Could not write file \"" << fileName << "\"\n";
        return -1;
    }
    return failures;
}
