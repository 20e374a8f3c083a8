#include "sequencer/seqprocessor/SeqInstructionSet.h"

#include <utility>

SeqInstructionSet::SeqInstructionSet(version_t major, version_t minor, id_t opcodeFieldId,
                                     id_t selectFieldId, const SeqArgumentTable& argTable,
                                     std::initializer_list<SeqInstructionInit> instructions)
    : m_argTable(argTable) {
    setBaseFields(opcodeFieldId, selectFieldId);
    add(instructions);
    setVersion(major, minor);
}

SeqInstructionSet::SeqInstructionSet(const std::string& /*name*/, version_t major, version_t minor,
                                     id_t opcodeFieldId, id_t selectFieldId,
                                     std::initializer_list<SeqFieldInit> fields,
                                     std::initializer_list<SeqArgumentInit> arguments,
                                     std::initializer_list<SeqInstructionInit> instructions)
    : m_argTable(fields, arguments) {
    setBaseFields(opcodeFieldId, selectFieldId);
    add(instructions);
    setVersion(major, minor);
}

void SeqInstructionSet::setBaseFields(id_t opcodeFieldId, id_t selectFieldId) {
    const auto& opcodeField = m_argTable.fieldTable().find(opcodeFieldId);
    if (!opcodeField)
        throw SeqProcInstructionTableError(std::string("Opcode SeqField with Id="))
            << opcodeFieldId << " not found";
    const auto& selectField = m_argTable.fieldTable().find(selectFieldId);
    if (!selectField)
        throw SeqProcInstructionTableError(std::string("Select SeqField with Id="))
            << selectFieldId << " not found";
    m_opcodeField = opcodeField;
    m_selectField = selectField;
    m_opcodeShift = opcodeField->shift();
    m_opcodeMask = opcodeField->range();
    m_selectShift = selectField->shift();
    m_selectMask = selectField->range();
    SeqTableGeneration::advance();
}

void SeqInstructionSet::add(std::initializer_list<SeqInstructionInit> instructions) {
    for (const auto& instruction : instructions)
        add(instruction);
}

void SeqInstructionSet::add(const SeqInstructionInit& r) {
    auto def = std::make_shared<SeqInstructionDef>(r.opcode, r.mnemonic, r.select);
    for (const std::uint32_t argId : r.argIds) {
        const auto& arg = m_argTable.find(static_cast<id_t>(argId));
        if (!arg)
            throw SeqProcInstructionTableError(std::string("Instruction "))
                << def->mnemonic() << " (opcode=" << r.opcode
                << " refers to non-existing Argument ID=" << argId;
        def->addArgument(arg);
    }
    add(std::move(def));
}

void SeqInstructionSet::add(const SeqInstructionDef& def) {
    add(std::make_shared<SeqInstructionDef>(def));
}

void SeqInstructionSet::add(std::shared_ptr<SeqInstructionDef> def) {
    if (!def)
        throwBug("seqprocessor/SeqInstructionSet", SeqInstructionSetBugLine::addNull, "add",
                 "Adding null pointer SeqInstructionDef to SeqInstructionSet");
    if (!def->isInitialized())
        throwBug("seqprocessor/SeqInstructionSet", SeqInstructionSetBugLine::addUninitialized,
                 "add", "Adding uninitialized SeqInstructionDef to SeqInstructionSet");

    const auto& existing = Base::find(std::string_view(def->mnemonic()));
    if (existing) {
        if (existing->opcode() != def->opcode())
            throw SeqProcInstructionTableError(std::string("Instruction with mnemonic \""))
                << def->mnemonic() << "\""
                << " is defined with different opcodes: "
                << static_cast<unsigned long>(existing->opcode()) << " and "
                << static_cast<unsigned long>(def->opcode());
        try {
            existing->add(def);
        } catch (const SeqProcDuplicateError&) {
            throw SeqProcInstructionTableError(std::string("Instruction with opcode="))
                << static_cast<unsigned long>(def->opcode()) << " mnemonic=\"" << def->mnemonic()
                << "\" is already defined for select=" << static_cast<unsigned long>(def->select())
                << " signature=\"" << def->signature() << "\"";
        }
        return;
    }

    auto variations = std::make_shared<SeqInstructionVariations>();
    variations->add(def);
    try {
        Base::add(std::move(variations));
    } catch (const SeqProcDuplicateError&) {
        const auto& inSlot = Base::find(static_cast<id_t>(def->opcode()));
        if (inSlot && inSlot->mnemonic() != def->mnemonic())
            throw SeqProcInstructionTableError(std::string("Instruction with opcode "))
                << static_cast<unsigned long>(def->opcode())
                << " is defined with different mnemonics: \"" << inSlot->mnemonic() << "\" and \""
                << def->mnemonic() << "\"";
        throwBug("seqprocessor/SeqInstructionSet", SeqInstructionSetBugLine::addInconsistent, "add",
                 "Inconsistent filling of InstructionTable");
    }
}

void SeqInstructionSet::setVersion(unsigned short major, unsigned short minor) {
    m_majorVersion = major;
    m_minorVersion = minor;
}

void SeqInstructionSet::getVersion(version_t& major, version_t& minor) const {
    major = m_majorVersion;
    minor = m_minorVersion;
}

void SeqInstructionSet::throwFieldRange(int line, const char* function, const char* what,
                                        unsigned value, instruction_t mask) {
    throwBug("seqprocessor/SeqInstructionSet", line, function,
             std::string(what) + " " + std::to_string(value) + " is out of range " +
                 std::to_string(mask));
}

bool SeqInstructionSet::writeBaseFields(instruction_t& word, const SeqInstructionDef& def) const {
    return writeOpcodeField(word, static_cast<unsigned>(def.opcode())) &&
           writeSelectField(word, static_cast<unsigned>(def.select()));
}

void SeqInstructionSet::validateFields(const SeqInstructionDef& def) const {
    if (!m_opcodeField)
        throwBug("seqprocessor/SeqInstructionSet", SeqInstructionSetBugLine::validateOpcodeField,
                 "validateFields", "opcodeField pointer not set");
    if (!m_selectField)
        throwBug("seqprocessor/SeqInstructionSet", SeqInstructionSetBugLine::validateSelectField,
                 "validateFields", "selectField pointer not set");
    if (def.opcode() > m_opcodeField->range())
        throw SeqProcInstructionTableError(std::string("Instruction \""))
            << def.mnemonic() << "\""
            << " has opcode " << static_cast<unsigned long>(def.opcode()) << " out of range (0,"
            << static_cast<unsigned long>(m_opcodeField->range()) << ")";
    if (def.select() > m_selectField->range())
        throw SeqProcInstructionTableError(std::string("Instruction \""))
            << def.mnemonic() << "\""
            << " has select " << static_cast<unsigned long>(def.select()) << " out of range (0,"
            << static_cast<unsigned long>(m_selectField->range()) << ")";
    def.validateFields({m_opcodeField, m_selectField});
}

void SeqInstructionSet::validate() const {
    for (const SeqInstructionVariations& variations : *this)
        for (const SeqInstructionDef& def : variations)
            validateFields(def);
}

std::ostream& operator<<(std::ostream& out, const SeqInstructionSet& set) {
    for (const SeqInstructionVariations& variations : set)
        for (const SeqInstructionDef& def : variations)
            out << def << "\n";
    return out;
}
