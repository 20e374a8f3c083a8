#include "sequencer/asmparser/AsmParser.h"

#include "base/Logging.h"
#include "base/utils/ArenaAllocator.h"
#include "base/utils/CharFilter.h"
#include "base/utils/stringUtils.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"

#include <charconv>
#include <climits>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace {

constexpr const char* s_sourceFile = "asmparser/AsmParser";

// Whole-token length used with AsmToken::substr to mean "to the end".
constexpr int s_toEnd = INT_MAX;

bool isVerbose() {
    return Logging::isLogLevelActive(LogLevel::verbose);
}

} // namespace

AsmParser::AsmParser() {
    init();
}

AsmParser::AsmParser(const AsmSyntax& syntax) : m_syntax(syntax) {
    init();
}

void AsmParser::init() {
    for (const auto& directive : m_syntax.symbolDirectives)
        setDirectiveSymbolInserter(directive);
    // Registered second, so a keyword in both lists ends up ignored.
    for (const auto& directive : m_syntax.ignoredDirectives)
        ignoreDirective(directive);
    m_parseTimer = m_timers.add("parse", "source line");
}

void AsmParser::setSyntax(const AsmSyntax& syntax) {
    m_syntax = syntax;
}

void AsmParser::setSyntax(AsmSyntax&& syntax) {
    m_syntax = std::move(syntax);
}

// ---------------------------------------------------------------------------------------
// Line driver

int AsmParser::parse(SourceReader& reader, AsmErrorList& errors) {
    start();
    UIStr message;
    if (!reader.start(message)) {
        errors.insert(std::make_shared<AsmRuntimeError>(message));
        return 1;
    }
    while (const auto line = reader.nextLine(false))
        processLine(line, errors);
    finish(errors);
    reader.finish();
    return static_cast<int>(errors.numberOfErrorSources());
}

void AsmParser::initializeParsing() {
    m_parseTimer->reset();
    m_symbols.clear();
    m_statements.clear();
    m_numSrcLines = 0;
    m_numInstructionLines = 0;
    m_numDirectiveLines = 0;
    labelOnlyStatement.reset();
}

void AsmParser::start() {
    initializeParsing();
    m_parseTimer->start();
}

void AsmParser::processLine(const line_ptr& line, AsmErrorList& errors) {
    try {
        std::shared_ptr<AsmStatement> statement = parseLine(line);
        if (!statement)
            return;
        bool keep = false;
        switch (statement->type()) {
        case AsmType::EMPTY:
            break;
        case AsmType::COMMENT_ONLY:
            keep = m_config.keepCommentLines;
            break;
        case AsmType::LABEL_ONLY: {
            std::shared_ptr<AsmInstruction> instruction(statement, statement->asInstruction());
            if (!instruction)
                throwBug(s_sourceFile, __LINE__, "processLine",
                         "AsmStatement of AsmType::LABEL_ONLY is not an instance of the "
                         "AsmInstruction class");
            // A label-only line already pending is replaced without a message.
            labelOnlyStatement = std::move(instruction);
            break;
        }
        case AsmType::DIRECTIVE: {
            const auto* directive = dynamic_cast<const AsmDirective*>(statement.get());
            if (!directive)
                throwBug(s_sourceFile, __LINE__, "processLine",
                         "AsmStatement of AsmType::DIRECTIVE is not an instance of the "
                         "AsmDirective class");
            keep = m_config.shouldKeepDirective(directive->directive().view());
            break;
        }
        case AsmType::INSTRUCTION: {
            AsmInstruction* instruction = statement->asInstruction();
            if (!instruction)
                throwBug(s_sourceFile, __LINE__, "processLine",
                         "AsmStatement of AsmType::INSTRUCTION is not an instance of the "
                         "AsmInstruction class");
            if (labelOnlyStatement) {
                instruction->setAddressLabel(labelOnlyStatement->addressLabel());
                labelOnlyStatement.reset();
            }
            keep = true;
            break;
        }
        default: {
            std::string text = stringCat("Unknown AsmType ", statement->type(), " in ");
            if (line)
                append_(true, text, line->getSourceRef(), ": ", line->view());
            throwBug(s_sourceFile, __LINE__, "processLine", text);
        }
        }
        if (keep)
            m_statements.push_back(std::move(statement));
    } catch (const AsmError& e) {
        if (Logging::isLogLevelActive(LogLevel::debug))
            Logging::writeText(
                7, stringCat("AsmParser::processLine: caught AsmError ('", e.message(), "')"));
        errors.insert(e.shared_ptr_copy());
    }
}

