#include "lsp/lsp_analysis.h"

#include "assembler/seq.h"
#include "base/utils/SourceReader.h"
#include "base/utils/stringUtils.h"
#include "sequencer/SeqAssembler.h"
#include "sequencer/SeqSim.h"
#include "sequencer/asmparser/AsmContainer.h"
#include "sequencer/asmparser/AsmErrorList.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/asmparser/AsmSyntax.h"
#include "sequencer/seqprocessor/SeqProcessor.h"

#include <algorithm>
#include <stdexcept>

namespace {

const AsmSyntax& syntax() {
    static const AsmSyntax instance;
    return instance;
}

std::string trimmedMessage(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

void lsp_analysis::addToken(lsp_token token) {
    m_tokens.push_back(std::move(token));
}

void lsp_analysis::addReference(std::map<std::string, lsp_name>& names, const std::string& name,
                                lsp_span span) {
    names[name].references.push_back(span);
}

void lsp_analysis::run(seq& driver, const std::shared_ptr<const std::string>& text) {
    m_errors.clear();
    m_tokens.clear();
    m_labels.clear();
    m_symbols.clear();
    m_sections.clear();
    m_instructionLines.clear();
    m_words.clear();
    m_lineStarts.clear();
    m_lineEnds.clear();

    UIStr report;
    const int status = driver.assemble(text, report);
    m_assembled = status == 0;

    // The lines as the driver's reader cuts them, and the section lines it takes out.
    const std::string codeSection = driver.assembler()->asmSectionGetDirective();
    const std::string simSection = driver.simulator()->asmSectionGetDirective();
    StringSourceReader reader(text);
    UIStr message;
    if (reader.start(message)) {
        while (!reader.isEndOfSource()) {
            const std::string_view line = reader.nextLineContents();
            const auto start = static_cast<size_t>(line.data() - text->data());
            const size_t index = m_lineStarts.size();
            m_lineStarts.push_back(start);
            m_lineEnds.push_back(start + line.size());
            const size_t first = skipSpace(line, 0);
            if (first >= line.size() || line[first] != syntax().directiveStart)
                continue;
            AsmToken token(std::make_shared<const SourceLine>(line));
            syntax().filter2Token(token, syntax().directiveFilter);
            if (!syntax().isDirective(token))
                continue;
            const bool section = token == codeSection || token == simSection;
            if (!section && token != ".CPU" && token != ".END")
                continue;
            lsp_token directive;
            directive.begin = start + token.start();
            directive.end = start + token.finish();
            directive.kind = lsp_token_kind::directive;
            directive.name = token.toString();
            addToken(directive);
            if (section) {
                if (!m_sections.empty())
                    m_sections.back().endLine = index - 1;
                m_sections.push_back({directive.name, index, index});
            }
        }
        reader.finish();
    }
    if (m_lineStarts.empty()) {
        m_lineStarts.push_back(0);
        m_lineEnds.push_back(0);
    }
    if (!m_sections.empty())
        m_sections.back().endLine = m_lineStarts.size() - 1;

    // The byte offset of a column of a statement's line, or npos for a line not read here.
    const auto offsetOf = [this](const AsmToken& token, size_t column) -> size_t {
        const auto& line = token.sourceLine();
        if (!line || line->lineNr() <= 0 ||
            static_cast<size_t>(line->lineNr()) > m_lineStarts.size())
            return std::string::npos;
        return m_lineStarts[static_cast<size_t>(line->lineNr()) - 1] + column;
    };
    const auto tokenOf = [&](const AsmToken& token, lsp_token_kind kind, size_t prefix) {
        lsp_token result;
        const size_t at = offsetOf(token, token.start());
        if (at == std::string::npos || at < prefix)
            return result;
        result.begin = at - prefix;
        result.end = at + token.length();
        result.kind = kind;
        result.prefixed = prefix != 0;
        return result;
    };

    for (const auto& statement : driver.assembler()->asmStatements()) {
        if (!statement)
            continue;
        if (statement->type() == AsmType::INSTRUCTION && statement->asInstruction() != nullptr) {
            const AsmInstruction& instruction = *statement->asInstruction();
            if (instruction.hasAddressLabel()) {
                lsp_token label = tokenOf(instruction.addressLabel(), lsp_token_kind::label, 0);
                label.definition = true;
                label.name = instruction.addressLabel().toString();
                label.value = instruction.address();
                lsp_name& entry = m_labels[label.name];
                if (!entry.defined && label.end != 0) {
                    entry.defined = true;
                    entry.definition = {label.begin, label.end};
                    entry.address = instruction.address();
                }
                addToken(std::move(label));
            }
            lsp_token command = tokenOf(instruction.command(), lsp_token_kind::mnemonic, 0);
            command.name = instruction.command().toString();
            addToken(std::move(command));
            for (const auto& arg : instruction.argList()) {
                if (!arg)
                    continue;
                lsp_token token;
                if (arg->hasSymbolRef()) {
                    token = tokenOf(arg->symbolName(), lsp_token_kind::symbol, 1);
                    token.name = arg->symbolName().toString();
                    addReference(m_symbols, token.name, {token.nameBegin(), token.end});
                } else if (arg->hasAddressRef()) {
                    token = tokenOf(arg->addressLabel(), lsp_token_kind::label, 1);
                    token.name = arg->addressLabel().toString();
                    addReference(m_labels, token.name, {token.nameBegin(), token.end});
                } else {
                    token = tokenOf(
                        arg->stringValue(),
                        arg->isRegister() ? lsp_token_kind::reg : lsp_token_kind::number, 0);
                }
                token.value = arg->intValue();
                token.argument = true;
                addToken(std::move(token));
            }
            if (instruction.address() >= 0 && statement->hasSource())
                m_instructionLines.push_back(
                    {static_cast<size_t>(statement->sourceLine()->lastLineNr()) - 1,
                     static_cast<uint32_t>(instruction.address())});
        } else if (statement->type() == AsmType::DIRECTIVE) {
            const auto* directive = dynamic_cast<const AsmDirective*>(statement.get());
            if (directive == nullptr)
                continue;
            lsp_token keyword = tokenOf(directive->directive(), lsp_token_kind::directive, 0);
            keyword.name = directive->directive().toString();
            addToken(keyword);
            const auto& symbolDirectives = syntax().symbolDirectives;
            const bool definesSymbol = std::find(symbolDirectives.begin(), symbolDirectives.end(),
                                                 keyword.name) != symbolDirectives.end();
            if (!definesSymbol || directive->name().empty())
                continue;
            lsp_token name = tokenOf(directive->name(), lsp_token_kind::symbol, 0);
            name.definition = true;
            name.name = directive->name().toString();
            lsp_name& entry = m_symbols[name.name];
            if (!entry.defined) {
                entry.defined = true;
                entry.definition = {name.begin, name.end};
                entry.value = directive->value().toString();
            }
            addToken(name);
            const AsmToken& value = directive->value();
            if (syntax().isAddressRef(value)) {
                lsp_token label = tokenOf(value, lsp_token_kind::label, 0);
                label.prefixed = true;
                label.name = value.toString().substr(1);
                addReference(m_labels, label.name, {label.nameBegin(), label.end});
                addToken(std::move(label));
            } else {
                lsp_token plain = tokenOf(value, lsp_token_kind::text, 0);
                int64_t number = 0;
                if (syntax().isRegister(value)) {
                    plain.kind = lsp_token_kind::reg;
                } else if (syntax().isImmediate(value)) {
                    try {
                        stringToInt(number, value.view());
                        plain.kind = lsp_token_kind::number;
                        plain.value = number;
                    } catch (const std::exception&) {
                    }
                }
                addToken(std::move(plain));
            }
        }
        if (statement->hasComment()) {
            const AsmToken& comment = statement->comment();
            const size_t at = offsetOf(comment, comment.start());
            if (at != std::string::npos) {
                const size_t lineStart = offsetOf(comment, 0);
                const size_t hash = text->rfind(syntax().commentStart, at);
                lsp_token token;
                token.begin = hash != std::string::npos && hash >= lineStart ? hash : at;
                token.end = at + comment.length();
                token.kind = lsp_token_kind::comment;
                token.prefixed = true;
                addToken(std::move(token));
            }
        }
    }
    std::stable_sort(m_tokens.begin(), m_tokens.end(),
                     [](const lsp_token& a, const lsp_token& b) { return a.begin < b.begin; });
    m_tokens.erase(std::remove_if(m_tokens.begin(), m_tokens.end(),
                                  [](const lsp_token& t) { return t.end == 0; }),
                   m_tokens.end());
    for (auto* names : {&m_labels, &m_symbols})
        for (auto& [name, entry] : *names) {
            std::sort(entry.references.begin(), entry.references.end());
            entry.references.erase(std::unique(entry.references.begin(), entry.references.end()),
                                   entry.references.end());
        }

    // The errors, each at every line its report shows, or on the first line without one.
    for (const auto& error : driver.lastErrors()) {
        if (!error)
            continue;
        const auto* source = dynamic_cast<const AsmSourceError*>(error.get());
        const std::string text_ =
            trimmedMessage(source != nullptr ? source->streamedMessage() : error->message());
        bool placed = false;
        if (source != nullptr) {
            for (const SourceErrorRef& ref : source->errorInfos()) {
                if (!ref.hasSource() ||
                    static_cast<size_t>(ref.sourceLine()->lineNr()) > m_lineStarts.size())
                    continue;
                const size_t line = static_cast<size_t>(ref.sourceLine()->lineNr()) - 1;
                const size_t start = m_lineStarts[line];
                const size_t end = m_lineEnds[line];
                lsp_error entry;
                entry.message = text_;
                if (ref.errorStart() == SourceErrorRef::npos) {
                    entry.span = {start, end};
                    entry.wholeLine = true;
                } else {
                    const size_t from = std::min(start + ref.errorStart(), end);
                    const size_t length = std::max<size_t>(ref.errorLength(), 1);
                    entry.span = {from, std::min(from + std::min(length, end - start), end)};
                }
                m_errors.push_back(std::move(entry));
                placed = true;
            }
        }
        if (!placed)
            m_errors.push_back({{m_lineStarts[0], m_lineEnds[0]}, true, text_});
    }
    if (status != 0 && m_errors.empty())
        m_errors.push_back({{m_lineStarts[0], m_lineEnds[0]}, true, trimmedMessage(report)});

    if (m_assembled) {
        const uint32_t count = driver.assembler()->numInstructions();
        m_words.reserve(count);
        for (uint32_t address = 0; address < count; ++address)
            m_words.push_back(driver.processor()->readInstructionMem(address));
    }
}

const lsp_token* lsp_analysis::tokenAt(size_t offset) const {
    auto after = std::upper_bound(m_tokens.begin(), m_tokens.end(), offset,
                                  [](size_t at, const lsp_token& t) { return at < t.begin; });
    if (after == m_tokens.begin())
        return nullptr;
    const lsp_token& token = *(after - 1);
    return offset <= token.end ? &token : nullptr;
}

std::pair<size_t, size_t> lsp_analysis::tokensOfLine(size_t line) const {
    const auto by = [](const lsp_token& t, size_t at) { return t.begin < at; };
    const auto first = std::lower_bound(m_tokens.begin(), m_tokens.end(), m_lineStarts[line], by);
    const size_t next = line + 1 < m_lineStarts.size() ? m_lineStarts[line + 1] : SIZE_MAX;
    const auto last = std::lower_bound(first, m_tokens.end(), next, by);
    return {static_cast<size_t>(first - m_tokens.begin()),
            static_cast<size_t>(last - m_tokens.begin())};
}
