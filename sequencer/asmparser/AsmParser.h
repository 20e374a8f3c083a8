#pragma once

// AsmParser: turns source lines into statements (labels, instructions with arguments,
// directives, comments), keeps them in its statement container, handles directives and the
// symbols they define, and writes statements back as assembly text in a column layout.
// Nothing in it knows a particular processor: the characters come from its AsmSyntax, the
// directives from its table of handlers.

#include "base/utils/SourceLine.h"
#include "base/utils/SourceReader.h"
#include "base/utils/StopWatch.h"
#include "base/utils/StopWatchSet.h"
#include "sequencer/asmparser/AsmContainer.h"
#include "sequencer/asmparser/AsmInstruction.h"
#include "sequencer/asmparser/AsmStatement.h"
#include "sequencer/asmparser/AsmSyntax.h"
#include "sequencer/asmparser/AsmToken.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

class AsmErrorList;

class AsmParser {
public:
    using address_t = AsmContainer::address_t;
    using int_type = AsmArgument::int_type;
    using line_ptr = std::shared_ptr<const SourceLine>;

    // What the parser keeps and what the unparser writes.
    struct AsmConfig {
        bool keepComments = false;      // attach comments to their statements
        bool keepCommentLines = false;  // keep comment-only lines as statements
        bool keepAllDirectives = false; // keep every directive statement
        bool writeLabels = true;        // write address labels
        bool writeAddresses = true;     // write the address of an unlabelled instruction
        bool writeComments = true;      // write comments
        bool writeCommentLines = true;  // write comment-only statements
        bool writeDirectives = true;    // write directives
        // Directive keywords kept even when keepAllDirectives is false.
        std::unordered_set<std::string, AsmTokenHash, AsmTokenEqual> m_keepDirectives;

        void keepNoDirectives() { m_keepDirectives.clear(); }
        void keepDirective(const std::string& directive) { m_keepDirectives.insert(directive); }
        bool shouldKeepDirective(std::string_view directive) const {
            return keepAllDirectives || m_keepDirectives.find(directive) != m_keepDirectives.end();
        }
    };

    // Output columns of the unparser, counted from 0.
    struct AsmFormat {
        int commandColumn = 8;
        int argumentsColumn = 20;
        int commentColumn = 40;
        int labelColumn = 0;
    };

    // Accepts its directive and drops it.
    class IgnoreDirective : public AsmDirectiveProcessor {
    public:
        explicit IgnoreDirective(const std::string& directive);
        ~IgnoreDirective() override;
        void process(std::shared_ptr<AsmDirective>& directive) override;
    };

    // Marks its directive as one that defines a symbol (name = value).
    class DirectiveSymbolInserter : public AsmDirectiveProcessor {
    public:
        explicit DirectiveSymbolInserter(const std::string& directive);
        ~DirectiveSymbolInserter() override;
        void process(std::shared_ptr<AsmDirective>& directive) override;
        bool isSymbol() const override;
    };

    // A symbol: its name and value as written in the defining directive's line.
    struct Symbol {
        AsmToken name;
        AsmToken value;
        int lineNr = 0;
    };

    // The symbols of one parse, keyed by the name text; an existing entry is never
    // overwritten. Looked up with tokens without building a string.
    class SymbolTable {
    public:
        using map_t = std::unordered_map<std::string, Symbol, AsmTokenHash, AsmTokenEqual>;
        using iterator = map_t::iterator;
        using const_iterator = map_t::const_iterator;

        std::pair<iterator, bool> insert(const Symbol& symbol);
        std::pair<iterator, bool> insert(Symbol&& symbol);
        iterator find(const AsmToken& name) { return m_map.find(name.view()); }
        const_iterator find(const AsmToken& name) const { return m_map.find(name.view()); }
        iterator find(const std::string& name) { return m_map.find(name); }
        const_iterator find(const std::string& name) const { return m_map.find(name); }

        iterator begin() { return m_map.begin(); }
        iterator end() { return m_map.end(); }
        const_iterator begin() const { return m_map.begin(); }
        const_iterator end() const { return m_map.end(); }
        size_t size() const { return m_map.size(); }
        bool empty() const { return m_map.empty(); }
        void clear() { m_map.clear(); }

    private:
        map_t m_map;
    };

    // Directive handlers by keyword; keywords compare case-sensitively.
    using DirectiveProcessorList = std::map<AsmToken, std::shared_ptr<AsmDirectiveProcessor>>;

    AsmParser();
    explicit AsmParser(const AsmSyntax& syntax);

    // Parses a whole source: start, every line, finish. Returns the number of error sources
    // in `errors`, or 1 when the reader cannot start.
    int parse(SourceReader& reader, AsmErrorList& errors);
    // Begins a parse: empties the symbols, the statements, the counters and a pending label.
    void start();
    // Parses one line and keeps its statement; an error of the line goes into `errors`.
    void processLine(const line_ptr& line, AsmErrorList& errors);
    // Ends a parse: reports a label-only line still waiting for its instruction.
    void finish(AsmErrorList& errors);

    AsmConfig& config() { return m_config; }
    const AsmConfig& config() const { return m_config; }
    AsmFormat& format() { return m_format; }
    const AsmFormat& format() const { return m_format; }
    AsmSyntax& syntax() { return m_syntax; }
    const AsmSyntax& syntax() const { return m_syntax; }
    // Replaces the syntax; the registered directive handlers stay as they are.
    void setSyntax(const AsmSyntax& syntax);
    void setSyntax(AsmSyntax&& syntax);