void AsmParser::finish(AsmErrorList& errors) {
    if (labelOnlyStatement) {
        auto error = std::make_shared<AsmSyntaxError>(labelOnlyStatement->sourceLine());
        *error << "Label-only line without associated instruction line (expected after the "
                  "label-only line)";
        errors.insert(error);
    }
    if (m_parseTimer->isRunning())
        m_parseTimer->stop();
    m_parseTimer->setLapCount(m_numSrcLines);
}

void AsmParser::assignInstructionAddresses(AsmErrorList& errors, address_t start,
                                           address_t increment) {
    m_statements.assignInstructionAddresses(errors, start, increment);
}

void AsmParser::printTimers() const {
    if (!Logging::isLogLevelActive(LogLevel::info))
        return;
    Logging::writeText(LogLevel::info, m_timers.report());
}

// ---------------------------------------------------------------------------------------
// Line grammar

// Cuts spans out of the text of one line by the rules of AsmToken::stripFront and next() and
// AsmSyntax::filter2Token. The parser classifies a line on spans and makes tokens (which
// share the line) only for what a statement keeps.
class AsmParser::LineScanner {
public:
    LineScanner(std::string_view text, const AsmSyntax& syntax) : m_text(text), m_syntax(syntax) {}

    std::string_view text() const { return m_text; }
    std::string_view view(Span span) const { return {m_text.data() + span.start, span.length()}; }
    char front(Span span) const { return span.empty() ? '\0' : m_text[span.start]; }

    void stripFront(Span& span) const {
        span.start = skipSpace(m_text.substr(0, span.finish), span.start);
    }
    // The rest of the line after the span, leading white space removed.
    void next(Span& span) const {
        span.start = std::min(span.finish, m_text.size());
        span.finish = m_text.size();
        stripFront(span);
    }
    // A single-character token, or the run of characters `filter` accepts from the span's
    // start to the end of the line; an empty span marks where the scan stopped.
    void cut(Span& span, const CharFilter& filter) const {
        stripFront(span);
        const size_t start = span.start;
        if (start >= m_text.size())
            return;
        if (m_syntax.singleCharTokens(m_text[start])) {
            span.finish = start + 1;
            return;
        }
        size_t finish = start;
        while (finish < m_text.size() && filter(m_text[finish]))
            ++finish;
        span.finish = finish;
    }

private:
    std::string_view m_text;
    const AsmSyntax& m_syntax;
};

std::shared_ptr<AsmStatement> AsmParser::parseLine(const line_ptr& line) {
    ++m_numSrcLines;
    if (!line)
        return nullptr;
    const LineScanner scan(line->view(), m_syntax);
    Span token{0, line->length()};
    scan.stripFront(token);
    if (token.empty())
        return nullptr;

    std::shared_ptr<AsmStatement> result;
    scan.cut(token, m_syntax.tokenFilter);

    if (token.length() > 1 && scan.front(token) == m_syntax.directiveStart &&
        m_syntax.directiveFilter.accept(scan.view(token))) {
        auto directive =
            makeArenaShared<AsmDirective>(AsmToken::fromSpan(line, token.start, token.finish));
        AsmToken rest = directive->directive();
        rest.next();
        parseDirective(directive, rest);
        result = std::move(directive);
        token = {rest.start(), rest.finish()};
    } else {
        Span label{0, 0};
        // The text after the first word, once looked at for a label end.
        Span rest{0, 0};
        bool haveRest = false;
        if (!token.empty() && m_syntax.identifierStart(scan.front(token))) {
            Span after = token;
            scan.next(after);
            rest = after;
            haveRest = true;
            // Only a text that starts with the label end can be cut into that one character.
            if (!after.empty() && scan.front(after) == m_syntax.labelEnd &&
                m_syntax.identifierFilter.accept(scan.view(token)))
                scan.cut(after, m_syntax.tokenFilter);
            else
                after.finish = after.start;
            if (after.length() == 1 && scan.front(after) == m_syntax.labelEnd) {
                label = token;
                if (CharFilters::isDigit(scan.front(label)))
                    throw AsmSyntaxError(line, std::string(scan.view(label)))
                        << "AsmParser: first character of address label can not be numeric";
                token = after;
                scan.next(token);
                scan.cut(token, m_syntax.tokenFilter);
                haveRest = false;
            }
        }
        if (m_syntax.mnemonicFilter.accept(scan.view(token))) {
            auto instruction = makeArenaShared<AsmInstruction>(
                AsmToken::fromSpan(line, token.start, token.finish));
            if (haveRest)
                token = rest;
            else
                scan.next(token);
            token = parseInstruction(*instruction, line, scan, token);
            if (!label.empty())
                instruction->setAddressLabel(AsmToken::fromSpan(line, label.start, label.finish));
            result = std::move(instruction);
        } else if (!label.empty()) {
            auto labelOnly = makeArenaShared<AsmInstruction>(line, AsmType::LABEL_ONLY);
            labelOnly->setAddressLabel(AsmToken::fromSpan(line, label.start, label.finish));
            result = std::move(labelOnly);
        }
    }
    parseComment(result, line, scan, token);
    return result;
}

