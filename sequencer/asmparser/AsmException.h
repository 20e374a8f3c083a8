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

// The members every concrete error class repeats with its own type: the copy for the error
// list, and (for the classes built on StreamException) the stream operators returning the
// concrete class, so that an error built and streamed into in one throw expression is
// thrown, and caught, as that class.
template <class Derived, class Base> class AsmErrorOf : public StreamExceptionOf<Derived, Base> {
public:
    using StreamExceptionOf<Derived, Base>::StreamExceptionOf;

    std::shared_ptr<AsmError> shared_ptr_copy() const override {
        return std::make_shared<Derived>(static_cast<const Derived&>(*this));
    }
};

// An AsmError that is also the standard exception `Std`, which keeps its text.
template <class Std> class AsmStdError : public AsmError, public Std {
public:
    explicit AsmStdError(const char* text) : Std(text != nullptr ? text : "") {}
    explicit AsmStdError(const std::string& text) : Std(text) {}

    const char* what() const noexcept override { return Std::what(); }
};

class AsmRuntimeError : public AsmErrorOf<AsmRuntimeError, AsmStdError<std::runtime_error>> {
public:
    using AsmErrorOf::AsmErrorOf;
    const char* errorType() const override;
};

// An error after which assembly does not go on.
class AsmFatalError : public AsmErrorOf<AsmFatalError, AsmRuntimeError> {
public:
    using AsmErrorOf::AsmErrorOf;
    const char* errorType() const override;
};

class AsmProgramTooLongError : public AsmErrorOf<AsmProgramTooLongError, AsmFatalError> {
public:
    using AsmErrorOf::AsmErrorOf;
    const char* errorType() const override;
};

// An error about source text. m_errorInfos is kept in SourceErrorRef order (ascending line
// number, references without a usable line last).
class AsmSourceError : public AsmErrorOf<AsmSourceError, StreamException<AsmRuntimeError>> {
public:
    using SourceLinePtr = std::shared_ptr<const SourceLine>;

    AsmSourceError() = default;
    explicit AsmSourceError(std::vector<SourceErrorRef> errorInfos);
    explicit AsmSourceError(const SourceErrorRef& errorInfo);
    explicit AsmSourceError(const SourceLinePtr& line);
    AsmSourceError(const SourceLinePtr& line, size_t start, size_t length);
    AsmSourceError(const SourceLinePtr& line, const std::string& text);

    const char* errorType() const override;
    bool hasSource() const override;
    SourceLinePtr sourceLine() const override;
    size_t numberOfErrorSources() const override;
    // Per usable reference: location + ": " + message + ": " + the line with its marker.
    std::string message() const override;

    const std::vector<SourceErrorRef>& errorInfos() const { return m_errorInfos; }
    // Inserts after all references that are not greater, so the order stays sorted.
    void addErrorInfo(const SourceErrorRef& errorInfo);
    // Stable-sorts the references and drops those without a usable source line.
    void sortAndClean();

protected:
    std::vector<SourceErrorRef> m_errorInfos;
};

class AsmSyntaxError : public AsmErrorOf<AsmSyntaxError, AsmSourceError> {
public:
    explicit AsmSyntaxError(const SourceErrorRef& errorInfo);
    explicit AsmSyntaxError(const SourceLinePtr& line);
    AsmSyntaxError(const SourceLinePtr& line, const std::string& text);
    AsmSyntaxError(const SourceLinePtr& line, size_t start, size_t length);

    const char* errorType() const override;
};

// A name that is wrong on the lines given, one reference per line: used but never defined,
// or defined more than once. The error type is `verb` + " " + the kind of name + " error"
// and the message starts with `verb` + " " + the kind + ": " + the name + ". ".
class AsmNameError : public AsmSourceError {
public:
    const char* errorType() const override { return m_errorType.c_str(); }

protected:
    AsmNameError(const char* verb, const std::vector<SourceLinePtr>& lines, const std::string& name,
                 const std::string& kind);

    std::string m_name;
    std::string m_kind;
    std::string m_errorType;
};

