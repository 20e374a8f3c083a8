#include "sequencer/SeqSimEngine.h"

#include <algorithm>

namespace seq_sim_errors {

void argumentNotFound(const SeqInstructionDef& def, const char* fieldName) {
    throw SeqProcArgumentNotFoundError("Instruction ")
        << def.mnemonic() << "( opcode=" << static_cast<unsigned long>(def.opcode())
        << ", select=" << static_cast<unsigned long>(def.select()) << ")"
        << " does not have an argument that sets field with name=" << fieldName;
}

void registerWrite(uint32_t address, const SeqProcessor* processor) {
    const uint32_t count = processor != nullptr ? processor->numRegisters() : 0;
    throw SeqProcMemoryError("Attempt to write register at address ")
        << address << " beyond maximum address " << static_cast<uint32_t>(count - 1);
}

void programCounter(uint32_t pc, const SeqProcessor* processor) {
    if (processor != nullptr)
        (void)processor->readInstructionMem(pc); // throws: pc is beyond the memory
    throw SeqProcMemoryError("Attempt to read instruction at address ")
        << pc << " beyond maximum address " << static_cast<uint32_t>(-1);
}

void illegal(uint32_t pc) {
    throw VexaIllegalInterrupt("ILLEGAL instruction at instruction address: ", pc);
}

} // namespace seq_sim_errors

void SeqSimEngine::beginRun(uint32_t codeSize) {
    const uint32_t size = std::min(codeSize, s_maxCachedAddresses);
    if (m_cache.size() != size) {
        m_cache.assign(size, SeqSimDecoded{});
        m_filled.clear();
        m_filled.reserve(size); // so that filling the cache never allocates
    }
    // Only what the last run filled: a short run of a large program costs little.
    for (const uint32_t address : m_filled)
        m_cache[address].code = SeqSimDecoded::s_undecoded;
    m_filled.clear();
}

const SeqSimDecoded& SeqSimEngine::decodeUncached(uint32_t pc) {
    if (pc >= m_codeSize)
        seq_sim_errors::programCounter(pc, m_processor);
    m_uncached = m_decoder.decode(m_code[pc], m_regCount);
    return m_uncached;
}

const char* SeqSimEngine::mnemonicAt(uint32_t pc) const {
    if (pc >= m_codeSize)
        seq_sim_errors::programCounter(pc, m_processor);
    const SeqSimSlot& slot = m_decoder.slot(m_code[pc]);
    if (slot.def == nullptr)
        m_decoder.throwInstructionNotFound(m_code[pc]);
    return slot.mnemonic;
}

void SeqSimEngine::budgetMessage(int maxInstructions, UIStr& message) {
    message = stringCat("Maximum number of instructions reached (", maxInstructions,
                        "). Could the program be running an infinite loop?");
}
