// The directive and symbol part of AsmParser: cutting a directive line into keyword, name
// and value, dispatching it to the handler registered for the keyword, and the symbol table
// that symbol directives fill and '$' references read.

#include "base/Logging.h"
#include "base/utils/stringUtils.h"
#include "sequencer/asmparser/AsmException.h"
#include "sequencer/asmparser/AsmParser.h"

AsmParser::IgnoreDirective::IgnoreDirective(const std::string& directive)
    : AsmDirectiveProcessor(directive) {}

AsmParser::IgnoreDirective::~IgnoreDirective() = default;

void AsmParser::IgnoreDirective::process(std::shared_ptr<AsmDirective>&) {}

AsmParser::DirectiveSymbolInserter::DirectiveSymbolInserter(const std::string& directive)
    : AsmDirectiveProcessor(directive) {}

AsmParser::DirectiveSymbolInserter::~DirectiveSymbolInserter() = default;

void AsmParser::DirectiveSymbolInserter::process(std::shared_ptr<AsmDirective>&) {}

bool AsmParser::DirectiveSymbolInserter::isSymbol() const {
    return true;
}

std::pair<AsmParser::SymbolTable::iterator, bool>
AsmParser::SymbolTable::insert(const Symbol& symbol) {
    return m_map.try_emplace(symbol.name.toString(), symbol);
}

std::pair<AsmParser::SymbolTable::iterator, bool> AsmParser::SymbolTable::insert(Symbol&& symbol) {
    std::string key = symbol.name.toString();
    // try_emplace leaves the symbol alone when the name is already defined.
    return m_map.try_emplace(std::move(key), std::move(symbol));
}

void AsmParser::setDirectiveProcessor(const std::shared_ptr<AsmDirectiveProcessor>& processor) {
    if (!processor)
        return;
    m_directiveProcessors.erase(processor->directive());
    m_directiveProcessors.emplace(processor->directive(), processor);
}

void AsmParser::setDirectiveSymbolInserter(const std::string& directive) {
    setDirectiveProcessor(std::make_shared<DirectiveSymbolInserter>(directive));
}

void AsmParser::ignoreDirective(const std::string& directive) {
    setDirectiveProcessor(std::make_shared<IgnoreDirective>(directive));
}

void AsmParser::parseDirective(std::shared_ptr<AsmDirective>& directive, AsmToken& token) {
    if (!directive)
        return;
    ++m_numDirectiveLines;
    const auto& line = directive->sourceLine();

    scanText(token, m_syntax.identifierFilter);
    if (token.empty())
        throw AsmSyntaxError(line, token.start(), 1)
            << "AsmParser: empty directive " << directive->directive();
    directive->setName(token);

    token.next();
    scanText(token, m_syntax.isNotEndOfStatement);
    token.stripBack();
    if (token.empty())
        throw AsmSyntaxError(line, token.start(), 1)
            << "AsmParser: directive " << directive->directive() << " has no value";
    directive->setValue(token);

    processDirective(directive);
    token.next();
}

void AsmParser::processDirective(std::shared_ptr<AsmDirective>& directive) {
    if (!directive)
        return;
    const AsmToken& keyword = directive->directive();
    const auto found = m_directiveProcessors.find(keyword);
    if (found == m_directiveProcessors.end() || !found->second)
        throw AsmSyntaxError(directive->sourceLine(), keyword.start(), keyword.length())
            << "AsmParser: directive '" << keyword << "' not supported";

    // Keep the handler alive even if processing re-registers its keyword.
    const auto processor = found->second;
    processor->process(directive);
    if (!directive || !processor->isSymbol())
        return;
    if (directive->name().empty())
        throw AsmSyntaxError(directive->sourceLine(), directive->directive().finish(), 1)
            << "AsmParser: No symbol name given for symbol directive " << directive->directive();
    addSymbol(*directive);
}

void AsmParser::addSymbol(const AsmDirective& directive) {
    const int lineNr = directive.sourceLine() ? directive.sourceLine()->lineNr() : 0;
    checkSymbolAdd(addSymbol(directive.name(), directive.value(), lineNr), directive);
}

std::pair<AsmParser::SymbolTable::iterator, bool>
AsmParser::addSymbol(const AsmToken& name, const AsmToken& value, int lineNr) {
    return m_symbols.insert(Symbol{name, value, lineNr});
}

void AsmParser::checkSymbolAdd(const std::pair<SymbolTable::iterator, bool>& result,
                               const AsmDirective& directive) {
    if (!result.second) {
        const Symbol& earlier = result.first->second;
        throw AsmDuplicateSymbolError({directive.sourceLine(), earlier.name.sourceLine()},
                                      directive.name().toString());
    }
    if (Logging::isLogLevelActive(LogLevel::verbose))
        Logging::writeText(LogLevel::debug, stringCat("parse: line ", result.first->second.lineNr,
                                                      ", found symbol: ", directive.name().view(),
                                                      " = '", directive.value().view(), "'"));
}

bool AsmParser::findSymbol(const AsmToken& name, AsmToken& value) const {
    const auto found = m_symbols.find(name);
    if (found == m_symbols.end())
        return false;
    value = found->second.value;
    return true;
}

bool AsmParser::resolveSymbol(AsmArgument& arg) const {
    AsmToken value;
    if (!findSymbol(arg.symbolName(), value))
        return false;
    arg.setStringValue(std::move(value));
    return true;
}