AsmParser::Span AsmParser::parseInstruction(AsmInstruction& instruction, const line_ptr& line,
                                            const LineScanner& scan, Span token) {
    ++m_numInstructionLines;
    // The argument texts first, then their values in order, so that one block holds
    // exactly the arguments. Cutting the texts raises no error: errors come in the same
    // order as when each argument is evaluated as soon as it is cut.
    constexpr size_t inlineSpans = 8;
    Span spans[inlineSpans];
    std::vector<Span> manySpans;
    size_t count = 0;
    scan.cut(token, m_syntax.argumentFilter);
    while (!token.empty()) {
        if (count < inlineSpans) {
            spans[count] = token;
        } else {
            if (count == inlineSpans)
                manySpans.assign(spans, spans + inlineSpans);
            manySpans.push_back(token);
        }
        ++count;
        scan.next(token);
        if (token.empty() || scan.front(token) != m_syntax.argSep)
            break; // what follows is judged by parseComment
        ++token.start;
        scan.cut(token, m_syntax.argumentFilter);
    }
    if (count == 0)
        return token;
    const Span* const texts = count <= inlineSpans ? spans : manySpans.data();
    // Each argument's pointer shares the block, taken from the arena where the C++ library
    // can allocate a shared array with an allocator (libc++ before 15 cannot).
#if defined(__cpp_lib_shared_ptr_arrays) && __cpp_lib_shared_ptr_arrays >= 201707L
    const auto block = std::allocate_shared<AsmArgument[]>(ArenaAllocator<AsmArgument>(), count);
#else
    const std::shared_ptr<AsmArgument[]> block(std::make_unique<AsmArgument[]>(count));
#endif
    instruction.reserveArgs(count);
    for (size_t index = 0; index < count; ++index) {
        parseArgument(block[index], line, scan, texts[index]);
        instruction.addArg(std::shared_ptr<AsmArgument>(block, &block[index]));
    }
    return token;
}

void AsmParser::parseArgument(AsmArgument& arg, const line_ptr& line, const LineScanner& scan,
                              Span token) {
    arg.setStringValue(AsmToken::fromSpan(line, token.start, token.finish));
    if (token.length() >= 2 && scan.front(token) == m_syntax.symbolRefStart) {
        const Span name{token.start + 1, token.finish};
        if (!m_syntax.identifierStart(scan.front(name)) ||
            !m_syntax.identifierFilter.accept(scan.view(name)))
            throw AsmSyntaxError(line, std::string(scan.view(name))) << "Invalid symbol name";
        arg.setSymbolName(AsmToken::fromSpan(line, name.start, name.finish));
        if (!resolveSymbol(arg))
            throw AsmUnresolvedSymbolError(line, std::string(scan.view(name)));
        if (isVerbose())
            Logging::writeText(LogLevel::debug,
                               stringCat("parsing: line ", line->lineNr(), ", lookup of symbol '",
                                         scan.view(name), "' gave value '",
                                         arg.stringValue().view(), "'"));
    }
    parseArgValue(arg);
}

