#include "sequencer/asmparser/AsmStatement.h"

const AsmToken AsmStatement::s_emptyToken;

AsmStatement::AsmStatement() : m_type(AsmType::EMPTY) {}

AsmStatement::AsmStatement(AsmType type) : m_type(type) {}

AsmStatement::AsmStatement(const AsmToken& comment)
    : AsmStatement(comment, AsmType::COMMENT_ONLY) {}

AsmStatement::AsmStatement(const AsmToken& comment, AsmType type)
    : m_sourceLine(comment.sourceLine()), m_type(type) {
    if (comment.hasSource())
        m_comment = makeArenaUnique<AsmToken>(comment);
}

AsmStatement::AsmStatement(const AsmStatement& other)
    : m_sourceLine(other.m_sourceLine),
      m_comment(other.m_comment ? makeArenaUnique<AsmToken>(*other.m_comment) : nullptr),
      m_type(other.m_type) {}

AsmStatement& AsmStatement::operator=(const AsmStatement& other) {
    if (this != &other) {
        m_comment = other.m_comment ? makeArenaUnique<AsmToken>(*other.m_comment) : nullptr;
        m_sourceLine = other.m_sourceLine;
        m_type = other.m_type;
    }
    return *this;
}

AsmStatement::AsmStatement(const line_ptr& line, AsmType type) : m_sourceLine(line), m_type(type) {}

AsmStatement::~AsmStatement() = default;

void AsmStatement::clear() {
    m_sourceLine.reset();
    m_comment.reset();
    m_type = AsmType::EMPTY;
}

void AsmStatement::adoptCommentLine() {
    if (m_type == AsmType::EMPTY)
        m_type = AsmType::COMMENT_ONLY;
    const AsmToken& text = comment();
    if (!m_sourceLine && text.hasSource() && text.sourceLine()->lineNr() > 0)
        m_sourceLine = text.sourceLine();
}

void AsmStatement::setComment(const AsmToken& comment) {
    setComment(AsmToken(comment));
}

void AsmStatement::setComment(AsmToken&& comment) {
    if (m_comment)
        *m_comment = std::move(comment);
    else
        m_comment = makeArenaUnique<AsmToken>(std::move(comment));
    adoptCommentLine();
}

std::string AsmStatement::sourceString() const {
    if (m_sourceLine && m_sourceLine->lineNr() > 0)
        return m_sourceLine->toString();
    return {};
}

AsmDirective::AsmDirective() = default;

AsmDirective::AsmDirective(const AsmToken& directive)
    : AsmStatement(directive.sourceLine(), AsmType::DIRECTIVE), m_directive(directive) {}

AsmDirective::AsmDirective(const AsmToken& directive, const AsmToken& name, const AsmToken& value)
    : AsmStatement(directive.sourceLine(), AsmType::DIRECTIVE), m_directive(directive),
      m_name(name), m_value(value) {}

AsmDirective::~AsmDirective() = default;

void AsmDirective::clear() {
    AsmStatement::clear();
    m_directive = AsmToken();
    m_name = AsmToken();
    m_value = AsmToken();
}

AsmDirectiveProcessor::AsmDirectiveProcessor(const std::string& directive)
    : m_directive(directive) {}

AsmDirectiveProcessor::~AsmDirectiveProcessor() = default;

bool AsmDirectiveProcessor::isSymbol() const {
    return false;
}
