#ifndef SEQPROCESSOR_SEQPROCESSOR_H
#define SEQPROCESSOR_SEQPROCESSOR_H

// Static configuration of one sequencer processor, shared by assembler, disassembler and
// simulator: instruction memory, register file, clock frequencies and instruction set.

#include "sequencer/seqprocessor/SeqField.h"
#include "sequencer/seqprocessor/SeqInstructionDef.h"
#include "sequencer/seqprocessor/SeqInstructionSet.h"
#include "sequencer/seqprocessor/SeqMemory.h"

#include <cstdint>
#include <memory>
#include <ostream>

class SeqProcessor {
public:
    using address_t = std::uint32_t;
    using register_t = std::uint32_t;
    using InstructionMemory = SeqMemory<instruction_t, address_t>;
    using DataMemory = SeqMemory<register_t, address_t>;

    // No memories, clocks 0.0, empty instruction set.
    SeqProcessor();
    explicit SeqProcessor(const SeqInstructionSet& instructionSet);
    // Owned memories of the given sizes (instruction words, registers), cleared to 0.
    SeqProcessor(const SeqInstructionSet& instructionSet, address_t instrMemSize,
                 address_t dataMemSize);
    // The same, taking over a set made for it instead of copying it.
    SeqProcessor(SeqInstructionSet&& instructionSet, address_t instrMemSize, address_t dataMemSize);
    // With a non-null instrMem the instruction memory is that external array (not owned,
    // left as given); with null it is allocated and owned.
    SeqProcessor(const SeqInstructionSet& instructionSet, instruction_t* instrMem,
                 address_t instrMemSize, address_t dataMemSize);
    SeqProcessor(SeqInstructionSet&& instructionSet, instruction_t* instrMem,
                 address_t instrMemSize, address_t dataMemSize);
    SeqProcessor(const SeqProcessor&) = delete;
    SeqProcessor& operator=(const SeqProcessor&) = delete;
    SeqProcessor(SeqProcessor&&) = default;
    SeqProcessor& operator=(SeqProcessor&&) = default;
    virtual ~SeqProcessor() = default;

    unsigned getInstructionOpcode(instruction_t word) const {
        return static_cast<unsigned>(m_instructionSet.readOpcodeField(word));
    }
    unsigned getInstructionSelect(instruction_t word) const {
        return static_cast<unsigned>(m_instructionSet.readSelectField(word));
    }
    const std::shared_ptr<const SeqInstructionDef>&
    findInstructionForBinary(instruction_t word) const {
        return m_instructionSet.findForBinary(word);
    }
    // "Instruction set:\n" and then one definition per line.
    void printInstructionSet(std::ostream& out) const;

    // Instruction memory.
    void initInstructionMem(address_t start, address_t end) { m_instrMem.initMem(start, end); }
    void writeInstructionMem(address_t address, instruction_t word) {
        m_instrMem.writeMem(address, word);
    }
    instruction_t readInstructionMem(address_t address) const {
        return m_instrMem.readMem(address);
    }
    address_t instructionMemSizeWords() const { return m_instrMem.size(); }

    // Registers (data memory).
    void initDataMem(address_t start, address_t end) { m_dataMem.initMem(start, end); }
    register_t readRegister(address_t address) const { return m_dataMem.readMem(address); }
    void writeRegister(address_t address, register_t value) { m_dataMem.writeMem(address, value); }
    void writeRegisterFast(address_t address, register_t value) {
        m_dataMem.writeMemFast(address, value);
    }
    address_t numRegisters() const { return m_dataMem.size(); }

    const InstructionMemory& instructionMemory() const { return m_instrMem; }
    InstructionMemory& instructionMemory() { return m_instrMem; }
    const DataMemory& dataMemory() const { return m_dataMem; }
    DataMemory& dataMemory() { return m_dataMem; }

    // Clock frequencies in MHz.
    void setClockFrequencies(double classical, double realtime) {
        m_classicalClockFreq = classical;
        m_realtimeClockFreq = realtime;
    }
    double classicalClockFreq() const { return m_classicalClockFreq; }
    double realtimeClockFreq() const { return m_realtimeClockFreq; }

    const SeqInstructionSet& instructionSet() const { return m_instructionSet; }
    SeqInstructionSet& instructionSet() { return m_instructionSet; }

private:
    InstructionMemory m_instrMem;
    DataMemory m_dataMem;
    double m_classicalClockFreq = 0.0;
    double m_realtimeClockFreq = 0.0;
    SeqInstructionSet m_instructionSet;
};

#endif
