#pragma once

// Statements of the assembly language: the kind of a statement (AsmType), the common base of
// all statements (AsmStatement), directive statements (AsmDirective) and the interface of the
// handlers that process directives (AsmDirectiveProcessor). Instructions are in AsmInstruction.h.

#include "base/utils/ArenaAllocator.h"
#include "base/utils/SourceLine.h"
#include "sequencer/asmparser/AsmToken.h"

#include <cstdint>
#include <memory>
#include <string>

class AsmInstruction;

class AsmType {
public:
    using storage_t = uint16_t;

    static constexpr storage_t UNKNOWN = 0;      // not classified
    static constexpr storage_t EMPTY = 1;        // nothing on the line
    static constexpr storage_t COMMENT_ONLY = 2; // only a comment
    static constexpr storage_t LABEL_ONLY = 3;   // only an address label
    static constexpr storage_t DIRECTIVE = 4;
    static constexpr storage_t INSTRUCTION = 5;

    constexpr AsmType() noexcept = default;
    constexpr AsmType(storage_t value) noexcept : m_value(value) {}
    constexpr AsmType& operator=(storage_t value) noexcept {
        m_value = value;
        return *this;
    }
    constexpr bool operator==(storage_t value) const noexcept { return m_value == value; }
    constexpr bool operator==(const AsmType& other) const noexcept = default;
    constexpr storage_t value() const noexcept { return m_value; }

private:
    storage_t m_value = UNKNOWN;
};

class AsmStatement {
public:
    using line_ptr = std::shared_ptr<const SourceLine>;

    // No line, no comment, EMPTY.
    AsmStatement();
    explicit AsmStatement(AsmType type);
    // Line taken from the comment, COMMENT_ONLY.
    explicit AsmStatement(const AsmToken& comment);
    AsmStatement(const AsmToken& comment, AsmType type);
    AsmStatement(const line_ptr& line, AsmType type);
    AsmStatement(const AsmStatement& other);
    AsmStatement& operator=(const AsmStatement& other);

    virtual ~AsmStatement();
    // Back to the freshly constructed state, kind EMPTY.
    virtual void clear();
    // The statement as an instruction, or null: what a dynamic_cast would give, for a
    // fraction of its cost on the per-statement paths.
    virtual AsmInstruction* asInstruction() noexcept { return nullptr; }
    virtual const AsmInstruction* asInstruction() const noexcept { return nullptr; }

    bool hasComment() const { return m_comment && !m_comment->empty(); }
    const AsmToken& comment() const { return m_comment ? *m_comment : s_emptyToken; }
    // An EMPTY statement becomes COMMENT_ONLY; a statement without a line takes the
    // comment's line when that line has a number.
    void setComment(const AsmToken& comment);
    void setComment(AsmToken&& comment);

    AsmType::storage_t type() const { return m_type.value(); }
    bool hasSource() const { return m_sourceLine != nullptr; }
    const line_ptr& sourceLine() const { return m_sourceLine; }
    // Copy of the line's text when the line has a number greater than 0, else empty.
    std::string sourceString() const;

    static const AsmToken s_emptyToken;

protected:
    void adoptCommentLine();

    line_ptr m_sourceLine;
    // Held apart, as few statements keep a comment.
    ArenaUniquePtr<AsmToken> m_comment;
    AsmType m_type;
};

class AsmDirective : public AsmStatement {
public:
    AsmDirective();
    // Line taken from the directive token, DIRECTIVE, empty name and value.
    explicit AsmDirective(const AsmToken& directive);
    AsmDirective(const AsmToken& directive, const AsmToken& name, const AsmToken& value);
    AsmDirective(const AsmDirective&) = default;
    AsmDirective& operator=(const AsmDirective&) = default;

    ~AsmDirective() override;
    void clear() override;

    // The keyword including its leading directive character.
    const AsmToken& directive() const { return m_directive; }
    const AsmToken& name() const { return m_name; }
    void setName(const AsmToken& name) { m_name = name; }
    const AsmToken& value() const { return m_value; }
    void setValue(const AsmToken& value) { m_value = value; }
    void setValue(AsmToken&& value) { m_value = std::move(value); }
    // The value becomes a token on a new line made from the text.
    void setValue(const std::string& value) { m_value = value; }
    void setValue(std::string&& value) { m_value = std::move(value); }

protected:
    AsmToken m_directive;
    AsmToken m_name;
    AsmToken m_value;
};

// Handler of one directive keyword; the parser asks isSymbol() whether the directive defines
// a symbol.
class AsmDirectiveProcessor {
public:
    explicit AsmDirectiveProcessor(const std::string& directive);
    virtual ~AsmDirectiveProcessor();
    virtual void process(std::shared_ptr<AsmDirective>& directive) = 0;
    virtual bool isSymbol() const;

    const AsmToken& directive() const { return m_directive; }

protected:
    AsmToken m_directive;
};