// AsmNameError's constructors for one verb, in the three shapes of the line list.
template <class Derived, const char* Verb>
class AsmNameErrorOf : public AsmErrorOf<Derived, AsmNameError> {
public:
    using SourceLinePtr = AsmSourceError::SourceLinePtr;
    AsmNameErrorOf(const std::vector<SourceLinePtr>& lines, const std::string& name,
                   const std::string& kind)
        : AsmErrorOf<Derived, AsmNameError>(Verb, lines, name, kind) {}
    AsmNameErrorOf(std::initializer_list<SourceLinePtr> lines, const std::string& name,
                   const std::string& kind)
        : AsmNameErrorOf(std::vector<SourceLinePtr>(lines), name, kind) {}
    AsmNameErrorOf(const SourceLinePtr& line, const std::string& name, const std::string& kind)
        : AsmNameErrorOf(std::vector<SourceLinePtr>{line}, name, kind) {}
};

inline constexpr char s_unresolvedVerb[] = "Unresolved";
inline constexpr char s_duplicateVerb[] = "Duplicate";

class AsmUnresolvedReferenceError
    : public AsmNameErrorOf<AsmUnresolvedReferenceError, s_unresolvedVerb> {
public:
    using AsmNameErrorOf::AsmNameErrorOf;
    const std::string& referenceName() const { return m_name; }
    const std::string& referenceType() const { return m_kind; }
};

class AsmDuplicateDefinitionError
    : public AsmNameErrorOf<AsmDuplicateDefinitionError, s_duplicateVerb> {
public:
    using AsmNameErrorOf::AsmNameErrorOf;
    const std::string& definition() const { return m_name; }
    const std::string& definitionType() const { return m_kind; }
};

// One kind of name of an AsmUnresolvedReferenceError or AsmDuplicateDefinitionError: the
// constructors without the kind.
template <class Derived, class Base, const char* Kind>
class AsmNameKindError : public AsmErrorOf<Derived, Base> {
public:
    using SourceLinePtr = AsmSourceError::SourceLinePtr;
    AsmNameKindError(const std::vector<SourceLinePtr>& lines, const std::string& name)
        : AsmErrorOf<Derived, Base>(lines, name, Kind) {}
    AsmNameKindError(std::initializer_list<SourceLinePtr> lines, const std::string& name)
        : AsmErrorOf<Derived, Base>(lines, name, Kind) {}
    AsmNameKindError(const SourceLinePtr& line, const std::string& name)
        : AsmErrorOf<Derived, Base>(line, name, Kind) {}
};

inline constexpr char s_symbolKind[] = "symbol";
inline constexpr char s_addressLabelKind[] = "address label";

class AsmUnresolvedSymbolError
    : public AsmNameKindError<AsmUnresolvedSymbolError, AsmUnresolvedReferenceError, s_symbolKind> {
public:
    using AsmNameKindError::AsmNameKindError;
};

class AsmUnresolvedAddressLabelError
    : public AsmNameKindError<AsmUnresolvedAddressLabelError, AsmUnresolvedReferenceError,
                              s_addressLabelKind> {
public:
    using AsmNameKindError::AsmNameKindError;
};

class AsmDuplicateSymbolError
    : public AsmNameKindError<AsmDuplicateSymbolError, AsmDuplicateDefinitionError, s_symbolKind> {
public:
    using AsmNameKindError::AsmNameKindError;
};

class AsmDuplicateAddressLabelError
    : public AsmNameKindError<AsmDuplicateAddressLabelError, AsmDuplicateDefinitionError,
                              s_addressLabelKind> {
public:
    using AsmNameKindError::AsmNameKindError;
};

class AsmLogicError : public AsmErrorOf<AsmLogicError, AsmStdError<std::logic_error>> {
public:
    using AsmErrorOf::AsmErrorOf;
    const char* errorType() const override;
};

class AsmBug : public AsmErrorOf<AsmBug, StreamException<AsmLogicError>> {
public:
    using AsmErrorOf::AsmErrorOf;
    const char* errorType() const override;
};
