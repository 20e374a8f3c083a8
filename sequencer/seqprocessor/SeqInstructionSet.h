#ifndef SEQPROCESSOR_SEQINSTRUCTIONSET_H
#define SEQPROCESSOR_SEQINSTRUCTIONSET_H

// The complete, data-driven instruction set: arguments and fields, the opcode and select
// fields every word carries, and all instruction variants grouped by mnemonic. Look-ups by
// mnemonic and signature (assembler) and by opcode and select or binary word (disassembler,
// simulator).

#include "base/Logging.h"
#include "sequencer/seqprocessor/SeqArgumentTable.h"
#include "sequencer/seqprocessor/SeqField.h"
#include "sequencer/seqprocessor/SeqFieldTable.h"
#include "sequencer/seqprocessor/SeqIdNameLUT.h"
#include "sequencer/seqprocessor/SeqInstructionDef.h"

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Plain record listing one instruction variant: opcode, mnemonic, select, argument ids.
struct SeqInstructionInit {
    std::uint32_t opcode;
    const char* mnemonic;
    std::uint32_t select;
    std::vector<std::uint32_t> argIds;

    template <typename... Ids>
    requires(std::convertible_to<Ids, std::uint32_t>&&...)
        SeqInstructionInit(std::uint32_t op, const char* name, std::uint32_t sel, Ids... ids)
        : opcode(op), mnemonic(name), select(sel) {
        argIds.reserve(sizeof...(ids));
        addArgs(ids...);
    }

    template <typename... Ids> void addArgs(Ids... ids) {
        (addArg(static_cast<std::uint32_t>(ids)), ...);
    }
    void addArg(std::uint32_t id) { argIds.push_back(id); }
};

// The variants of one mnemonic, by select value and by signature; all share one opcode. The
// definitions are held as const: they are read-only once added, so look-ups can hand out
// references to the stored pointers instead of copies.
// The line numbers that the internal-error messages of seqprocessor/SeqInstructionSet carry.
// They belong to the messages, which scripts and people match, not to where the code stands
// now: keep them, do not replace them by __LINE__.
namespace SeqInstructionSetBugLine {
inline constexpr int validateOpcodeField = 81;
inline constexpr int validateSelectField = 84;
inline constexpr int variationsOpcode = 99;
inline constexpr int variationsMnemonic = 104;
inline constexpr int addNull = 155;
inline constexpr int addUninitialized = 158;
inline constexpr int addInconsistent = 196;
inline constexpr int writeOpcodeField = 212;
inline constexpr int writeSelectField = 221;
} // namespace SeqInstructionSetBugLine

class SeqInstructionVariations
    : public SeqIdNameLUT<const SeqInstructionDef, SeqInstructionDef::SelectSignatureFunc> {
public:
    using Base = SeqIdNameLUT<const SeqInstructionDef, SeqInstructionDef::SelectSignatureFunc>;

    // Key functor of the instruction set: by opcode and by mnemonic.
    struct OpcodeMnemonicFunc {
        static id_t id(const SeqInstructionVariations& v) { return static_cast<id_t>(v.opcode()); }
        static const std::string& name(const SeqInstructionVariations& v) { return v.mnemonic(); }
        static bool hasId(const SeqInstructionVariations& v) { return v.isInitialized(); }
        static bool hasName(const SeqInstructionVariations& v) { return v.isInitialized(); }
    };

    SeqInstructionVariations() = default;
    SeqInstructionVariations(const SeqInstructionVariations&) = default;
    SeqInstructionVariations& operator=(const SeqInstructionVariations&) = default;
    ~SeqInstructionVariations() override = default;

    // Opcode and mnemonic of the first definition (lowest select); on an empty family an
    // internal error.
    SeqInstructionDef::opcode_t opcode() const {
        const auto& first = front();
        if (!first)
            throwBug("seqprocessor/SeqInstructionSet", SeqInstructionSetBugLine::variationsOpcode,
                     "opcode", "Requesting opcode from empty SeqInstructionVariations");
        return first->opcode();
    }
    const std::string& mnemonic() const {
        const auto& first = front();
        if (!first)
            throwBug("seqprocessor/SeqInstructionSet", SeqInstructionSetBugLine::variationsMnemonic,
                     "mnemonic", "Requesting mnemonic from empty SeqInstructionVariations");
        return first->mnemonic();
    }
    bool isInitialized() const {
        const auto& first = front();
        return first && first->opcode() != SeqInstructionDef::s_no_opcode;
    }
};

