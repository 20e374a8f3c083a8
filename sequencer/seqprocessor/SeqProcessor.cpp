#include "sequencer/seqprocessor/SeqProcessor.h"

#include <utility>

SeqProcessor::SeqProcessor() : m_instrMem("instruction"), m_dataMem("data") {}

SeqProcessor::SeqProcessor(const SeqInstructionSet& instructionSet)
    : m_instrMem("instruction"), m_dataMem("data"), m_instructionSet(instructionSet) {}

SeqProcessor::SeqProcessor(const SeqInstructionSet& instructionSet, address_t instrMemSize,
                           address_t dataMemSize)
    : m_instrMem("instruction", instrMemSize), m_dataMem("data", dataMemSize),
      m_instructionSet(instructionSet) {}

SeqProcessor::SeqProcessor(const SeqInstructionSet& instructionSet, instruction_t* instrMem,
                           address_t instrMemSize, address_t dataMemSize)
    : m_instrMem("instruction", instrMem, instrMemSize), m_dataMem("data", dataMemSize),
      m_instructionSet(instructionSet) {}

SeqProcessor::SeqProcessor(SeqInstructionSet&& instructionSet, address_t instrMemSize,
                           address_t dataMemSize)
    : m_instrMem("instruction", instrMemSize), m_dataMem("data", dataMemSize),
      m_instructionSet(std::move(instructionSet)) {}

SeqProcessor::SeqProcessor(SeqInstructionSet&& instructionSet, instruction_t* instrMem,
                           address_t instrMemSize, address_t dataMemSize)
    : m_instrMem("instruction", instrMem, instrMemSize), m_dataMem("data", dataMemSize),
      m_instructionSet(std::move(instructionSet)) {}

void SeqProcessor::printInstructionSet(std::ostream& out) const {
    out << "Instruction set:\n" << m_instructionSet;
}
