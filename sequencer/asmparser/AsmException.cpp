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

namespace {
// The standard exceptions must not be given a null text.
const char* nonNull(const char* text) {
    return text != nullptr ? text : "";
}
} // namespace

AsmRuntimeError::AsmRuntimeError(const char* text) : std::runtime_error(nonNull(text)) {}
AsmRuntimeError::AsmRuntimeError(const std::string& text) : std::runtime_error(text) {}

const char* AsmRuntimeError::what() const noexcept {
    return std::runtime_error::what();
}
const char* AsmRuntimeError::errorType() const {
    return "AsmRuntimeError";
}
std::shared_ptr<AsmError> AsmRuntimeError::shared_ptr_copy() const {
    return std::make_shared<AsmRuntimeError>(*this);
}

AsmFatalError::AsmFatalError(const char* text) : AsmRuntimeError(text) {}
AsmFatalError::AsmFatalError(const std::string& text) : AsmRuntimeError(text) {}

const char* AsmFatalError::errorType() const {
    return "AsmFatalError";
}
std::shared_ptr<AsmError> AsmFatalError::shared_ptr_copy() const {
    return std::make_shared<AsmFatalError>(*this);
}

AsmProgramTooLongError::AsmProgramTooLongError(const char* text) : AsmFatalError(text) {}
AsmProgramTooLongError::AsmProgramTooLongError(const std::string& text) : AsmFatalError(text) {}

const char* AsmProgramTooLongError::errorType() const {
    return "Asm program too long";
}
std::shared_ptr<AsmError> AsmProgramTooLongError::shared_ptr_copy() const {
    return std::make_shared<AsmProgramTooLongError>(*this);
}

// AsmSourceError

AsmSourceError::AsmSourceError() = default;

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

