#pragma once
// Errors that the assembler reports about a source program. They are thrown where the
// problem is found, caught per statement and collected as copies in an AsmErrorList.
// Source errors point into source lines through SourceErrorRef objects; their text repeats
// the message once per referenced line, each time with the location and a marker line.

#include "base/utils/SourceErrorRef.h"
#include "base/utils/SourceLine.h"
#include "base/utils/StreamException.h"

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class AsmError {
public:
    // The full error text.
    virtual const char* what() const noexcept = 0;
    // A short name of the kind of error.
    virtual const char* errorType() const = 0;
    virtual bool hasSource() const;
    // The first source line the error refers to, or empty.
    virtual std::shared_ptr<const SourceLine> sourceLine() const;
    virtual size_t numberOfErrorSources() const;
    // The line number of sourceLine(), 0 without one.
    virtual int lineNr() const;
    // A new heap object of the same concrete class, copied from this one.
    virtual std::shared_ptr<AsmError> shared_ptr_copy() const = 0;
    virtual ~AsmError() = default;
    // The same text as what() as a string, which keeps NUL bytes of quoted source text.
    virtual std::string message() const;
};

class AsmRuntimeError : public AsmError, public std::runtime_error {
public:
    explicit AsmRuntimeError(const char* text);
    explicit AsmRuntimeError(const std::string& text);
    AsmRuntimeError(const AsmRuntimeError& other) = default;
    ~AsmRuntimeError() override = default;

    const char* what() const noexcept override;
    const char* errorType() const override;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

// An error after which assembly does not go on.
class AsmFatalError : public AsmRuntimeError {
public:
    explicit AsmFatalError(const char* text);
    explicit AsmFatalError(const std::string& text);
    AsmFatalError(const AsmFatalError& other) = default;
    ~AsmFatalError() override = default;

    const char* errorType() const override;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

class AsmProgramTooLongError : public AsmFatalError {
public:
    explicit AsmProgramTooLongError(const char* text);
    explicit AsmProgramTooLongError(const std::string& text);
    AsmProgramTooLongError(const AsmProgramTooLongError& other) = default;
    ~AsmProgramTooLongError() override = default;

    const char* errorType() const override;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

// An error about source text. m_errorInfos is kept in SourceErrorRef order (ascending line
// number, references without a usable line last).
class AsmSourceError : public StreamException<AsmRuntimeError> {
public:
    using SourceLinePtr = std::shared_ptr<const SourceLine>;

    AsmSourceError();
    explicit AsmSourceError(std::vector<SourceErrorRef> errorInfos);
    explicit AsmSourceError(const SourceErrorRef& errorInfo);
    explicit AsmSourceError(const SourceLinePtr& line);
    AsmSourceError(const SourceLinePtr& line, size_t start, size_t length);
    AsmSourceError(const SourceLinePtr& line, const std::string& text);
    AsmSourceError(const AsmSourceError& other) = default;
    AsmSourceError(AsmSourceError&& other) noexcept = default;
    ~AsmSourceError() override = default;

    const char* errorType() const override;
    bool hasSource() const override;
    SourceLinePtr sourceLine() const override;
    size_t numberOfErrorSources() const override;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
    // Per usable reference: location + ": " + message + ": " + the line with its marker.
    std::string message() const override;

    const std::vector<SourceErrorRef>& errorInfos() const { return m_errorInfos; }
    // Inserts after all references that are not greater, so the order stays sorted.
    void addErrorInfo(const SourceErrorRef& errorInfo);
    // Stable-sorts the references and drops those without a usable source line.
    void sortAndClean();

    STREAM_EXCEPTION_OPERATORS(AsmSourceError)

protected:
    std::vector<SourceErrorRef> m_errorInfos;
};

class AsmSyntaxError : public AsmSourceError {
public:
    explicit AsmSyntaxError(const SourceErrorRef& errorInfo);
    explicit AsmSyntaxError(const SourceLinePtr& line);
    AsmSyntaxError(const SourceLinePtr& line, const std::string& text);
    AsmSyntaxError(const SourceLinePtr& line, size_t start, size_t length);
    AsmSyntaxError(const AsmSyntaxError& other) = default;
    AsmSyntaxError(AsmSyntaxError&& other) noexcept = default;
    ~AsmSyntaxError() override = default;

    const char* errorType() const override;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    STREAM_EXCEPTION_OPERATORS(AsmSyntaxError)
};

// A name that is used but never defined; one reference per line that uses it.
class AsmUnresolvedReferenceError : public AsmSourceError {
public:
    AsmUnresolvedReferenceError(const std::vector<SourceLinePtr>& lines, const std::string& name,
                                const std::string& type);
    AsmUnresolvedReferenceError(std::initializer_list<SourceLinePtr> lines, const std::string& name,
                                const std::string& type);
    AsmUnresolvedReferenceError(const SourceLinePtr& line, const std::string& name,
                                const std::string& type);
    AsmUnresolvedReferenceError(const AsmUnresolvedReferenceError& other) = default;
    AsmUnresolvedReferenceError(AsmUnresolvedReferenceError&& other) noexcept = default;
    ~AsmUnresolvedReferenceError() override = default;

    const char* errorType() const override;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    const std::string& referenceName() const { return m_referenceName; }
    const std::string& referenceType() const { return m_referenceType; }

