#include "sequencer/seqprocessor/SeqInstructionDef.h"

#include <cctype>
#include <utility>

SeqInstructionDef::SeqInstructionDef(opcode_t opcode, const mnemonic_t& mnemonic, select_t select)
    : m_opcode(opcode), m_select(select), m_mnemonic(mnemonic) {}

void SeqInstructionDef::addArgument(std::shared_ptr<const SeqArgument> arg) {
    if (!arg)
        return;
    m_args.push_back(arg);
    if (arg->isRegister())
        m_signature.addRegisterArg(arg->registerName());
    else
        m_signature.addImmediateArg();
    try {
        m_fields.add(arg->field());
    } catch (const SeqProcDuplicateError&) {
        SeqProcDuplicateError error(std::string("Instruction "));
        error << "\"" << m_mnemonic << "\""
              << " has different arguments writing into the same field:"
              << "\nadding argument \"" << arg->name() << "\""
              << " with field=" << arg->field()->name() << " (id=" << arg->field()->id() << ")"
              << "\nExisting arguments and fields:";
        for (const auto& existing : m_args)
            error << "\n  " << existing->name() << ": field=" << existing->field()->name()
                  << " (id=" << existing->field()->id() << ")";
        throw error;
    }
}

void SeqInstructionDef::validateFields(
    const std::vector<std::shared_ptr<const SeqField>>& baseFields) const {
    std::vector<const SeqField*> fields;
    fields.reserve(baseFields.size() + m_args.size());
    for (const auto& field : baseFields)
        if (field)
            fields.push_back(field.get());
    for (const auto& arg : m_args)
        if (arg->field())
            fields.push_back(arg->field().get());

    for (std::size_t i = 0; i < fields.size(); ++i)
        for (std::size_t j = i + 1; j < fields.size(); ++j)
            if ((fields[i]->bitPattern() & fields[j]->bitPattern()) != 0)
                throw SeqProcInstructionTableError(std::string("Instruction "))
                    << "\"" << m_mnemonic << "\""
                    << " has overlapping field bit patterns of fields '" << fields[i]->name()
                    << "'' and '" << fields[j]->name() << "'";
}

void SeqInstructionDef::throwFieldNotFound(std::string_view name) const {
    throw SeqProcArgumentNotFoundError(std::string("Instruction "))
        << m_mnemonic << "( opcode=" << static_cast<unsigned long>(m_opcode)
        << ", select=" << static_cast<unsigned long>(m_select) << ")"
        << " does not have an argument that sets field with name=" << std::string(name);
}

std::ostream& operator<<(std::ostream& out, const SeqInstructionDef::Signature& signature) {
    return out.write(signature.data(), static_cast<std::streamsize>(signature.size()));
}

std::ostream& operator<<(std::ostream& out, const SeqInstructionDef& def) {
    out << def.mnemonic();
    const auto& args = def.arguments();
    for (std::size_t i = 0; i < args.size(); ++i) {
        out << (i == 0 ? " " : ", ") << args[i]->name() << "(" << args[i]->registerName() << "#)";
    }
    return out;
}