void AsmParser::parseArgValue(AsmArgument& arg) {
    // The value text may lie in another line: that of a symbol's definition.
    const AsmToken& value = arg.stringValue();
    const std::string_view text = value.view();
    if (text.size() > 1) {
        if (text[0] == m_syntax.addressRefStart) {
            if (!m_syntax.identifierStart(text[1]) ||
                !m_syntax.identifierFilter.accept(text.substr(1)))
                throw AsmSyntaxError(value.sourceLine(), value.start() + 1, text.size() - 1)
                    << "Invalid address label reference";
            arg.setAddressLabel(value.substr(1, s_toEnd));
            arg.setImmediate();
            return;
        }
        if (CharFilters::isAlpha(text[0]) && CharFilters::isDigit(text[1])) {
            int_type number = 0;
            if (!convertPlainInteger(text.substr(1), number))
                number = getArgumentValue(value, 1, "Register");
            arg.setIntValue(number);
            arg.setRegisterName(text[0]);
            return;
        }
    }
    if (m_syntax.immediateFilter.accept(text)) {
        int_type number = 0;
        if (!convertPlainInteger(text, number))
            number = getArgumentValue(value, 0, "Immediate");
        arg.setIntValue(number);
        arg.setImmediate();
        return;
    }
    throw AsmSyntaxError(value.sourceLine(), value.toString()) << "Invalid argument";
}

AsmParser::int_type AsmParser::getArgumentValue(const AsmToken& value, size_t skip,
                                                const char* kind) {
    const char* reason = nullptr;
    std::string otherReason;
    try {
        int64_t number = 0;
        stringToInt(number, value.view().substr(skip));
        return number;
    } catch (const std::out_of_range& e) {
        otherReason = e.what();
    } catch (const std::invalid_argument&) {
        reason = "Expected an integer number";
    } catch (const std::exception& e) {
        otherReason = e.what();
    }
    const AsmToken text = value.substr(skip, s_toEnd);
    AsmSyntaxError error(text.sourceLine(), text.toString());
    error << "AsmParser: Invalid " << kind << " argument: ";
    if (reason)
        error << reason;
    else
        error << otherReason;
    throw error;
}

void AsmParser::scanText(AsmToken& token, const CharFilter& filter) {
    token.stripFront();
    const auto& line = token.sourceLine();
    if (!line)
        return;
    const std::string_view text = line->view();
    size_t finish = token.start();
    while (finish < text.size() && filter(text[finish]))
        ++finish;
    token.setSpan(token.start(), finish);
}

void AsmParser::parseComment(std::shared_ptr<AsmStatement>& statement, const line_ptr& line,
                             const LineScanner& scan, Span token) {
    scan.stripFront(token);
    if (token.empty()) {
        // An empty span that stopped at a character no rule takes (a NUL, '%', a byte
        // above 0x7F, ...) is no end of the statement: the rest of the line is reported.
        Span rest = token;
        scan.next(rest);
        if (!rest.empty() && scan.front(rest) != m_syntax.commentStart &&
            !CharFilters::isEndOfLine(scan.front(rest)))
            throw AsmSyntaxError(line, rest.start, rest.length())
                << "AsmParser: spurious characters after statement";
        return;
    }
    if (token.start >= scan.text().size() || CharFilters::isEndOfLine(scan.front(token)))
        return;
    if (scan.front(token) != m_syntax.commentStart)
        throw AsmSyntaxError(line, token.start, token.length())
            << "AsmParser: spurious characters after statement";
    // What follows only shapes the comment that is kept.
    if (m_config.keepComments)
        keepComment(statement, AsmToken::fromSpan(line, token.start + 1, token.finish));
}

void AsmParser::keepComment(std::shared_ptr<AsmStatement>& statement, AsmToken token) {
    scanText(token, m_syntax.commentFilter);
    const auto& line = token.sourceLine();
    if (line && line->lineNr() > 0 && line->isMultiLine()) {
        // Comment lines that directly follow belong to the same comment.
        const std::string_view text = line->view();
        size_t pos = token.finish();
        while (pos < text.size() && CharFilters::isEndOfLine(text[pos])) {
            ++pos;
            while (pos < text.size() && CharFilters::isSpace(text[pos]) &&
                   !CharFilters::isEndOfLine(text[pos]))
                ++pos;
            if (pos >= text.size() || text[pos] != m_syntax.commentStart)
                break;
            while (pos < text.size() && m_syntax.commentFilter(text[pos]))
                ++pos;
            token.setSpan(token.start(), pos);
        }
    }
    if (statement)
        statement->setComment(token);
    else if (m_config.keepCommentLines)
        statement = makeArenaShared<AsmStatement>(token);
}
