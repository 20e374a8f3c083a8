#include "sequencer/asmparser/AsmException.h"

#include <algorithm>
#include <utility>

// AsmError

bool AsmError::hasSource() const {
    return false;
}

std::shared_ptr<const SourceLine> AsmError::sourceLine() const {
    return {};
}

size_t AsmError::numberOfErrorSources() const {
    return 0;
}

int AsmError::lineNr() const {
    const std::shared_ptr<const SourceLine> line = sourceLine();
    return line ? line->lineNr() : 0;
}

std::string AsmError::message() const {
    return what();
}

// AsmRuntimeError and its fatal kinds

const char* AsmRuntimeError::errorType() const {
    return "AsmRuntimeError";
}

const char* AsmFatalError::errorType() const {
    return "AsmFatalError";
}

const char* AsmProgramTooLongError::errorType() const {
    return "Asm program too long";
}

// AsmSourceError

AsmSourceError::AsmSourceError(std::vector<SourceErrorRef> errorInfos)
    : m_errorInfos(std::move(errorInfos)) {
    std::stable_sort(m_errorInfos.begin(), m_errorInfos.end());
}

AsmSourceError::AsmSourceError(const SourceErrorRef& errorInfo) : m_errorInfos{errorInfo} {}

AsmSourceError::AsmSourceError(const SourceLinePtr& line) : m_errorInfos{SourceErrorRef(line)} {}

AsmSourceError::AsmSourceError(const SourceLinePtr& line, size_t start, size_t length)
    : m_errorInfos{SourceErrorRef(line, start, length)} {}

AsmSourceError::AsmSourceError(const SourceLinePtr& line, const std::string& text)
    : m_errorInfos{SourceErrorRef(line, text)} {}

const char* AsmSourceError::errorType() const {
    return "Asm source error";
}

bool AsmSourceError::hasSource() const {
    return !m_errorInfos.empty();
}

AsmSourceError::SourceLinePtr AsmSourceError::sourceLine() const {
    return hasSource() ? m_errorInfos.front().sourceLine() : SourceLinePtr();
}

size_t AsmSourceError::numberOfErrorSources() const {
    return m_errorInfos.size();
}

std::string AsmSourceError::message() const {
    std::string result;
    for (const SourceErrorRef& ref : m_errorInfos) {
        if (!ref.hasSource()) {
            continue;
        }
        result += ref.getSourceRef();
        result += ": ";
        result += m_message;
        result += ": ";
        result += ref.pointToTextInSource();
    }
    return result;
}

void AsmSourceError::addErrorInfo(const SourceErrorRef& errorInfo) {
    const auto position = std::upper_bound(m_errorInfos.begin(), m_errorInfos.end(), errorInfo);
    m_errorInfos.insert(position, errorInfo);
}

void AsmSourceError::sortAndClean() {
    std::stable_sort(m_errorInfos.begin(), m_errorInfos.end());
    while (!m_errorInfos.empty() && !m_errorInfos.back().hasSource()) {
        m_errorInfos.pop_back();
    }
}

// AsmSyntaxError

namespace {
constexpr const char* syntaxErrorPrefix = "Syntax error: ";
} // namespace

AsmSyntaxError::AsmSyntaxError(const SourceErrorRef& errorInfo) : AsmErrorOf(errorInfo) {
    sortAndClean();
    m_message += syntaxErrorPrefix;
}

AsmSyntaxError::AsmSyntaxError(const SourceLinePtr& line) : AsmSyntaxError(SourceErrorRef(line)) {}

AsmSyntaxError::AsmSyntaxError(const SourceLinePtr& line, const std::string& text)
    : AsmSyntaxError(SourceErrorRef(line, text)) {}

AsmSyntaxError::AsmSyntaxError(const SourceLinePtr& line, size_t start, size_t length)
    : AsmSyntaxError(SourceErrorRef(line, start, length)) {}

const char* AsmSyntaxError::errorType() const {
    return "Asm syntax error";
}

// The named errors: unresolved and duplicate names

// References that have no usable line stay in m_errorInfos; message() skips them.
AsmNameError::AsmNameError(const char* verb, const std::vector<SourceLinePtr>& lines,
                           const std::string& name, const std::string& kind)
    : m_name(name), m_kind(kind), m_errorType(std::string(verb) + " " + kind + " error") {
    m_message += std::string(verb) + " " + kind + ": " + name + ". ";
    for (const SourceLinePtr& line : lines) {
        addErrorInfo(SourceErrorRef(line, name));
    }
}

// AsmLogicError and AsmBug

const char* AsmLogicError::errorType() const {
    return "AsmLogicError";
}

const char* AsmBug::errorType() const {
    return "AsmBug";
}
