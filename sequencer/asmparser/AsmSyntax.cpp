#include "sequencer/asmparser/AsmSyntax.h"

AsmSyntax::AsmSyntax()
    : commentStart('#'), argSep(','), labelEnd(':'), directiveStart('.'), symbolRefStart('$'),
      addressRefStart('@'), destinationStart('['), destinationEnd(']'), destinationNot('^') {
    // Each class is built only from classes built before it.
    singleCharTokens.include(destinationStart);
    singleCharTokens.include(destinationEnd);
    singleCharTokens.include(labelEnd);

    tokenSeparators.include(CharFilters::isSpace);
    tokenSeparators.include(":;,<>/?|\\[]{}()+=&");

    commentFilter = CharFilters::isEndOfLine.inverse();

    isEndOfStatement.include(CharFilters::isEndOfLine);
    isEndOfStatement.include(commentStart);

    isNotEndOfStatement = isEndOfStatement.inverse();

    identifierStart.include(CharFilters::isAlpha);
    identifierStart.include('_');

    identifierFilter.include(identifierStart);
    identifierFilter.include(CharFilters::isAlnum);

    symbolRefFilter.include(identifierFilter);
    symbolRefFilter.include(symbolRefStart);

    labelFilter.include(identifierFilter);

    addressRefFilter.include(identifierFilter);
    addressRefFilter.include(addressRefStart);

    destinationFilter.include(CharFilters::isAlnum);
    destinationFilter.include('_');
    destinationFilter.include(destinationNot);

    mnemonicFilter.include(identifierFilter);

    directiveFilter.include(identifierFilter);
    directiveFilter.include(directiveStart);

    immediateFilter.include(CharFilters::isDigit);
    immediateFilter.include(CharFilters::isXDigit);

    argumentFilter.include(CharFilters::isAlnum);
    argumentFilter.include(symbolRefFilter);
    argumentFilter.include(addressRefFilter);

    tokenFilter.include(identifierFilter);
    tokenFilter.include(mnemonicFilter);
    tokenFilter.include(directiveFilter);
    tokenFilter.include(labelFilter);
    tokenFilter.include(destinationFilter);

    ignoredDirectives.emplace_back();
    symbolDirectives.emplace_back(".DEF");
}

namespace {

// Cuts the token at its start after white space: one single-character token, or the run of
// characters that `inToken` accepts, up to the end of the line (not only the token's finish).
template <typename InToken>
void cutToken(AsmToken& token, const CharFilter& singleCharTokens, const InToken& inToken) {
    token.stripFront();
    if (!token.hasSource())
        return;
    const SourceLine& line = *token.sourceLine();
    const size_t lineLen = line.length();
    const size_t start = token.start();
    if (start >= lineLen)
        return;
    const char* text = line.data();
    if (singleCharTokens(text[start])) {
        token.setSpan(start, start + 1);
        return;
    }
    size_t finish = start;
    while (finish < lineLen && inToken(text[finish]))
        ++finish;
    token.setSpan(start, finish);
}

} // namespace

void AsmSyntax::filter2Token(AsmToken& token, const CharFilter& filter) const {
    cutToken(token, singleCharTokens, filter);
}

void AsmSyntax::filter2Token(AsmToken& token) const {
    cutToken(token, singleCharTokens, [this](char c) { return !tokenSeparators(c); });
}

bool AsmSyntax::isIdentifier(const AsmToken& token) const {
    return !token.empty() && identifierStart(token.front()) &&
           identifierFilter.accept(token.view());
}

bool AsmSyntax::isDirective(const AsmToken& token) const {
    return token.length() > 1 && token.front() == directiveStart &&
           directiveFilter.accept(token.view());
}

bool AsmSyntax::isMnemonic(const AsmToken& token) const {
    return mnemonicFilter.accept(token.view());
}

bool AsmSyntax::isSymbolRef(const AsmToken& token) const {
    return token.length() >= 2 && token.front() == symbolRefStart;
}

bool AsmSyntax::isAddressRef(const AsmToken& token) const {
    return token.length() >= 2 && token.front() == addressRefStart;
}

bool AsmSyntax::isRegister(const AsmToken& token) const {
    return token.length() >= 2 && CharFilters::isAlpha(token[0]) && CharFilters::isDigit(token[1]);
}

bool AsmSyntax::isImmediate(const AsmToken& token) const {
    return immediateFilter.accept(token.view());
}

bool AsmSyntax::isComment(const AsmToken& token) const {
    return !token.empty() && token.front() == commentStart;
}