class SeqInstructionSet
    : public SeqIdNameLUT<SeqInstructionVariations, SeqInstructionVariations::OpcodeMnemonicFunc> {
public:
    using Base =
        SeqIdNameLUT<SeqInstructionVariations, SeqInstructionVariations::OpcodeMnemonicFunc>;
    using version_t = std::uint16_t;
    using opcode_t = SeqInstructionDef::opcode_t;
    using select_t = SeqInstructionDef::select_t;

    // Empty: no arguments, no base fields, version 0.0.
    SeqInstructionSet() = default;
    SeqInstructionSet(version_t major, version_t minor, id_t opcodeFieldId, id_t selectFieldId,
                      const SeqArgumentTable& argTable,
                      std::initializer_list<SeqInstructionInit> instructions);
    // The name is accepted and not kept.
    SeqInstructionSet(const std::string& name, version_t major, version_t minor, id_t opcodeFieldId,
                      id_t selectFieldId, std::initializer_list<SeqFieldInit> fields,
                      std::initializer_list<SeqArgumentInit> arguments,
                      std::initializer_list<SeqInstructionInit> instructions);
    SeqInstructionSet(const SeqInstructionSet&) = default;
    SeqInstructionSet(SeqInstructionSet&&) = default;
    SeqInstructionSet& operator=(const SeqInstructionSet&) = default;
    SeqInstructionSet& operator=(SeqInstructionSet&&) = default;
    ~SeqInstructionSet() override = default;

    // Filling. Every check runs before anything is inserted: a rejected definition or record
    // leaves the set as it was.
    void setBaseFields(id_t opcodeFieldId, id_t selectFieldId);
    void add(std::initializer_list<SeqInstructionInit> instructions);
    void add(const SeqInstructionInit& instruction);
    void add(std::shared_ptr<SeqInstructionDef> def);
    void add(const SeqInstructionDef& def);
    void setVersion(unsigned short major, unsigned short minor);
    void getVersion(version_t& major, version_t& minor) const;

    // Look-ups; none throws, a missing entry gives a null pointer. The one-argument find()
    // and operator[] of the base give the family of an opcode or a mnemonic.
    using Base::find;
    using Base::operator[];
    // The definitions are returned as references to the stored pointers (valid as long as the
    // set lives), so decoding copies no shared pointer.
    using def_pointer = SeqInstructionVariations::pointer_type;
    const def_pointer& find(unsigned opcode, unsigned select) const {
        const auto& variations = Base::find(static_cast<id_t>(opcode));
        if (!variations)
            return s_noDefinition;
        return variations->find(static_cast<id_t>(select));
    }
    const def_pointer& find(std::string_view mnemonic, std::string_view signature) const {
        const auto& variations = Base::find(mnemonic);
        if (!variations)
            return s_noDefinition;
        return variations->find(signature);
    }
    // Decodes a word: opcode and select by shift and mask, then two vector indexings.
    const def_pointer& findForBinary(instruction_t word) const {
        return find(static_cast<unsigned>((word >> m_opcodeShift) & m_opcodeMask),
                    static_cast<unsigned>((word >> m_selectShift) & m_selectMask));
    }
    SeqField::value_t readOpcodeField(const instruction_t& word) const {
        return (word >> m_opcodeShift) & m_opcodeMask;
    }
    SeqField::value_t readSelectField(const instruction_t& word) const {
        return (word >> m_selectShift) & m_selectMask;
    }

    // Writing: a value beyond the field's mask is an internal error.
    bool writeOpcodeField(instruction_t& word, unsigned opcode) const {
        return writeField(word, opcode, m_opcodeMask, m_opcodeShift,
                          SeqInstructionSetBugLine::writeOpcodeField, "writeOpcodeField", "opcode");
    }
    bool writeSelectField(instruction_t& word, unsigned select) const {
        return writeField(word, select, m_selectMask, m_selectShift,
                          SeqInstructionSetBugLine::writeSelectField, "writeSelectField", "select");
    }
    bool writeBaseFields(instruction_t& word, const SeqInstructionDef& def) const;

    // Checking: opcode and select within their fields, no overlapping fields.
    void validateFields(const SeqInstructionDef& def) const;
    void validate() const;

    const SeqArgumentTable& argumentTable() const { return m_argTable; }
    const SeqFieldTable& fieldTable() const { return m_argTable.fieldTable(); }
    const std::shared_ptr<const SeqField>& opcodeField() const { return m_opcodeField; }
    const std::shared_ptr<const SeqField>& selectField() const { return m_selectField; }
    version_t majorVersion() const { return m_majorVersion; }
    version_t minorVersion() const { return m_minorVersion; }

private:
    static bool writeField(instruction_t& word, unsigned value, instruction_t mask, unsigned shift,
                           int bugLine, const char* function, const char* what) {
        if (value > mask)
            throwFieldRange(bugLine, function, what, value, mask);
        word = (word & ~(mask << shift)) | ((instruction_t{value} & mask) << shift);
        return true;
    }
    [[noreturn]] static void throwFieldRange(int line, const char* function, const char* what,
                                             unsigned value, instruction_t mask);

    static inline const def_pointer s_noDefinition{};

    version_t m_majorVersion = 0;
    version_t m_minorVersion = 0;
    std::shared_ptr<const SeqField> m_opcodeField;
    std::shared_ptr<const SeqField> m_selectField;
    SeqArgumentTable m_argTable;
    // Copies of the base fields' shift and mask: decoding needs no pointer chase, and a set
    // without base fields decodes every word as opcode 0, select 0.
    unsigned m_opcodeShift = 0;
    instruction_t m_opcodeMask = 0;
    unsigned m_selectShift = 0;
    instruction_t m_selectMask = 0;
};

// Every definition in opcode and then select order, each followed by "\n".
std::ostream& operator<<(std::ostream& out, const SeqInstructionSet& set);

#endif