std::shared_ptr<AsmError> AsmSourceError::shared_ptr_copy() const {
    return std::make_shared<AsmSourceError>(*this);
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

AsmSyntaxError::AsmSyntaxError(const SourceErrorRef& errorInfo) : AsmSourceError(errorInfo) {
    sortAndClean();
    m_message += syntaxErrorPrefix;
}

AsmSyntaxError::AsmSyntaxError(const SourceLinePtr& line) : AsmSourceError(line) {
    sortAndClean();
    m_message += syntaxErrorPrefix;
}

AsmSyntaxError::AsmSyntaxError(const SourceLinePtr& line, const std::string& text)
    : AsmSourceError(line, text) {
    sortAndClean();
    m_message += syntaxErrorPrefix;
}

AsmSyntaxError::AsmSyntaxError(const SourceLinePtr& line, size_t start, size_t length)
    : AsmSourceError(line, start, length) {
    sortAndClean();
    m_message += syntaxErrorPrefix;
}

const char* AsmSyntaxError::errorType() const {
    return "Asm syntax error";
}
std::shared_ptr<AsmError> AsmSyntaxError::shared_ptr_copy() const {
    return std::make_shared<AsmSyntaxError>(*this);
}

// AsmUnresolvedReferenceError and its kinds

// References that have no usable line stay in m_errorInfos; message() skips them.
template <typename Lines> void AsmUnresolvedReferenceError::init(const Lines& lines) {
    m_errorType = "Unresolved " + m_referenceType + " error";
    m_message += "Unresolved " + m_referenceType + ": " + m_referenceName + ". ";
    for (const SourceLinePtr& line : lines) {
        addErrorInfo(SourceErrorRef(line, m_referenceName));
    }
}

AsmUnresolvedReferenceError::AsmUnresolvedReferenceError(const std::vector<SourceLinePtr>& lines,
                                                         const std::string& name,
                                                         const std::string& type)
    : m_referenceName(name), m_referenceType(type) {
    init(lines);
}

AsmUnresolvedReferenceError::AsmUnresolvedReferenceError(std::initializer_list<SourceLinePtr> lines,
                                                         const std::string& name,
                                                         const std::string& type)
    : m_referenceName(name), m_referenceType(type) {
    init(lines);
}

AsmUnresolvedReferenceError::AsmUnresolvedReferenceError(const SourceLinePtr& line,
                                                         const std::string& name,
                                                         const std::string& type)
    : m_referenceName(name), m_referenceType(type) {
    init(std::initializer_list<SourceLinePtr>{line});
}

const char* AsmUnresolvedReferenceError::errorType() const {
    return m_errorType.c_str();
}
std::shared_ptr<AsmError> AsmUnresolvedReferenceError::shared_ptr_copy() const {
    return std::make_shared<AsmUnresolvedReferenceError>(*this);
}

namespace {
constexpr const char* symbolType = "symbol";
constexpr const char* addressLabelType = "address label";
} // namespace

AsmUnresolvedSymbolError::AsmUnresolvedSymbolError(const std::vector<SourceLinePtr>& lines,
                                                   const std::string& name)
    : AsmUnresolvedReferenceError(lines, name, symbolType) {}
AsmUnresolvedSymbolError::AsmUnresolvedSymbolError(std::initializer_list<SourceLinePtr> lines,
                                                   const std::string& name)
    : AsmUnresolvedReferenceError(lines, name, symbolType) {}
AsmUnresolvedSymbolError::AsmUnresolvedSymbolError(const SourceLinePtr& line,
                                                   const std::string& name)
    : AsmUnresolvedReferenceError(line, name, symbolType) {}
std::shared_ptr<AsmError> AsmUnresolvedSymbolError::shared_ptr_copy() const {
    return std::make_shared<AsmUnresolvedSymbolError>(*this);
}

AsmUnresolvedAddressLabelError::AsmUnresolvedAddressLabelError(
    const std::vector<SourceLinePtr>& lines, const std::string& name)
    : AsmUnresolvedReferenceError(lines, name, addressLabelType) {}
AsmUnresolvedAddressLabelError::AsmUnresolvedAddressLabelError(
    std::initializer_list<SourceLinePtr> lines, const std::string& name)
    : AsmUnresolvedReferenceError(lines, name, addressLabelType) {}
AsmUnresolvedAddressLabelError::AsmUnresolvedAddressLabelError(const SourceLinePtr& line,
                                                               const std::string& name)
    : AsmUnresolvedReferenceError(line, name, addressLabelType) {}
std::shared_ptr<AsmError> AsmUnresolvedAddressLabelError::shared_ptr_copy() const {
    return std::make_shared<AsmUnresolvedAddressLabelError>(*this);
}

// AsmDuplicateDefinitionError and its kinds

template <typename Lines> void AsmDuplicateDefinitionError::init(const Lines& lines) {
    m_errorType = "Duplicate " + m_definitionType + " error";
    m_message += "Duplicate " + m_definitionType + ": " + m_definition + ". ";
    for (const SourceLinePtr& line : lines) {
        addErrorInfo(SourceErrorRef(line, m_definition));
    }
}

AsmDuplicateDefinitionError::AsmDuplicateDefinitionError(const std::vector<SourceLinePtr>& lines,
                                                         const std::string& definition,
                                                         const std::string& type)
    : m_definition(definition), m_definitionType(type) {
    init(lines);
}

AsmDuplicateDefinitionError::AsmDuplicateDefinitionError(std::initializer_list<SourceLinePtr> lines,
                                                         const std::string& definition,
                                                         const std::string& type)
    : m_definition(definition), m_definitionType(type) {
    init(lines);
}

AsmDuplicateDefinitionError::AsmDuplicateDefinitionError(const SourceLinePtr& line,
                                                         const std::string& definition,
                                                         const std::string& type)
    : m_definition(definition), m_definitionType(type) {
    init(std::initializer_list<SourceLinePtr>{line});
}

const char* AsmDuplicateDefinitionError::errorType() const {
    return m_errorType.c_str();
}
std::shared_ptr<AsmError> AsmDuplicateDefinitionError::shared_ptr_copy() const {
    return std::make_shared<AsmDuplicateDefinitionError>(*this);
}

AsmDuplicateSymbolError::AsmDuplicateSymbolError(const std::vector<SourceLinePtr>& lines,
                                                 const std::string& name)
    : AsmDuplicateDefinitionError(lines, name, symbolType) {}
AsmDuplicateSymbolError::AsmDuplicateSymbolError(std::initializer_list<SourceLinePtr> lines,
                                                 const std::string& name)
    : AsmDuplicateDefinitionError(lines, name, symbolType) {}
AsmDuplicateSymbolError::AsmDuplicateSymbolError(const SourceLinePtr& line, const std::string& name)
    : AsmDuplicateDefinitionError(line, name, symbolType) {}
std::shared_ptr<AsmError> AsmDuplicateSymbolError::shared_ptr_copy() const {
    return std::make_shared<AsmDuplicateSymbolError>(*this);
}

AsmDuplicateAddressLabelError::AsmDuplicateAddressLabelError(
    const std::vector<SourceLinePtr>& lines, const std::string& name)
    : AsmDuplicateDefinitionError(lines, name, addressLabelType) {}
AsmDuplicateAddressLabelError::AsmDuplicateAddressLabelError(
    std::initializer_list<SourceLinePtr> lines, const std::string& name)
    : AsmDuplicateDefinitionError(lines, name, addressLabelType) {}
AsmDuplicateAddressLabelError::AsmDuplicateAddressLabelError(const SourceLinePtr& line,
                                                             const std::string& name)
    : AsmDuplicateDefinitionError(line, name, addressLabelType) {}
std::shared_ptr<AsmError> AsmDuplicateAddressLabelError::shared_ptr_copy() const {
    return std::make_shared<AsmDuplicateAddressLabelError>(*this);
}

// AsmLogicError and AsmBug

AsmLogicError::AsmLogicError(const char* text) : std::logic_error(nonNull(text)) {}
AsmLogicError::AsmLogicError(const std::string& text) : std::logic_error(text) {}

const char* AsmLogicError::what() const noexcept {
    return std::logic_error::what();
}
const char* AsmLogicError::errorType() const {
    return "AsmLogicError";
}
std::shared_ptr<AsmError> AsmLogicError::shared_ptr_copy() const {
    return std::make_shared<AsmLogicError>(*this);
}

AsmBug::AsmBug(const std::string& message) : StreamException(message) {}
AsmBug::AsmBug(std::string&& message) : StreamException(std::move(message)) {}

const char* AsmBug::errorType() const {
    return "AsmBug";
}
std::shared_ptr<AsmError> AsmBug::shared_ptr_copy() const {
    return std::make_shared<AsmBug>(*this);
}
