#ifndef SEQPROCESSOR_SEQINSTRUCTIONDEF_H
#define SEQPROCESSOR_SEQINSTRUCTIONDEF_H

// One variant of one machine instruction: mnemonic, opcode, select value, the ordered
// arguments, the fields they write and the signature that encodes the argument kinds.

#include "base/Logging.h"
#include "sequencer/seqprocessor/SeqArgument.h"
#include "sequencer/seqprocessor/SeqField.h"
#include "sequencer/seqprocessor/SeqIdNameLUT.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class SeqInstructionDef {
public:
    using opcode_t = SeqField::value_t;
    using select_t = SeqField::value_t;
    using mnemonic_t = std::string;
    using field_table_t = SeqIdNameLUT<const SeqField, SeqIdNameFunc<const SeqField>>;

    // Marks an uninitialized definition.
    static constexpr opcode_t s_no_opcode = ~opcode_t{0};

    // The kinds of the arguments as text: "#" per immediate, register name + "#" per register,
    // separated by single commas, for example "R#,#,R#".
    class Signature : public std::string {
    public:
        Signature() { reserve(18); }

        void addImmediateArg() {
            if (m_numArgs > 0)
                push_back(',');
            push_back('#');
            ++m_numArgs;
        }
        void addRegisterArg(const std::string& registerName) {
            if (m_numArgs > 0)
                push_back(',');
            append(registerName);
            push_back('#');
            ++m_numArgs;
        }
        void addRegisterArg(char registerName) {
            if (m_numArgs > 0)
                push_back(',');
            push_back(registerName);
            push_back('#');
            ++m_numArgs;
        }
        std::uint32_t numArgs() const { return m_numArgs; }
        std::string toPrettyString() const { return *this; }

    private:
        std::uint32_t m_numArgs = 0;
    };

    // Key functor of the variants of one mnemonic: by select value and by signature.
    struct SelectSignatureFunc {
        static id_t id(const SeqInstructionDef& d) { return static_cast<id_t>(d.select()); }
        static const std::string& name(const SeqInstructionDef& d) { return d.signature(); }
        static bool hasId(const SeqInstructionDef& d) { return d.isInitialized(); }
        static bool hasName(const SeqInstructionDef& d) { return d.isInitialized(); }
    };

    // Uninitialized: opcode s_no_opcode, select 0, no mnemonic, no arguments.
    SeqInstructionDef() = default;
    SeqInstructionDef(opcode_t opcode, const mnemonic_t& mnemonic, select_t select);

    bool isInitialized() const { return m_opcode != s_no_opcode; }
    opcode_t opcode() const { return m_opcode; }
    select_t select() const { return m_select; }
    const mnemonic_t& mnemonic() const { return m_mnemonic; }
    const Signature& signature() const { return m_signature; }
    const std::vector<std::shared_ptr<const SeqArgument>>& arguments() const { return m_args; }
    std::size_t numArgs() const { return m_args.size(); }
    const field_table_t& fields() const { return m_fields; }

    // Appends an argument, extends the signature and records its field; a null argument is
    // ignored. Two arguments on one field raise SeqProcDuplicateError.
    void addArgument(std::shared_ptr<const SeqArgument> arg);

    // The n-th argument, from 0; n >= numArgs() is an internal error.
    // The line number that getArg's internal-error message carries; it belongs to the
    // message, not to where the code stands: keep it, do not replace it by __LINE__.
    static constexpr int s_getArgBugLine = 120;
    const SeqArgument& getArg(unsigned n) const {
        if (n >= m_args.size())
            throwBug("seqprocessor/SeqInstructionDef", s_getArgBugLine, "getArg",
                     "Argument number " + std::to_string(n) + " of instruction " + m_mnemonic +
                         " is too large for " + std::to_string(m_args.size()) + " arguments");
        return *m_args[n];
    }

    // The field of that name among the definition's fields, or a null pointer.
    const std::shared_ptr<const SeqField>& getField(std::string_view name) const {
        return m_fields.find(name);
    }
    // The value of the named field in word; throws SeqProcArgumentNotFoundError when the
    // definition has no such field.
    SeqField::value_t getFieldValue(std::string_view name, instruction_t word) const {
        const auto& field = m_fields.find(name);
        if (!field)
            throwFieldNotFound(name);
        return field->get(word);
    }

    // Checks that no two of baseFields and the argument fields share a bit; throws
    // SeqProcInstructionTableError naming the first overlapping pair.
    void validateFields(const std::vector<std::shared_ptr<const SeqField>>& baseFields) const;

private:
    [[noreturn]] void throwFieldNotFound(std::string_view name) const;

    opcode_t m_opcode = s_no_opcode;
    select_t m_select = 0;
    mnemonic_t m_mnemonic;
    std::vector<std::shared_ptr<const SeqArgument>> m_args;
    Signature m_signature;
    field_table_t m_fields;
};

std::ostream& operator<<(std::ostream& out, const SeqInstructionDef::Signature& signature);
// One line (without line end): the mnemonic and, for each argument, name(register name#).
std::ostream& operator<<(std::ostream& out, const SeqInstructionDef& def);

#endif
