// The simulator's decode tables: for every definition of the processor's instruction set,
// the operation it executes (by its mnemonic's row among the generic rows of
// SeqSimOperations.h and the simulator's own extension rows) and where its operands are (its
// arguments' fields). A word finds its slot the way the instruction set's
// findForBinary finds its definition, through tables laid out like the set's own, so they
// never grow beyond the set. Built when first needed and again after the set has changed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "sequencer/SeqSimOperations.h"
#include "sequencer/seqprocessor/SeqInstructionSet.h"

// Where one operand's value is in the word.
struct SeqSimOperandField {
    uint32_t mask = 0; // the field's mask cut to 32 bits: values are taken as 32 bits
    uint8_t shift = 0;
    bool present = false; // the definition has this argument
    bool isRegister = false;
    const char* name = ""; // the expected field, for the error of a definition without it
};

// What one definition executes.
struct SeqSimSlot {
    const SeqInstructionDef* def = nullptr; // null in the slot of words without a definition
    const char* mnemonic = "";              // the definition's mnemonic text
    const SeqOperationRow* row = nullptr;   // null: the simulator does not execute the mnemonic
    bool immediate = false;                 // the select value is not 0
    SeqSimOperandField operand[s_seqMaxOperands];
};

// An instruction ready to execute: what the run loop dispatches on (see SeqSimEngine.h) and
// its operands' values.
struct SeqSimDecoded {
    // Codes below s_firstOperation; then every operation three times: for the variant with
    // a select value other than 0 (immediates) and for the one with select 0 (registers),
    // both with operands that need no check as they are read, and for operands that do.
    enum : uint8_t { s_undecoded, s_undefined, s_notExecuted, s_firstOperation };
    enum Form : uint8_t { ImmediateVariant, RegisterVariant, Checked, FormCount };
    static constexpr unsigned s_codeCount = s_firstOperation + FormCount * s_seqOperationCount;
    static constexpr uint8_t codeOf(SeqOperation op, Form form) {
        return static_cast<uint8_t>(s_firstOperation + static_cast<unsigned>(op) +
                                    form * s_seqOperationCount);
    }

    uint8_t code = s_undecoded;
    bool immediate = false;
    uint32_t operand[s_seqMaxOperands] = {};
    const SeqSimSlot* slot = nullptr;
};

class SeqSimDecoder {
public:
    using instruction_t = uint64_t;

    // True when the tables were built from `set` as it is now and from the same extension
    // rows: the same base fields and the same definitions (the tables keep those alive, so
    // the comparison is by identity).
    bool describes(const SeqInstructionSet& set,
                   std::span<const SeqOperationRow> extensionRows) const;
    // Rows that outlive the tables: a mnemonic is looked up among the generic rows, then
    // among `extensionRows`.
    void build(const SeqInstructionSet& set, std::span<const SeqOperationRow> extensionRows);
    // Builds the tables unless they describe `set` and `extensionRows` already; when no
    // lookup table has changed since the last call for the same set and rows, that takes one
    // comparison instead of a walk over the set.
    void prepare(const SeqInstructionSet& set, std::span<const SeqOperationRow> extensionRows);

    // The slot of a word; its `def` is null when the set has no definition for the word.
    const SeqSimSlot& slot(instruction_t word) const {
        if (m_set == nullptr)
            return m_slots[0];
        const auto opcode = static_cast<unsigned>(m_set->readOpcodeField(word));
        const auto select = static_cast<unsigned>(m_set->readSelectField(word));
        if (opcode + size_t{1} >= m_opcodeRows.size())
            return m_slots[0];
        const uint32_t first = m_opcodeRows[opcode];
        if (select >= m_opcodeRows[opcode + 1] - first)
            return m_slots[0];
        return m_slots[m_selectSlots[first + select]];
    }
    // The word ready to execute. Operands whose reads cannot fail (every field present, every
    // register address below `registerCount`) give the unchecked code of the operation.
    SeqSimDecoded decode(instruction_t word, uint32_t registerCount) const;

    // The error for a word without a definition.
    [[noreturn]] void throwInstructionNotFound(instruction_t word) const;

private:
    uint32_t addSlot(const std::shared_ptr<const SeqInstructionDef>& def);

    const SeqInstructionSet* m_set = nullptr;
    uint64_t m_checkedAt = 0; // SeqTableGeneration::current() when last found to describe m_set
    std::span<const SeqOperationRow> m_extensionRows;
    std::shared_ptr<const SeqField> m_opcodeField;
    std::shared_ptr<const SeqField> m_selectField;
    std::vector<std::shared_ptr<const SeqInstructionDef>> m_definitions;
    // m_slots[0] is the slot of words without a definition.
    std::vector<SeqSimSlot> m_slots{1};
    // The selects of opcode o are m_selectSlots[m_opcodeRows[o]] up to, not including,
    // m_selectSlots[m_opcodeRows[o + 1]]; each holds a slot index.
    std::vector<uint32_t> m_opcodeRows;
    std::vector<uint32_t> m_selectSlots;
};
