#include "sequencer/seqprocessor/SeqProcError.h"

#include <utility>

SeqProcLogicError::SeqProcLogicError(const std::string& text) : std::logic_error(text) {}

// The virtual standard what() applies, so a stream-built subclass gives its message.
const char* SeqProcLogicError::what() {
    return static_cast<const std::logic_error&>(*this).what();
}

SeqProcRuntimeError::SeqProcRuntimeError(const std::string& text) : std::runtime_error(text) {}

const char* SeqProcRuntimeError::what() {
    return static_cast<const std::runtime_error&>(*this).what();
}

SeqProcDuplicateError::SeqProcDuplicateError(const std::string& message)
    : StreamException(message) {}
SeqProcDuplicateError::SeqProcDuplicateError(std::string&& message)
    : StreamException(std::move(message)) {}

SeqProcUninitializedError::SeqProcUninitializedError(const std::string& message)
    : StreamException(message) {}
SeqProcUninitializedError::SeqProcUninitializedError(std::string&& message)
    : StreamException(std::move(message)) {}

SeqProcInstructionTableError::SeqProcInstructionTableError(const std::string& message)
    : StreamException(message) {}
SeqProcInstructionTableError::SeqProcInstructionTableError(std::string&& message)
    : StreamException(std::move(message)) {}

SeqProcMemoryError::SeqProcMemoryError(const std::string& message) : StreamException(message) {}
SeqProcMemoryError::SeqProcMemoryError(std::string&& message)
    : StreamException(std::move(message)) {}

SeqProcArgumentNotFoundError::SeqProcArgumentNotFoundError(const std::string& message)
    : StreamException(message) {}
SeqProcArgumentNotFoundError::SeqProcArgumentNotFoundError(std::string&& message)
    : StreamException(std::move(message)) {}

SeqProcInstructionNotFoundError::SeqProcInstructionNotFoundError(const std::string& message)
    : StreamException(message) {}
SeqProcInstructionNotFoundError::SeqProcInstructionNotFoundError(std::string&& message)
    : StreamException(std::move(message)) {}

VexaInterrupt::VexaInterrupt(const char* message, unsigned int instrAddress)
    : StreamException(message != nullptr ? std::string(message) : std::string()),
      m_instrAddress(instrAddress) {}

VexaIllegalInterrupt::VexaIllegalInterrupt(const char* message, unsigned int instrAddress)
    : VexaInterrupt(message, instrAddress) {}
