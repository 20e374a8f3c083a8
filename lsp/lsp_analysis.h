#ifndef LSP_LSP_ANALYSIS_H
#define LSP_LSP_ANALYSIS_H

// What one assembly of a document gives the language server: the errors with the byte
// ranges their reports mark, the tokens of every parsed statement (kind and byte range), the
// address labels and symbols with their definitions and references, the sections, the
// address of every instruction line and the program words. All of it is read from the
// driver's statements and error list after the run and kept as plain data, so that nothing
// of the run is held after the next one.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class seq;

enum class lsp_token_kind : uint8_t {
    mnemonic,
    reg,
    number,
    label,
    symbol,
    directive,
    comment,
    text // a directive's value that is no number, register or reference
};

struct lsp_token {
    size_t begin = 0; // byte offsets into the document, the prefix ('@', '$', '#') included
    size_t end = 0;
    lsp_token_kind kind = lsp_token_kind::text;
    bool definition = false; // a label or symbol defined here
    bool argument = false;   // an operand of an instruction
    bool prefixed = false;   // the first character is '@', '$' or '#'
    int64_t value = 0;       // a number's value, a register's number
    std::string name;        // mnemonic, label or symbol name, directive keyword
    // The range of the name alone.
    size_t nameBegin() const { return begin + (prefixed ? 1 : 0); }
};

struct lsp_span {
    size_t begin = 0;
    size_t end = 0;
    bool operator<(const lsp_span& other) const { return begin < other.begin; }
    bool operator==(const lsp_span& other) const = default;
};

struct lsp_name {
    bool defined = false;
    lsp_span definition;
    std::vector<lsp_span> references; // in document order
    int64_t address = -1;             // of a label
    std::string value;                // of a symbol
};

struct lsp_error {
    lsp_span span;
    bool wholeLine = false; // span covers the line
    std::string message;
};

struct lsp_section {
    std::string directive;
    size_t line = 0;    // reader line index of the directive
    size_t endLine = 0; // last line of the section
};

struct lsp_instruction_line {
    size_t line = 0; // reader line index
    uint32_t address = 0;
};

class lsp_analysis {
public:
    // Assembles `text` with `driver` and collects the results.
    void run(seq& driver, const std::shared_ptr<const std::string>& text);

    bool assembled() const { return m_assembled; }
    const std::vector<lsp_error>& errors() const { return m_errors; }
    const std::vector<lsp_token>& tokens() const { return m_tokens; }
    const std::map<std::string, lsp_name>& labels() const { return m_labels; }
    const std::map<std::string, lsp_name>& symbols() const { return m_symbols; }
    const std::vector<lsp_section>& sections() const { return m_sections; }
    const std::vector<lsp_instruction_line>& instructionLines() const { return m_instructionLines; }
    const std::vector<uint64_t>& words() const { return m_words; }

    // Lines as the assembler's reader cut them (a LF CR pair ends one line there).
    size_t readerLineCount() const { return m_lineStarts.size(); }
    size_t readerLineStart(size_t line) const { return m_lineStarts[line]; }
    size_t readerLineEnd(size_t line) const { return m_lineEnds[line]; }

    // The token covering the byte offset (a token ending there counts too), or null.
    const lsp_token* tokenAt(size_t offset) const;
    // The tokens starting on a reader line: [first, last).
    std::pair<size_t, size_t> tokensOfLine(size_t line) const;

private:
    void addToken(lsp_token token);
    void addReference(std::map<std::string, lsp_name>& names, const std::string& name,
                      lsp_span span);

    bool m_assembled = false;
    std::vector<lsp_error> m_errors;
    std::vector<lsp_token> m_tokens;
    std::map<std::string, lsp_name> m_labels;
    std::map<std::string, lsp_name> m_symbols;
    std::vector<lsp_section> m_sections;
    std::vector<lsp_instruction_line> m_instructionLines;
    std::vector<uint64_t> m_words;
    std::vector<size_t> m_lineStarts;
    std::vector<size_t> m_lineEnds;
};

#endif