    const AsmContainer& statements() const { return m_statements; }
    AsmContainer& statements() { return m_statements; }
    const SymbolTable& symbols() const { return m_symbols; }
    uint32_t numSrcLines() const { return m_numSrcLines; }
    uint32_t numInstructionLines() const { return m_numInstructionLines; }
    uint32_t numDirectiveLines() const { return m_numDirectiveLines; }

    // Numbers the instructions and resolves address-label references (the container's pass).
    void assignInstructionAddresses(AsmErrorList& errors, address_t start, address_t increment);

    const HiResStopWatchSet& getTimers() const { return m_timers; }
    // Writes the timer report at info level unless logging is quiet.
    void printTimers() const;

    // Directives and symbols.
    // Registers `processor` for its keyword, replacing any handler registered before.
    void setDirectiveProcessor(const std::shared_ptr<AsmDirectiveProcessor>& processor);
    void setDirectiveSymbolInserter(const std::string& directive);
    void ignoreDirective(const std::string& directive);
    const DirectiveProcessorList& directiveProcessors() const { return m_directiveProcessors; }
    // `token` is the text after the keyword; cuts name and value, then processes the
    // directive. The token is left on the rest of the line (a comment or nothing).
    void parseDirective(std::shared_ptr<AsmDirective>& directive, AsmToken& token);
    void processDirective(std::shared_ptr<AsmDirective>& directive);
    void addSymbol(const AsmDirective& directive);
    std::pair<SymbolTable::iterator, bool> addSymbol(const AsmToken& name, const AsmToken& value,
                                                     int lineNr);
    // Throws AsmDuplicateSymbolError when the insertion found the name already defined.
    void checkSymbolAdd(const std::pair<SymbolTable::iterator, bool>& result,
                        const AsmDirective& directive);
    // On success `value` becomes the symbol's value token.
    bool findSymbol(const AsmToken& name, AsmToken& value) const;
    // Replaces the argument's string value by the value of its symbol; false when undefined.
    bool resolveSymbol(AsmArgument& arg) const;

    // Unparser: every statement gives one output line.
    // Returns the number of statements whose writing failed.
    int unparse(std::ostream& os) const;
    // -1 when the file cannot be opened, otherwise the result of unparse.
    int saveUnparsed(const std::string& fileName) const;
    void unparseStatement(std::ostream& os, const AsmStatement& statement) const;
    void unparseInstruction(std::ostream& os, const AsmInstruction& instruction, int& column) const;
    void unparseArgument(std::ostream& os, const AsmArgument& arg) const;
    void unparseArgument(std::ostream& os, const AsmArgument& arg, int& column) const;
    void unparseDirective(std::ostream& os, const AsmDirective& directive, int& column) const;
    void unparseComment(std::ostream& os, const AsmToken& comment, int& column) const;
    void unparseAddressLabel(std::ostream& os, const AsmToken& label, int& column) const;
    void unparseAddressAsLabel(std::ostream& os, address_t address, int& column) const;
    // Pads up to `target`; two items on a line are always separated by at least one blank.
    static void alignToColumn(std::ostream& os, int target, int& column);

private:
    // A span [start, finish) of the line being parsed. No default values: a line's spans are
    // collected in a local array that need not be cleared first.
    struct Span {
        size_t start;
        size_t finish;
        size_t length() const { return finish - start; }
        bool empty() const { return finish == start; }
    };
    class LineScanner;

    void init();
    void initializeParsing();
    std::shared_ptr<AsmStatement> parseLine(const line_ptr& line);
    // `token` is the text after the mnemonic; returns what follows the arguments.
    Span parseInstruction(AsmInstruction& instruction, const line_ptr& line,
                          const LineScanner& scan, Span token);
    void parseArgument(AsmArgument& arg, const line_ptr& line, const LineScanner& scan, Span token);
    void parseArgValue(AsmArgument& arg);
    // The number in the value's text from `skip` characters on.
    static int_type getArgumentValue(const AsmToken& value, size_t skip, const char* kind);
    void parseComment(std::shared_ptr<AsmStatement>& statement, const line_ptr& line,
                      const LineScanner& scan, Span token);
    // `token` starts after the comment character.
    void keepComment(std::shared_ptr<AsmStatement>& statement, AsmToken token);
    // Like AsmSyntax::filter2Token, but without the single-character tokens: free text
    // (comments, directive values) may begin with any character.
    static void scanText(AsmToken& token, const CharFilter& filter);

    AsmSyntax m_syntax;
    AsmConfig m_config;
    AsmFormat m_format;
    DirectiveProcessorList m_directiveProcessors;
    AsmContainer m_statements;
    SymbolTable m_symbols;
    uint32_t m_numSrcLines = 0;
    uint32_t m_numInstructionLines = 0;
    uint32_t m_numDirectiveLines = 0;
    std::shared_ptr<StopWatch> m_parseTimer;
    HiResStopWatchSet m_timers;
    // A label-only line waiting for the next instruction line; null when none.
    std::shared_ptr<AsmInstruction> labelOnlyStatement;
};
