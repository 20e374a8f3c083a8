#include "sequencer/SeqSimDecoder.h"

#include "sequencer/seqprocessor/SeqProcError.h"

namespace {

// Calls `visit(opcode id, select id, definition or null)` for every slot of the set's tables,
// in id order.
template <class Visit> void forEachSlot(const SeqInstructionSet& set, Visit visit) {
    for (id_t opcode = 0; opcode < set.idSlots(); ++opcode) {
        const auto& variations = set.find(opcode);
        if (!variations)
            continue;
        for (id_t select = 0; select < variations->idSlots(); ++select)
            visit(opcode, select, variations->find(select));
    }
}

} // namespace

bool SeqSimDecoder::describes(const SeqInstructionSet& set,
                              std::span<const SeqOperationRow> extensionRows) const {
    if (m_set != &set || m_extensionRows.data() != extensionRows.data() ||
        m_extensionRows.size() != extensionRows.size() || m_opcodeField != set.opcodeField() ||
        m_selectField != set.selectField() || m_opcodeRows.size() != set.idSlots() + 1)
        return false;
    size_t next = 0;
    bool same = true;
    forEachSlot(set, [&](id_t, id_t, const auto& def) {
        if (def && same)
            same = next < m_definitions.size() && m_definitions[next++] == def;
    });
    return same && next == m_definitions.size();
}

void SeqSimDecoder::prepare(const SeqInstructionSet& set,
                            std::span<const SeqOperationRow> extensionRows) {
    const uint64_t generation = SeqTableGeneration::current();
    if (generation == m_checkedAt && m_set == &set &&
        m_extensionRows.data() == extensionRows.data() &&
        m_extensionRows.size() == extensionRows.size())
        return;
    if (!describes(set, extensionRows))
        build(set, extensionRows);
    m_checkedAt = generation;
}

void SeqSimDecoder::build(const SeqInstructionSet& set,
                          std::span<const SeqOperationRow> extensionRows) {
    m_set = &set;
    m_extensionRows = extensionRows;
    m_opcodeField = set.opcodeField();
    m_selectField = set.selectField();
    m_definitions.clear();
    m_slots.assign(1, SeqSimSlot{});
    m_selectSlots.clear();
    m_opcodeRows.assign(1, 0);
    id_t row = 0;
    forEachSlot(set, [&](id_t opcode, id_t, const auto& def) {
        // Opcodes without variations have no selects.
        while (row < opcode) {
            m_opcodeRows.push_back(static_cast<uint32_t>(m_selectSlots.size()));
            ++row;
        }
        m_selectSlots.push_back(def ? addSlot(def) : 0);
    });
    while (row < set.idSlots()) {
        m_opcodeRows.push_back(static_cast<uint32_t>(m_selectSlots.size()));
        ++row;
    }
}

uint32_t SeqSimDecoder::addSlot(const std::shared_ptr<const SeqInstructionDef>& def) {
    m_definitions.push_back(def);
    SeqSimSlot slot;
    slot.def = def.get();
    slot.mnemonic = def->mnemonic().c_str();
    slot.row = findSeqOperation(s_seqGenericOperations, def->mnemonic());
    if (slot.row == nullptr)
        slot.row = findSeqOperation(m_extensionRows, def->mnemonic());
    slot.immediate = def->select() != 0;
    if (slot.row != nullptr) {
        // Each operand is read from the definition's field of that name, found here once
        // per run and not per instruction; a definition without it lacks the operand.
        for (size_t i = 0; i < s_seqMaxOperands; ++i) {
            const SeqOperand& expected = slot.row->operands[i];
            if (expected.kind == SeqOperand::Unused)
                continue;
            SeqSimOperandField& operand = slot.operand[i];
            operand.isRegister = expected.isRegister(slot.immediate);
            operand.name = expected.field(slot.immediate);
            const auto found = def->getField(operand.name);
            if (!found)
                continue;
            const SeqField& field = *found;
            operand.present = true;
            // A field that lies beyond the word reads as 0.
            operand.shift = static_cast<uint8_t>(field.shift() < 64 ? field.shift() : 0);
            operand.mask = field.shift() < 64 ? static_cast<uint32_t>(field.range()) : 0;
        }
    }
    m_slots.push_back(slot);
    return static_cast<uint32_t>(m_slots.size() - 1);
}

SeqSimDecoded SeqSimDecoder::decode(instruction_t word, uint32_t registerCount) const {
    SeqSimDecoded d;
    const SeqSimSlot& s = slot(word);
    d.slot = &s;
    if (s.def == nullptr) {
        d.code = SeqSimDecoded::s_undefined;
        return d;
    }
    if (s.row == nullptr) {
        d.code = SeqSimDecoded::s_notExecuted;
        return d;
    }
    d.immediate = s.immediate;
    bool checked = false;
    for (int i = 0; i < s_seqMaxOperands; ++i) {
        const SeqSimOperandField& operand = s.operand[i];
        if (s.row->operands[i].kind == SeqOperand::Unused)
            continue;
        d.operand[i] = static_cast<uint32_t>(word >> operand.shift) & operand.mask;
        if (!operand.present || (operand.isRegister && d.operand[i] >= registerCount))
            checked = true;
    }
    d.code =
        SeqSimDecoded::codeOf(s.row->operation, checked       ? SeqSimDecoded::Checked
                                                : s.immediate ? SeqSimDecoded::ImmediateVariant
                                                              : SeqSimDecoded::RegisterVariant);
    return d;
}

void SeqSimDecoder::throwInstructionNotFound(instruction_t word) const {
    const auto opcode = static_cast<uint32_t>(m_set ? m_set->readOpcodeField(word) : 0);
    const bool select = m_set && m_set->readSelectField(word) != 0;
    throw SeqProcInstructionNotFoundError("Binary instruction with opcode=")
        << opcode << " select=" << (select ? "1" : "0") << " not supported";
}
