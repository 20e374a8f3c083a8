#include "sequencer/seqprocessor/SeqProcError.h"

SeqProcLogicError::SeqProcLogicError(const std::string& text) : std::logic_error(text) {}

// The virtual standard what() applies, so a stream-built subclass gives its message.
const char* SeqProcLogicError::what() {
    return static_cast<const std::logic_error&>(*this).what();
}

SeqProcRuntimeError::SeqProcRuntimeError(const std::string& text) : std::runtime_error(text) {}

const char* SeqProcRuntimeError::what() {
    return static_cast<const std::runtime_error&>(*this).what();
}