    STREAM_EXCEPTION_OPERATORS(AsmUnresolvedReferenceError)

protected:
    std::string m_referenceName;
    std::string m_referenceType;
    std::string m_errorType;

private:
    template <typename Lines> void init(const Lines& lines);
};

class AsmUnresolvedSymbolError : public AsmUnresolvedReferenceError {
public:
    AsmUnresolvedSymbolError(const std::vector<SourceLinePtr>& lines, const std::string& name);
    AsmUnresolvedSymbolError(std::initializer_list<SourceLinePtr> lines, const std::string& name);
    AsmUnresolvedSymbolError(const SourceLinePtr& line, const std::string& name);
    AsmUnresolvedSymbolError(const AsmUnresolvedSymbolError& other) = default;
    AsmUnresolvedSymbolError(AsmUnresolvedSymbolError&& other) noexcept = default;
    ~AsmUnresolvedSymbolError() override = default;

    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    STREAM_EXCEPTION_OPERATORS(AsmUnresolvedSymbolError)
};

class AsmUnresolvedAddressLabelError : public AsmUnresolvedReferenceError {
public:
    AsmUnresolvedAddressLabelError(const std::vector<SourceLinePtr>& lines,
                                   const std::string& name);
    AsmUnresolvedAddressLabelError(std::initializer_list<SourceLinePtr> lines,
                                   const std::string& name);
    AsmUnresolvedAddressLabelError(const SourceLinePtr& line, const std::string& name);
    AsmUnresolvedAddressLabelError(const AsmUnresolvedAddressLabelError& other) = default;
    AsmUnresolvedAddressLabelError(AsmUnresolvedAddressLabelError&& other) noexcept = default;
    ~AsmUnresolvedAddressLabelError() override = default;

    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    STREAM_EXCEPTION_OPERATORS(AsmUnresolvedAddressLabelError)
};

// A name defined more than once; one reference per defining line.
class AsmDuplicateDefinitionError : public AsmSourceError {
public:
    AsmDuplicateDefinitionError(const std::vector<SourceLinePtr>& lines,
                                const std::string& definition, const std::string& type);
    AsmDuplicateDefinitionError(std::initializer_list<SourceLinePtr> lines,
                                const std::string& definition, const std::string& type);
    AsmDuplicateDefinitionError(const SourceLinePtr& line, const std::string& definition,
                                const std::string& type);
    AsmDuplicateDefinitionError(const AsmDuplicateDefinitionError& other) = default;
    AsmDuplicateDefinitionError(AsmDuplicateDefinitionError&& other) noexcept = default;
    ~AsmDuplicateDefinitionError() override = default;

    const char* errorType() const override;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    const std::string& definition() const { return m_definition; }
    const std::string& definitionType() const { return m_definitionType; }

    STREAM_EXCEPTION_OPERATORS(AsmDuplicateDefinitionError)

protected:
    std::string m_definition;
    std::string m_definitionType;
    std::string m_errorType;

private:
    template <typename Lines> void init(const Lines& lines);
};

class AsmDuplicateSymbolError : public AsmDuplicateDefinitionError {
public:
    AsmDuplicateSymbolError(const std::vector<SourceLinePtr>& lines, const std::string& name);
    AsmDuplicateSymbolError(std::initializer_list<SourceLinePtr> lines, const std::string& name);
    AsmDuplicateSymbolError(const SourceLinePtr& line, const std::string& name);
    AsmDuplicateSymbolError(const AsmDuplicateSymbolError& other) = default;
    AsmDuplicateSymbolError(AsmDuplicateSymbolError&& other) noexcept = default;
    ~AsmDuplicateSymbolError() override = default;

    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    STREAM_EXCEPTION_OPERATORS(AsmDuplicateSymbolError)
};

class AsmDuplicateAddressLabelError : public AsmDuplicateDefinitionError {
public:
    AsmDuplicateAddressLabelError(const std::vector<SourceLinePtr>& lines, const std::string& name);
    AsmDuplicateAddressLabelError(std::initializer_list<SourceLinePtr> lines,
                                  const std::string& name);
    AsmDuplicateAddressLabelError(const SourceLinePtr& line, const std::string& name);
    AsmDuplicateAddressLabelError(const AsmDuplicateAddressLabelError& other) = default;
    AsmDuplicateAddressLabelError(AsmDuplicateAddressLabelError&& other) noexcept = default;
    ~AsmDuplicateAddressLabelError() override = default;

    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    STREAM_EXCEPTION_OPERATORS(AsmDuplicateAddressLabelError)
};

class AsmLogicError : public AsmError, public std::logic_error {
public:
    explicit AsmLogicError(const char* text);
    explicit AsmLogicError(const std::string& text);
    AsmLogicError(const AsmLogicError& other) = default;
    ~AsmLogicError() override = default;

    const char* what() const noexcept override;
    const char* errorType() const override;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;
};

class AsmBug : public StreamException<AsmLogicError> {
public:
    explicit AsmBug(const std::string& message);
    explicit AsmBug(std::string&& message);
    AsmBug(const AsmBug& other) = default;
    AsmBug(AsmBug&& other) noexcept = default;
    ~AsmBug() override = default;

    const char* errorType() const override;
    std::shared_ptr<AsmError> shared_ptr_copy() const override;

    STREAM_EXCEPTION_OPERATORS(AsmBug)
};
