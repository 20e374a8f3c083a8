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
class SeqProcDuplicateError
    : public StreamExceptionOf<SeqProcDuplicateError, StreamException<SeqProcLogicError>> {
public:
    using StreamExceptionOf::StreamExceptionOf;
};

// An uninitialized entry added to a look-up table.
class SeqProcUninitializedError
    : public StreamExceptionOf<SeqProcUninitializedError, StreamException<SeqProcLogicError>> {
public:
    using StreamExceptionOf::StreamExceptionOf;
};

// An inconsistent processor description (fields, arguments, instruction table). Any type with
// a stream operator (such as an instruction signature) can be streamed into it.
class SeqProcInstructionTableError
    : public StreamExceptionOf<SeqProcInstructionTableError, StreamException<SeqProcLogicError>> {
public:
    using StreamExceptionOf::StreamExceptionOf;
};

// A memory or register address beyond the end of a memory.
class SeqProcMemoryError
    : public StreamExceptionOf<SeqProcMemoryError, StreamException<SeqProcRuntimeError>> {
public:
    using StreamExceptionOf::StreamExceptionOf;
};

// An instruction definition without the field that the simulator asks for.
class SeqProcArgumentNotFoundError
    : public StreamExceptionOf<SeqProcArgumentNotFoundError, StreamException<SeqProcRuntimeError>> {
public:
    using StreamExceptionOf::StreamExceptionOf;
};

// An instruction word that no instruction definition matches.
class SeqProcInstructionNotFoundError
    : public StreamExceptionOf<SeqProcInstructionNotFoundError,
                               StreamException<SeqProcRuntimeError>> {
public:
    using StreamExceptionOf::StreamExceptionOf;
};

// Stops a simulated program; carries the instruction address at which it was raised. The
// message does not include the address.
class VexaInterrupt : public StreamExceptionOf<VexaInterrupt, StreamException<std::runtime_error>> {
public:
    VexaInterrupt(const char* message, unsigned int instrAddress)
        : StreamExceptionOf(message != nullptr ? std::string(message) : std::string()),
          m_instrAddress(instrAddress) {}

    uint32_t instructionAddress() const { return m_instrAddress; }

protected:
    uint32_t m_instrAddress;
};

// Raised by the simulator on the illegal instruction.
class VexaIllegalInterrupt : public StreamExceptionOf<VexaIllegalInterrupt, VexaInterrupt> {
public:
    using StreamExceptionOf::StreamExceptionOf;
};
