#pragma once

// AsmSyntax: the syntax characters and character classes of the assembly language, and the
// operations that cut tokens out of a line and classify them. A plain record: the classes are
// computed from the characters once, at construction.

#include "base/utils/CharFilter.h"
#include "sequencer/asmparser/AsmToken.h"

#include <string>
#include <vector>

struct AsmSyntax {
    char commentStart;
    char argSep;
    char labelEnd;
    char directiveStart;
    char symbolRefStart;
    char addressRefStart;
    char destinationStart;
    char destinationEnd;
    char destinationNot;

    CharFilter singleCharTokens;
    CharFilter tokenSeparators;
    CharFilter isEndOfStatement;
    CharFilter isNotEndOfStatement;
    CharFilter identifierFilter;
    CharFilter identifierStart;
    CharFilter commentFilter;
    CharFilter symbolRefFilter;
    CharFilter labelFilter;
    CharFilter addressRefFilter;
    CharFilter destinationFilter;
    CharFilter mnemonicFilter;
    CharFilter directiveFilter;
    CharFilter immediateFilter;
    CharFilter argumentFilter;
    CharFilter tokenFilter;

    // Directives the parser accepts and drops; the default single empty entry matches none.
    std::vector<std::string> ignoredDirectives;
    // Directives that define a symbol.
    std::vector<std::string> symbolDirectives;

    AsmSyntax();

    // Cuts the next token out of the text at the token's start (after leading white space):
    // a single-character token, or the longest run of characters accepted by filter, scanning
    // up to the end of the line. An empty result still marks where the scan stopped.
    void filter2Token(AsmToken& token, const CharFilter& filter) const;
    // The same, running up to the first character of tokenSeparators.
    void filter2Token(AsmToken& token) const;

    bool isIdentifier(const AsmToken& token) const;
    bool isDirective(const AsmToken& token) const;
    bool isMnemonic(const AsmToken& token) const;
    bool isSymbolRef(const AsmToken& token) const;
    bool isAddressRef(const AsmToken& token) const;
    bool isRegister(const AsmToken& token) const;
    bool isImmediate(const AsmToken& token) const;
    bool isComment(const AsmToken& token) const;
};
