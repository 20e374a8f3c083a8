#pragma once
// Errors of the processor model, its memories and the simulator, and the interrupts that stop
// a simulated program. They are not collected: they propagate to the caller, which reports
// the standard what(). Messages are composed by streaming into the object before the throw:
//     throw SeqProcMemoryError("Attempt to read ") << name << " at address " << address;

#include "base/utils/StreamException.h"

#include <cstdint>
#include <stdexcept>
#include <string>

class SeqProcError {
public:
    virtual const char* what() = 0;
    virtual ~SeqProcError() = default;
};

class SeqProcLogicError : public SeqProcError, public std::logic_error {
public:
    explicit SeqProcLogicError(const std::string& text);
    SeqProcLogicError(const SeqProcLogicError& other) = default;
    ~SeqProcLogicError() override = default;

    using std::logic_error::what;
    // The same text as the standard what(), also for the stream-built subclasses.
    const char* what() override;
};

class SeqProcRuntimeError : public SeqProcError, public std::runtime_error {
public:
    explicit SeqProcRuntimeError(const std::string& text);
    SeqProcRuntimeError(const SeqProcRuntimeError& other) = default;
    ~SeqProcRuntimeError() override = default;

    using std::runtime_error::what;
    // The same text as the standard what(), also for the stream-built subclasses.
    const char* what() override;
};

// An identifier or name entered twice into a look-up table, or an argument added twice to an
// instruction definition.
class SeqProcDuplicateError : public StreamException<SeqProcLogicError> {
public:
    explicit SeqProcDuplicateError(const std::string& message);
    explicit SeqProcDuplicateError(std::string&& message);
    SeqProcDuplicateError(const SeqProcDuplicateError& other) = default;
    SeqProcDuplicateError(SeqProcDuplicateError&& other) noexcept = default;
    ~SeqProcDuplicateError() override = default;

    STREAM_EXCEPTION_OPERATORS(SeqProcDuplicateError)
};

// An uninitialized entry added to a look-up table.
class SeqProcUninitializedError : public StreamException<SeqProcLogicError> {
public:
    explicit SeqProcUninitializedError(const std::string& message);
    explicit SeqProcUninitializedError(std::string&& message);
    SeqProcUninitializedError(const SeqProcUninitializedError& other) = default;
    SeqProcUninitializedError(SeqProcUninitializedError&& other) noexcept = default;
    ~SeqProcUninitializedError() override = default;

    STREAM_EXCEPTION_OPERATORS(SeqProcUninitializedError)
};

// An inconsistent processor description (fields, arguments, instruction table). Any type with
// a stream operator (such as an instruction signature) can be streamed into it.
class SeqProcInstructionTableError : public StreamException<SeqProcLogicError> {
public:
    explicit SeqProcInstructionTableError(const std::string& message);
    explicit SeqProcInstructionTableError(std::string&& message);
    SeqProcInstructionTableError(const SeqProcInstructionTableError& other) = default;
    SeqProcInstructionTableError(SeqProcInstructionTableError&& other) noexcept = default;
    ~SeqProcInstructionTableError() override = default;

    STREAM_EXCEPTION_OPERATORS(SeqProcInstructionTableError)
};

// A memory or register address beyond the end of a memory.
class SeqProcMemoryError : public StreamException<SeqProcRuntimeError> {
public:
    explicit SeqProcMemoryError(const std::string& message);
    explicit SeqProcMemoryError(std::string&& message);
    SeqProcMemoryError(const SeqProcMemoryError& other) = default;
    SeqProcMemoryError(SeqProcMemoryError&& other) noexcept = default;
    ~SeqProcMemoryError() override = default;

    STREAM_EXCEPTION_OPERATORS(SeqProcMemoryError)
};

// An instruction definition without the field that the simulator asks for.
class SeqProcArgumentNotFoundError : public StreamException<SeqProcRuntimeError> {
public:
    explicit SeqProcArgumentNotFoundError(const std::string& message);
    explicit SeqProcArgumentNotFoundError(std::string&& message);
    SeqProcArgumentNotFoundError(const SeqProcArgumentNotFoundError& other) = default;
    SeqProcArgumentNotFoundError(SeqProcArgumentNotFoundError&& other) noexcept = default;
    ~SeqProcArgumentNotFoundError() override = default;

    STREAM_EXCEPTION_OPERATORS(SeqProcArgumentNotFoundError)
};

// An instruction word that no instruction definition matches.
class SeqProcInstructionNotFoundError : public StreamException<SeqProcRuntimeError> {
public:
    explicit SeqProcInstructionNotFoundError(const std::string& message);
    explicit SeqProcInstructionNotFoundError(std::string&& message);
    SeqProcInstructionNotFoundError(const SeqProcInstructionNotFoundError& other) = default;
    SeqProcInstructionNotFoundError(SeqProcInstructionNotFoundError&& other) noexcept = default;
    ~SeqProcInstructionNotFoundError() override = default;

    STREAM_EXCEPTION_OPERATORS(SeqProcInstructionNotFoundError)
};

// Stops a simulated program; carries the instruction address at which it was raised. The
// message does not include the address.
class VexaInterrupt : public StreamException<std::runtime_error> {
public:
    VexaInterrupt(const char* message, unsigned int instrAddress);
    VexaInterrupt(const VexaInterrupt& other) = default;
    VexaInterrupt(VexaInterrupt&& other) noexcept = default;
    ~VexaInterrupt() override = default;

    uint32_t instructionAddress() const { return m_instrAddress; }

    STREAM_EXCEPTION_OPERATORS(VexaInterrupt)

protected:
    uint32_t m_instrAddress;
};

// Raised by the simulator on the illegal instruction.
class VexaIllegalInterrupt : public VexaInterrupt {
public:
    VexaIllegalInterrupt(const char* message, unsigned int instrAddress);
    VexaIllegalInterrupt(const VexaIllegalInterrupt& other) = default;
    VexaIllegalInterrupt(VexaIllegalInterrupt&& other) noexcept = default;
    ~VexaIllegalInterrupt() override = default;

    STREAM_EXCEPTION_OPERATORS(VexaIllegalInterrupt)
};
